#include "windows/common/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "windows/common/PanelPlacement.h"

namespace vorta {

namespace {

QList<QRect> UsableAreas() {
  QList<QRect> screens;
  for (const QScreen* s : QGuiApplication::screens()) screens << s->availableGeometry();
  return screens;
}

// Moved by the difference only: while a frame is being added, pos() may not
// yet agree with frameGeometry().
void Fit(QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QPoint shift = FitOnScreens(frame, UsableAreas()) - frame.topLeft();
  if (!shift.isNull()) window.move(window.pos() + shift);
}

// Before the first show the frame is not known and the client size stands
// in: the window is fitted again right after it shows, and once more a
// moment later, by when a window manager has framed it.
class TFitWhenFramed final : public QObject {
 public:
  static constexpr const char* kName = "FitWhenFramed";

  explicit TFitWhenFramed(QWidget& window) : QObject(&window), window_(window) {
    setObjectName(QLatin1String(kName));
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    window_.removeEventFilter(this);
    for (const int ms : {0, 200}) QTimer::singleShot(ms, &window_, [w = &window_] { Fit(*w); });
    deleteLater();
    return false;
  }

 private:
  QWidget& window_;
};

}  // namespace

void MoveOntoScreens(QWidget& window, QPoint topLeft) {
  window.move(FitOnScreens(QRect(topLeft, window.frameGeometry().size()), UsableAreas()));
  if (!window.isVisible() && window.findChild<QObject*>(QLatin1String(TFitWhenFramed::kName),
                                                        Qt::FindDirectChildrenOnly) == nullptr) {
    new TFitWhenFramed(window);
  }
}

}  // namespace vorta
