#include "panel/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "panel/PanelPlacement.h"

namespace vorta {

void MoveOntoScreens(QWidget& window, QPoint topLeft) {
  QList<QRect> screens;
  for (const QScreen* s : QGuiApplication::screens()) screens << s->availableGeometry();
  // Before the first show the frame is not known and the client size stands in.
  window.move(FitOnScreens(QRect(topLeft, window.frameGeometry().size()), screens));
}

}  // namespace vorta
