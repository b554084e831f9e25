// The calibration dialog's number reader and checks, without a window.

#include <gtest/gtest.h>

#include "commands/Calibration.h"
#include "tests/process/CalibrationFixture.h"

namespace vorta::testing {
namespace {

TEST(NumberErrorPositionTest, PlainDecimalsPassAndTheFirstBadCharacterIsNamed) {
  for (const char* ok : {"7", "7.25", "-150", "+3", ".5", "5.", "  7.5", "1e3", "2.5E-2"}) {
    EXPECT_EQ(NumberErrorPosition(QString::fromLatin1(ok)), std::nullopt) << ok;
  }
  const std::pair<const char*, int> bad[] = {
      {"7.0x", 4}, {"", 1},   {"abc", 1}, {"-", 2},     {"7,5", 2},   {"7.5 ", 4},
      {"--3", 2},  {"1e", 3}, {"1e+", 4}, {"7.2.1", 4}, {"1e999", 2}, {" x", 2},
  };
  for (const auto& [text, k] : bad) {
    EXPECT_EQ(NumberErrorPosition(QString::fromLatin1(text)), k) << text;
  }
}

class CheckCalibrationValueTest : public CalibrationFixture {};

TEST_F(CheckCalibrationValueTest, LimitsAreInclusiveAndShownWithTwoDecimals) {
  TVortaProcess& p = Process();
  EXPECT_TRUE(CheckCalibrationValue(p, 1, QStringLiteral("2")).Ok);
  const TCheckResult top = CheckCalibrationValue(p, 1, QStringLiteral("12.50"));
  EXPECT_TRUE(top.Ok);
  EXPECT_DOUBLE_EQ(top.ParsedValue, 12.5);
  for (const char* outside : {"12.51", "1.99"}) {
    const TCheckResult r = CheckCalibrationValue(p, 1, QString::fromLatin1(outside));
    EXPECT_FALSE(r.Ok) << outside;
    EXPECT_EQ(r.Warning, QStringLiteral("Ошибка предела \rmin=2.00, max=12.50")) << outside;
  }
  // Each channel has its own limits.
  EXPECT_TRUE(CheckCalibrationValue(p, 4, QStringLiteral("-500")).Ok);
  EXPECT_EQ(CheckCalibrationValue(p, 4, QStringLiteral("-500.01")).Warning,
            QStringLiteral("Ошибка предела \rmin=-500.00, max=500.00"));
}

}  // namespace
}  // namespace vorta::testing
