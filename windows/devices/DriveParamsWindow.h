#pragma once
// The drive-parameter window: the DC drive's parameter registers on four
// pages, filled from the register image after the drive has been asked for
// every register. The work is in devices/DriveParams.h.

#include <QDialog>
#include <QStringList>
#include <vector>

#include "commands/DriveParams.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace vorta {

class IMessageSink;
class TTimerService;
class TVortaProcess;

class TDriveParamsWindow final : public QDialog {
  Q_OBJECT

 public:
  // The panel's "Параметры двигателя": refuses with "Неверный объект для
  // конфигурирования." without a process or a DC drive; otherwise loads the
  // drive and shows the window modally until it is closed.
  static void Execute(TVortaProcess& process, QWidget* parent);

  TDriveParamsWindow(TTimerService& time, IMessageSink& messages, QWidget* parent);
  ~TDriveParamsWindow() override;

  // Asks the drive for every register (about 5 s) while the window shows
  // the progress, then fills the active page.
  void LoadDrive(TCANMixer& drive);
  void ReadClick();
  void WriteClick();
  void PageChosen(int page);

  [[nodiscard]] TDriveParams& Model() { return model_; }
  // The vessel whose drive this is: "Записать" changes it through the
  // command layer, journalled in its name.
  void SetProcess(TVortaProcess& process);
  [[nodiscard]] QTabWidget* Pages() const { return pages_; }
  [[nodiscard]] QPushButton* ReadButton() const { return read_; }
  [[nodiscard]] QPushButton* WriteButton() const { return write_; }
  [[nodiscard]] QProgressBar* Progress() const { return progress_; }
  [[nodiscard]] QLabel* ProgressLabel() const { return progressLabel_; }
  // The edit by its name ("Editrpmstop"), or null.
  [[nodiscard]] QLineEdit* Edit(const QString& name) const;
  [[nodiscard]] bool Busy() const { return busy_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildPage(int page);
  void SetBusy(bool busy);

  TDriveParams model_;
  TVortaProcess* process_ = nullptr;
  QTabWidget* pages_ = nullptr;
  std::vector<std::vector<QLineEdit*>> edits_;  // [page][row]
  QPushButton* read_ = nullptr;
  QPushButton* write_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  // Loading or writing: the work waits with messages running, so the window
  // must not go away under it.
  bool busy_ = false;
  bool closeWanted_ = false;
};

}  // namespace vorta
