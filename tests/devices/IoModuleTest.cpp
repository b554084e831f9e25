#include <gtest/gtest.h>

#include "devices/IoModule.h"
#include "tests/devices/DeviceFixture.h"

namespace vorta {
namespace {

class IoModule : public testing::DeviceFixture<TIoModule> {};

TEST_F(IoModule, getAnalog_eightSignedInputs_4096Outside) {
  Store(32, {0x01, 0x00, 0xFF, 0xFF});
  Store(46, {0x34, 0x12});
  EXPECT_EQ(device_.GetAnalog(0), 1);
  EXPECT_EQ(device_.GetAnalog(1), -1);
  EXPECT_EQ(device_.GetAnalog(7), 0x1234);
  EXPECT_EQ(device_.GetAnalog(8), 4096);
  EXPECT_EQ(device_.GetAnalog(-1), 4096);
}

TEST_F(IoModule, frameAt40_updatesInputs4to7Only) {
  Store(32, {1, 0, 2, 0, 3, 0, 4, 0});
  Store(40, {5, 0, 6, 0, 7, 0, 8, 0});
  Store(40, {9, 0, 9, 0, 9, 0, 9, 0});
  EXPECT_EQ(device_.GetAnalog(3), 4);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(device_.GetAnalog(i), 9);
}

TEST_F(IoModule, foamInput_bit0OfByte48) {
  Store(48, {0xFE});
  EXPECT_FALSE(device_.GetFoamInput());
  Store(48, {0x01});
  EXPECT_TRUE(device_.GetFoamInput());
}

TEST_F(IoModule, setOutputs_wordLowByteFirstAt50) {
  device_.SetOutputs(0x8001);
  ASSERT_EQ(sent_.size(), 1U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x100U + 50U);
  EXPECT_EQ(sent_[0].Len, 2);
  EXPECT_EQ(sent_[0].Data[0], 0x01);
  EXPECT_EQ(sent_[0].Data[1], 0x80);
}

TEST_F(IoModule, setOutputByte_oneByteAt32PlusK) {
  device_.SetOutputByte(27, 100);
  device_.SetOutputByte(0x101, 5);  // only the low byte of k counts
  ASSERT_EQ(sent_.size(), 2U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x100U + 59U);
  EXPECT_EQ(sent_[0].Len, 1);
  EXPECT_EQ(sent_[0].Data[0], 100);
  EXPECT_EQ(std::uint32_t{sent_[1].Id}, 0x100U + 33U);
}

TEST_F(IoModule, poll_asks40Then48Then32) {
  for (int i = 0; i < 4; ++i) device_.Poll();
  ASSERT_EQ(sent_.size(), 4U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x100U + 40U);
  EXPECT_EQ(sent_[0].Len, 8);
  EXPECT_EQ(std::uint32_t{sent_[1].Id}, 0x100U + 48U);
  EXPECT_EQ(sent_[1].Len, 4);
  EXPECT_EQ(std::uint32_t{sent_[2].Id}, 0x100U + 32U);
  EXPECT_EQ(sent_[2].Len, 8);
  EXPECT_EQ(std::uint32_t{sent_[3].Id}, 0x100U + 40U);
  for (const TCANFrame& f : sent_) EXPECT_EQ(f.Flags, kFlagExtended | kFlagRemote);
}

TEST_F(IoModule, poll_pollCountAtItsLimit_wrapsWithoutOverflow) {
  device_.PollCount = std::numeric_limits<std::int32_t>::max();
  device_.Poll();
  EXPECT_EQ(device_.PollCount, 0);
  EXPECT_EQ(sent_.at(0).Id, 0x100U + 32U);
}

}  // namespace
}  // namespace vorta
