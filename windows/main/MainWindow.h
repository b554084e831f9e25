#pragma once
// The main form's window: hidden while the program works, shown with
// "Идет завершение процессов" while the processes are being shut down.

#include <QWidget>

#include "process/PanelView.h"

class QLabel;

namespace vorta {

class TMainWindow final : public QWidget, public IMainWindow {
  Q_OBJECT

 public:
  explicit TMainWindow(QWidget* parent = nullptr);

  void SetCaption(const QString& caption) override;
  void ShowShutdownPanel() override;
  // A second copy was started: the operator's panels come to the front.
  void BringToFront() override;
  bool CloseModalWindows() override;

  [[nodiscard]] QLabel* ShutdownLabel() const { return shutdownLabel_; }

 private:
  QLabel* shutdownLabel_ = nullptr;
};

}  // namespace vorta
