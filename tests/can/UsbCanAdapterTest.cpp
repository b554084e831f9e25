// The USB adapter over a real pseudo-terminal, with its receive thread: the
// test plays the converter on the master side.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "PseudoTerminal.h"
#include "can/D2XX.h"
#include "can/UsbCanAdapter.h"

namespace vorta {
namespace {

using Clock = std::chrono::steady_clock;
using test::TPseudoTerminal;

class TQtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "usb_tests";
      static char* argv[] = {name, nullptr};
      app_ = new QCoreApplication(argc, argv);
    }
  }
  void TearDown() override { delete app_; }

 private:
  QCoreApplication* app_ = nullptr;
};
[[maybe_unused]] auto* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtApplication);

TCANFrame Frame(std::uint32_t id, std::uint8_t first) {
  TCANFrame f;
  f.Id = id;
  f.Len = 2;
  f.Data[0] = first;
  f.Data[1] = 0xA5;
  return f;
}

std::vector<std::uint8_t> Packets(std::uint32_t firstId, int count) {
  std::vector<std::uint8_t> stream;
  for (int i = 0; i < count; ++i) {
    const TUsbPacket p =
        BuildPacket(ReceivedFramePayload(Frame(firstId + i, static_cast<std::uint8_t>(i))));
    stream.insert(stream.end(), p.begin(), p.end());
  }
  return stream;
}

class UsbCanAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line_.Valid());
    adapter_.SetPort(QString::fromStdString(line_.Path()));
    adapter_.SetOnReceive([this](TCANFrame& f) {
      EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
      received_.push_back(f);
      if (onFrame_) onFrame_(f);
    });
  }
  void TearDown() override {
    Timed([&] { adapter_.SetActive(false); });
    std::printf("[ main thread ] longest adapter call: %.2f ms\n", longestMs_);
    // Generous: the figure itself is printed; a hung close shows as seconds.
    EXPECT_LT(longestMs_, 100.0);
  }

  // Runs a main-thread adapter call and keeps the longest duration.
  template <class F>
  void Timed(F&& call) {
    const auto start = Clock::now();
    call();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    longestMs_ = std::max(longestMs_, ms);
  }

  // The main thread's event loop, until pred holds or timeoutMs passed.
  template <class P>
  bool PumpUntil(P pred, int timeoutMs = 3000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
      if (Clock::now() > end) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::usleep(500);
    }
    return true;
  }

  TPseudoTerminal line_;
  TUsbCanAdapter adapter_;
  std::vector<TCANFrame> received_;
  std::function<void(TCANFrame&)> onFrame_;
  double longestMs_ = 0;
};

TEST_F(UsbCanAdapterTest, FramesBothWays_overThePseudoTerminal) {
  Timed([&] { adapter_.SetActive(true); });
  ASSERT_TRUE(adapter_.Active());

  TCANFrame out = Frame(0x123, 0x01);
  out.Data[1] = 0x02;
  Timed([&] { adapter_.Send(out); });
  const TUsbPacket expected = BuildPacket(SendFramePayload(out));
  EXPECT_EQ(line_.Read(kUsbPacketSize, 1000),
            std::vector<std::uint8_t>(expected.begin(), expected.end()));

  Timed([&] { adapter_.SetParameter(0x0105); });
  const auto parameter = line_.Read(kUsbPacketSize, 1000);
  ASSERT_EQ(parameter.size(), kUsbPacketSize);
  EXPECT_EQ(parameter[1], kUsbSetParameter);
  EXPECT_EQ(parameter[6], 0x05);

  // Garbage between packets and a packet split across two writes.
  std::vector<std::uint8_t> in = {0x00, 0x13};
  const auto packets = Packets(0x200, 40);
  in.insert(in.end(), packets.begin(), packets.begin() + 30);
  line_.Write(in);
  ASSERT_TRUE(PumpUntil([&] { return received_.size() >= 1; }));
  line_.Write({packets.begin() + 30, packets.end()});
  ASSERT_TRUE(PumpUntil([&] { return received_.size() >= 40; }));
  for (std::size_t i = 0; i < received_.size(); ++i) {
    EXPECT_EQ(std::uint32_t{received_[i].Id}, 0x200 + i);
  }
}

TEST_F(UsbCanAdapterTest, SendingWhileClosed_producesNoBytesAndNoLogLine) {
  int logLines = 0;
  adapter_.OnLog = [&](const QString&) { ++logLines; };
  TCANFrame f = Frame(0x10, 1);
  Timed([&] { adapter_.Send(f); });
  adapter_.SetParameter(3);
  EXPECT_TRUE(line_.Read(1, 100).empty());
  EXPECT_EQ(logLines, 0);

  adapter_.SetActive(true);
  ASSERT_TRUE(adapter_.Active());
  adapter_.SetActive(false);
  Timed([&] { adapter_.Send(f); });
  EXPECT_TRUE(line_.Read(1, 100).empty());
  EXPECT_EQ(logLines, 0);
}

TEST_F(UsbCanAdapterTest, DeviceIndexEqualToTheDeviceCount_opensNothing) {
  std::uint32_t count = 0;
  FT_SetConfiguredPaths({line_.Path()});
  ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  adapter_.SetDeviceNum(static_cast<std::int32_t>(count));
  adapter_.SetActive(true);
  EXPECT_FALSE(adapter_.Active());
  adapter_.SetDeviceNum(0);
  adapter_.SetActive(true);
  EXPECT_TRUE(adapter_.Active());
}

TEST_F(UsbCanAdapterTest, OpenLine_isHeldExclusively) {
  adapter_.SetActive(true);
  ASSERT_TRUE(adapter_.Active());
  FT_HANDLE second = nullptr;
  EXPECT_NE(FT_Open(0, &second), FT_OK);
  EXPECT_EQ(second, nullptr);
  adapter_.SetActive(false);
  // Released on close: the reconnect must be able to take it again.
  ASSERT_EQ(FT_Open(0, &second), FT_OK);
  FT_Close(second);
}

TEST_F(UsbCanAdapterTest, Unplug_closesTheAdapterAndANewLineIsPickedUp) {
  // A stable name pointing at the current line, as vorta-sim keeps one.
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("converter"));
  ASSERT_TRUE(QFile::link(QString::fromStdString(line_.Path()), link));
  adapter_.SetPort(link);
  adapter_.SetActive(true);
  ASSERT_TRUE(adapter_.Active());

  line_.Unplug();
  EXPECT_TRUE(PumpUntil([&] { return !adapter_.Active(); }));
  // The old line is gone: a reconnect attempt fails and stays closed.
  Timed([&] { adapter_.SetActive(true); });
  EXPECT_FALSE(adapter_.Active());

  TPseudoTerminal replug;
  ASSERT_TRUE(QFile::remove(link));
  ASSERT_TRUE(QFile::link(QString::fromStdString(replug.Path()), link));
  Timed([&] { adapter_.SetActive(true); });
  ASSERT_TRUE(adapter_.Active());
  replug.Write(Packets(0x300, 3));
  ASSERT_TRUE(PumpUntil([&] { return received_.size() >= 3; }));
  EXPECT_EQ(std::uint32_t{received_.back().Id}, 0x302U);
  Timed([&] { adapter_.SetActive(false); });
}

TEST_F(UsbCanAdapterTest, CloseWithHandOversWaiting_servesTheOneStartedAndReturnsAtOnce) {
  adapter_.SetActive(true);
  ASSERT_TRUE(adapter_.Active());
  line_.Write(Packets(0x400, 50));
  // The main thread does not run its loop: the thread blocks in a hand-over.
  QThread::msleep(100);
  EXPECT_TRUE(received_.empty());
  Timed([&] { adapter_.SetActive(false); });
  EXPECT_FALSE(adapter_.Active());
  ASSERT_EQ(received_.size(), 1U);
  EXPECT_EQ(std::uint32_t{received_[0].Id}, 0x400U);
  // The posted call of the hand-over that Close served finds nothing to do.
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(received_.size(), 1U);
}

TEST_F(UsbCanAdapterTest, FrameHandlerClosingTheAdapter_doesNotDeadlock) {
  onFrame_ = [&](TCANFrame&) { Timed([&] { adapter_.SetActive(false); }); };
  adapter_.SetActive(true);
  line_.Write(Packets(0x500, 20));
  ASSERT_TRUE(PumpUntil([&] { return !received_.empty(); }));
  PumpUntil([] { return false; }, 50);
  EXPECT_FALSE(adapter_.Active());
  EXPECT_EQ(received_.size(), 1U);
  // And it opens again afterwards.
  onFrame_ = nullptr;
  adapter_.SetActive(true);
  EXPECT_TRUE(adapter_.Active());
}

TEST_F(UsbCanAdapterTest, WriteToAnUnpluggedLine_closesTheAdapter) {
  adapter_.SetActive(true);
  ASSERT_TRUE(adapter_.Active());
  line_.Unplug();
  // Without the event loop running, the receive thread's close request waits:
  // the failed write closes the adapter by itself.
  QThread::msleep(50);
  TCANFrame f = Frame(0x20, 1);
  Timed([&] { adapter_.Send(f); });
  EXPECT_FALSE(adapter_.Active());
  PumpUntil([] { return false; }, 50);
  EXPECT_FALSE(adapter_.Active());
}

}  // namespace
}  // namespace vorta
