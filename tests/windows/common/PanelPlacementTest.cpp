#include <gtest/gtest.h>

#include "windows/common/PanelPlacement.h"

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

TEST(FitOnScreens, aPlaceOffTheScreensNowOpensWhollyOnOne) {
  const QRect small(0, 0, 1024, 768);
  // Saved at x = 960 on a 1920-wide screen, reopened at 1024 x 768.
  EXPECT_EQ(FitOnScreens(QRect(960, 300, 760, 420), {small}), QPoint(264, 300));
  EXPECT_EQ(FitOnScreens(QRect(-500, -40, 200, 100), {small}), QPoint(0, 0));
  EXPECT_EQ(FitOnScreens(QRect(100, 100, 200, 100), {small}), QPoint(100, 100)) << "in sight";
  EXPECT_EQ(FitOnScreens(QRect(900, 700, 1500, 900), {small}), QPoint(0, 0))
      << "larger than the screen: the top-left corner in sight";
  EXPECT_EQ(FitOnScreens(QRect(5000, 5000, 200, 100), {}), QPoint(5000, 5000)) << "no screens";

  // Two screens side by side under a 30-px bar: a window across the seam is
  // in sight; one on a monitor that is gone goes to the nearest.
  const QList<QRect> two{QRect(0, 30, 1280, 994), QRect(1280, 0, 1920, 1080)};
  EXPECT_EQ(FitOnScreens(QRect(1100, 300, 400, 300), two), QPoint(1100, 300));
  EXPECT_EQ(FitOnScreens(QRect(3300, 200, 400, 300), two), QPoint(2800, 200));
  EXPECT_EQ(FitOnScreens(QRect(-900, 10, 400, 300), two), QPoint(0, 30));
  EXPECT_EQ(FitOnScreens(QRect(1200, 900, 400, 300), two), QPoint(1280, 780))
      << "onto the screen it overlaps most";
}

}  // namespace
}  // namespace vorta
