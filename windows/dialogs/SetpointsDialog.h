#pragma once
// The setpoints dialog: four edits, one per measured channel, for the
// setpoints or the linear adjustments of a process (panel/Setpoints.h).

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorta {

class IProcessPanel;
class TVortaProcess;

class TSetpointsDialog final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 189;
  static constexpr int kClientHeight = 103;

  TSetpointsDialog(TVortaProcess& process, QWidget* parent);
  ~TSetpointsDialog() override;

  // "Уставки" (mode 1) and "Линейная подстройка" (mode 2): a new dialog
  // unless one is open for the process already.
  static TSetpointsDialog* Open(IProcessPanel& panel, int mode);

  void ShowRecord();
  void OkClick();
  void CancelClick();

  [[nodiscard]] QLineEdit* Edit(int k) const;  // 1..4
  [[nodiscard]] QPushButton* OkButton() const { return ok_; }
  [[nodiscard]] QPushButton* CancelButton() const { return cancel_; }

  TVortaProcess& Process;

 protected:
  void reject() override;

 private:
  int mode_ = 0;
  std::array<QLineEdit*, 4> edits_{};
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace vorta
