#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "can/CANAdapter.h"
#include "tests/can/FakeAdapter.h"

namespace vorta {
namespace {

using testing::MakeFrame;
using testing::TFakeAdapter;

TEST(CANFrame, wireLayout_fieldsAtTheirOffsets) {
  EXPECT_EQ(offsetof(TCANFrame, Id), 0U);
  EXPECT_EQ(offsetof(TCANFrame, Flags), 4U);
  EXPECT_EQ(offsetof(TCANFrame, Len), 5U);
  EXPECT_EQ(offsetof(TCANFrame, Data), 6U);
}

TEST(FrameText, standardDataFrame_noParenthesesTrailingBlankKept) {
  EXPECT_EQ(FrameText(MakeFrame(0x123, {0x01, 0xA0})), QStringLiteral("Address: 0123-> 01 A0 "));
}

TEST(FrameText, extendedRemoteRequest_eightBytesAndFlagsNamed) {
  TCANFrame f = MakeFrame(0x1028, {}, kFlagExtended | kFlagRemote);
  f.Len = 8;
  EXPECT_EQ(FrameText(f), QStringLiteral("Address: 00001028-> 00 00 00 00 00 00 00 00 (RTR EID )"));
}

TEST(FrameText, standardIdWithHighBits_printsLow11Bits) {
  EXPECT_EQ(FrameText(MakeFrame(0x12345, {0xff})), QStringLiteral("Address: 0345-> FF "));
}

TEST(FrameText, lenAboveEight_printsEightBytes) {
  TCANFrame f = MakeFrame(0x7, {1, 2, 3, 4, 5, 6, 7, 8});
  f.Len = 200;
  EXPECT_EQ(FrameText(f), QStringLiteral("Address: 0007-> 01 02 03 04 05 06 07 08 "));
}

TEST(FrameText, meaninglessFlagBitsOnly_emptyParentheses) {
  EXPECT_EQ(FrameText(MakeFrame(0x10, {}, 0x01)), QStringLiteral("Address: 0010-> ()"));
}

TEST(CANAdapter, receive_callsFrameHookThenHandlerThenLog) {
  TFakeAdapter adapter;
  std::vector<std::string> calls;
  adapter.OnFrame = [&](TCANFrame&, std::uint8_t dir) {
    calls.push_back("frame" + std::to_string(dir));
  };
  adapter.SetOnReceive([&](TCANFrame&) { calls.push_back("handler"); });
  adapter.OnLog = [&](const QString& line) { calls.push_back(line.toStdString()); };
  adapter.Inject(MakeFrame(0x123, {0x01, 0xA0}));
  EXPECT_EQ(calls,
            (std::vector<std::string>{"frame0", "handler", "In frame: Address: 0123-> 01 A0 "}));
}

TEST(CANAdapter, send_bookkeepingBeforeTransmit) {
  TFakeAdapter adapter;
  std::vector<std::string> calls;
  adapter.OnFrame = [&](TCANFrame&, std::uint8_t dir) {
    calls.push_back("frame" + std::to_string(dir) + " sent=" + std::to_string(adapter.Sent.size()));
  };
  adapter.OnLog = [&](const QString& line) { calls.push_back(line.toStdString()); };
  TCANFrame f = MakeFrame(0x5, {0x10});
  adapter.Send(f);
  EXPECT_EQ(calls, (std::vector<std::string>{"frame1 sent=0", "Out frame: Address: 0005-> 10 "}));
  EXPECT_EQ(adapter.Sent.size(), 1U);
}

TEST(CANAdapter, noHooks_receiveOnlyCallsHandler) {
  TFakeAdapter adapter;
  int handled = 0;
  adapter.SetOnReceive([&](TCANFrame& f) { handled += static_cast<int>(f.Id); });
  adapter.Inject(MakeFrame(3, {}));
  TCANFrame f = MakeFrame(4, {});
  adapter.Send(f);
  EXPECT_EQ(handled, 3);
  EXPECT_EQ(adapter.Sent.size(), 1U);
}

TEST(AdapterFactory, typeNamesAreExact) {
  TAdapterFactory factory = testing::FakeFactory(nullptr);
  EXPECT_TRUE(factory.Has(QStringLiteral("QTR4")));
  EXPECT_FALSE(factory.Has(QStringLiteral("qtr4")));
  EXPECT_FALSE(factory.Has(QString()));
}

}  // namespace
}  // namespace vorta
