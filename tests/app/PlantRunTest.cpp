// The controller and the virtual plant together on virtual time: the demo
// folder regulates, a silent module shows as a lost link, and a stirrer is
// kept turning.

#include <gtest/gtest.h>

#include <QFile>

#include "DemoRunFixture.h"
#include "commands/FillRun.h"
#include "commands/MixerWindowLogic.h"
#include "devices/CANMixer.h"
#include "journal/Alarms.h"
#include "sim/SimDrives.h"
#include "sim/VirtualPlant.h"

using namespace vorta;

namespace {

constexpr std::int64_t kMinute = 60'000;

class PlantRunTest : public test::TDemoRunFixture<THeadlessWindowFactory> {
 protected:
  QStringList LogRows(int vessel) const {
    QStringList rows = QString::fromUtf8(folder.Read(QStringLiteral("Protocol%1.txt").arg(vessel)))
                           .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (!rows.isEmpty()) rows.removeFirst();  // header
    return rows;
  }
};

}  // namespace

TEST_F(PlantRunTest, batchVesselsHoldTheirSetpointsForTwoHours) {
  StartDemoVessels(form->Processes());
  time.AdvanceBy(120 * kMinute);
  for (int i = 0; i < form->Processes().Count(); ++i) {
    const TVortaProcess& p = *form->Processes().ProcessAt(i);
    SCOPED_TRACE(p.Caption().toStdString());
    EXPECT_EQ(p.Mode, TVesselMode::Batch);
    EXPECT_NEAR(p.Channel[1].Minute.Avg, p.Channel[1].Config.Setpoint, 0.1);
    EXPECT_NEAR(p.Channel[2].Minute.Avg, p.Channel[2].Config.Setpoint, 0.5);
    EXPECT_GT(p.Channel[3].Minute.Avg, p.Channel[3].Config.MinValue);
    EXPECT_EQ(p.PanelState.StatusText[3], "Net OK");
    // The log says the same: its last row, fields pH/SetpH/tC/SettC/pO2.
    const QStringList rows = LogRows(p.Config.NumProcess);
    ASSERT_GE(rows.size(), 115);
    const QStringList f = rows.last().split(u'\t');
    ASSERT_EQ(f.size(), 22);
    EXPECT_NEAR(f[2].trimmed().toDouble(), f[3].trimmed().toDouble(), 0.1);
    EXPECT_NEAR(f[4].trimmed().toDouble(), f[5].trimmed().toDouble(), 0.5);
    EXPECT_GT(f[6].trimmed().toDouble(), 0.0);
    EXPECT_EQ(f[20], "Net OK");
    EXPECT_EQ(f[21], "Butch");
  }
}

TEST_F(PlantRunTest, silentModuleTurnsNetErrAfterTenSecondsAndBackWhenItAnswers) {
  time.AdvanceBy(5'000);
  TVortaProcess& p = *form->Processes().ProcessAt(0);
  ASSERT_EQ(p.PanelState.StatusText[3], "Net OK");
  sim::TSimDevice* board = plant->Plant()->FindDevice(QStringLiteral("Board1"));
  ASSERT_NE(board, nullptr);
  board->SetSilent(true);
  time.AdvanceBy(8'000);
  EXPECT_EQ(p.PanelState.StatusText[3], "Net OK");  // heard from within the last 10 s
  time.AdvanceBy(6'000);
  EXPECT_EQ(p.PanelState.StatusText[3], "Net Err");
  EXPECT_EQ(form->Processes().ProcessAt(1)->PanelState.StatusText[3], "Net OK");
  board->SetSilent(false);
  time.AdvanceBy(6'000);
  EXPECT_EQ(p.PanelState.StatusText[3], "Net OK");
}

TEST_F(PlantRunTest, fillRunDosesTheSelectedVesselsByThePhaseTable) {
  TFillControl& fill = *form->Fill();
  const double volumeBefore = plant->Plant()->Vessel(0).Model.State().V;
  const double otherBefore = plant->Plant()->Vessel(1).Model.State().V;
  fill.SetTarget(3);
  fill.SetBoxChecked(1, true);
  fill.StartStopClick();
  ASSERT_TRUE(fill.FillRunning);
  EXPECT_FALSE(form->MeasureTimer().Enabled());  // measurement suspended during the run
  time.AdvanceBy(3'000);                         // three doses of three 120-ms phases
  EXPECT_FALSE(fill.FillRunning);
  // The medium went into the first vessel only (the other one only loses a
  // little to evaporation); the valve is closed again.
  EXPECT_GT(plant->Plant()->Vessel(0).Model.State().V, volumeBefore);
  EXPECT_LE(plant->Plant()->Vessel(1).Model.State().V, otherBefore);
  const TVortaProcess& first = *form->Processes().ProcessAt(0);
  EXPECT_EQ(first.OutputWord & (1U << (first.Config.Klapan - 1)), 0U);
  EXPECT_TRUE(fill.CloseQuery());
  EXPECT_TRUE(form->MeasureTimer().Enabled());
}

TEST_F(PlantRunTest, mixerWindowStepsAndStopReachTheStirrer) {
  time.AdvanceBy(30'000);                                  // the soft start has reached MixCode
  TVortaProcess& dc = *form->Processes().ProcessAt(0);     // DC drive
  TVortaProcess& omron = *form->Processes().ProcessAt(1);  // inverter
  for (TVortaProcess* p : {&dc, &omron}) {
    SCOPED_TRACE(p->Caption().toStdString());
    const int expected = static_cast<int>(std::lround(p->MixCode * p->Config.MixSet / 255.0));
    EXPECT_NEAR(p->MixerRpm, expected, 15);
    for (int i = 0; i < 20; ++i) MixSpinUp(*p);
    time.AdvanceBy(12'000);
    EXPECT_NEAR(p->MixerRpm, std::lround(p->MixCode * p->Config.MixSet / 255.0), 15);
    EXPECT_GT(p->MixerRpm, expected + 50);
    StopMixerClick(*p);
    time.AdvanceBy(12'000);
    EXPECT_LT(p->MixerRpm, 10);
  }
}

namespace {
int ExpectedRpm(const TVortaProcess& p) {
  return static_cast<int>(std::lround(p.MixCode * p.Config.MixSet / 255.0));
}
}  // namespace

TEST_F(PlantRunTest, stirrerTurnsAgainAfterItsDriveWasPowerCycled) {
  time.AdvanceBy(30'000);  // the soft start has reached MixCode
  for (int i : {0, 1}) {   // the DC drive, the inverter
    TVortaProcess& p = *form->Processes().ProcessAt(i);
    SCOPED_TRACE(p.Caption().toStdString());
    ASSERT_NEAR(p.MixerRpm, ExpectedRpm(p), 15);
    sim::TSimDrive* drive = plant->Plant()->Vessel(static_cast<std::size_t>(i)).Mixer;
    ASSERT_NE(drive, nullptr);
    // Off the bus past the link timeout or for a 3-s blip within it, then
    // back fresh: stopped, no setpoint. Then stopped at the drive itself.
    for (const std::int64_t off : {15'000, 3'000, -1}) {
      SCOPED_TRACE(off);
      if (off >= 0) {
        drive->SetSilent(true);
        time.AdvanceBy(off);
        drive->PowerCycle();
        drive->SetSilent(false);
      } else if (auto* dc = dynamic_cast<sim::TSimDcDrive*>(drive)) {
        dc->SetWord(sim::TSimDcDrive::kRegRun, 0);
      }
      time.AdvanceBy(25'000);
      EXPECT_TRUE(drive->Running());
      EXPECT_NEAR(p.MixerRpm, ExpectedRpm(p), 15);
      EXPECT_EQ(form->Alarms().Find(p.Config.NumProcess, TAlarmKind::StirrerStill, p.Mixer->Name),
                nullptr);
    }
  }
}

TEST_F(PlantRunTest, aStartedStirrerStandingStillIsAnAlarmAfterItsGraceTimeAndAStoppedOneIsNot) {
  time.AdvanceBy(30'000);
  TVortaProcess& dc = *form->Processes().ProcessAt(0);
  TVortaProcess& omron = *form->Processes().ProcessAt(1);
  // Blocked at the drive: restarting does not help.
  auto* drive = dynamic_cast<sim::TSimDcDrive*>(plant->Plant()->Vessel(0).Mixer);
  ASSERT_NE(drive, nullptr);
  drive->SetJammed(true);
  StopMixerClick(omron);
  time.AdvanceBy(50'000);  // standing, but within the 60-s grace
  EXPECT_EQ(dc.MixerRpm, 0);
  EXPECT_EQ(form->Alarms().Find(dc.Config.NumProcess, TAlarmKind::StirrerStill, dc.Mixer->Name),
            nullptr);
  time.AdvanceBy(30'000);
  const TAlarm* still =
      form->Alarms().Find(dc.Config.NumProcess, TAlarmKind::StirrerStill, dc.Mixer->Name);
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(AlarmArguments(*still, TAlarmEvent::Raised)[4], "stirrer");
  EXPECT_EQ(
      form->Alarms().Find(omron.Config.NumProcess, TAlarmKind::StirrerStill, omron.Mixer->Name),
      nullptr)
      << "stopped by the operator";
  drive->SetJammed(false);
  time.AdvanceBy(70'000);  // turning again, and cleared once the 60-s hold has passed
  EXPECT_GT(dc.MixerRpm, 0);
  EXPECT_EQ(form->Alarms().Find(dc.Config.NumProcess, TAlarmKind::StirrerStill, dc.Mixer->Name),
            nullptr);
}
