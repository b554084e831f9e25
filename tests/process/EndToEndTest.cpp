// A channel regulated from codes in through frames to dosing frames out,
// the pulse ended on time, the minute closed and the log row on disk.

#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

class EndToEndTest : public ProcessFixture {};

TEST_F(EndToEndTest, PhChannelFromFramesToLogRow) {
  TVortaProcess& p = AddProcess(1, "Board1", "[Mode]\r\nmode=1\r\n");
  // Regulate pH up through output 3 in batch mode, every 2-s tick.
  p.Mode = TVesselMode::Batch;
  p.Channel[1].Config.CtrlEnable = 1;
  p.Channel[1].Config.CtrlOutUp = 3;
  p.Channel[1].Config.GainUp = 2;
  StartCycles();

  // The module answers polls with pH code 1680 (6.80) every second.
  auto runTo = [&](std::int64_t ms) {
    while (time_.ElapsedMs() < ms) {
      InjectCodes(1680, 1500, 1500, 1500);
      time_.AdvanceBy(std::min<std::int64_t>(1000, ms - time_.ElapsedMs()));
    }
  };
  runTo(1999);
  EXPECT_FALSE(p.OutputWord & 0x4);
  EXPECT_NEAR(p.Channel[1].Value, 0, 1e-12);
  runTo(2000);  // first regulation step
  EXPECT_NEAR(p.Channel[1].Value, 6.8, 1e-9);
  EXPECT_EQ(p.Channel[1].Status, TRegulationStatus::Normal);
  EXPECT_EQ(p.Channel[1].PulseLength, 10);
  EXPECT_TRUE(p.OutputWord & 0x4);
  runTo(2399);
  EXPECT_TRUE(p.OutputWord & 0x4);
  runTo(2400);  // 10 ticks of 40 ms
  EXPECT_FALSE(p.OutputWord & 0x4);
  runTo(2500);  // the pacer has sent both words
  const auto words = SentOutputWords();
  const auto on = std::find_if(words.begin(), words.end(), [](auto w) { return w & 0x4; });
  ASSERT_NE(on, words.end());
  EXPECT_NE(std::find_if(on, words.end(), [](auto w) { return (w & 0x4) == 0; }), words.end());

  runTo(60'000);
  EXPECT_NEAR(p.Channel[1].Minute.Avg, 6.8, 1e-9);
  EXPECT_EQ(program_.TwoSecondTicks, 0);
  QFile log(p.ProtocolFileName);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 3);  // header, row, empty after the last line end
  const QStringList f = lines[1].split(u'\t');
  ASSERT_EQ(f.size(), 22);
  EXPECT_EQ(f[2], QStringLiteral("6.80"));
  EXPECT_EQ(f[3], QStringLiteral("7.00"));
  EXPECT_EQ(f[4], QStringLiteral("5.00"));
  // 29 complete pulses of 10 ticks; the one started at 60 s has not been counted.
  EXPECT_EQ(f[12], QStringLiteral("11.60"));
  EXPECT_EQ(f[20], QStringLiteral("Net OK"));
  EXPECT_EQ(f[21], QStringLiteral("Butch"));
  EXPECT_TRUE(messages_.Errors.isEmpty());
}

// Frozen codes of a module that stopped answering are not regulated on: the
// pH stuck at 6.80 below a setpoint of 7.00 doses nothing once the link is
// gone, and the status says why; the first answer brings dosing back.
TEST_F(EndToEndTest, SilentModuleDosesNothing) {
  TVortaProcess& p = AddProcess(1, "Board1", "[Mode]\r\nmode=1\r\n");
  p.Mode = TVesselMode::Batch;
  p.Channel[1].Config.CtrlEnable = 1;
  p.Channel[1].Config.CtrlOutUp = 3;
  p.Channel[1].Config.GainUp = 2;
  p.Channel[1].Config.CtrlPeriod = 1;
  StartCycles();
  for (int s = 0; s < 62; ++s) {  // a minute's mean of 6.80
    InjectCodes(1680, 1500, 1500, 1500);
    time_.AdvanceBy(1000);
  }
  ASSERT_EQ(p.Channel[1].Status, TRegulationStatus::Normal);
  time_.AdvanceBy(10'000);  // the link time-out
  const std::size_t sent = SentOutputWords().size();
  time_.AdvanceBy(30'000);
  EXPECT_EQ(p.Channel[1].Status, TRegulationStatus::ModuleSilent);
  EXPECT_NEAR(p.Channel[1].Value, 6.8, 1e-9);  // still shown, greyed
  for (std::size_t i = sent; i < SentOutputWords().size(); ++i)
    EXPECT_EQ(SentOutputWords()[i] & 0x4, 0) << i;
  EXPECT_FALSE(p.OutputWord & 0x4);
  InjectCodes(1680, 1500, 1500, 1500);
  time_.AdvanceBy(2000);
  EXPECT_EQ(p.Channel[1].Status, TRegulationStatus::Normal);
  EXPECT_TRUE(p.OutputWord & 0x4);
}

}  // namespace
}  // namespace vorta::testing
