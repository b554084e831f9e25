#pragma once
// The chart window of a vessel: its measured channels as time lines, one
// point per channel at the chosen interval, the value under the mouse, and
// the actuation strip below. The plotted data, the keys and the export live
// in the engine (charts/ChartModel.h, ChartSettings.h, ChartExport.h); this
// window shows them and turns the operator's gestures into calls on them.

#include <QChartView>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "charts/ChartModel.h"
#include "process/PanelView.h"
#include "windows/charts/ChartViews.h"

class QAction;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QMenu;
class QRubberBand;
class QTimer;
class QValueAxis;
class QChart;

namespace vorta {

class TVortaProcess;
class IProcessPanel;
class TChartStrip;

class TChartForm final : public QWidget, public IChartView {
  Q_OBJECT

 public:
  static constexpr int kMinClient = 150;
  static constexpr int kStripHeight = 88;

  explicit TChartForm(TVortaProcess& process, QWidget* parent = nullptr);
  ~TChartForm() override;

  // IChartView
  void LoadSettings(TProfileFile& file) override;
  void FeedChart() override;
  void SaveSettings(TProfileFile& file) override { WriteSettings(file); }
  void SetFormVisible(bool visible) override;
  void SetZoom(int index) override;
  void TogglePause() override;
  void SetStripVisible(bool visible) override;
  void ExportData(const QString& fileName) override;

  void WriteSettings(TProfileFile& file);
  void SetChannelValue(int channel, double value);
  void AddPoints();
  void ResetChart();
  void ScrollAxes();
  void UndoZoom();
  void NameBoxChosen(int index);
  void ScaleBoxChosen(int index);
  // cursor in the coordinates of the chart's view
  void LinesMouseMove(const QPoint& cursor);
  void StripMouseMove(const QPoint& cursor);
  void StripClick();
  // Per-line menu items (line index as in the lines chart).
  void ToggleLineShown(int line);
  void PickLineColor(int line);
  void ToggleLineMarkers(int line);
  // Row colour of the actuation strip.
  void PickStripRowColor(int row);
  // Redraws the strip from the model's rows and bars.
  void SyncStrip();

  // The colour dialog; tests put a chooser of their own here. An invalid
  // colour means the operator cancelled.
  std::function<QColor(const QColor& initial)> ChooseColor;

  TVortaProcess& Process;
  TChartModel Model;

  // For the tests, the screenshot and the benchmark.
  [[nodiscard]] QChart* LinesChart() const { return linesChart_; }
  [[nodiscard]] QChartView* LinesView() const { return linesView_; }
  [[nodiscard]] QChartView* StripView() const;
  [[nodiscard]] QLineSeries* Series(int line) const;
  [[nodiscard]] int SeriesCount() const { return static_cast<int>(series_.size()); }
  [[nodiscard]] QDateTimeAxis* AxisX() const { return axisX_; }
  [[nodiscard]] QValueAxis* AxisY() const { return axisY_; }
  [[nodiscard]] QComboBox* NameBox() const { return comboName_; }
  [[nodiscard]] QComboBox* ScaleBox() const { return comboScale_; }
  [[nodiscard]] QLabel* LabelScale() const { return labelScale_; }
  [[nodiscard]] QLabel* SeriesLabel(int position) const;
  [[nodiscard]] QMenu* LineMenu(int line) const;
  [[nodiscard]] QAction* PauseAction() const;
  [[nodiscard]] QTimer* MenuDelayTimer() const { return timerDelayMenu_; }
  [[nodiscard]] const QString& Hint() const { return hint_; }
  [[nodiscard]] bool HintsOn() const { return hintsOn_; }
  [[nodiscard]] bool StripVisible() const { return stripVisible_; }
  // The date-time (days) of an axis position in ms and back.
  [[nodiscard]] qint64 ToAxisMs(double days) const;
  [[nodiscard]] double FromAxisMs(qint64 ms) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct TLineMenuItems {
    QPointer<QMenu> Menu;
    QPointer<QAction> ShowHide, Color, Points;
  };

  void BuildLinesChart();
  void AddChannelSeries(const QString& name, bool shown, bool markers, std::int32_t color);
  void SyncSeries();
  void UpdateValueAxis();
  void FollowVisibility();
  void SetHint(const QString& text, const QPoint& at);
  void ShowError(const QString& text);
  [[nodiscard]] IProcessPanel* Panel() const;
  [[nodiscard]] int LabelLeft() const;
  [[nodiscard]] QAction* PanelItem(const QStringList& path) const;
  [[nodiscard]] QString ChannelName(int channel) const;

  QChart* linesChart_ = nullptr;
  TLinesChartView* linesView_ = nullptr;
  QDateTimeAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::vector<QLineSeries*> series_;
  std::vector<int> linePosition_;
  std::vector<TLineMenuItems> lineMenus_;
  std::array<QLabel*, kChartPositions> seriesLabels_{};
  QComboBox* comboName_ = nullptr;
  QComboBox* comboScale_ = nullptr;
  QLabel* labelScale_ = nullptr;

  std::unique_ptr<TChartStrip> strip_;
  QPoint chart2Cursor_;

  QTimer* timerDelayMenu_ = nullptr;
  QString hint_;
  bool hintsOn_ = false;
  bool stripVisible_ = false;
  bool valueAxisAuto_ = true;
  std::pair<double, double> yDataRange_{1, -1};  // of the last automatic range
  // The "График" check mark as this window last set it: kept equal to the
  // window's visibility.
  bool panelMark_ = false;
  qint64 axisOffsetMs_ = 0;
};

}  // namespace vorta
