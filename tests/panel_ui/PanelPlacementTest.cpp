#include <gtest/gtest.h>

#include "panel/PanelPlacement.h"

namespace vorta {
namespace {

const QSize kScreen{1024, 768};
const QSize kPanel{357, 224};

TEST(PanelPosition, fourNumbersTileTwoByTwoInTheMiddle) {
  EXPECT_EQ(PanelPosition(1, kScreen, kPanel), QPoint(155, 148));
  EXPECT_EQ(PanelPosition(2, kScreen, kPanel), QPoint(155 + 357, 148));
  EXPECT_EQ(PanelPosition(3, kScreen, kPanel), QPoint(155, 372));
  EXPECT_EQ(PanelPosition(4, kScreen, kPanel), QPoint(512, 372));
}

TEST(PanelPosition, fiveToEightLieOnOneToFour) {
  for (int n = 5; n <= 8; ++n) {
    EXPECT_EQ(PanelPosition(n, kScreen, kPanel), PanelPosition(n - 4, kScreen, kPanel)) << n;
  }
}

TEST(PanelPosition, otherNumbersKeepTheDesignedPlace) {
  for (int n : {9, 0, -1, 100}) EXPECT_EQ(PanelPosition(n, kScreen, kPanel), QPoint(427, 276));
}

TEST(PanelPosition, oddRemaindersTruncateTowardZero) {
  // (1023 - 714) / 2 = 154.5 and (767 - 448) / 2 = 159.5.
  EXPECT_EQ(PanelPosition(1, QSize(1023, 767), kPanel), QPoint(154, 147));
  // A screen smaller than the block: negative halves truncate toward zero too.
  EXPECT_EQ(PanelPosition(1, QSize(713, 447), kPanel), QPoint(0, -12));
}

}  // namespace
}  // namespace vorta
