#pragma once
// The mixer window: speed code with its spin button, "Старт"/"Стоп", the
// measured speed and the drive's status panels. It mirrors
// TPanelState::MixerView, which the 2-s cycle refreshes, and turns the
// operator's actions into the calls of devices/MixUnit.h.

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vorta {

class TVortaProcess;

class TForm6 final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 170;
  static constexpr int kClientHeight = 112;

  // A new window for the process, placed at MixLeft/MixTop and shown; null
  // (and nothing happens) when one is open already.
  static TForm6* Open(TVortaProcess& process, QWidget* parent);

  TForm6(TVortaProcess& process, QWidget* parent);
  ~TForm6() override;

  void FormCreate();
  void SpinButton1UpClick();
  void SpinButton1DownClick();
  void BitBtn1Click();
  void BitBtn2Click();
  // Shows what the engine published in MixerView.
  void ShowState();

  [[nodiscard]] QLineEdit* Edit1() const { return edit1_; }
  [[nodiscard]] QLineEdit* Edit2() const { return edit2_; }
  [[nodiscard]] QToolButton* SpinUp() const { return spinUp_; }
  [[nodiscard]] QToolButton* SpinDown() const { return spinDown_; }
  [[nodiscard]] QPushButton* BitBtn1() const { return start_; }
  [[nodiscard]] QPushButton* BitBtn2() const { return stop_; }
  [[nodiscard]] QLabel* StatusPanel(int i) const { return panels_[static_cast<size_t>(i)]; }
  [[nodiscard]] QLabel* StatusSimple() const { return simple_; }
  [[nodiscard]] QWidget* StatusBar1() const { return statusBar_; }

  TVortaProcess& Process;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Up and Down arrows step the code wherever the focus is in the window.
  bool FormKeyDown(int key);
  void FormClose();

  bool closed_ = false;
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
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
