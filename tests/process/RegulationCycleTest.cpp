#include <functional>

#include "devices/CANBus.h"
#include "devices/CANMixer.h"
#include "process/ChannelRegulation.h"
#include "process/MinuteStatistics.h"
#include "process/MixerControl.h"
#include "process/OutputChannels.h"
#include "process/OutputCycle.h"
#include "process/RegulationCycle.h"
#include "process/StatusSink.h"
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
    p.Mode = TVesselMode::Batch;
    p.Channel[1].Config.CtrlEnable = 1;
    p.Channel[1].Config.CtrlOutUp = 3;
    p.Channel[1].Config.Setpoint = 7.0;
    p.Channel[1].Value = 6.8;
    p.Channel[1].Minute.Avg = 6.8;
    p.Channel[1].Config.DeadZone = 0.05;
    p.Channel[1].Config.CtrlLow = 5;
    p.Channel[1].Config.CtrlHigh = 9;
    p.Config.kskachok = 1;
    p.Channel[1].Config.GainUp = 2;
    return p;
  }
};

TEST_F(RegulationTest, WorkedPhExampleDosesTenTicks) {
  TVortaProcess& p = PhProcess();
  RegulateChannel(p, 1);
  EXPECT_EQ(p.Channel[1].Status, TRegulationStatus::Normal);
  EXPECT_EQ(p.Channel[1].PulseLength, 10);
  EXPECT_TRUE(p.OutputWord & (1U << 2));
  for (int tick = 1; tick <= 9; ++tick) {
    OutputCycle(context_);
    ASSERT_TRUE(p.OutputWord & (1U << 2)) << tick;
  }
  OutputCycle(context_);
  EXPECT_FALSE(p.OutputWord & (1U << 2));
  EXPECT_EQ(p.Channel[1].PulseActive, 0);
}

TEST_F(RegulationTest, StatusCodesInTheirTestOrder) {
  TVortaProcess& p = PhProcess();
  struct TCase {
    const char* what;
    std::function<void(TVortaProcess&)> change;
    TRegulationStatus status;
  };
  const std::vector<TCase> cases = {
      {"disabled beats mode",
       [](auto& q) {
         q.Channel[1].Config.CtrlEnable = 0;
         q.Channel[1].Config.CtrlModes[1] = 0;
       },
       TRegulationStatus::Disabled},
      {"not in this mode",
       [](auto& q) {
         q.Channel[1].Config.CtrlModes[1] = 0;
         q.Channel[1].Config.CtrlOutUp = 0;
       },
       TRegulationStatus::OffInMode},
      {"no outputs",
       [](auto& q) {
         q.Channel[1].Config.CtrlOutUp = 0;
         q.Channel[1].Value = 7.0;
       },
       TRegulationStatus::NoOutputs},
      {"dead zone equal to deviation",
       [](auto& q) {
         q.Channel[1].Value = q.Channel[1].Minute.Avg = 6.75;
         q.Channel[1].Config.DeadZone = 0.25;
       },
       TRegulationStatus::InDeadZone},
      // 7.00 - 6.80 is a hair above 0.20 in binary.
      {"dead zone equal to a decimal deviation",
       [](auto& q) { q.Channel[1].Config.DeadZone = 0.2; }, TRegulationStatus::InDeadZone},
      {"above high",
       [](auto& q) {
         q.Channel[1].Config.Setpoint = 9.5;
         q.Channel[1].Value = 9.2;
       },
       TRegulationStatus::AboveHigh},
      {"below low", [](auto& q) { q.Channel[1].Value = 4.0; }, TRegulationStatus::BelowLow},
      {"spike with kskachok 0",
       [](auto& q) {
         q.Config.kskachok = 0;
         q.Channel[1].Minute.Avg = 6.81;
       },
       TRegulationStatus::Spike},
  };
  for (const TCase& c : cases) {
    TVortaProcess& q = PhProcess();
    q.Channel[1].Config.CtrlModes = {0, 1, 1, 1};
    c.change(q);
    RegulateChannel(q, 1);
    EXPECT_EQ(q.Channel[1].Status, c.status) << c.what;
    EXPECT_FALSE(q.OutputWord & (1U << 2)) << c.what;
  }
  (void)p;
}

TEST_F(RegulationTest, DeviationAboveSetpointDosesDownOutput) {
  TVortaProcess& p = PhProcess();
  p.Channel[1].Config.CtrlModes = {0, 1, 1, 1};
  p.Channel[1].Config.CtrlOutDown = 4;
  p.Channel[1].Config.GainDown = 1;
  p.Channel[1].Value = 7.4;
  p.Channel[1].Minute.Avg = 7.4;
  RegulateChannel(p, 1);
  EXPECT_EQ(p.Channel[1].Status, TRegulationStatus::Normal);
  EXPECT_EQ(p.Channel[1].PulseLength, 10);  // 1 × 25 × 0.4
  EXPECT_TRUE(p.OutputWord & (1U << 3));
  EXPECT_FALSE(p.OutputWord & (1U << 2));
}

// eH at -170 mV against -150 mV doses as +170 against +150 does, and a
// real jump is a spike on both sides of zero.
TEST_F(RegulationTest, SpikeTestIsTheSameOnBothSidesOfZero) {
  for (const double sign : {1.0, -1.0}) {
    for (const double k : {1.0, 0.5}) {
      TVortaProcess& p = AddProcess(1);
      p.Mode = TVesselMode::Batch;
      TChannelConfig& cfg = p.Channel[4].Config;
      cfg.CtrlEnable = 1;
      cfg.CtrlModes = {0, 1, 1, 1};
      cfg.CtrlOutDown = 6;
      cfg.GainDown = 0.01;
      cfg.CtrlLow = -1000;
      cfg.CtrlHigh = 1000;
      cfg.DeadZone = 5;
      cfg.Setpoint = sign * 150;
      p.Config.kskachok = k;
      p.Channel[4].Value = sign * 170;
      p.Channel[4].Minute.Avg = sign * 20;  // a jump of 150
      RegulateChannel(p, 4);
      EXPECT_EQ(p.Channel[4].Status,
                k == 1.0 ? TRegulationStatus::Normal : TRegulationStatus::Spike)
          << sign << " " << k;
    }
  }
}

TEST_F(RegulationTest, OutputNumberAbove255EndsItsPulse) {
  TVortaProcess& p = PhProcess();
  p.Channel[1].Config.CtrlModes = {0, 1, 1, 1};
  p.Channel[1].Config.CtrlOutUp = 257;  // output 1
  RegulateChannel(p, 1);
  ASSERT_TRUE(p.OutputWord & 0x1);
  for (int tick = 1; tick <= 10; ++tick) OutputCycle(context_);
  EXPECT_FALSE(p.OutputWord & 0x1);
}

// The heater channel with no lower limit, as a dead temperature probe meets it.
TEST_F(RegulationTest, InvalidReadingNeverDosesButAValidZeroDoes) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = TVesselMode::Batch;
  p.Channel[2].Config.CtrlEnable = 1;
  p.Channel[2].Config.CtrlLow = 0;
  program_.DefWarm = 0;
  program_.IndexWater = 8;
  THeadlessStatusSink window;
  p.StatusSink = &window;
  p.StatusSubject = 2;
  p.Channel[2].AdcHistory[2] = 1100;  // 1.00 against 7.00: a long pulse starts
  RegulationCycle(context_);
  ASSERT_TRUE(p.OutputWord & 0x80);
  for (const std::uint16_t code : {0, 2500}) {  // no signal; 15.00 above the limit 14.00
    p.Channel[2].AdcHistory[2] = code;
    for (int tick = 1; tick <= 45; ++tick) {  // across minute closes
      RegulationCycle(context_);
      ASSERT_FALSE(p.OutputWord & 0x80) << code << " " << tick;
      ASSERT_EQ(p.Channel[2].Status, TRegulationStatus::InvalidReading) << code << " " << tick;
    }
  }
  EXPECT_EQ(window.Lines.back(), QStringLiteral("Управление запрещено из-за ошибки измерения"));
  p.StatusSink = nullptr;
  // 0.00 read by a live probe: held back until a minute of valid readings
  // gives a mean, then regulated.
  p.Channel[2].AdcHistory[2] = 1000;
  RegulationCycle(context_);
  EXPECT_EQ(p.Channel[2].Status, TRegulationStatus::Spike);
  EXPECT_FALSE(p.OutputWord & 0x80);
  while (program_.TwoSecondTicks != 0) RegulationCycle(context_);
  RegulationCycle(context_);
  EXPECT_EQ(p.Channel[2].Status, TRegulationStatus::Normal);
  EXPECT_TRUE(p.OutputWord & 0x80);
}

TEST_F(RegulationTest, UncontrolledOrUnknownModeSwitchesNothingAndKeepsStatus) {
  for (std::uint8_t mode : {0, 7}) {
    TVortaProcess& p = PhProcess();
    p.Channel[1].Config.CtrlModes = {1, 1, 1, 1};
    p.Mode = VesselMode(mode);
    p.Channel[1].Status = TRegulationStatus::BelowLow;
    p.Channel[1].CtrlCounter = 3;
    RegulateChannel(p, 1);
    EXPECT_EQ(p.Channel[1].Status, TRegulationStatus::BelowLow);
    EXPECT_EQ(p.Channel[1].CtrlCounter, 0);
    EXPECT_FALSE(p.OutputWord & (1U << 2));
  }
}

TEST_F(RegulationTest, Po2ByMixerHoldsCodesAtTheZoneEdges) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = TVesselMode::Chemostat;
  p.Config.po2ctrlmotor = 1;
  p.Channel[3].Config.Setpoint = 30;
  p.Channel[3].Config.DeadZone = 1;
  p.Channel[3].Config.CtrlLow = 0;
  p.Channel[3].Config.CtrlHigh = 100;
  p.Config.kskachok = 1;
  p.MixerRpm = 300;
  p.Config.po2mixcodeleftzone = 60;
  p.Config.po2mixcoderightzone = 500;

  p.Channel[3].Value = p.Channel[3].Minute.Avg = 20;  // below setpoint: speed up
  p.MixCode = 255;
  RegulatePo2ByMixer(p);
  EXPECT_EQ(p.MixCode, 255);
  EXPECT_EQ(p.Channel[3].Status, TRegulationStatus::Normal);

  p.Channel[3].Value = p.Channel[3].Minute.Avg = 40;  // above: slow down
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
  p.Mode = TVesselMode::Batch;
  p.Config.po2ctrlmotor = 1;
  p.Channel[3].Config.Setpoint = 30;
  p.Channel[3].Config.CtrlHigh = 100;
  p.Channel[3].Value = p.Channel[3].Minute.Avg = 20;
  p.MixCode = 100;
  p.Config.MixSet = 510;
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
    p.Channel[1].Value = slot == 7 ? 0.0 : (slot == 9 ? 13.0 : 7.0);
    AccumulateSample(p, slot);
  }
  CloseMinute(p);
  EXPECT_NEAR(p.Channel[1].Minute.Avg, 7.0, 1e-12);
  EXPECT_EQ(p.Channel[1].Minute.Min, 0.0);
  EXPECT_EQ(p.Channel[1].Minute.Max, 13.0);
  EXPECT_EQ(p.Channel[1].Minute.Low, p.Channel[1].Config.MaxValue);
  EXPECT_EQ(p.Channel[1].Minute.High, p.Channel[1].Config.MinValue);
  // A slot outside the minute is not stored anywhere.
  AccumulateSample(p, 31);
  EXPECT_EQ(p.Channel[1].Minute.Sum, 0.0);

  // Invalid readings leave the mean to the valid ones.
  for (int slot = 1; slot <= 30; ++slot) {
    p.Channel[1].ReadingInvalid = slot % 3 == 0 ? 1 : 0;
    p.Channel[1].Value = p.Channel[1].ReadingInvalid != 0 ? 0.0 : (slot == 4 ? 6.0 : 7.0);
    AccumulateSample(p, slot);
  }
  CloseMinute(p);
  EXPECT_NEAR(p.Channel[1].Minute.Avg, 7.0, 1e-12);
  EXPECT_EQ(p.Channel[1].Minute.Min, 6.0);
  EXPECT_EQ(p.Channel[1].Minute.AvgInvalid, 0);
}

TEST_F(RegulationTest, CycleShowsLinkModeRpmAndSeconds) {
  TVortaProcess& withBoard = AddProcess(1, "Board1");
  TVortaProcess& without = AddProcess(2);
  withBoard.Mode = VesselMode(9);  // only a bad file gives this: shown as uncontrolled
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
  p.Config.LightCh = 8;
  p.Config.LightTime = 2;
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
  EXPECT_EQ(p.Channel[2].Config.CtrlOutUp, 7);
  program_.DefWarm = 0;
  RegulationCycle(context_);
  EXPECT_EQ(p.Channel[2].Config.CtrlOutUp, 8);
  program_.DefWarm = 5;
  RegulationCycle(context_);
  EXPECT_EQ(p.Channel[2].Config.CtrlOutUp, 8);
}

}  // namespace
}  // namespace vorta::testing
