// The alarm checks over loaded processes: failed writes belong to the vessel
// whose file it is (or to the program), end when the file is written again,
// and show on every panel they concern; the process file's [Alarms] section.

#include <gtest/gtest.h>

#include "ProcessFixture.h"
#include "journal/Alarms.h"
#include "process/AlarmChecks.h"

using namespace vorta;

namespace {

class AlarmChecksTest : public vorta::testing::ProcessFixture {};

}  // namespace

TEST_F(AlarmChecksTest, failedWritesBelongToTheirVesselOrTheProgramAndClearWhenWrittenAgain) {
  TVortaProcess& one = AddProcess(1);
  TVortaProcess& two = AddProcess(2, {}, "[Alarms]\r\nDoseWindow=15\r\n");
  EXPECT_EQ(two.AlarmSettings.DoseWindow, 15);
  EXPECT_EQ(one.AlarmSettings.DoseWindow, 60);  // no section: the default
  TAlarms alarms(time_, env_.Journal);
  TAlarmChecks checks(env_, alarms);
  alarms.ClearHold = 0;  // cleared at the first check: the hold time is tested on a running demo
  int raised = 0, cleared = 0;
  alarms.Subscribe([&](const TAlarm&, TAlarmEvent e) {
    raised += e == TAlarmEvent::Raised ? 1 : 0;
    cleared += e == TAlarmEvent::Cleared ? 1 : 0;
  });
  const QString mainConfig = program_.ProgramFolder + QStringLiteral("Vorta.ini");
  program_.FailedWrites = {two.IniFileName, mainConfig};
  one.LogWriteFailed = true;
  checks.Evaluate(list_);
  checks.Evaluate(list_);
  EXPECT_EQ(raised, 3);
  EXPECT_NE(alarms.Find(2, TAlarmKind::WriteFailed, two.IniFileName), nullptr);
  EXPECT_NE(alarms.Find(0, TAlarmKind::WriteFailed, mainConfig), nullptr);
  EXPECT_NE(alarms.Find(1, TAlarmKind::WriteFailed, one.ProtocolFileName), nullptr);
  // The program's alarm shows on every panel, beside the vessel's own.
  EXPECT_TRUE(two.PanelState.AlarmText.endsWith(QStringLiteral("(+1)")));
  EXPECT_EQ(two.PanelState.AlarmDetails.count(u'\n'), 1);
  EXPECT_EQ(two.PanelState.AlarmColor, 0x0000FF);

  program_.FailedWrites.remove(two.IniFileName);
  checks.Evaluate(list_);
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(alarms.Find(2, TAlarmKind::WriteFailed, two.IniFileName), nullptr);
  alarms.AcknowledgeAll(QStringLiteral("anna"));
  checks.Evaluate(list_);
  EXPECT_EQ(two.PanelState.AlarmColor, 0x0080FF);  // acknowledged, still active
  program_.FailedWrites.clear();
  one.LogWriteFailed = false;
  checks.Evaluate(list_);
  EXPECT_EQ(cleared, 3);
  EXPECT_EQ(alarms.ActiveCount(), 0);
  EXPECT_TRUE(one.PanelState.AlarmText.isEmpty());
}
