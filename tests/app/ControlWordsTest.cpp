// What `vorta ctl` takes as a command line before anything is sent, and what
// the shell's completion is offered.

#include <gtest/gtest.h>

#include <QDateTime>

#include "app/ControlCommands.h"
#include "app/ControlWords.h"

namespace {

using vorta::ControlCommandProblem;

TEST(ControlWords, commandLinesAreCheckedInAnyCaseAndTheirWordsByTheirForm) {
  for (const QStringList& good :
       {QStringList{"STATUS"}, QStringList{"Ack", "ALL"}, QStringList{"journal"},
        QStringList{"journal", "-N", "5", "--Vessel", "2", "--since", "12H"},
        QStringList{"journal", "--since", "2026-05-04T08:00"}, QStringList{"params", "1"},
        QStringList{"params", "1", "PO2"}, QStringList{"params", "1", "common", "Heating=steam"},
        QStringList{"outputs", "3"}, QStringList{"stirrer", "1", "Stop"}}) {
    EXPECT_EQ(ControlCommandProblem(good), std::nullopt) << good.join(' ').toStdString();
  }
  for (const QStringList& bad :
       {QStringList{}, QStringList{"status", "now"}, QStringList{"journal", "-n", "0"},
        QStringList{"journal", "-n"}, QStringList{"journal", "--since", "25:99"},
        QStringList{"journal", "--tail", "3"}, QStringList{"params"},
        QStringList{"params", "1", "ph", "gain=2"}, QStringList{"params", "1", "xx"},
        QStringList{"params", "1", "ph", "period"}, QStringList{"ack"},
        QStringList{"stirrer", "1"}}) {
    EXPECT_NE(ControlCommandProblem(bad), std::nullopt) << bad.join(' ').toStdString();
  }
  QString problem;
  const auto words = vorta::ParseJournalWords({"--since", "12h"}, &problem);
  ASSERT_TRUE(words.has_value());
  EXPECT_NEAR(words->Since->secsTo(QDateTime::currentDateTime()), 12 * 3600, 5);
  // A time of day still to come today means yesterday's.
  const auto clock = vorta::ParseJournalWords({"--since", "23:59:59"}, &problem);
  ASSERT_TRUE(clock.has_value());
  EXPECT_LE(*clock->Since, QDateTime::currentDateTime());
}

TEST(ControlWords, completionOffersWhatMayComeNextAndSwitchesReadBack) {
  const QStringList vessels{"1", "2"};
  EXPECT_TRUE(vorta::ControlCompletions({}, vessels).contains("journal"));
  EXPECT_FALSE(vorta::ControlCompletions({}, vessels).contains("complete"));
  EXPECT_EQ(vorta::ControlCompletions({"ack"}, vessels), (QStringList{"1", "2", "all"}));
  EXPECT_TRUE(vorta::ControlCompletions({"Mode", "1"}, vessels).contains("chemostat"));
  EXPECT_TRUE(vorta::ControlCompletions({"params", "1", "pH"}, vessels).contains("deadzone="));
  EXPECT_EQ(vorta::ControlCompletions({"journal", "--vessel"}, vessels), vessels);

  vorta::TCtrlFields fields;
  const vorta::TParamKey& heating = *vorta::FindParamKey("HEATING");
  EXPECT_EQ(vorta::SetParamValue(fields, heating, "Water"), std::nullopt);
  EXPECT_EQ(vorta::ParamValue(fields, heating), "water");
  EXPECT_NE(vorta::SetParamValue(fields, heating, "gas"), std::nullopt);
  const vorta::TParamKey& foam = *vorta::FindParamKey("foam");
  EXPECT_EQ(vorta::SetParamValue(fields, foam, "ON"), std::nullopt);
  EXPECT_TRUE(fields.FoamExist);
  EXPECT_NE(vorta::SetParamValue(fields, foam, "maybe"), std::nullopt);
  EXPECT_NE(vorta::SetParamValue(fields, *vorta::FindParamKey("low"), " "), std::nullopt);
}

}  // namespace
