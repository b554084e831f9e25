#include <gtest/gtest.h>

#include "devices/CANMixer.h"
#include "devices/MixerDC.h"
#include "devices/MixerInverter.h"
#include "tests/devices/DeviceFixture.h"

namespace vorta {
namespace {

class MixerInverter : public testing::DeviceFixture<TMixerInverter> {
 protected:
  MixerInverter() { device_.SetMaxRpm(3000); }
  void SetRegister(int k, std::uint16_t v) {
    Store(static_cast<std::uint32_t>(2 * k),
          {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)});
  }
};

TEST_F(MixerInverter, setSpeed_scalesTo5000AtMaxRpm) {
  device_.SetSpeed(1500);
  device_.SetSpeed(3000);
  device_.SetSpeed(0);
  ASSERT_EQ(sent_.size(), 3U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x102U);
  EXPECT_EQ(sent_[0].Len, 2);
  EXPECT_EQ(sent_[0].Data[0], 0xC4);
  EXPECT_EQ(sent_[0].Data[1], 0x09);
  EXPECT_EQ(sent_[1].Data[0] | (sent_[1].Data[1] << 8), 5000);
  EXPECT_EQ(sent_[2].Data[0] | (sent_[2].Data[1] << 8), 0);
}

TEST_F(MixerInverter, setSpeed_outsideRange_sendsNothing) {
  device_.SetSpeed(3001);
  device_.SetSpeed(-1);
  EXPECT_TRUE(sent_.empty());
}

TEST_F(MixerInverter, setSpeed_halfwayTiesGoToEven) {
  device_.SetMaxRpm(4000);
  device_.SetSpeed(1);  // 1.25 -> 1
  device_.SetSpeed(3);  // 3.75 -> 4
  device_.MaxRpm = 2000;
  device_.SetSpeed(1);  // 2.5 -> 2
  device_.SetSpeed(3);  // 7.5 -> 8
  ASSERT_EQ(sent_.size(), 4U);
  EXPECT_EQ(sent_[0].Data[0], 1);
  EXPECT_EQ(sent_[1].Data[0], 4);
  EXPECT_EQ(sent_[2].Data[0], 2);
  EXPECT_EQ(sent_[3].Data[0], 8);
}

TEST_F(MixerInverter, getSpeed_fromOutputFrequency) {
  SetRegister(4, 5000);
  EXPECT_EQ(device_.GetSpeed(), 3000);
  SetRegister(4, 2500);
  EXPECT_EQ(device_.GetSpeed(), 1500);
  SetRegister(4, 1);  // 0.6 rpm
  EXPECT_EQ(device_.GetSpeed(), 1);
}

TEST_F(MixerInverter, maxRpm_onlyTakenInRange_zeroMeansNoScale) {
  TMixerInverter fresh(time_);
  fresh.SetOnSend([this](TCANFrame& f) { sent_.push_back(f); });
  fresh.SetMaxRpm(0);
  fresh.SetMaxRpm(5001);
  fresh.SetMaxRpm(-3);
  EXPECT_EQ(fresh.MaxRpm, 0);
  fresh.SetSpeed(0);
  EXPECT_TRUE(sent_.empty());
  EXPECT_EQ(fresh.GetSpeed(), 0);
  fresh.SetMaxRpm(5000);
  EXPECT_EQ(fresh.MaxRpm, 5000);
}

TEST_F(MixerInverter, currentVoltageStatus) {
  SetRegister(7, 700);
  SetRegister(8, 230);
  SetRegister(0, 0xABCD);
  // Read as every drive is read, through the drive base class.
  const TCANMixer& drive = device_;
  EXPECT_EQ(drive.GetCurrent(), 4464);  // 70000 kept to 16 bits
  EXPECT_EQ(drive.GetVoltage(), 230);
  EXPECT_EQ(drive.GetStatus(), 0xABCD);
  EXPECT_EQ(drive.GetTemperature(), std::nullopt);
  EXPECT_FALSE(drive.StatusBitsKnown());
  EXPECT_FALSE(drive.HasParameterRegisters());
}

TEST_F(MixerInverter, startStop_wordAtOffset1) {
  device_.Start();
  device_.Stop();
  ASSERT_EQ(sent_.size(), 2U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x101U);
  EXPECT_EQ(sent_[0].Len, 2);
  EXPECT_EQ(sent_[0].Data[0], 1);
  EXPECT_EQ(sent_[0].Data[1], 0);
  EXPECT_EQ(sent_[1].Data[0], 0);
}

TEST_F(MixerInverter, poll_offsets8Then16Then0) {
  for (int i = 0; i < 4; ++i) device_.Poll();
  ASSERT_EQ(sent_.size(), 4U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x108U);
  EXPECT_EQ(std::uint32_t{sent_[1].Id}, 0x110U);
  EXPECT_EQ(std::uint32_t{sent_[2].Id}, 0x100U);
  EXPECT_EQ(std::uint32_t{sent_[3].Id}, 0x108U);
  EXPECT_EQ(sent_[0].Len, 8);
}

TEST_F(MixerInverter, readAll_threeRequestsHalfASecondApart) {
  std::vector<std::int64_t> at;
  device_.SetOnSend([&](TCANFrame& f) {
    sent_.push_back(f);
    at.push_back(time_.ElapsedMs());
  });
  device_.ReadAll();
  ASSERT_EQ(sent_.size(), 3U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x120U);
  EXPECT_EQ(std::uint32_t{sent_[1].Id}, 0x128U);
  EXPECT_EQ(std::uint32_t{sent_[2].Id}, 0x130U);
  EXPECT_EQ(sent_[2].Flags, kFlagExtended | kFlagRemote);
  EXPECT_GT(at[1] - at[0], 500);
  EXPECT_GT(time_.ElapsedMs(), 1500);
}

class MixerDC : public testing::DeviceFixture<TMixerDC> {};

TEST_F(MixerDC, liveRegisters_signedSpeedAndStatus) {
  Store(58, {0x03, 0x02, 0xF6, 0xFF, 0x28, 0x00, 0xE8, 0x03});
  const TCANMixer& drive = device_;
  EXPECT_EQ(drive.GetStatus(), 0x0203);
  EXPECT_EQ(drive.GetSpeed(), -10);
  EXPECT_EQ(drive.GetTemperature(), 40);
  EXPECT_EQ(drive.GetCurrent(), 1000);
  EXPECT_EQ(drive.GetVoltage(), std::nullopt);
  EXPECT_TRUE(drive.StatusBitsKnown());
  EXPECT_TRUE(drive.HasParameterRegisters());
}

TEST_F(MixerDC, startStopSpeed_frames) {
  device_.Start();
  device_.Stop();
  device_.SetSpeed(70000);  // sent unchanged, kept to the 16-bit register
  ASSERT_EQ(sent_.size(), 3U);
  EXPECT_EQ(std::uint32_t{sent_[0].Id}, 0x102U);
  EXPECT_EQ(sent_[0].Data[0], 0x01);
  EXPECT_EQ(sent_[0].Data[1], 0x01);
  EXPECT_EQ(sent_[1].Data[0] | sent_[1].Data[1], 0);
  EXPECT_EQ(std::uint32_t{sent_[2].Id}, 0x104U);
  EXPECT_EQ(sent_[2].Data[0] | (sent_[2].Data[1] << 8), 70000 & 0xFFFF);
}

TEST_F(MixerDC, readAll_tenRequestsOverFiveSeconds_standardIdsKeepNoExtBit) {
  device_.Ext = false;
  std::vector<std::int64_t> at;
  device_.SetOnSend([&](TCANFrame& f) {
    sent_.push_back(f);
    at.push_back(time_.ElapsedMs());
  });
  device_.ReadAll();
  ASSERT_EQ(sent_.size(), 10U);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(std::uint32_t{sent_[i].Id}, 0x100U + 8U * i);
    EXPECT_EQ(sent_[i].Flags, kFlagRemote);
    EXPECT_EQ(sent_[i].Len, 8);
  }
  EXPECT_GT(at[9] - at[0], 9 * 500);
  EXPECT_GT(time_.ElapsedMs(), 5000);
}

}  // namespace
}  // namespace vorta
