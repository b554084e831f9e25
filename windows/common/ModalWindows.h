#pragma once
// While a modal window is open it is the one window of the program the
// operator can use, and it looks it: it is above every other window of the
// program, those that otherwise stay on top (calibration, the mixers)
// included, and each window it blocks is shaded. All goes back as it closes.

#include <QObject>
#include <QPointer>
#include <vector>

class QCoreApplication;
class QWidget;

namespace vorta {

class TModalWindows final : public QObject {
  Q_OBJECT

 public:
  // Once per application; a second call does nothing.
  static void Install(QCoreApplication& app);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit TModalWindows(QObject* parent) : QObject(parent) {}

  struct TBlocked {
    QPointer<QWidget> Window;
    QPointer<QWidget> Shade;
    bool WasOnTop = false;
  };
  struct TModal {
    QObject* Window = nullptr;  // a key only: it may be gone
    std::vector<TBlocked> Blocked;
  };

  void Block(QWidget& modal);
  void Unblock(QObject* modal);

  std::vector<TModal> modals_;
};

}  // namespace vorta
