#include "windows/charts/ChartStrip.h"

#include <QAction>
#include <QChart>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QLocale>
#include <QMenu>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "charts/ChartExport.h"
#include "charts/ChartModel.h"
#include "windows/charts/ChartForm.h"
#include "windows/charts/ChartViews.h"

namespace vorta {

QColor ToQColor(std::int32_t c) {
  return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
}

std::int32_t FromQColor(const QColor& c) {
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

TChartStrip::TChartStrip(QWidget* parent, const TChartModel& model,
                         std::function<qint64(double)> toAxisMs)
    : model_(model), toAxisMs_(std::move(toAxisMs)) {
  chart_ = new QChart;
  chart_->legend()->hide();
  chart_->setMargins(QMargins(4, 0, 8, 0));
  axisX_ = new QDateTimeAxis;
  axisX_->setVisible(false);
  axisY_ = new QValueAxis;
  axisY_->setRange(-1, 1);
  axisY_->setLabelsVisible(false);
  axisY_->setTickCount(2);
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  view_ = new TStripChartView(chart_, parent);
  view_->setMouseTracking(true);
  view_->setFixedHeight(TChartForm::kStripHeight);
  view_->setVisible(false);
  menu_ = new QMenu(parent);
  pause_ = menu_->addAction(QCoreApplication::translate("vorta::TChartForm", "Пауза"));
  pause_->setCheckable(true);
  menu_->addSeparator();
  view_->OnMenu = [this](const QPoint& at) { menu_->popup(at); };
}

QChartView* TChartStrip::View() const {
  return view_;
}

void TChartStrip::OnGestures(std::function<void(const QPoint&)> moved,
                             std::function<void()> clicked, std::function<void()> pause) {
  view_->OnMouseMove = std::move(moved);
  view_->OnClick = std::move(clicked);
  QObject::connect(pause_, &QAction::triggered, pause_, std::move(pause));
}

void TChartStrip::SetRange(const QDateTime& min, const QDateTime& max) {
  axisX_->setRange(min, max);
}

void TChartStrip::Sync() {
  for (QLineSeries* bar : bars_) {
    chart_->removeSeries(bar);
    delete bar;
  }
  bars_.clear();
  for (const TGanttBar& b : model_.GanttBars) {
    auto* bar = new QLineSeries;
    QPen pen(ToQColor(b.Color));
    pen.setWidth(5);
    pen.setCapStyle(Qt::FlatCap);
    bar->setPen(pen);
    bar->append(static_cast<qreal>(toAxisMs_(b.Start)), b.Row);
    bar->append(static_cast<qreal>(toAxisMs_(b.End)), b.Row);
    chart_->addSeries(bar);
    bar->attachAxis(axisX_);
    bar->attachAxis(axisY_);
    bars_.push_back(bar);
  }
  axisY_->setRange(-1, std::max<int>(1, static_cast<int>(model_.GanttRows.size())));
}

QString TChartStrip::ReadoutAt(const QPoint& cursor) const {
  for (size_t i = 0; i < bars_.size() && i < model_.GanttBars.size(); ++i) {
    const TGanttBar& bar = model_.GanttBars[i];
    QLineSeries* series = bars_[i];
    const QPointF a = chart_->mapToPosition(QPointF(toAxisMs_(bar.Start), bar.Row), series);
    const QPointF b = chart_->mapToPosition(QPointF(toAxisMs_(bar.End), bar.Row), series);
    // The bar is 5 pixels high around its row.
    if (cursor.x() >= std::floor(a.x()) && cursor.x() <= std::ceil(b.x()) &&
        std::abs(cursor.y() - a.y()) <= 2.5) {
      return DurationReadout(bar.Start, bar.End, QLocale::system());
    }
  }
  return {};
}

}  // namespace vorta
