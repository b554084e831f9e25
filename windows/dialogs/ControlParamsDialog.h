#pragma once
// The control parameters dialog: gains, limits and periods of one channel,
// or the process-wide timers, pO2 by mixer, foam and events. It shows what
// dialogs/ControlParams.h reads from the process and hands OK back to it.

#include <QDialog>
#include <array>
#include <utility>
#include <vector>

#include "commands/ControlParams.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QPushButton;

namespace vorta {

class IProcessPanel;

class TControlParamsDialog final : public QDialog {
  Q_OBJECT

 public:
  // Pages in the order of the page control.
  enum TPage { StandardPage, TimersPage, Po2Page, HeatingPage, PumpsPage, FoamPage, EventsPage };

  TControlParamsDialog(TVortaProcess& process, QWidget* parent);
  ~TControlParamsDialog() override;

  // Opens a new dialog for the panel's process with selector 1..5. The pH,
  // t°C and pO2 items wait while one is open; "eH" and "Общие" do not.
  static TControlParamsDialog* Open(IProcessPanel& panel, int selector, bool waitWhileOpen);

  void ShowRecord();
  void OkClick();
  void CancelClick();

  [[nodiscard]] QLineEdit* Edit(TCtrlText field) const;
  [[nodiscard]] QCheckBox* Check(bool TCtrlFields::*field) const;
  [[nodiscard]] QTabWidget* Pages() const { return pages_; }
  [[nodiscard]] bool PageShown(TPage page) const;
  // Spin buttons 1..4 (timers) and 9 (foam).
  [[nodiscard]] QToolButton* SpinButton(int k, bool up) const;
  [[nodiscard]] QPushButton* OkButton() const { return ok_; }
  [[nodiscard]] QPushButton* CancelButton() const { return cancel_; }
  [[nodiscard]] int Entry() const { return entry_; }

  TVortaProcess& Process;

 protected:
  void reject() override;

 private:
  QWidget* BuildStandard();
  QWidget* BuildTimers();
  QWidget* BuildPo2();
  QWidget* BuildHeating();
  QWidget* BuildPumps();
  QWidget* BuildFoam();
  QWidget* BuildEvents();
  QLineEdit* NewEdit(TCtrlText field, QWidget* parent);
  QCheckBox* NewCheck(bool TCtrlFields::*field, const QString& text, QWidget* parent);
  QWidget* NewSpin(int k, QWidget* parent);
  void TimerSpin(int k, bool up);
  void FoamSpin(bool up);
  [[nodiscard]] TCtrlFields Collect() const;
  void Show(const TCtrlFields& f);

  int entry_ = 5;
  QTabWidget* pages_ = nullptr;
  // Member pointers have no order: small lists searched in turn.
  std::vector<std::pair<TCtrlText, QLineEdit*>> edits_;
  std::vector<std::pair<bool TCtrlFields::*, QCheckBox*>> checks_;
  std::array<std::array<QToolButton*, 2>, 10> spins_{};  // [1..4, 9][down, up]
  std::array<QLabel*, 4> chNames_{};                     // Epp, Med, Events1, Events2
  QLineEdit* foamLevelText_ = nullptr;                   // Edit11
  QRadioButton* water_ = nullptr;
  QRadioButton* steam_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace vorta
