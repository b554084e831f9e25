#pragma once
// Puts a window at a place it was given (saved in a file, or derived from
// its panel's) and then onto the screens this machine has now.

#include <QPoint>

class QWidget;

namespace vorta {

// Moves window's outer top-left to topLeft, kept on the screens' usable
// areas (FitOnScreens in windows/common/PanelPlacement.h).
void MoveOntoScreens(QWidget& window, QPoint topLeft);

}  // namespace vorta
