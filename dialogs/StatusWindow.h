#pragma once
// The status window: the status lines of one subject of a process, which the
// engine writes while the window is open, and for the process as a whole the
// "Старт"/"Стоп" of the elapsed-time clock (dialogs/StatusUnit.h).

#include <QDialog>

#include "panel/StatusSink.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vorta {

class TVortaForm;
class TVortaProcess;

class TForm5 final : public QDialog, public IStatusSink {
  Q_OBJECT

 public:
  // Wider than the 234 of the small 8-point font, so that the date edits
  // and their labels stay readable at the default font.
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 187;
  // A window left open for days keeps the newest lines; older ones go.
  static constexpr int kMaxMemoLines = 10000;

  TForm5(TVortaProcess& process, QWidget* parent);
  ~TForm5() override;

  // A new window for the subject unless one is open for the process already.
  static TForm5* Open(TVortaForm& panel, int subject);

  void FormCreate();
  void ButtonStartClick();
  void ButtonStopClick();
  void Button1Click();

  // IStatusSink
  void AppendLine(const QString& text) override;
  void ReplaceFirstLine(const QString& text) override;

  [[nodiscard]] QPlainTextEdit* Memo1() const { return memo_; }
  [[nodiscard]] QLineEdit* Edit1() const { return edit1_; }
  [[nodiscard]] QLineEdit* Edit2() const { return edit2_; }
  [[nodiscard]] QPushButton* ButtonStart() const { return start_; }
  [[nodiscard]] QPushButton* ButtonStop() const { return stop_; }
  [[nodiscard]] QPushButton* Button1() const { return close_; }

  TVortaProcess& Process;

 protected:
  void reject() override;

 private:
  void FormClose();

  bool closed_ = false;
  QPlainTextEdit* memo_ = nullptr;
  QLabel* startLabel_ = nullptr;
  QLabel* stopLabel_ = nullptr;
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace vorta
