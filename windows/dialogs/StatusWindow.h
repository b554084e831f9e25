#pragma once
// The status window: the status lines of one subject of a process, which the
// engine writes while the window is open, and for the process as a whole the
// "Старт"/"Стоп" of the elapsed-time clock (dialogs/StatusClock.h).

#include <QDialog>

#include "process/StatusSink.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vorta {

class IProcessPanel;
class TVortaProcess;

class TStatusWindow final : public QDialog, public IStatusSink {
  Q_OBJECT

 public:
  // Wider than the 234 of the small 8-point font, so that the date edits
  // and their labels stay readable at the default font.
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 187;
  // A window left open for days keeps the newest lines; older ones go.
  static constexpr int kMaxMemoLines = 10000;

  TStatusWindow(TVortaProcess& process, QWidget* parent);
  ~TStatusWindow() override;

  // A new window for the subject unless one is open for the process already.
  static TStatusWindow* Open(IProcessPanel& panel, int subject);

  void ShowRecord();
  void StartClockClick();
  void StopClockClick();
  void CloseClick();

  // IStatusSink
  void AppendLine(const QString& text) override;
  void ReplaceFirstLine(const QString& text) override;

  [[nodiscard]] QPlainTextEdit* Lines() const { return memo_; }
  [[nodiscard]] QLineEdit* StartedEdit() const { return startedEdit_; }
  [[nodiscard]] QLineEdit* ElapsedEdit() const { return elapsedEdit_; }
  [[nodiscard]] QPushButton* StartButton() const { return start_; }
  [[nodiscard]] QPushButton* StopButton() const { return stop_; }
  [[nodiscard]] QPushButton* CloseButton() const { return close_; }

  TVortaProcess& Process;

 protected:
  void reject() override;

 private:
  void OnClose();
  // The clock's start and stop, empty while never set.
  void ShowClockTimes();

  QPlainTextEdit* memo_ = nullptr;
  QLabel* startLabel_ = nullptr;
  QLabel* stopLabel_ = nullptr;
  QLineEdit* startedEdit_ = nullptr;
  QLineEdit* elapsedEdit_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace vorta
