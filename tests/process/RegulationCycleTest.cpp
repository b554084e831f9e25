#include <functional>

#include "devices/CANDevices.h"
#include "process/StatusSink.h"
#include "process/OutputChannels.h"
#include "process/ProcessCycles.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

TEST(ConvertChannel, TwoPointCalibrationAndLimits) {
  const TConversion ok = ConvertChannel(1680, 1000, 2000, 0, 10, 0.5, 0, 14);
  EXPECT_NEAR(ok.Value, 7.3, 1e-9);
  EXPECT_EQ(ok.Error, 0);
  // Falling calibration: differences are signed.
  EXPECT_NEAR(ConvertChannel(1500, 2000, 1000, 0, 10, 0, 0, 14).Value, 5, 1e-9);
}

TEST(ConvertChannel, EqualCodesGiveZeroAndError2CodeZeroGivesError3) {
  const TConversion equal = ConvertChannel(1500, 1000, 1000, 0, 10, 0, -100, 100);
  EXPECT_EQ(equal.Value, 0);
  EXPECT_EQ(equal.Error, 2);
  const TConversion zero = ConvertChannel(0, 1000, 1000, 0, 10, 0, -100, 100);
  EXPECT_EQ(zero.Value, 0);
  EXPECT_EQ(zero.Error, 3);  // 3 wins over 2
}

TEST(ConvertChannel, OutsideTheValidityLimitsReadsZero) {
  EXPECT_EQ(ConvertChannel(900, 1000, 2000, 0, 10, 0, 0, 14).Value, 0);    // -1 < Min
  EXPECT_EQ(ConvertChannel(2500, 1000, 2000, 0, 10, 0, 0, 14).Value, 0);   // 15 > Max
  EXPECT_EQ(ConvertChannel(2400, 1000, 2000, 0, 10, 0, 0, 14).Value, 14);  // on the limit
}

TEST(PulseTicksFor, RoundsHalvesToEvenAndHoldsTo16Bits) {
  EXPECT_EQ(PulseTicksFor(2, 0.2), 10);
  EXPECT_EQ(PulseTicksFor(0.5, 0.5), 6);  // 6.25
  EXPECT_EQ(PulseTicksFor(0.1, 1), 2);    // 2.5 → 2
  EXPECT_EQ(PulseTicksFor(0.14, 1), 4);   // 3.5 → 4
  // 100 s per unit × 40 units = 100,000 ticks: would wrap to a 1.4-s pulse.
  EXPECT_EQ(PulseTicksFor(100, 40), 65535);
  EXPECT_EQ(PulseTicksFor(-2, 1), 0);
}

class RegulationTest : public ProcessFixture {
 protected:
  // The worked pH example: setpoint 7.00, value 6.80, last mean 6.80.
  TVortaProcess& PhProcess() {
    TVortaProcess& p = AddProcess(1);
    p.Mode = 1;
    p.CtrlEnable[1] = 1;
    p.CtrlOutUp[1] = 3;
    p.Setpoint[1] = 7.0;
    p.CurrentValue[1] = 6.8;
    p.MinuteAvg[1] = 6.8;
    p.DeadZone[1] = 0.05;
    p.CtrlLow[1] = 5;
    p.CtrlHigh[1] = 9;
    p.kskachok = 1;
    p.GainUp[1] = 2;
    return p;
  }
};

TEST_F(RegulationTest, WorkedPhExampleDosesTenTicks) {
  TVortaProcess& p = PhProcess();
  RegulateChannel(p, 1);
  EXPECT_EQ(p.CtrlStatus[1], 0);
  EXPECT_EQ(p.PulseLength[1], 10);
  EXPECT_TRUE(p.OutputWord & (1U << 2));
  for (int tick = 1; tick <= 9; ++tick) {
    OutputCycle(context_);
    ASSERT_TRUE(p.OutputWord & (1U << 2)) << tick;
  }
  OutputCycle(context_);
  EXPECT_FALSE(p.OutputWord & (1U << 2));
  EXPECT_EQ(p.PulseActive[1], 0);
}

TEST_F(RegulationTest, StatusCodesInTheirTestOrder) {
  TVortaProcess& p = PhProcess();
  struct TCase {
    const char* what;
    std::function<void(TVortaProcess&)> change;
    int status;
  };
  const std::vector<TCase> cases = {
      {"disabled beats mode",
       [](auto& q) {
         q.CtrlEnable[1] = 0;
         q.CtrlModes[1][1] = 0;
       },
       1},
      {"not in this mode",
       [](auto& q) {
         q.CtrlModes[1][1] = 0;
         q.CtrlOutUp[1] = 0;
       },
       6},
      {"no outputs",
       [](auto& q) {
         q.CtrlOutUp[1] = 0;
         q.CurrentValue[1] = 7.0;
       },
       2},
      {"dead zone equal to deviation",
       [](auto& q) {
         q.CurrentValue[1] = q.MinuteAvg[1] = 6.75;
         q.DeadZone[1] = 0.25;
       },
       3},
      // 7.00 - 6.80 is a hair above 0.20 in binary.
      {"dead zone equal to a decimal deviation", [](auto& q) { q.DeadZone[1] = 0.2; }, 3},
      {"above high",
       [](auto& q) {
         q.Setpoint[1] = 9.5;
         q.CurrentValue[1] = 9.2;
       },
       4},
      {"below low", [](auto& q) { q.CurrentValue[1] = 4.0; }, 5},
      {"spike with kskachok 0",
       [](auto& q) {
         q.kskachok = 0;
         q.MinuteAvg[1] = 6.81;
       },
       7},
  };
  for (const TCase& c : cases) {
    TVortaProcess& q = PhProcess();
    q.CtrlModes[1] = {0, 1, 1, 1};
    c.change(q);
    RegulateChannel(q, 1);
    EXPECT_EQ(q.CtrlStatus[1], c.status) << c.what;
    EXPECT_FALSE(q.OutputWord & (1U << 2)) << c.what;
  }
  (void)p;
}

TEST_F(RegulationTest, DeviationAboveSetpointDosesDownOutput) {
  TVortaProcess& p = PhProcess();
  p.CtrlModes[1] = {0, 1, 1, 1};
  p.CtrlOutDown[1] = 4;
  p.GainDown[1] = 1;
  p.CurrentValue[1] = 7.4;
  p.MinuteAvg[1] = 7.4;
  RegulateChannel(p, 1);
  EXPECT_EQ(p.CtrlStatus[1], 0);
  EXPECT_EQ(p.PulseLength[1], 10);  // 1 × 25 × 0.4
  EXPECT_TRUE(p.OutputWord & (1U << 3));
  EXPECT_FALSE(p.OutputWord & (1U << 2));
}

TEST_F(RegulationTest, OutputNumberAbove255EndsItsPulse) {
  TVortaProcess& p = PhProcess();
  p.CtrlModes[1] = {0, 1, 1, 1};
  p.CtrlOutUp[1] = 257;  // output 1
  RegulateChannel(p, 1);
  ASSERT_TRUE(p.OutputWord & 0x1);
  for (int tick = 1; tick <= 10; ++tick) OutputCycle(context_);
  EXPECT_FALSE(p.OutputWord & 0x1);
}

// The heater channel with no lower limit, as a dead temperature probe meets it.
TEST_F(RegulationTest, InvalidReadingNeverDosesButAValidZeroDoes) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = 1;
  p.CtrlEnable[2] = 1;
  p.CtrlLow[2] = 0;
  program_.DefWarm = 0;
  program_.IndexWater = 8;
  THeadlessStatusSink window;
  p.StatusSink = &window;
  p.DialogChannel = 2;
  p.AdcHistory[2][2] = 1100;  // 1.00 against 7.00: a long pulse starts
  RegulationCycle(context_);
  ASSERT_TRUE(p.OutputWord & 0x80);
  for (const std::uint16_t code : {0, 2500}) {  // no signal; 15.00 above the limit 14.00
    p.AdcHistory[2][2] = code;
    for (int tick = 1; tick <= 45; ++tick) {  // across minute closes
      RegulationCycle(context_);
      ASSERT_FALSE(p.OutputWord & 0x80) << code << " " << tick;
      ASSERT_EQ(p.CtrlStatus[2], 8) << code << " " << tick;
    }
  }
  EXPECT_EQ(window.Lines.back(), QStringLiteral("Управление запрещено из-за ошибки измерения"));
  p.StatusSink = nullptr;
  // 0.00 read by a live probe: held back until a minute of valid readings
  // gives a mean, then regulated.
  p.AdcHistory[2][2] = 1000;
  RegulationCycle(context_);
  EXPECT_EQ(p.CtrlStatus[2], 7);
  EXPECT_FALSE(p.OutputWord & 0x80);
  while (program_.TwoSecondTicks != 0) RegulationCycle(context_);
  RegulationCycle(context_);
  EXPECT_EQ(p.CtrlStatus[2], 0);
  EXPECT_TRUE(p.OutputWord & 0x80);
}

TEST_F(RegulationTest, UncontrolledOrUnknownModeSwitchesNothingAndKeepsStatus) {
  for (std::uint8_t mode : {0, 7}) {
    TVortaProcess& p = PhProcess();
    p.CtrlModes[1] = {1, 1, 1, 1};
    p.Mode = mode;
    p.CtrlStatus[1] = 5;
    p.CtrlCounter[1] = 3;
    RegulateChannel(p, 1);
    EXPECT_EQ(p.CtrlStatus[1], 5);
    EXPECT_EQ(p.CtrlCounter[1], 0);
    EXPECT_FALSE(p.OutputWord & (1U << 2));
  }
}

TEST_F(RegulationTest, Po2ByMixerHoldsCodesAtTheZoneEdges) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = 2;
  p.po2ctrlmotor = 1;
  p.Setpoint[3] = 30;
  p.DeadZone[3] = 1;
  p.CtrlLow[3] = 0;
  p.CtrlHigh[3] = 100;
  p.kskachok = 1;
  p.MixerRpm = 300;
  p.po2mixcodeleftzone = 60;
  p.po2mixcoderightzone = 500;

  p.CurrentValue[3] = p.MinuteAvg[3] = 20;  // below setpoint: speed up
  p.MixCode = 255;
  RegulatePo2ByMixer(p);
  EXPECT_EQ(p.MixCode, 255);
  EXPECT_EQ(p.CtrlStatus[3], 0);

  p.CurrentValue[3] = p.MinuteAvg[3] = 40;  // above: slow down
  p.MixCode = 1;
  RegulatePo2ByMixer(p);
  EXPECT_EQ(p.MixCode, 1);

  p.MixCode = 100;
  p.MixerRpm = 60;  // at the left edge: not lowered
  RegulatePo2ByMixer(p);
  EXPECT_EQ(p.MixCode, 100);
}

TEST_F(RegulationTest, Po2StepWithStirrerStoppedChangesCodeButSendsNothing) {
  TVortaProcess& p = AddProcess(1);
  p.Mixer = dynamic_cast<TCANMixer*>(module_->Bus().FindByName(QStringLiteral("Mix1")));
  p.Mode = 1;
  p.po2ctrlmotor = 1;
  p.Setpoint[3] = 30;
  p.CtrlHigh[3] = 100;
  p.CurrentValue[3] = p.MinuteAvg[3] = 20;
  p.MixCode = 100;
  p.MixSet = 510;
  module_->FrameQueue().Clear();
  p.MixerRpm = 0;
  RegulatePo2ByMixer(p);
  EXPECT_EQ(p.MixCode, 101);
  EXPECT_TRUE(module_->FrameQueue().Empty());

  p.MixerRpm = 100;
  RegulatePo2ByMixer(p);
  ASSERT_EQ(module_->FrameQueue().Count(), 1U);
  module_->OnPacerTimer();
  const TCANFrame& f = adapter_->Sent.back();
  EXPECT_EQ(std::uint32_t{f.Id}, kMixerUid + 4);
  EXPECT_EQ(f.Data[0] | (f.Data[1] << 8), 204);  // 102 × 510 / 255
}

TEST_F(RegulationTest, MinuteMeanDropsLowestAndHighestAndDividesBy28) {
  TVortaProcess& p = AddProcess(1);
  for (int slot = 1; slot <= 30; ++slot) {
    p.CurrentValue[1] = slot == 7 ? 0.0 : (slot == 9 ? 13.0 : 7.0);
    AccumulateSample(p, slot);
  }
  CloseMinute(p);
  EXPECT_NEAR(p.MinuteAvg[1], 7.0, 1e-12);
  EXPECT_EQ(p.MinuteMin[1], 0.0);
  EXPECT_EQ(p.MinuteMax[1], 13.0);
  EXPECT_EQ(p.MinuteLow[1], p.MaxValue[1]);
  EXPECT_EQ(p.MinuteHigh[1], p.MinValue[1]);
  // A slot outside the minute is not stored anywhere.
  AccumulateSample(p, 31);
  EXPECT_EQ(p.MinuteSum[1], 0.0);

  // Invalid readings leave the mean to the valid ones.
  for (int slot = 1; slot <= 30; ++slot) {
    p.ReadingInvalid[1] = slot % 3 == 0 ? 1 : 0;
    p.CurrentValue[1] = p.ReadingInvalid[1] != 0 ? 0.0 : (slot == 4 ? 6.0 : 7.0);
    AccumulateSample(p, slot);
  }
  CloseMinute(p);
  EXPECT_NEAR(p.MinuteAvg[1], 7.0, 1e-12);
  EXPECT_EQ(p.MinuteMin[1], 6.0);
  EXPECT_EQ(p.MinuteAvgInvalid[1], 0);
}

TEST_F(RegulationTest, CycleShowsLinkModeRpmAndSeconds) {
  TVortaProcess& withBoard = AddProcess(1, "Board1");
  TVortaProcess& without = AddProcess(2);
  withBoard.Mode = 9;  // only a bad file gives this: shown as uncontrolled
  RegulationCycle(context_);
  EXPECT_EQ(withBoard.PanelState.StatusText[3], QStringLiteral("Net Err"));
  EXPECT_EQ(withBoard.PanelState.StatusColor[3], kClYellow);
  EXPECT_EQ(withBoard.PanelState.StatusText[2], QStringLiteral("Режим: Неконтролируемый"));
  EXPECT_EQ(withBoard.PanelState.StatusText[0], QStringLiteral("2"));
  EXPECT_EQ(without.PanelState.SimpleText, QStringLiteral("Плата сбора данных не задана!"));
  EXPECT_EQ(without.PanelState.StatusText[1], QStringLiteral("Об/мин: 0"));

  InjectCodes(1680, 1500, 1500, 1500);
  without.MixerRpm = 2;
  RegulationCycle(context_);
  EXPECT_EQ(withBoard.PanelState.StatusText[3], QStringLiteral("Net OK"));
  EXPECT_EQ(withBoard.PanelState.StatusColor[3], kClBtnFace);
  EXPECT_EQ(without.PanelState.StatusText[1], QStringLiteral("Об/мин: 2"));
  EXPECT_EQ(without.PanelState.StatusText[0], QStringLiteral("4"));
}

TEST_F(RegulationTest, LightIsSwitchedOffWhenItsCountdownEnds) {
  TVortaProcess& p = AddProcess(1);
  p.LightCh = 8;
  p.LightTime = 2;
  p.LightCountdown = 2;
  SetOutput(p, 8, true);
  p.PanelState.LightFontColor = kClYellow;
  RegulationCycle(context_);
  EXPECT_TRUE(p.OutputWord & 0x80);
  RegulationCycle(context_);
  EXPECT_FALSE(p.OutputWord & 0x80);
  EXPECT_EQ(p.PanelState.LightFontColor, kClBlack);
  EXPECT_EQ(p.LightCountdown, 2);
}

TEST_F(RegulationTest, HeatingOutputFollowsDefWarm) {
  TVortaProcess& p = AddProcess(1);
  program_.IndexWater = 8;
  program_.IndexSteam = 7;
  program_.DefWarm = 1;
  RegulationCycle(context_);
  EXPECT_EQ(p.CtrlOutUp[2], 7);
  program_.DefWarm = 0;
  RegulationCycle(context_);
  EXPECT_EQ(p.CtrlOutUp[2], 8);
  program_.DefWarm = 5;
  RegulationCycle(context_);
  EXPECT_EQ(p.CtrlOutUp[2], 8);
}

}  // namespace
}  // namespace vorta::testing
