#pragma once
// One kind of window that a panel opens for its process (the setpoints
// dialog, the status window, the mixer window, …): whether one is open, and
// the one opened last. Every such window opens, waits while one of its kind
// is open and is forgotten on close through this one class.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace vorta {

class TWindowSlot {
 public:
  TWindowSlot() = default;
  // The window still held goes with the slot: none outlives the panel, and
  // with it the process it shows.
  ~TWindowSlot() { delete window_.data(); }
  TWindowSlot(const TWindowSlot&) = delete;
  TWindowSlot& operator=(const TWindowSlot&) = delete;

  // A window of this kind was opened, and none of its kind closed since.
  [[nodiscard]] bool IsOpen() const { return open_ && !window_.isNull(); }

  // The window opened last, open or closed and only hidden; null when none.
  template <typename TWindow>
  [[nodiscard]] TWindow* Window() const {
    return qobject_cast<TWindow*>(window_.data());
  }

  // A new window from make(), which builds and shows it, unless one is open
  // and waitWhileOpen (then null, and nothing happens). The one opened
  // before, closed and only hidden, is freed first. The window's Closed
  // close (any hiding but the window system's, such as minimising) lets the
  // next one open.
  template <typename TMake>
  auto Open(TMake make, bool waitWhileOpen = true) -> decltype(make()) {
    if (waitWhileOpen && IsOpen()) return nullptr;
    if (window_ != nullptr && !window_->isVisible()) delete window_.data();
    auto* window = make();
    new TCloseWatch(window, &open_);
    window_ = window;
    open_ = true;
    return window;
  }

 private:
  // Clears the slot's flag when its window is closed: dialogs are only
  // hidden, and a window deleted on close is hidden first.
  class TCloseWatch : public QObject {
   public:
    TCloseWatch(QWidget* window, bool* open) : QObject(window), open_(open) {
      window->installEventFilter(this);
    }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
      if (event->type() == QEvent::Hide && !event->spontaneous()) *open_ = false;
      return false;
    }

   private:
    bool* open_;
  };

  QPointer<QWidget> window_;
  bool open_ = false;
};

}  // namespace vorta
