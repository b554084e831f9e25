#include <gtest/gtest.h>

#include "can/VortaWork.h"
#include "tests/can/VortaFixture.h"

namespace vorta {
namespace {

using testing::MakeFrame;

TEST(FrameQueue, holds1001FramesThenDrops_oneSendFreesOnePlace) {
  TFrameQueue queue;
  std::vector<std::uint32_t> sent;
  queue.SetOnSend([&](TCANFrame& f) { sent.push_back(f.Id); });
  for (std::uint32_t i = 0; i < 1001; ++i) EXPECT_TRUE(queue.Push(MakeFrame(i, {})));
  EXPECT_FALSE(queue.Push(MakeFrame(5000, {})));
  EXPECT_EQ(queue.Count(), 1001U);
  EXPECT_TRUE(queue.SendNext());
  EXPECT_TRUE(queue.Push(MakeFrame(6000, {})));
  EXPECT_FALSE(queue.Push(MakeFrame(7000, {})));
  while (queue.SendNext()) {
  }
  ASSERT_EQ(sent.size(), 1002U);
  EXPECT_EQ(sent.front(), 0U);
  EXPECT_EQ(sent[1000], 1000U);
  EXPECT_EQ(sent.back(), 6000U);  // the dropped 5000 and 7000 never leave
}

class PacerTest : public testing::VortaFixture {};

TEST_F(PacerTest, timer1_sendsAtMostOneFramePer20ms) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=1\nName0=IO\n"
           "[IO]\nType=TSUABB\nDeviceUID=0x100\n"));
  auto* io = dynamic_cast<TSUABB*>(Module().Bus().FindByName(QStringLiteral("IO")));
  ASSERT_NE(io, nullptr);
  for (int i = 0; i < 5; ++i) io->SetOutputs(static_cast<std::uint16_t>(i));
  EXPECT_EQ(Module().FrameQueue().Count(), 5U);
  time_.AdvanceBy(19);
  EXPECT_TRUE(adapter_->Sent.empty());
  time_.AdvanceBy(1);
  EXPECT_EQ(adapter_->Sent.size(), 1U);
  time_.AdvanceBy(40);
  EXPECT_EQ(adapter_->Sent.size(), 3U);
  time_.AdvanceBy(1000);
  ASSERT_EQ(adapter_->Sent.size(), 5U);
  for (std::uint16_t i = 0; i < 5; ++i) EXPECT_EQ(adapter_->Sent[i].Data[0], i);
  EXPECT_EQ(std::uint32_t{adapter_->Sent[0].Id}, 0x100U + 50U);
}

TEST_F(PacerTest, fullQueue_oneTickThenNextPushSucceeds) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=1\nName0=IO\n"
           "[IO]\nType=TSUABB\n"));
  auto* io = dynamic_cast<TSUABB*>(Module().Bus().FindByName(QStringLiteral("IO")));
  ASSERT_NE(io, nullptr);
  for (int i = 0; i < 1001; ++i) io->SetOutputs(1);
  io->SetOutputs(2);
  EXPECT_EQ(Module().FrameQueue().Count(), 1001U);
  time_.AdvanceBy(20);
  EXPECT_EQ(Module().FrameQueue().Count(), 1000U);
  io->SetOutputs(3);
  EXPECT_EQ(Module().FrameQueue().Count(), 1001U);
}

}  // namespace
}  // namespace vorta
