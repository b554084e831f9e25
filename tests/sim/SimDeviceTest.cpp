// The devices from their own side: frames in, frames out, register images.

#include <gtest/gtest.h>

#include <vector>

#include "sim/SimDrives.h"
#include "sim/SimIoModule.h"

namespace vorta::sim {
namespace {

TCANFrame Remote(std::uint32_t id, std::uint8_t len, bool ext = true) {
  TCANFrame f;
  f.Id = id;
  f.Flags = kFlagRemote | (ext ? kFlagExtended : 0);
  f.Len = len;
  return f;
}

TCANFrame Write(std::uint32_t id, std::vector<std::uint8_t> data, bool ext = true) {
  TCANFrame f;
  f.Id = id;
  f.Flags = ext ? kFlagExtended : 0;
  f.Len = static_cast<std::uint8_t>(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    f.Data[i] = data[i];
  }
  return f;
}

struct TSent {
  std::vector<TCANFrame> frames;
  void Attach(TSimDevice& d) {
    d.OnSend = [this](const TCANFrame& f) { frames.push_back(f); };
  }
};

TEST(SimDevice, RemoteRequest_isAnsweredFromTheImageAtTheAskedOffsetAndLength) {
  TSimIoModule io("SUABB1", 0x1000, true, false);
  TSent out;
  out.Attach(io);
  for (int i = 0; i < 8; ++i) {
    io.SetAnalog(i, static_cast<std::uint16_t>(0x100 * i + i));
  }

  ASSERT_TRUE(io.HandleFrame(Remote(0x1000 + 34, 6)));
  ASSERT_EQ(out.frames.size(), 1u);
  const TCANFrame& r = out.frames[0];
  EXPECT_EQ(std::uint32_t{r.Id}, 0x1000u + 34);
  EXPECT_EQ(r.Flags, kFlagExtended);  // a data frame, same identifier kind
  ASSERT_EQ(r.Len, 6);
  // inputs 1..3: low byte first
  EXPECT_EQ(r.Data[0], 0x01);
  EXPECT_EQ(r.Data[1], 0x01);
  EXPECT_EQ(r.Data[4], 0x03);
  EXPECT_EQ(r.Data[5], 0x03);
  EXPECT_EQ(r.Data[6], 0);  // beyond Len: nothing

  // Past the end of the image the reply is padded with zeros.
  ASSERT_TRUE(io.HandleFrame(Remote(0x1000 + 252, 8)));
  EXPECT_EQ(out.frames.back().Len, 8);
}

TEST(SimDevice, FramesForOtherDevicesOrTheOtherIdentifierKind_areIgnored) {
  TSimIoModule io("SUABB1", 0x1000, true, false);
  TSimIoModule std11("SUABB2", 0x200, false, false);
  TSent out;
  out.Attach(io);
  out.Attach(std11);
  EXPECT_FALSE(io.HandleFrame(Remote(0x1100, 8)));         // next device's block
  EXPECT_FALSE(io.HandleFrame(Remote(0x0FFF, 8)));         // below it
  EXPECT_FALSE(io.HandleFrame(Remote(0x1020, 8, false)));  // standard identifier
  EXPECT_TRUE(out.frames.empty());

  ASSERT_TRUE(std11.HandleFrame(Remote(0x220, 8, false)));
  ASSERT_EQ(out.frames.size(), 1u);
  EXPECT_EQ(std::uint32_t{out.frames[0].Id}, 0x220u);
  EXPECT_EQ(out.frames[0].Flags, 0);
}

TEST(SimIoModule, OutputWordWrite_switchesOutputsAndIsTimedByTheClock) {
  TSimIoModule io("SUABB1", 0x1000, true, false);
  std::int64_t now = 0;
  io.Clock = [&] { return now; };
  io.HandleFrame(Write(0x1000 + 50, {0x01, 0x80}));  // outputs 1 and 16
  EXPECT_EQ(io.OutputWord(), 0x8001);
  EXPECT_TRUE(io.Output(1));
  EXPECT_TRUE(io.Output(16));
  EXPECT_FALSE(io.Output(2));

  now = 200;  // output 1 off after 200 ms of a 500 ms step
  io.HandleFrame(Write(0x1000 + 50, {0x00, 0x80}));
  auto duty = io.TakeDuty(0, 500);
  EXPECT_DOUBLE_EQ(duty[0], 0.4);
  EXPECT_DOUBLE_EQ(duty[15], 1.0);
  EXPECT_DOUBLE_EQ(duty[1], 0.0);
  now = 500;
  duty = io.TakeDuty(500, 1000);  // the next step starts afresh
  EXPECT_DOUBLE_EQ(duty[0], 0.0);
  EXPECT_DOUBLE_EQ(duty[15], 1.0);

  // Byte outputs: pump speed code of pump 1 at 32 + 27; the analog inputs stay.
  io.SetAnalog(0, 1234);
  io.HandleFrame(Write(0x1000 + 59, {150}));
  EXPECT_EQ(io.ByteOutput(27), 150);
  EXPECT_EQ(io.ByteOutput(28), 100);  // power-on default
  EXPECT_EQ(io.Analog(0), 1234);

  io.SetFoamContact(true);
  EXPECT_TRUE(io.FoamContact());
  EXPECT_EQ(io.Byte(48), 1);
}

TEST(SimDcDrive, RunAndSetpoint_rampTheSpeedWithTheDriveLag) {
  TSimDcDrive dc("DC1", 0x2000, true, false);
  TSent out;
  out.Attach(dc);
  dc.HandleFrame(Write(0x2000 + 4, {0xF4, 0x01}));  // 500 rpm
  dc.Step(1.0);
  EXPECT_EQ(dc.MotorRpm(), 0.0);  // not running yet
  dc.HandleFrame(Write(0x2000 + 2, {0x01, 0x01}));
  EXPECT_TRUE(dc.Running());
  dc.Step(1.5);  // one time constant
  EXPECT_NEAR(dc.MotorRpm(), 500 * 0.632, 5);
  EXPECT_TRUE(dc.Word(TSimDcDrive::kRegStatus) & TSimDcDrive::kSettling);
  for (int i = 0; i < 20; ++i) {
    dc.Step(0.5);
  }
  EXPECT_EQ(static_cast<std::int16_t>(dc.Word(TSimDcDrive::kRegSpeed)), 500);
  const std::uint16_t status = dc.Word(TSimDcDrive::kRegStatus);
  EXPECT_EQ(status, TSimDcDrive::kPwmOn);
  const int mA = dc.Word(TSimDcDrive::kRegCurrent);
  EXPECT_GT(mA, 200);
  EXPECT_LT(mA, 2000);

  // The poll of the live registers 29..32
  dc.HandleFrame(Remote(0x2000 + 58, 8));
  ASSERT_EQ(out.frames.size(), 1u);
  EXPECT_EQ(out.frames[0].Data[2] | (out.frames[0].Data[3] << 8), 500);

  // Reverse: the actual speed is signed.
  dc.HandleFrame(Write(0x2000 + 4, {0x9C, 0xFF}));  // -100
  for (int i = 0; i < 30; ++i) {
    dc.Step(0.5);
  }
  EXPECT_EQ(static_cast<std::int16_t>(dc.Word(TSimDcDrive::kRegSpeed)), -100);

  dc.HandleFrame(Write(0x2000 + 2, {0x00, 0x00}));  // stop
  for (int i = 0; i < 30; ++i) {
    dc.Step(0.5);
  }
  EXPECT_EQ(dc.Word(TSimDcDrive::kRegSpeed), 0);
  EXPECT_EQ(dc.Word(TSimDcDrive::kRegCurrent), 0);
}

TEST(SimDcDrive, ParameterRegisters_readBackWhatWasWritten) {
  TSimDcDrive dc("DC1", 0x2000, true, false);
  TSent out;
  out.Attach(dc);
  dc.HandleFrame(Write(0x2000 + 6, {0x34, 0x12}));   // register 3
  dc.HandleFrame(Write(0x2000 + 44, {0x78, 0x56}));  // register 22
  dc.Step(0.5);                                      // the drive's own registers do not touch them
  dc.HandleFrame(Remote(0x2000 + 0, 8));
  dc.HandleFrame(Remote(0x2000 + 40, 8));
  ASSERT_EQ(out.frames.size(), 2u);
  EXPECT_EQ(out.frames[0].Data[6] | (out.frames[0].Data[7] << 8), 0x1234);
  EXPECT_EQ(out.frames[1].Data[4] | (out.frames[1].Data[5] << 8), 0x5678);
}

TEST(SimInverter, ScalesTheReferenceToMaxRpmAndKeepsItApartFromTheRunCommand) {
  TSimInverter inv("OMRON1", 0x3000, true, false, 3000);
  inv.HandleFrame(Write(0x3000 + 2, {0xC4, 0x09}));  // 2500 = half of 5000
  inv.HandleFrame(Write(0x3000 + 1, {0x01, 0x00}));  // run, written over offsets 1..2
  EXPECT_TRUE(inv.Running());
  EXPECT_EQ(inv.Word(TSimInverter::kRegReference), 2500);  // not overwritten
  for (int i = 0; i < 30; ++i) {
    inv.Step(0.5);
  }
  EXPECT_EQ(inv.Word(TSimInverter::kRegOutput), 2500);
  EXPECT_DOUBLE_EQ(inv.MotorRpm(), 1500.0);
  EXPECT_TRUE(inv.Word(TSimInverter::kRegStatus) & TSimInverter::kAtReference);
  const int amps100mA = inv.Word(TSimInverter::kRegCurrent);
  EXPECT_GE(amps100mA, 5);
  EXPECT_LE(amps100mA, 30);
  EXPECT_EQ(inv.Word(TSimInverter::kRegVoltage), 115);  // volts per hertz

  inv.HandleFrame(Write(0x3000 + 1, {0x00, 0x00}));
  for (int i = 0; i < 30; ++i) {
    inv.Step(0.5);
  }
  EXPECT_EQ(inv.Word(TSimInverter::kRegOutput), 0);
  EXPECT_EQ(inv.Word(TSimInverter::kRegStatus), 0);
}

TEST(SimDevice, SilentDevice_answersNothingAndSendsNothingButComesBack) {
  TSimIoModule io("SUABB1", 0x1000, true, true);
  TSent out;
  out.Attach(io);
  io.SetSilent(true);
  EXPECT_FALSE(io.HandleFrame(Remote(0x1000 + 32, 8)));
  io.SendLive();
  EXPECT_TRUE(out.frames.empty());
  io.SetSilent(false);
  io.SendLive();  // active: the three live blocks
  ASSERT_EQ(out.frames.size(), 3u);
  EXPECT_EQ(std::uint32_t{out.frames[0].Id}, 0x1000u + 32);
  EXPECT_EQ(std::uint32_t{out.frames[1].Id}, 0x1000u + 40);
  EXPECT_EQ(std::uint32_t{out.frames[2].Id}, 0x1000u + 48);
  EXPECT_EQ(out.frames[2].Len, 4);
}

}  // namespace
}  // namespace vorta::sim
