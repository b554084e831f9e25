#include "process/OutputChannels.h"
#include "process/OutputCycle.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

class OutputChannelsTest : public ProcessFixture {};

TEST_F(OutputChannelsTest, SetOutputSendsTheWholeWordEachTime) {
  TVortaProcess& p = AddProcess(1, "Board1");
  const std::uint16_t before = p.OutputWord;
  module_->FrameQueue().Clear();
  SetOutput(p, 3, true);
  ASSERT_EQ(module_->FrameQueue().Count(), 1U);
  time_.AdvanceBy(100);  // sent before the next word could replace it
  SetOutput(p, 3, false);
  SetOutput(p, 17, true);  // outside 1..16: nothing
  EXPECT_EQ(p.OutputWord, before);
  ASSERT_EQ(module_->FrameQueue().Count(), 1U);
  time_.AdvanceBy(100);
  const auto words = SentOutputWords();
  ASSERT_GE(words.size(), 2U);
  EXPECT_EQ(words[words.size() - 2], before | 0x0004);
  EXPECT_EQ(words.back(), before);
}

TEST_F(OutputChannelsTest, GeneratorPeriodFiveWorkTwo) {
  TVortaProcess& p = AddProcess(1);
  TPulseGenerator g{&p, 5, 2, 0, 0, 1, 4, 0, 0, {}};
  std::vector<int> on, off;
  for (int tick = 1; tick <= 17; ++tick) {
    const bool was = p.OutputWord & 0x8;
    PulseTick(g);
    const bool now = p.OutputWord & 0x8;
    if (now && !was) on.push_back(tick);
    if (!now && was) off.push_back(tick);
  }
  EXPECT_EQ(on, (std::vector<int>{5, 10, 15}));
  EXPECT_EQ(off, (std::vector<int>{7, 12, 17}));
}

TEST_F(OutputChannelsTest, GeneratorWorkZeroAndWorkBeyondPeriod) {
  TVortaProcess& p = AddProcess(1, "Board1");
  TPulseGenerator zero{&p, 3, 0, 0, 0, 1, 4, 1, 0, {}};
  module_->FrameQueue().Clear();
  for (int i = 0; i < 3; ++i) PulseTick(zero);
  // On and off within the third tick: the off-word takes the waiting
  // on-word's place, output off, State set.
  EXPECT_FALSE(p.OutputWord & 0x8);
  EXPECT_EQ(module_->FrameQueue().Count(), 1U);
  EXPECT_EQ(zero.State, 1);

  TPulseGenerator longer{&p, 3, 5, 0, 0, 1, 5, 0, 0, {}};
  for (int i = 0; i < 12; ++i) PulseTick(longer);
  EXPECT_TRUE(p.OutputWord & 0x10);
}

TEST_F(OutputChannelsTest, CommonPumpRunsUntilBothRequestersAreOff) {
  const QByteArray link = "[Pumps]\r\n2=3\r\n";
  TVortaProcess& a = AddProcess(1, {}, link);
  TVortaProcess& b = AddProcess(2, {}, link);
  TVortaProcess& pumpOwner = AddProcess(3, {}, {}, "pump=5\r\n");
  ASSERT_EQ(pumpOwner.Config.CommonPump, 5);
  ASSERT_EQ(a.OutputChannels[2].ChPump, 3);
  SetOutput(a, 2, true);
  SetOutput(b, 2, true);
  EXPECT_TRUE(pumpOwner.OutputWord & 0x10);
  SetOutput(a, 2, false);
  EXPECT_TRUE(pumpOwner.OutputWord & 0x10);
  SetOutput(b, 2, false);
  EXPECT_FALSE(pumpOwner.OutputWord & 0x10);
}

TEST_F(OutputChannelsTest, CommonPumpLinkedBackToItsOwnProcessIsCut) {
  // Output 4 of process 1 is its own common pump and requests that pump.
  TVortaProcess& p = AddProcess(1, {}, "[Pumps]\r\n4=1\r\n", "pump=4\r\n");
  SetOutput(p, 4, true);
  EXPECT_TRUE(p.OutputWord & 0x8);
  EXPECT_EQ(p.CommonPumpRequest[0], 1);
  SetOutput(p, 4, false);
  EXPECT_FALSE(p.OutputWord & 0x8);
}

TEST_F(OutputChannelsTest, PulseOfLengthZeroEndsAtTheNextTick) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[1].Config.CtrlOutUp = 3;
  SetOutput(p, 3, true);
  p.Channel[1].PulseActive = 1;
  p.Channel[1].PulseLength = 0;
  OutputCycle(context_);
  EXPECT_FALSE(p.OutputWord & 0x4);
  EXPECT_EQ(p.Channel[1].PulseActive, 0);
}

TEST_F(OutputChannelsTest, OutputTimeDoesNotWrapOverLongLogPeriods) {
  TVortaProcess& p = AddProcess(1);
  SetOutput(p, 1, true);
  // Two hours of 40-ms ticks: more than a 16-bit counter holds.
  for (int i = 0; i < 180'000; ++i) OutputCycle(context_);
  EXPECT_EQ(p.OutputTicks[1], 180'000U);
}

}  // namespace
}  // namespace vorta::testing
