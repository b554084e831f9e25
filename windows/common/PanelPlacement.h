#pragma once
// Where a panel goes on the screen: processes 1..4 tile a 2 x 2 block in the
// middle of the screen, 5..8 lie on top of 1..4, any other number keeps the
// designed place. And where any window goes whose saved or derived place is
// off the screens it has now.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vorta {

inline constexpr QPoint kPanelDesignedPos{427, 276};

// screen: W x H of the screen; panel: the window's outer w x h.
QPoint PanelPosition(int numProcess, QSize screen, QSize panel,
                     QPoint designed = kPanelDesignedPos);

// The top-left corner for a window's outer rectangle, given the usable area
// of each screen. A window wholly on the screens stays where it is. Any other
// moves the least distance onto the screen it overlaps most (the nearest one
// when it overlaps none), so a place saved on a larger screen or a monitor
// that is gone opens in sight; one larger than that screen keeps its
// top-left corner, with the title bar, on it. No screens: unchanged.
QPoint FitOnScreens(const QRect& frame, const QList<QRect>& screens);

}  // namespace vorta
