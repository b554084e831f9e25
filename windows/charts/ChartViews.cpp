#include "windows/charts/ChartViews.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QRubberBand>

namespace vorta {

namespace {
// A drag shorter than this is a click, not a gesture.
constexpr int kDragThreshold = 4;
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

void TStripChartView::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event->position().toPoint());
}

void TStripChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnClick) OnClick();
}

void TStripChartView::mouseReleaseEvent(QMouseEvent* /*event*/) {}

void TStripChartView::contextMenuEvent(QContextMenuEvent* event) {
  if (OnMenu) OnMenu(event->globalPos());
}

}  // namespace vorta
