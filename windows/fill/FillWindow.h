#pragma once
// The fill window: dose target and counter, the vessels to fill, and
// "Пуск"/"Стоп". It mirrors TFillControl (commands/FillRun.h).

#include <QDialog>
#include <array>

#include "commands/FillRun.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vorta {

class TFillWindow final : public QDialog, public IFillView {
  Q_OBJECT

 public:
  TFillWindow(TFillControl& fill, QWidget* parent = nullptr);
  ~TFillWindow() override;

  // IFillView
  void FillStateChanged() override;
  void FillFreed() override;

  [[nodiscard]] QLineEdit* TargetEdit() const { return target_; }
  [[nodiscard]] QLineEdit* DoneEdit() const { return done_; }
  [[nodiscard]] QToolButton* SpinUp() const { return spinUp_; }
  [[nodiscard]] QToolButton* SpinDown() const { return spinDown_; }
  [[nodiscard]] QPushButton* ResetButton() const { return reset_; }
  [[nodiscard]] QPushButton* StartStopButton() const { return startStop_; }
  [[nodiscard]] QCheckBox* CheckBox(int k) const { return boxes_[static_cast<size_t>(k - 1)]; }
  [[nodiscard]] QGroupBox* GroupFill() const { return groupFill_; }
  [[nodiscard]] QGroupBox* GroupProc() const { return groupProc_; }
  [[nodiscard]] TFillControl* Fill() const { return fill_; }

 protected:
  void reject() override;

 private:
  TFillControl* fill_;
  QGroupBox* groupFill_ = nullptr;
  QGroupBox* groupProc_ = nullptr;
  QLineEdit* target_ = nullptr;
  QToolButton* spinUp_ = nullptr;
  QToolButton* spinDown_ = nullptr;
  QLineEdit* done_ = nullptr;
  QPushButton* reset_ = nullptr;
  std::array<QCheckBox*, kFillBoxes> boxes_{};
  QPushButton* startStop_ = nullptr;
};

}  // namespace vorta
