// Status lines of the DC drive for subject 7: link, PWM state and the status
// word's bits.

#include <gtest/gtest.h>

#include "devices/CANMixer.h"
#include "process/StatusMessages.h"
#include "process/StatusSink.h"
#include "tests/process/CalibrationFixture.h"

namespace vorta::testing {
namespace {

const QString kSeparator = QStringLiteral("______________________");

class DriveStatusTest : public CalibrationFixture {
 protected:
  void SetUp() override {
    CalibrationFixture::SetUp();
    TVortaProcess& p = Process();
    ASSERT_NE(p.Mixer, nullptr);
    p.StatusSink = &sink_;
    p.StatusSubject = 7;
  }

  void DriveAnswers(std::uint16_t status) {
    TCANMixer& m = *Process().Mixer;
    m.Regs[58] = static_cast<std::uint8_t>(status & 0xFF);
    m.Regs[59] = static_cast<std::uint8_t>(status >> 8);
    m.LastReceiveMs = time_.MonotonicMs();
  }

  THeadlessStatusSink sink_;
};

TEST_F(DriveStatusTest, StoppedDriveInItsInitialState) {
  DriveAnswers(0);
  ShowStatusLine(Process(), 7);
  EXPECT_EQ(sink_.Lines, (QStringList{QStringLiteral("Начальное состояние"),
                                      QStringLiteral("ШИМ остановлен"), kSeparator}));
}

TEST_F(DriveStatusTest, EachSetBitBut8GetsItsLine) {
  DriveAnswers(0x0309);  // bits 0, 3, 8, 9
  ShowStatusLine(Process(), 7);
  EXPECT_EQ(
      sink_.Lines,
      (QStringList{QStringLiteral("ШИМ включен"), QStringLiteral("Период установления оборотов"),
                   QStringLiteral("Превышение критического порога температуры"), kSeparator}));
}

TEST_F(DriveStatusTest, LostLinkSaysSoAndNothingElse) {
  DriveAnswers(0x0001);
  Process().Mixer->LastReceiveMs = time_.MonotonicMs() - 11'000;
  ShowStatusLine(Process(), 7);
  EXPECT_EQ(sink_.Lines, QStringList{QStringLiteral("Ошибка связи")});
}

TEST_F(DriveStatusTest, OtherSubjectsAndTheMixerItemGetNoDriveLines) {
  DriveAnswers(0x0001);
  Process().StatusSubject = 5;
  ShowStatusLine(Process(), 7);
  ShowStatusLine(Process(), 5);
  EXPECT_TRUE(sink_.Lines.isEmpty());
}

}  // namespace
}  // namespace vorta::testing
