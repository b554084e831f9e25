#pragma once
// The process panel: a small fixed window per vessel with the value grid, the
// manual output buttons, the light button, the foam indicator, the status bar
// and the popup menu. It only shows what the process record holds and turns
// the operator's actions into calls on the engine (panel/PanelActions.h).

#include <QWidget>
#include <array>
#include <functional>

#include "process/PanelView.h"
#include "windows/common/ProcessPanel.h"

class QAction;
class QActionGroup;
class QFileDialog;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;

namespace vorta {

class TVortaProcess;
struct TPanelState;

class TVortaForm final : public QWidget, public IVortaPanel, public IProcessPanel {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 349;
  static constexpr int kClientHeight = 195;

  explicit TVortaForm(TVortaProcess& process, QWidget* parent = nullptr);
  ~TVortaForm() override;

  // IVortaPanel
  void PanelStateChanged() override;
  void PlaceByNumber(int numProcess) override;
  void InitValueGrid() override;
  void ShowCurrentValues() override;
  void ShowMinuteValues() override;
  void OutputsChanged() override;
  void OpenMixerWindow(bool start) override;
  [[nodiscard]] bool MixerWindowOpen() const override { return windows_.Mixer.IsOpen(); }
  void ToggleChartItem() override;

  // IProcessPanel
  [[nodiscard]] TVortaProcess& PanelProcess() override { return Process; }
  [[nodiscard]] QWidget& PanelWidget() override { return *this; }
  [[nodiscard]] TPanelWindows& Windows() override { return windows_; }
  [[nodiscard]] QAction* MenuItem(const QStringList& path) const override;
  void ShowSetpoints() override { SetGridRow(2); }
  // The dialogs opened from the panel stay usable.
  void SetControlsEnabled(bool enabled) override;

  // Opens the popup menu at a screen point (right click, key "m").
  void PopupAt(const QPoint& globalPos);

  [[nodiscard]] bool ControlsEnabled() const { return controlsEnabled_; }

  // The controls, for the tests and the screenshot tool.
  [[nodiscard]] QPushButton* ManualButton(int k) const;  // 1..8
  [[nodiscard]] QPushButton* FoamIndicator() const { return foamIndicator_; }
  [[nodiscard]] QTableWidget* ValueGrid() const { return grid_; }
  [[nodiscard]] QLabel* StatusPanel(int i) const;  // 0..4
  [[nodiscard]] QLabel* StatusSimple() const { return statusSimple_; }
  [[nodiscard]] QLabel* StatusAlarm() const { return statusAlarm_; }
  [[nodiscard]] QMenu* PopupMenu() const { return menu_; }

  TVortaProcess& Process;

  // Runs the chart export's save dialog (modal); tests answer it themselves.
  std::function<int(QFileDialog&)> ExecExportDialog;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildControls();
  void BuildStatusBar();
  void BuildMenu();
  void BuildChartMenu(QMenu* chart);
  void SetGridRow(int row);
  void ShowModeCheck();
  void ShowProtocolCheck();
  void ShowAlarm(const TPanelState& s);
  void OpenDriveParams();
  void ExportChart();

  QTableWidget* grid_ = nullptr;
  std::array<QPushButton*, 9> buttons_{};  // [1..8]
  std::array<bool, 9> shownOn_{};          // font state last drawn, [1..7]
  QPushButton* foamIndicator_ = nullptr;
  QWidget* statusBar_ = nullptr;
  std::array<QLabel*, 5> statusPanels_{};
  std::array<std::int32_t, 5> shownColor_{-2, -2, -2, -2, -2};
  QLabel* statusSimple_ = nullptr;
  QLabel* statusAlarm_ = nullptr;  // beside "Свет" while an alarm is active
  std::int32_t shownAlarmColor_ = -2;
  std::int32_t shownLightColor_ = -2;

  QMenu* menu_ = nullptr;
  std::array<QAction*, 4> modeItems_{};
  QActionGroup* protocolGroup_ = nullptr;
  QMenu* chartMenu_ = nullptr;
  QAction* chartShowItem_ = nullptr;
  QAction* motorItem_ = nullptr;
  bool chartChecked_ = false;
  bool controlsEnabled_ = true;
  int placedNumber_ = -1;  // NumProcess of the last placement, -1 none yet
  bool placedWithFrame_ = false;
  // The windows opened from the panel, freed with it.
  TPanelWindows windows_;
};

}  // namespace vorta
