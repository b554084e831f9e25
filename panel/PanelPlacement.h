#pragma once
// Where a panel goes on the screen: processes 1..4 tile a 2 x 2 block in the
// middle of the screen, 5..8 lie on top of 1..4, any other number keeps the
// designed place.

#include <QPoint>
#include <QSize>

namespace vorta {

inline constexpr QPoint kPanelDesignedPos{427, 276};

// screen: W x H of the screen; panel: the window's outer w x h.
QPoint PanelPosition(int numProcess, QSize screen, QSize panel,
                     QPoint designed = kPanelDesignedPos);

}  // namespace vorta
