// The chart window's menus and visibility: the per-line submenus under the
// panel's "График" item, the panel's items that follow the window, pause,
// the actuation strip and its popup menu.

#include <QAction>
#include <QChart>
#include <QContextMenuEvent>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QValueAxis>

#include "process/ProcessRecord.h"
#include "windows/charts/ChartForm.h"
#include "windows/common/ProcessPanel.h"

namespace vorta {

namespace {

QColor ToQColor(std::int32_t c) {
  return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
}

std::int32_t FromQColor(const QColor& c) {
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

// The strip's view: no zoom, no panning; moves and clicks give the read-out,
// the right button its popup menu.
class TStripChartView final : public QChartView {
 public:
  using QChartView::QChartView;
  std::function<void(const QPoint&)> OnMouseMove;
  std::function<void()> OnClick;
  std::function<void(const QPoint&)> OnMenu;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override {
    if (OnMouseMove) OnMouseMove(event->position().toPoint());
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && OnClick) OnClick();
  }
  void mouseReleaseEvent(QMouseEvent* /*event*/) override {}
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (OnMenu) OnMenu(event->globalPos());
  }
};

}  // namespace

IProcessPanel* TChartForm::Panel() const {
  return dynamic_cast<IProcessPanel*>(Process.Panel.get());
}

QAction* TChartForm::PanelItem(const QStringList& path) const {
  const IProcessPanel* panel = Panel();
  return panel != nullptr ? panel->MenuItem(path) : nullptr;
}

void TChartForm::BuildStrip() {
  stripChart_ = new QChart;
  stripChart_->legend()->hide();
  stripChart_->setMargins(QMargins(4, 0, 8, 0));
  axis2X_ = new QDateTimeAxis;
  axis2X_->setVisible(false);
  axis2Y_ = new QValueAxis;
  axis2Y_->setRange(-1, 1);
  axis2Y_->setLabelsVisible(false);
  axis2Y_->setTickCount(2);
  stripChart_->addAxis(axis2X_, Qt::AlignBottom);
  stripChart_->addAxis(axis2Y_, Qt::AlignLeft);
  auto* view = new TStripChartView(stripChart_, this);
  view->setMouseTracking(true);
  view->setFixedHeight(kStripHeight);
  view->setVisible(false);
  view->OnMouseMove = [this](const QPoint& p) { StripMouseMove(p); };
  view->OnClick = [this] { StripClick(); };
  popupMenu2_ = new QMenu(this);
  miPause2_ = popupMenu2_->addAction(tr("Пауза"));
  miPause2_->setCheckable(true);
  popupMenu2_->addSeparator();
  connect(miPause2_, &QAction::triggered, this, [this] { TogglePause(); });
  view->OnMenu = [this](const QPoint& at) { popupMenu2_->popup(at); };
  stripView_ = view;
}

void TChartForm::SetFormVisible(bool visible) {
  setVisible(visible);
  FollowVisibility();
}

void TChartForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FollowVisibility();
}

void TChartForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  FollowVisibility();
}

void TChartForm::FollowVisibility() {
  // The panel's toggle flips its mark; flipping only on a real change keeps
  // the mark equal to the window's visibility whichever way it was shown.
  if (isVisible() == panelMark_ || !Process.Panel) return;
  panelMark_ = !panelMark_;
  Process.Panel->ToggleChartItem();
}

void TChartForm::SetStripVisible(bool visible) {
  stripVisible_ = visible;
  stripView_->setVisible(visible);
  if (QAction* a = PanelItem({PanelMenuText("График"), PanelMenuText("Срабатывания")})) {
    a->setChecked(visible);
  }
}

void TChartForm::TogglePause() {
  Model.Paused = !Model.Paused;
  if (QAction* a = PanelItem({PanelMenuText("График"), PanelMenuText("Пауза")})) {
    a->setCheckable(true);
    a->setChecked(Model.Paused);
  }
  miPause2_->setChecked(Model.Paused);
}

QMenu* TChartForm::LineMenu(int line) const {
  return line >= 0 && line < static_cast<int>(lineMenus_.size())
             ? lineMenus_[static_cast<size_t>(line)].Menu.data()
             : nullptr;
}

void TChartForm::ToggleLineShown(int line) {
  QLineSeries* series = Series(line);
  if (series == nullptr) return;
  const TLineMenuItems& items = lineMenus_[static_cast<size_t>(line)];
  bool shown = !series->isVisible();
  if (items.Menu) {
    QAction* mark = items.Menu->menuAction();
    mark->setChecked(!mark->isChecked());
    shown = mark->isChecked();
    items.ShowHide->setText(shown ? tr("Спрятать") : tr("Показать"));
  }
  series->setVisible(shown);
  UpdateValueAxis();
}

void TChartForm::PickLineColor(int line) {
  QLineSeries* series = Series(line);
  if (series == nullptr || !ChooseColor) return;
  const QColor chosen = ChooseColor(series->color());
  // The label keeps the colour it was built with.
  if (chosen.isValid()) series->setColor(chosen);
}

void TChartForm::ToggleLineMarkers(int line) {
  QLineSeries* series = Series(line);
  if (series == nullptr) return;
  const TLineMenuItems& items = lineMenus_[static_cast<size_t>(line)];
  // A tickable item: the trigger has flipped the mark already.
  series->setPointsVisible(items.Points ? items.Points->isChecked() : !series->pointsVisible());
}

void TChartForm::PickStripRowColor(int row) {
  if (row < 0 || row >= static_cast<int>(Model.GanttRows.size()) || !ChooseColor) return;
  const QColor chosen = ChooseColor(ToQColor(Model.GanttRows[static_cast<size_t>(row)].Color));
  if (!chosen.isValid()) return;
  Model.SetGanttRowColor(row, FromQColor(chosen));
  SyncStrip();
}

void TChartForm::SyncStrip() {
  for (QLineSeries* bar : bars_) {
    stripChart_->removeSeries(bar);
    delete bar;
  }
  bars_.clear();
  for (const TGanttBar& b : Model.GanttBars) {
    auto* bar = new QLineSeries;
    QPen pen(ToQColor(b.Color));
    pen.setWidth(5);
    pen.setCapStyle(Qt::FlatCap);
    bar->setPen(pen);
    bar->append(static_cast<qreal>(ToAxisMs(b.Start)), b.Row);
    bar->append(static_cast<qreal>(ToAxisMs(b.End)), b.Row);
    stripChart_->addSeries(bar);
    bar->attachAxis(axis2X_);
    bar->attachAxis(axis2Y_);
    bars_.push_back(bar);
  }
  axis2Y_->setRange(-1, std::max<int>(1, static_cast<int>(Model.GanttRows.size())));
}

}  // namespace vorta
