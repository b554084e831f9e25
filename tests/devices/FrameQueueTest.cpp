#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>

#include "devices/CANService.h"
#include "devices/IoModule.h"
#include "tests/devices/ServiceFixture.h"

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

TEST(FrameQueue, newerWriteReplacesWaitingOneInPlace_waitingRequestNotQueuedTwice) {
  TFrameQueue queue;
  std::vector<TCANFrame> sent;
  queue.SetOnSend([&](TCANFrame& f) { sent.push_back(f); });
  constexpr std::uint8_t kExt = kFlagExtended;
  constexpr std::uint8_t kRtr = kFlagExtended | kFlagRemote;
  EXPECT_TRUE(queue.Push(MakeFrame(0x132, {0x01, 0x00}, kExt)));  // output word on
  EXPECT_TRUE(queue.Push(MakeFrame(0x120, {0, 0, 0, 0, 0, 0, 0, 0}, kRtr)));
  EXPECT_TRUE(queue.Push(MakeFrame(0x122, {0x07}, kExt)));        // byte at 0x22
  EXPECT_TRUE(queue.Push(MakeFrame(0x132, {0x00, 0x00}, kExt)));  // ... and off again
  EXPECT_TRUE(queue.Push(MakeFrame(0x120, {0, 0, 0, 0, 0, 0, 0, 0}, kRtr)));
  // Not the same register: another length, another identifier kind, a request.
  EXPECT_TRUE(queue.Push(MakeFrame(0x132, {0x05}, kExt)));
  EXPECT_TRUE(queue.Push(MakeFrame(0x132, {0x06, 0x00}, 0)));
  EXPECT_TRUE(queue.Push(MakeFrame(0x132, {0, 0}, kRtr)));
  ASSERT_EQ(queue.Count(), 6U);
  while (queue.SendNext()) {
  }
  ASSERT_EQ(sent.size(), 6U);
  EXPECT_EQ(sent[0].Data[0], 0x00);  // the newest word, where the first one stood
  EXPECT_EQ(sent[0].Len, 2);
  EXPECT_EQ(sent[1].Flags, kRtr);
  EXPECT_EQ(sent[2].Data[0], 0x07);
  EXPECT_EQ(sent[3].Data[0], 0x05);
  EXPECT_EQ(sent[4].Data[0], 0x06);
  EXPECT_EQ(sent[5].Flags, kRtr);
  // Once sent, the same write is queued anew.
  EXPECT_TRUE(queue.Push(MakeFrame(0x132, {0x01, 0x00}, kExt)));
  EXPECT_EQ(queue.Count(), 1U);

  // A full queue still takes a newer state of a register it holds.
  queue.Clear();
  for (std::uint32_t i = 0; i < TFrameQueue::kMaxFrames; ++i) queue.Push(MakeFrame(i, {1, 0}));
  EXPECT_TRUE(queue.Push(MakeFrame(7, {2, 0})));
  EXPECT_FALSE(queue.Push(MakeFrame(5000, {2, 0})));
  EXPECT_EQ(queue.RefusedCount(), 1U);
  EXPECT_EQ(queue.PeakCount(), TFrameQueue::kMaxFrames);
}

// Pushes, sends and clears in a random order against the plain rule (merge
// into the one waiting frame of that register, else append): finding the
// last frame touched without a scan must never pick another one.
TEST(FrameQueue, anyOrderOfPushesSendsAndClearsKeepsTheOneFramePerRegisterRule) {
  TFrameQueue queue;
  std::deque<TCANFrame> model;
  std::vector<TCANFrame> sent;
  queue.SetOnSend([&](TCANFrame& f) { sent.push_back(f); });
  std::mt19937 random(7);
  for (int step = 0; step < 20000; ++step) {
    const auto roll = random() % 100;
    if (roll < 70) {
      const TCANFrame f = MakeFrame(0x100 + random() % 6, {static_cast<std::uint8_t>(step)});
      auto same = std::find_if(model.begin(), model.end(), [&](const TCANFrame& w) {
        return w.Id == f.Id && w.Flags == f.Flags && w.Len == f.Len;
      });
      if (same != model.end()) {
        same->Data[0] = f.Data[0];
      } else {
        model.push_back(f);
      }
      ASSERT_TRUE(queue.Push(f));
    } else if (roll < 98) {
      sent.clear();
      ASSERT_EQ(queue.SendNext(), !model.empty());
      if (model.empty()) continue;
      ASSERT_EQ(sent.size(), 1U);
      ASSERT_EQ(sent[0].Id, model.front().Id) << "step " << step;
      ASSERT_EQ(sent[0].Data[0], model.front().Data[0]) << "step " << step;
      model.pop_front();
    } else {
      queue.Clear();
      model.clear();
    }
    ASSERT_EQ(queue.Count(), model.size());
  }
}

class PacerTest : public testing::ServiceFixture {
 protected:
  // Sent-frame counts per 20-ms tick over ms of time.
  std::vector<std::size_t> SentPerTick(int ms) {
    std::vector<std::size_t> counts;
    for (int t = 0; t < ms; t += TCANService::kPacerMs) {
      const std::size_t before = adapter_->Sent.size();
      time_.AdvanceBy(TCANService::kPacerMs);
      counts.push_back(adapter_->Sent.size() - before);
    }
    return counts;
  }
};

TEST_F(PacerTest, timer1_shortQueue_oneFramePer20ms) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=1\nName0=IO\n"
           "[IO]\nType=TSUABB\nDeviceUID=0x100\n"));
  auto* io = dynamic_cast<TIoModule*>(Module().Bus().FindByName(QStringLiteral("IO")));
  ASSERT_NE(io, nullptr);
  for (int i = 0; i < 5; ++i) io->SetOutputByte(i, static_cast<std::uint8_t>(i));
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
  EXPECT_EQ(std::uint32_t{adapter_->Sent[0].Id}, 0x100U + 32U);
}

TEST_F(PacerTest, backlog_leavesWithin100ms_atMostFivePerTick) {
  ASSERT_TRUE(Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=0\n"));
  TFrameQueue& queue = Module().FrameQueue();
  time_.AdvanceBy(TCANService::kPacerMs);
  for (std::uint32_t i = 0; i < 25; ++i) queue.Push(MakeFrame(0x200 + i, {1}));
  // The whole burst in five ticks: the pace does not drop as the queue shrinks.
  EXPECT_EQ(SentPerTick(100), (std::vector<std::size_t>{5, 5, 5, 5, 5}));
  EXPECT_EQ(SentPerTick(40), (std::vector<std::size_t>{0, 0}));
  queue.Push(MakeFrame(0x300, {1}));
  queue.Push(MakeFrame(0x301, {1}));
  EXPECT_EQ(SentPerTick(40), (std::vector<std::size_t>{1, 1}));
}

TEST_F(PacerTest, fullQueue_nextPushSucceedsAfterOneTick_busStaysUnder280FramesPerSecond) {
  ASSERT_TRUE(Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=0\n"));
  TFrameQueue& queue = Module().FrameQueue();
  for (std::uint32_t i = 0; i < 1001; ++i) queue.Push(MakeFrame(i, {1}));
  EXPECT_FALSE(queue.Push(MakeFrame(5000, {1})));
  time_.AdvanceBy(20);
  EXPECT_TRUE(queue.Push(MakeFrame(6000, {1})));
  time_.AdvanceBy(980);
  EXPECT_LE(adapter_->Sent.size(), 280U);
  EXPECT_GE(adapter_->Sent.size(), 200U);
}

}  // namespace
}  // namespace vorta
