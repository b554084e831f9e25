// The alarm checks over loaded processes: failed writes belong to the vessel
// whose file it is (or to the program), end when the file is written again,
// and show on every panel they concern; the process file's [Alarms] section.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>

#include "ProcessFixture.h"
#include "journal/Alarms.h"
#include "process/AlarmChecks.h"

using namespace vorta;

// Every malloc of the process, Qt's included, counted: the checks run every
// 2 s for every vessel, so a cycle with nothing new to say must not build
// texts.
extern "C" void* __libc_malloc(std::size_t size);
namespace {
std::atomic<long> gMallocs{0};
}  // namespace
extern "C" void* malloc(std::size_t size) {
  gMallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}

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

TEST_F(AlarmChecksTest, cycleWithNothingToRaise_buildsNoText) {
  TVortaProcess& one = AddProcess(1);
  AddProcess(2);
  // Regulated within its limits: the limit check runs and says nothing.
  one.Mode = TVesselMode::Batch;
  one.Channel[1].Config.CtrlEnable = 1;
  one.Channel[1].Config.CtrlModes = {1, 1, 1, 1};
  one.Channel[1].Config.CtrlLow = 5;
  one.Channel[1].Config.CtrlHigh = 9;
  one.Channel[1].Value = 7.123;
  TAlarms alarms(time_, env_.Journal);
  TAlarmChecks checks(env_, alarms);
  checks.Evaluate(list_);
  ASSERT_EQ(alarms.ActiveCount(), 0);
  const long before = gMallocs.load();
  checks.Evaluate(list_);
  EXPECT_EQ(gMallocs.load() - before, 0);

  // Raised, it is worded with the values of the moment.
  one.Channel[1].Value = 9.5;
  alarms.ClearHold = 0;
  one.AlarmSettings.LimitGrace = 0;
  checks.Evaluate(list_);
  ASSERT_EQ(alarms.ActiveCount(), 1);
  EXPECT_TRUE(one.PanelState.AlarmText.contains(QStringLiteral("9.50 вне пределов 5.00…9.00")))
      << one.PanelState.AlarmText.toStdString();
}
