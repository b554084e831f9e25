#pragma once
// The chart window's two views and their mouse gestures: the lines chart
// (zoom, undo, pan, read-out) and the actuation strip (read-out, menu).

#include <QChartView>
#include <QPoint>
#include <functional>

class QRubberBand;

namespace vorta {

// The main chart's view: left drag down-right zooms into the dragged box,
// left drag up-left undoes the zoom, right drag pans; every move reports the
// cursor for the read-out.
class TLinesChartView final : public QChartView {
 public:
  explicit TLinesChartView(QChart* chart, QWidget* parent = nullptr);

  std::function<void()> OnUndoZoom;
  std::function<void()> OnZoomOrPan;
  std::function<void(const QPoint&)> OnMouseMove;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRubberBand* band_ = nullptr;
  QPoint pressAt_;
  QPoint panFrom_;
  Qt::MouseButton button_ = Qt::NoButton;
};

// The strip's view: no zoom, no panning; moves and clicks give the read-out,
// the right button its popup menu.
class TStripChartView final : public QChartView {
 public:
  using QChartView::QChartView;
  std::function<void(const QPoint&)> OnMouseMove;
  std::function<void()> OnClick;
  std::function<void(const QPoint&)> OnMenu;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace vorta
