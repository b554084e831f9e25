#include "windows/common/PanelPlacement.h"

#include <algorithm>
#include <cstdint>

namespace vorta {

QPoint PanelPosition(int numProcess, QSize screen, QSize panel, QPoint designed) {
  if (numProcess < 1 || numProcess > 8) return designed;
  // Integer division truncates toward zero, as the placement rule wants.
  const int x0 = (screen.width() - 2 * panel.width()) / 2;
  const int y0 = (screen.height() - 2 * panel.height()) / 2 - 12;
  const int slot = (numProcess - 1) % 4;  // 0 top left, 1 top right, 2/3 below
  const int x = x0 + ((slot % 2) != 0 ? panel.width() : 0);
  const int y = y0 + (slot >= 2 ? panel.height() : 0);
  return {x, y};
}

namespace {

std::int64_t Area(const QRect& r) {
  return r.isEmpty() ? 0 : std::int64_t{r.width()} * r.height();
}

// Squared distance between the centres, to pick the nearest screen.
std::int64_t CentreDistance(const QRect& a, const QRect& b) {
  const std::int64_t dx = std::int64_t{a.center().x()} - b.center().x();
  const std::int64_t dy = std::int64_t{a.center().y()} - b.center().y();
  return dx * dx + dy * dy;
}

}  // namespace

QPoint FitOnScreens(const QRect& frame, const QList<QRect>& screens) {
  const QRect* best = nullptr;
  std::int64_t bestOverlap = 0;
  std::int64_t covered = 0;  // screens do not overlap one another
  for (const QRect& s : screens) {
    if (s.isEmpty()) continue;
    const std::int64_t overlap = Area(frame.intersected(s));
    covered += overlap;
    if (best == nullptr || overlap > bestOverlap ||
        (overlap == 0 && bestOverlap == 0 &&
         CentreDistance(frame, s) < CentreDistance(frame, *best))) {
      best = &s;
      bestOverlap = overlap;
    }
  }
  if (best == nullptr || (covered >= Area(frame) && !frame.isEmpty())) return frame.topLeft();
  const QRect& s = *best;
  const int maxX = std::max(s.left(), s.right() + 1 - frame.width());
  const int maxY = std::max(s.top(), s.bottom() + 1 - frame.height());
  return {std::clamp(frame.left(), s.left(), maxX), std::clamp(frame.top(), s.top(), maxY)};
}

}  // namespace vorta
