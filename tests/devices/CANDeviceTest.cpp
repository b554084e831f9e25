#include <gtest/gtest.h>

#include "devices/CANDevice.h"
#include "tests/devices/DeviceFixture.h"

namespace vorta {
namespace {

using testing::MakeFrame;

class CANDevice : public testing::DeviceFixture<TCANDevice> {};

TEST_F(CANDevice, linkOK_falseBeforeFirstFrame_trueAfter_falseTenSecondsLater) {
  EXPECT_FALSE(device_.LinkOK());
  time_.AdvanceBy(123);
  Store(0, {1});
  EXPECT_TRUE(device_.LinkOK());
  time_.AdvanceBy(9999);
  EXPECT_TRUE(device_.LinkOK());
  time_.AdvanceBy(1);
  EXPECT_FALSE(device_.LinkOK());
  // A matching frame outside the stored range still refreshes the link.
  TCANFrame unstored = MakeFrame(0x1FF, {9});
  device_.Receive(unstored);
  EXPECT_TRUE(device_.LinkOK());
  EXPECT_EQ(device_.Regs[0xFF], 0);
}

TEST_F(CANDevice, receive_storesAtLowByteOfId_registersLittleEndian) {
  Store(32, {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(device_.Regs[31], 0);
  EXPECT_EQ(device_.Regs[32], 1);
  EXPECT_EQ(device_.Regs[39], 8);
  EXPECT_EQ(device_.Regs[40], 0);
  EXPECT_EQ(device_.ReadWord(16), 0x0201);
  EXPECT_EQ(device_.ReadWord(19), 0x0807);
}

TEST_F(CANDevice, receive_outsideUidPlusBusRange_notStored) {
  device_.BusRange = 16;
  Store(16, {0xAA});
  EXPECT_EQ(device_.Regs[16], 0);
  Store(15, {0xBB});
  EXPECT_EQ(device_.Regs[15], 0xBB);
  TCANFrame below = MakeFrame(0xFF, {0xCC});
  device_.Receive(below);
  EXPECT_EQ(device_.Regs[0xFF], 0);
}

TEST_F(CANDevice, receive_nearImageEnd_storesOnlyWhatFits) {
  device_.BusRange = 0x1000;  // so that offsets up to 255 are stored
  device_.Regs.fill(0x11);
  Store(249, {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(device_.Regs[249], 1);
  EXPECT_EQ(device_.Regs[255], 7);
  EXPECT_EQ(device_.Regs[0], 0x11);     // nothing wrapped round to the start
  EXPECT_EQ(device_.BusRange, 0x1000);  // nor written past the image
  Store(255, {9, 9, 9});
  EXPECT_EQ(device_.Regs[255], 9);
}

TEST_F(CANDevice, receive_lenAboveEight_takenAsEight) {
  TCANFrame f = MakeFrame(0x100, {1, 2, 3, 4, 5, 6, 7, 8});
  f.Len = 255;
  device_.Regs.fill(0x11);
  device_.Receive(f);
  EXPECT_EQ(device_.Regs[7], 8);
  EXPECT_EQ(device_.Regs[8], 0x11);
}

TEST_F(CANDevice, remoteRequestReceived_refreshesLinkButKeepsImage) {
  Store(32, {0x34, 0x12});
  time_.AdvanceBy(20000);
  TCANFrame request = MakeFrame(0x100 + 32, {}, kFlagExtended | kFlagRemote);
  request.Len = 8;
  device_.Receive(request);
  EXPECT_TRUE(device_.LinkOK());
  EXPECT_EQ(device_.ReadWord(16), 0x1234);
}

TEST_F(CANDevice, readWord_outsideImage_zero) {
  device_.Regs.fill(0xFF);
  EXPECT_EQ(device_.ReadWord(127), 0xFFFF);
  EXPECT_EQ(device_.ReadWord(128), 0);
  EXPECT_EQ(device_.ReadWord(-1), 0);
}

TEST_F(CANDevice, outgoingFrames_idFlagsLenData) {
  device_.RequestRegisters(32, 8);
  device_.WriteByte(59, 100);
  device_.WriteWord(50, 0x8001);
  device_.WriteRegister(2, 0xBEEF);
  ASSERT_EQ(sent_.size(), 4U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x120U);
  EXPECT_EQ(sent_[0].Flags, kFlagRemote | kFlagExtended);
  EXPECT_EQ(sent_[0].Len, 8);
  for (std::uint8_t b : sent_[0].Data) EXPECT_EQ(b, 0);
  EXPECT_EQ(std::uint32_t{sent_[1].Id}, 0x13BU);
  EXPECT_EQ(sent_[1].Flags, kFlagExtended);
  EXPECT_EQ(sent_[1].Len, 1);
  EXPECT_EQ(sent_[1].Data[0], 100);
  EXPECT_EQ(sent_[1].Data[1], 0);
  EXPECT_EQ(sent_[2].Len, 2);
  EXPECT_EQ(sent_[2].Data[0], 0x01);
  EXPECT_EQ(sent_[2].Data[1], 0x80);
  EXPECT_EQ(std::uint32_t{sent_[3].Id}, 0x104U);
  EXPECT_EQ(sent_[3].Data[0], 0xEF);
  EXPECT_EQ(sent_[3].Data[1], 0xBE);
}

TEST_F(CANDevice, standardIds_extBitClearedAndIdMasked) {
  device_.Ext = false;
  device_.DeviceUID = 0x7F0;
  TCANFrame f = MakeFrame(0x12345, {}, kFlagExtended | kFlagRemote);
  device_.SendFrame(f);
  device_.WriteByte(0x20, 1);  // 0x810 on an 11-bit bus wraps to 0x010
  ASSERT_EQ(sent_.size(), 2U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x345U);
  EXPECT_EQ(sent_[0].Flags, kFlagRemote);
  EXPECT_EQ(std::uint32_t{sent_[1].Id}, 0x010U);
  EXPECT_EQ(sent_[1].Flags, 0);
}

}  // namespace
}  // namespace vorta
