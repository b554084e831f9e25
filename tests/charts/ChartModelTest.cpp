// The plotted data without a window: points per line, the interval, the time
// window the axes follow, the read-out texts and the export.

#include <gtest/gtest.h>
#include <QDir>
#include <array>

#include "ProgramFolder.h"
#include "charts/ChartExport.h"
#include "charts/ChartModel.h"
#include "platform/TimerService.h"

namespace vorta {
namespace {

constexpr double kStart = 46000.5;  // 12:00:00
const QLocale kC = QLocale::c();

std::array<QString, 6> Names() {
  return {QString(),
          QStringLiteral("pH"),
          QStringLiteral("t°C"),
          QStringLiteral("pO2"),
          QStringLiteral("eH"),
          QStringLiteral("Rpm")};
}

TEST(ChartModelTest, valuesGoOnlyToActiveSlotsAndOnlyValidOnesBecomePoints) {
  TChartModel m;
  EXPECT_EQ(m.AddLine(3), 0);
  EXPECT_EQ(m.AddLine(1), 1);
  EXPECT_EQ(m.AddLine(9), -1);
  m.SetChannelValue(2, 5.0);  // no line: ignored
  m.SetChannelValue(3, 30.0, 10);
  m.SetChannelValue(1, 7.0);
  ASSERT_TRUE(m.AddPoints(kStart));
  EXPECT_EQ(m.Lines[0].Points.back().Value, 30.0);
  EXPECT_EQ(m.Lines[0].Points.back().Scale, 10);
  EXPECT_EQ(m.Lines[1].Points.back().Value, 7.0);
  EXPECT_FALSE(m.ChannelSlot[2].Active);
  ASSERT_TRUE(m.AddPoints(kStart + 2 * OneSecond));
  EXPECT_EQ(m.Lines[0].Points.size(), 1U) << "no value handed in since the last point";
  m.SetChannelValue(3, 0.0, 10, false);
  m.SetChannelValue(1, 7.5);
  ASSERT_TRUE(m.AddPoints(kStart + 4 * OneSecond));
  EXPECT_EQ(m.Lines[0].Points.size(), 1U) << "an invalid value is no point";
  EXPECT_EQ(m.Lines[1].Points.back().Value, 7.5);
}

TEST(ChartModelTest, pointsWaitForTheIntervalAndThe451stDropsTheOldest) {
  TChartModel m;
  m.AddLine(1);
  m.SetZoomIndex(1);  // 10 s
  m.SetChannelValue(1, 7);
  ASSERT_TRUE(m.AddPoints(kStart));
  m.SetChannelValue(1, 7);
  EXPECT_FALSE(m.AddPoints(kStart + 8 * OneSecond));
  EXPECT_TRUE(m.AddPoints(kStart + 10 * OneSecond));
  EXPECT_EQ(m.Lines[0].Points.size(), 2U);

  // Over an hour of 2-s ticks a 30-s interval gives a point every 30 s.
  TChartModel hour;
  hour.AddLine(1);
  hour.SetZoomIndex(2);
  int added = 0;
  for (int tick = 0; tick < 1800; ++tick) added += hour.AddPoints(kStart + tick * 2 * OneSecond);
  EXPECT_EQ(added, 120);

  // Real 2-s ticks are read a millisecond or two late, not always by the same
  // amount: at the 2-s zoom every tick still gives its point.
  TChartModel jitter;
  jitter.AddLine(1);
  const std::array<std::int64_t, 6> late{3, 1, 2, 0, 4, 1};
  int rounds = 0;
  for (size_t tick = 0; tick < late.size(); ++tick) {
    jitter.SetChannelValue(1, 7);
    rounds += jitter.AddPoints(kStart, static_cast<std::int64_t>(tick) * 2000 + late[tick]);
  }
  EXPECT_EQ(rounds, 6);

  // The first reading still invalid: the first valid one is plotted at the
  // next tick, not one interval (here 15 min) later; then the interval holds.
  TChartModel first;
  first.AddLine(1);
  first.SetZoomIndex(5);
  first.SetChannelValue(1, 0, 1, false);
  first.AddPoints(kStart);
  first.SetChannelValue(1, 7);
  EXPECT_TRUE(first.AddPoints(kStart + 2 * OneSecond));
  EXPECT_EQ(first.Lines[0].Points.size(), 1U);
  first.SetChannelValue(1, 7);
  EXPECT_FALSE(first.AddPoints(kStart + 4 * OneSecond));

  // The wall clock set back an hour: the interval still runs out on time.
  TChartModel back;
  back.AddLine(1);
  back.SetZoomIndex(1);
  back.SetChannelValue(1, 7);
  back.AddPoints(kStart, 0);
  back.SetChannelValue(1, 7);
  EXPECT_TRUE(back.AddPoints(kStart - 3590 * OneSecond, 10'000));

  TChartModel full;
  full.AddLine(1);
  for (int i = 0; i < 451; ++i) {
    full.SetChannelValue(1, i);
    ASSERT_TRUE(full.AddPoints(kStart + i * 2 * OneSecond));
  }
  ASSERT_EQ(full.Lines[0].Points.size(), TChartModel::kMaxPoints);
  EXPECT_EQ(full.Lines[0].Points.front().Value, 1) << "point 0 went";
  EXPECT_EQ(full.Lines[0].Points.back().Value, 450);
}

TEST(ChartModelTest, scrollFollowsTheDataAndKeepsAViewMovedBack) {
  TChartModel m;
  m.AddLine(1);
  m.ResetPoints(kStart);
  // 469 pixels at 2 s: 93.8 intervals, 187.6 s.
  TAxisWindow w = m.Scroll(kStart, 469);
  EXPECT_NEAR((w.Max - w.Min) / OneSecond, 187.6, 1e-6);
  EXPECT_DOUBLE_EQ(w.Max, kStart);

  m.AddPoints(kStart + 2 * OneSecond);
  w = m.Scroll(kStart, 469);
  EXPECT_DOUBLE_EQ(w.Max, kStart + 2 * OneSecond) << "up to date: the newest point ends the view";

  // The operator moved the view 60 s back: it moves on by the 2 s the data did.
  const double back = kStart + 2 * OneSecond - 60 * OneSecond;
  m.AddPoints(kStart + 4 * OneSecond);
  w = m.Scroll(back, 469);
  EXPECT_NEAR((w.Max - back) / OneSecond, 2.0, 1e-6);
  EXPECT_DOUBLE_EQ(m.LatestSeen, kStart + 4 * OneSecond);

  // Less than 2.5 intervals back counts as up to date.
  m.AddPoints(kStart + 6 * OneSecond);
  w = m.Scroll(kStart + 2 * OneSecond, 469);
  EXPECT_DOUBLE_EQ(w.Max, kStart + 6 * OneSecond);
}

TEST(ChartModelTest, readoutTextsUseAPointAndTheTimeOfDay) {
  EXPECT_EQ(PointReadout(7.004, kStart + 3725 * OneSecond, kC), QStringLiteral("7.00  13:02:05"));
  EXPECT_EQ(PointReadout(-0.5, kStart, kC), QStringLiteral("-0.50  12:00:00"));
  EXPECT_EQ(DurationReadout(kStart, kStart + 65.25 * OneSecond, kC),
            QStringLiteral("00:01:05.250"));
  EXPECT_FALSE(LongTimeFormat(QLocale(QLocale::English, QLocale::UnitedStates)).contains(u't'))
      << "no zone name";
}

TEST(ChartModelTest, ganttRowColourRecoloursItsBars) {
  TChartModel m;
  const int row = m.AddGanttRow(255);
  m.AddGanttBar(row, kStart, kStart + OneSecond);
  m.AddGanttBar(row, kStart + 5 * OneSecond, kStart + 6 * OneSecond);
  EXPECT_EQ(m.AddGanttBar(7, kStart, kStart), -1);
  m.SetGanttRowColor(row, 65280);
  EXPECT_EQ(m.GanttBars[1].Color, 65280);
  EXPECT_EQ(m.GanttColors(), std::vector<std::int32_t>{65280});
}

TEST(ChartExportTest, headerEndsWithATabRowsDoNotAndValuesAreMeasured) {
  TChartModel m;
  m.AddLine(1);
  m.AddLine(3);
  m.ResetPoints(kStart);
  m.SetChannelValue(1, 7.25);
  m.SetChannelValue(3, 300.0, 10);  // 30 % plotted ten times larger
  m.AddPoints(kStart + 2 * OneSecond);
  m.SetChannelValue(1, 14.5, 2);  // the scale changed between points
  m.SetChannelValue(3, 3.1, 0.1);
  m.AddPoints(kStart + 4 * OneSecond);
  EXPECT_EQ(ChartExportText(m, Names(), kC), QStringLiteral("Time\tpH\tpO2\t\r\n"
                                                            "12:00:02\t7.25\t30.00\r\n"
                                                            "12:00:04\t7.25\t31.00\r\n"));
  EXPECT_TRUE(ChartExportText(m, Names(), QLocale(QLocale::German)).contains(u','))
      << "the locale's decimal separator";
  TChartModel empty;
  EXPECT_EQ(ChartExportText(empty, Names(), kC), QString());
}

TEST(ChartExportTest, startsAtTheFirstValidValueAndLeavesAnInvalidOneEmpty) {
  TChartModel m;
  m.AddLine(1);
  m.AddLine(3);
  m.ResetPoints(kStart);
  m.SetChannelValue(1, 0, 1, false);
  m.SetChannelValue(3, 0, 1, false);
  m.AddPoints(kStart + 2 * OneSecond);  // nothing valid yet: no row
  m.SetChannelValue(1, 0, 1, false);
  m.SetChannelValue(3, 30.0);
  m.AddPoints(kStart + 4 * OneSecond);
  m.SetChannelValue(1, 7.0);
  m.SetChannelValue(3, 31.0);
  m.AddPoints(kStart + 6 * OneSecond);
  EXPECT_EQ(ChartExportText(m, Names(), kC), QStringLiteral("Time\tpH\tpO2\t\r\n"
                                                            "12:00:04\t\t30.00\r\n"
                                                            "12:00:06\t7.00\t31.00\r\n"));
}

TEST(ChartExportTest, writesTheFileOrLeavesTheOldOneWhole) {
  test::TProgramFolder folder;
  TChartModel m;
  m.AddLine(1);
  m.ResetPoints(kStart);
  m.SetChannelValue(1, 7.0);
  m.AddPoints(kStart + 2 * OneSecond);
  QString error;
  ASSERT_TRUE(ExportData(folder.File(QStringLiteral("a.dat")), m, Names(), kC, &error));
  EXPECT_EQ(folder.Read(QStringLiteral("a.dat")), QByteArray("Time\tpH\t\r\n12:00:02\t7.00\r\n"));

  TChartModel none;
  ASSERT_TRUE(ExportData(folder.File(QStringLiteral("a.dat")), none, Names(), kC, &error));
  EXPECT_TRUE(folder.Exists(QStringLiteral("a.dat")));
  EXPECT_EQ(folder.Read(QStringLiteral("a.dat")), QByteArray()) << "no lines: an empty file";

  EXPECT_FALSE(ExportData(folder.File(QStringLiteral("missing/b.dat")), m, Names(), kC, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(folder.Exists(QStringLiteral("missing/b.dat")));
  // No temporary file is left behind as a half-written export either.
  EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("a.dat")});
}

}  // namespace
}  // namespace vorta
