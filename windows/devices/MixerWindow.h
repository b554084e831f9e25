#pragma once
// The mixer window: speed code with its spin button, "Старт"/"Стоп", the
// measured speed and the drive's status panels. It mirrors
// TPanelState::MixerView, which the 2-s cycle refreshes, and turns the
// operator's actions into the calls of devices/MixerWindowLogic.h.

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vorta {

class IProcessPanel;
class TVortaProcess;

class TMixerWindow final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 170;
  static constexpr int kClientHeight = 112;

  // A new window for the panel's process, placed at MixLeft/MixTop and
  // shown; null (and nothing happens) when one is open already.
  static TMixerWindow* Open(IProcessPanel& panel);

  TMixerWindow(TVortaProcess& process, QWidget* parent);
  ~TMixerWindow() override;

  void ShowRecord();
  void StepUpClick();
  void StepDownClick();
  void StartClick();
  void StopClick();
  // Shows what the engine published in MixerView.
  void ShowState();

  [[nodiscard]] QLineEdit* CodeEdit() const { return codeEdit_; }
  [[nodiscard]] QLineEdit* SpeedEdit() const { return speedEdit_; }
  [[nodiscard]] QToolButton* SpinUp() const { return spinUp_; }
  [[nodiscard]] QToolButton* SpinDown() const { return spinDown_; }
  [[nodiscard]] QPushButton* StartButton() const { return start_; }
  [[nodiscard]] QPushButton* StopButton() const { return stop_; }
  [[nodiscard]] QLabel* StatusPanel(int i) const { return panels_[static_cast<size_t>(i)]; }
  [[nodiscard]] QLabel* StatusSimple() const { return simple_; }
  [[nodiscard]] QWidget* StatusBar() const { return statusBar_; }

  TVortaProcess& Process;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Up and Down arrows step the code wherever the focus is in the window.
  bool HandleKey(int key);

  bool closed_ = false;
  QLineEdit* codeEdit_ = nullptr;
  QLineEdit* speedEdit_ = nullptr;
  QToolButton* spinUp_ = nullptr;
  QToolButton* spinDown_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QWidget* statusBar_ = nullptr;
  std::array<QLabel*, 3> panels_{};
  QLabel* simple_ = nullptr;
  std::int32_t shownColor_ = -2;
};

}  // namespace vorta
