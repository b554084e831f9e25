#include "panel/PanelPlacement.h"

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

}  // namespace vorta
