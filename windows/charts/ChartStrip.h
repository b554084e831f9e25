#pragma once
// The chart window's actuation strip: a bar per switching of an output on
// its row, under the lines chart and on the same time span, with its popup
// menu (pause).

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QChart;
class QChartView;
class QDateTime;
class QDateTimeAxis;
class QLineSeries;
class QMenu;
class QPoint;
class QValueAxis;
class QWidget;

namespace vorta {

class TChartModel;
class TStripChartView;

// The system's colours are 0x00BBGGRR.
QColor ToQColor(std::int32_t c);
std::int32_t FromQColor(const QColor& c);

class TChartStrip {
 public:
  // parent: the window its view and menu belong to; model: the rows and
  // bars it draws; toAxisMs: a date-time (days) as a position on the axis.
  TChartStrip(QWidget* parent, const TChartModel& model, std::function<qint64(double)> toAxisMs);

  [[nodiscard]] QChartView* View() const;
  [[nodiscard]] QAction* PauseAction() const { return pause_; }
  // Mouse moves, left clicks and the pause item of the popup menu.
  void OnGestures(std::function<void(const QPoint&)> moved, std::function<void()> clicked,
                  std::function<void()> pause);
  void SetRange(const QDateTime& min, const QDateTime& max);
  // Redraws the bars from the model.
  void Sync();
  // The read-out of the bar under the cursor; empty when there is none.
  [[nodiscard]] QString ReadoutAt(const QPoint& cursor) const;

 private:
  const TChartModel& model_;
  std::function<qint64(double)> toAxisMs_;
  QChart* chart_ = nullptr;
  TStripChartView* view_ = nullptr;
  QDateTimeAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::vector<QLineSeries*> bars_;
  QMenu* menu_ = nullptr;
  QAction* pause_ = nullptr;
};

}  // namespace vorta
