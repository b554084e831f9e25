#include "devices/CANBus.h"
#include "devices/MixerDC.h"
#include "process/MeasurementCycle.h"
#include "process/OutputChannels.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

class MeasurementCycleTest : public ProcessFixture {};

TEST_F(MeasurementCycleTest, MedianOfThreeCodesFromTheModule) {
  TVortaProcess& p = AddProcess(1, "Board1");
  // Three 500-ms samples with codes 1000, 20, 500 on input 0 (pH).
  for (std::uint16_t code : {1000, 20, 500}) {
    InjectCodes(code, 7, 65535, 1);
    MeasurementCycle(context_);
  }
  EXPECT_EQ(p.Channel[1].AdcHistory[2], 500);
  EXPECT_EQ(p.Channel[1].AdcHistory[1], 20);
  EXPECT_EQ(p.Channel[1].AdcHistory[3], 1000);
  // Codes compare as unsigned: 65535 is the largest, not -1.
  EXPECT_EQ(p.Channel[3].AdcHistory[2], 65535);
  EXPECT_EQ(p.SampleSlot, 0);
}

TEST_F(MeasurementCycleTest, SampleSlotCyclesOneToThreeAndSortsOnlyOnTheThird) {
  TVortaProcess& p = AddProcess(1, "Board1");
  InjectCodes(900, 0, 0, 0);
  MeasurementCycle(context_);
  EXPECT_EQ(p.SampleSlot, 1);
  InjectCodes(100, 0, 0, 0);
  MeasurementCycle(context_);
  EXPECT_EQ(p.SampleSlot, 2);
  // Between the second and third sample the regulation reads the raw second code.
  EXPECT_EQ(p.Channel[1].AdcHistory[2], 100);
  InjectCodes(500, 0, 0, 0);
  MeasurementCycle(context_);
  EXPECT_EQ(p.SampleSlot, 0);
  EXPECT_EQ(p.Channel[1].AdcHistory[2], 500);
}

TEST_F(MeasurementCycleTest, ElapsedClockTextAndBlink) {
  TVortaProcess& p = AddProcess(1);
  program_.EftRunning = true;
  program_.EftStartMs = time_.MonotonicMs() - 3'600'000;
  MeasurementCycle(context_);
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:1:0"));
  EXPECT_EQ(p.PanelState.StatusText[4], QStringLiteral("EFT:1:0"));  // slot 1: shown
  MeasurementCycle(context_);
  EXPECT_EQ(p.PanelState.StatusText[4], QString());  // slot 2: blank

  program_.EftStartMs = time_.MonotonicMs() - 3'599'000;
  MeasurementCycle(context_);
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:0:59"));

  program_.EftStartMs = time_.MonotonicMs() - (26 * 3600 + 5 * 60) * 1000;
  MeasurementCycle(context_);
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:26:5"));

  // Stopped: the last text steadily, whatever the slot.
  program_.EftRunning = false;
  for (int i = 0; i < 3; ++i) {
    MeasurementCycle(context_);
    EXPECT_EQ(p.PanelState.StatusText[4], QStringLiteral("EFT:26:5"));
  }
}

TEST_F(MeasurementCycleTest, EventGeneratorGetsOneTickPerNewSecond) {
  TVortaProcess& p = AddProcess(1);
  p.Events1 = TPulseGenerator{&p, 5, 2, 0, 0, 1, 6, 0, 0, {}};
  program_.EftRunning = true;
  program_.EftStartMs = time_.MonotonicMs();
  program_.EftLastSecond = 0;
  StartCycles();
  std::vector<int> onAt, offAt;
  bool was = false;
  for (int s = 1; s <= 13; ++s) {
    time_.AdvanceBy(1000);
    const bool on = (p.OutputWord & (1U << 5)) != 0;
    if (on && !was) onAt.push_back(s);
    if (!on && was) offAt.push_back(s);
    was = on;
  }
  EXPECT_EQ(onAt, (std::vector<int>{5, 10}));
  EXPECT_EQ(offAt, (std::vector<int>{7, 12}));

  // Ten seconds passing in one event still give a single tick.
  const int count = p.Events1.Count;
  cycles_->Measurement().SetEnabled(false);
  time_.AdvanceBy(10'000);
  MeasurementCycle(context_);
  EXPECT_EQ(p.Events1.Count, (count + 1) % 5);
}

TEST_F(MeasurementCycleTest, MixerRpmRoundsHalvesToEvenAndReadsTwoWithoutDrive) {
  TVortaProcess& p = AddProcess(1);
  ReadMixerRpm(p);
  EXPECT_EQ(p.MixerRpm, 2);

  auto* drive = dynamic_cast<TMixerDC*>(module_->Bus().FindByName(QStringLiteral("Mix1")));
  ASSERT_NE(drive, nullptr);
  p.Mixer = drive;
  p.Config.Reduction = 2;
  // Register 30 holds the speed: 5 / 2 = 2.5 → 2, 7 / 2 = 3.5 → 4.
  for (auto [speed, rpm] : {std::pair{5, 2}, std::pair{7, 4}, std::pair{600, 300}}) {
    adapter_->Inject(
        MakeFrame(kMixerUid + 60,
                  {static_cast<std::uint8_t>(speed & 0xFF), static_cast<std::uint8_t>(speed >> 8)},
                  kFlagExtended));
    ReadMixerRpm(p);
    EXPECT_EQ(p.MixerRpm, rpm) << speed;
  }
  p.Config.Reduction = 0;  // a bad file must not give garbage
  ReadMixerRpm(p);
  EXPECT_EQ(p.MixerRpm, 0);
}

TEST_F(MeasurementCycleTest, HeartbeatTogglesEveryTick) {
  TVortaProcess& p = AddProcess(1);
  MeasurementCycle(context_);
  const bool first = (p.OutputWord & 0x8000) != 0;
  MeasurementCycle(context_);
  const bool second = (p.OutputWord & 0x8000) != 0;
  MeasurementCycle(context_);
  EXPECT_NE(first, second);
  EXPECT_NE(second, (p.OutputWord & 0x8000) != 0);
}

}  // namespace
}  // namespace vorta::testing
