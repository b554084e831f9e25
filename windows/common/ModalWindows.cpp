#include "windows/common/ModalWindows.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace vorta {

namespace {

// Greys a blocked window over its own drawing; clicks are refused by the
// modal window anyway.
class TShade final : public QWidget {
 public:
  explicit TShade(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("ModalShade"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(window->rect());
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter(this).fillRect(rect(), QColor(96, 96, 96, 110));
  }
};

bool Blocks(const QWidget& modal, const QWidget& window) {
  if (&window == &modal || !window.isVisible() || modal.isAncestorOf(&window)) return false;
  switch (window.windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
      return false;
    default:
      break;
  }
  // A window-modal one blocks only the windows it belongs to.
  return modal.windowModality() == Qt::ApplicationModal || window.isAncestorOf(&modal);
}

void SetOnTop(QWidget& window, bool on) {
  // On the native window, which the window system changes in place; the
  // widget's own flags keep what the window asked for.
  if (QWindow* native = window.windowHandle()) native->setFlag(Qt::WindowStaysOnTopHint, on);
}

}  // namespace

void TModalWindows::Install(QCoreApplication& app) {
  if (app.findChild<TModalWindows*>(QString(), Qt::FindDirectChildrenOnly) != nullptr) return;
  app.installEventFilter(new TModalWindows(&app));
}

bool TModalWindows::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Show && type != QEvent::Hide) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !widget->isWindow() || widget->windowModality() == Qt::NonModal) {
    return false;
  }
  if (type == QEvent::Show) {
    Block(*widget);
  } else {
    Unblock(widget);
  }
  return false;
}

void TModalWindows::Block(QWidget& modal) {
  const auto known = std::find_if(modals_.begin(), modals_.end(),
                                  [&modal](const TModal& m) { return m.Window == &modal; });
  if (known != modals_.end()) return;
  TModal entry{&modal, {}};
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!Blocks(modal, *window)) continue;
    // As the window system has it now: under a second modal window, one the
    // first has taken down stays down until the first closes.
    const QWindow* native = window->windowHandle();
    TBlocked blocked{window, nullptr,
                     native != nullptr && native->flags().testFlag(Qt::WindowStaysOnTopHint)};
    if (blocked.WasOnTop) SetOnTop(*window, false);
    auto* shade = new TShade(window);
    shade->show();
    shade->raise();
    blocked.Shade = shade;
    entry.Blocked.push_back(blocked);
  }
  modals_.push_back(std::move(entry));
  // Freed without being hidden first: its windows come back all the same.
  connect(&modal, &QObject::destroyed, this, [this](QObject* gone) { Unblock(gone); });
}

void TModalWindows::Unblock(QObject* modal) {
  const auto it = std::find_if(modals_.begin(), modals_.end(),
                               [modal](const TModal& m) { return m.Window == modal; });
  if (it == modals_.end()) return;
  for (const TBlocked& blocked : it->Blocked) {
    delete blocked.Shade.data();
    if (blocked.WasOnTop && blocked.Window != nullptr) SetOnTop(*blocked.Window, true);
  }
  modals_.erase(it);
  disconnect(modal, nullptr, this, nullptr);
}

}  // namespace vorta
