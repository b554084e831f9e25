#pragma once
// "Калибровка": two-point calibration of one measured channel. The engine's
// 2-s cycle drives the live code and the blinking point group through
// ICalibView; the work on the process record is in dialogs/Calibration.h.

#include <QWidget>
#include <functional>

#include "process/StatusSink.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorta {

class IProcessPanel;
class TVortaProcess;

class TCalibrationForm final : public QWidget, public ICalibView {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 340;
  static constexpr int kClientHeight = 112;

  // The process's DialogSelector is the channel; panel is the
  // process's panel (placement, and its controls disabled while a code is
  // fixed).
  TCalibrationForm(TVortaProcess& process, IProcessPanel& panel);
  ~TCalibrationForm() override;

  // ICalibView
  [[nodiscard]] int SelectedPoint() const override;
  void SetPoint1Color(std::int32_t color) override;
  void SetPoint2Color(std::int32_t color) override;
  void SetCodeLabels(const QString& point1, const QString& point2) override;

  // Shows the warning box; tests attach a hook instead of the modal box.
  std::function<void(const QString&)> OnWarning;

  // Enables or disables, all together, the panel's own controls (not the
  // dialogs it owns), both point buttons and the three buttons.
  void EnabledControl(bool enabled);

  // The controls, for the tests and the screenshot tool.
  [[nodiscard]] QRadioButton* RadioButton(int point) const;
  [[nodiscard]] QLabel* CodeLabel(int point) const;  // point 1 or 2
  [[nodiscard]] QLineEdit* Edit(int point) const;    // point 1 or 2
  [[nodiscard]] QPushButton* FixButton() const { return fix_; }
  [[nodiscard]] QPushButton* SaveButton() const { return save_; }
  [[nodiscard]] QPushButton* CloseButton() const { return close_; }

  TVortaProcess& Process;
  const int Channel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct TPointRow {
    QFrame* Panel = nullptr;
    QRadioButton* Radio = nullptr;
    QLabel* AdcCaption = nullptr;
    QLabel* Code = nullptr;
    QLabel* ValueCaption = nullptr;
    QLineEdit* Edit = nullptr;
  };

  void BuildRow(TPointRow& row, int point, int top);
  void SetRowColor(TPointRow& row, std::int32_t color, bool withPanel);
  void PointClick();
  void FixClick();
  void SaveClick();
  void CloseClick();
  void EditEnter(int point);
  void EditEscape();
  void Warn(const QString& text);

  TPointRow rows_[2];
  QPushButton* fix_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* save_ = nullptr;
  IProcessPanel& panel_;
};

// The panel's "Калибровка" items: nothing while a calibration dialog is
// open; otherwise DialogSelector = channel and a new dialog is shown.
void OpenCalibration(IProcessPanel& panel, int channel);

}  // namespace vorta
