// The mouse on the charts: zoom, pan and the undo gesture on the main chart,
// and the read-outs of a point or of a strip bar under the cursor.

#include <QChart>
#include <QLineSeries>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTimer>
#include <QToolTip>
#include <cmath>

#include "windows/charts/ChartForm.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

// A drag shorter than this is a click, not a gesture.
constexpr int kDragThreshold = 4;
// The read-out looks at a 5 x 5 pixel square centred on the cursor.
constexpr int kReadoutHalf = 2;

}  // namespace

TLinesChartView::TLinesChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setMouseTracking(true);
  setRubberBand(QChartView::NoRubberBand);
  band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

void TLinesChartView::mousePressEvent(QMouseEvent* event) {
  button_ = event->button();
  pressAt_ = event->position().toPoint();
  panFrom_ = pressAt_;
  if (button_ == Qt::LeftButton) {
    band_->setGeometry(QRect(pressAt_, QSize()));
    band_->show();
  }
  event->accept();
}

void TLinesChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (button_ == Qt::LeftButton) {
    band_->setGeometry(QRect(pressAt_, at).normalized());
  } else if (button_ == Qt::RightButton) {
    const QPoint d = at - panFrom_;
    if (!d.isNull()) {
      chart()->scroll(-d.x(), d.y());
      panFrom_ = at;
      if (OnZoomOrPan) OnZoomOrPan();
    }
  }
  if (OnMouseMove) OnMouseMove(at);
}

void TLinesChartView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (button_ == Qt::LeftButton) {
    band_->hide();
    const QPoint d = at - pressAt_;
    if (d.x() > kDragThreshold && d.y() > kDragThreshold) {
      chart()->zoomIn(QRectF(pressAt_, at).normalized());
      if (OnZoomOrPan) OnZoomOrPan();
    } else if (d.x() < -kDragThreshold && d.y() < -kDragThreshold) {
      if (OnUndoZoom) OnUndoZoom();
    }
  }
  button_ = Qt::NoButton;
  event->accept();
}

void TChartForm::LinesMouseMove(const QPoint& cursor) {
  if (timerDelayMenu_->isActive()) return;
  const QRectF plot = linesChart_->plotArea();
  for (size_t i = 0; i < series_.size() && i < Model.Lines.size(); ++i) {
    QLineSeries* series = series_[i];
    if (!series->isVisible()) continue;
    // Where each point is drawn, in whole pixels; points outside the plot
    // area are not drawn and cannot be hit.
    const auto& points = Model.Lines[i].Points;
    const QList<QPointF> drawn = series->points();
    std::vector<std::pair<QPoint, size_t>> pixels;
    for (qsizetype k = 0; k < drawn.size() && static_cast<size_t>(k) < points.size(); ++k) {
      const QPointF at = linesChart_->mapToPosition(drawn[k], series);
      if (!plot.adjusted(-0.5, -0.5, 0.5, 0.5).contains(at)) continue;
      const QPoint px(static_cast<int>(std::lround(at.x())), static_cast<int>(std::lround(at.y())));
      if (std::abs(px.x() - cursor.x()) <= kReadoutHalf &&
          std::abs(px.y() - cursor.y()) <= kReadoutHalf) {
        pixels.emplace_back(px, static_cast<size_t>(k));
      }
    }
    // Columns left to right, in each the rows top to bottom: the first hit counts.
    for (int x = cursor.x() - kReadoutHalf; x <= cursor.x() + kReadoutHalf; ++x) {
      for (int y = cursor.y() - kReadoutHalf; y <= cursor.y() + kReadoutHalf; ++y) {
        for (const auto& [px, k] : pixels) {
          if (px != QPoint(x, y)) continue;
          SetHint(PointReadout(points[k].Value, points[k].Time, QLocale::system()), cursor);
          return;
        }
      }
    }
  }
  SetHint(QString(), cursor);
}

void TChartForm::StripMouseMove(const QPoint& cursor) {
  chart2Cursor_ = cursor;
  for (size_t i = 0; i < bars_.size() && i < Model.GanttBars.size(); ++i) {
    const TGanttBar& bar = Model.GanttBars[i];
    QLineSeries* series = bars_[i];
    const QPointF a = stripChart_->mapToPosition(QPointF(ToAxisMs(bar.Start), bar.Row), series);
    const QPointF b = stripChart_->mapToPosition(QPointF(ToAxisMs(bar.End), bar.Row), series);
    // The bar is 5 pixels high around its row.
    if (cursor.x() >= std::floor(a.x()) && cursor.x() <= std::ceil(b.x()) &&
        std::abs(cursor.y() - a.y()) <= 2.5) {
      SetHint(DurationReadout(bar.Start, bar.End, QLocale::system()), cursor);
      return;
    }
  }
  SetHint(QString(), cursor);
}

void TChartForm::StripClick() {
  StripMouseMove(chart2Cursor_);
}

void TChartForm::SetHint(const QString& text, const QPoint& at) {
  hintsOn_ = !text.isEmpty();
  if (hintsOn_) hint_ = text;
  if (hintsOn_) {
    QToolTip::showText(linesView_->mapToGlobal(at), text, this);
  } else {
    QToolTip::hideText();
  }
}

}  // namespace vorta
