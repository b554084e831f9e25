// The chart window: layout, build from the process file, the 2-s points, the
// axes, saving the keys and the export.

#include <QAction>
#include <QChart>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QRubberBand>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "charts/ChartExport.h"
#include "commands/PanelActions.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/ProfileFile.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"
#include "process/ProcessRecord.h"
#include "windows/charts/ChartForm.h"
#include "windows/charts/ChartStrip.h"
#include "windows/common/ProcessPanel.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 in the system's date-time
constexpr double kMsPerDay = 86'400'000.0;

const char* const kChannelItems[] = {"pH", "t°C", "pO2", "eH", "Rpm"};
// The panel's "График / Масштаб" items, looked up by their shown text.
const char* const kZoomItems[] = {QT_TRANSLATE_NOOP("vorta::TVortaForm", "2 сек"),
                                  QT_TRANSLATE_NOOP("vorta::TVortaForm", "10 сек"),
                                  QT_TRANSLATE_NOOP("vorta::TVortaForm", "30 сек"),
                                  QT_TRANSLATE_NOOP("vorta::TVortaForm", "1 мин"),
                                  QT_TRANSLATE_NOOP("vorta::TVortaForm", "5 мин"),
                                  QT_TRANSLATE_NOOP("vorta::TVortaForm", "15 мин")};

qint64 WallMs(double days) {
  return std::llround((days - kUnixEpochDays) * kMsPerDay);
}

}  // namespace

TChartForm::TChartForm(TVortaProcess& process, QWidget* parent)
    : QWidget(parent, Qt::Tool), Process(process) {
  setMinimumSize(kMinClient, kMinClient);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  BuildLinesChart();
  strip_ =
      std::make_unique<TChartStrip>(this, Model, [this](double days) { return ToAxisMs(days); });
  strip_->OnGestures([this](const QPoint& p) { StripMouseMove(p); }, [this] { StripClick(); },
                     [this] { TogglePause(); });
  layout->addWidget(linesView_, 1);
  layout->addWidget(strip_->View(), 0);

  timerDelayMenu_ = new QTimer(this);
  timerDelayMenu_->setSingleShot(true);
  timerDelayMenu_->setInterval(2000);

  ChooseColor = [this](const QColor& initial) {
    return QColorDialog::getColor(initial, this, tr("Цвет"));
  };
}

TChartForm::~TChartForm() = default;

void TChartForm::BuildLinesChart() {
  linesChart_ = new QChart;
  linesChart_->legend()->hide();
  // Room above the plot for the name and scale boxes.
  linesChart_->setMargins(QMargins(4, 26, 8, 4));
  axisX_ = new QDateTimeAxis;
  // "h:nn:ss": hours without a leading zero.
  axisX_->setFormat(QStringLiteral("H:mm:ss"));
  axisX_->setTickCount(5);
  axisY_ = new QValueAxis;
  axisY_->setLabelFormat(QStringLiteral("%.1f"));
  linesChart_->addAxis(axisX_, Qt::AlignBottom);
  linesChart_->addAxis(axisY_, Qt::AlignLeft);

  // The labels stay clear of the value axis' numbers, however wide they get.
  connect(linesChart_, &QChart::plotAreaChanged, this, [this] {
    for (QLabel* label : seriesLabels_) {
      if (label != nullptr) label->move(LabelLeft(), label->y());
    }
  });
  linesView_ = new TLinesChartView(linesChart_, this);
  linesView_->setRenderHint(QPainter::Antialiasing, false);
  linesView_->OnUndoZoom = [this] { UndoZoom(); };
  linesView_->OnZoomOrPan = [this] { valueAxisAuto_ = false; };
  linesView_->OnMouseMove = [this](const QPoint& p) { LinesMouseMove(p); };

  // The boxes and labels on the chart use the panel's small font.
  QFont small = font();
  small.setPixelSize(11);
  comboName_ = new QComboBox(linesView_);
  comboName_->setFont(small);
  for (const char* item : kChannelItems) comboName_->addItem(QString::fromUtf8(item));
  comboName_->setGeometry(32, 5, 49, comboName_->sizeHint().height());
  comboName_->setCurrentIndex(0);
  labelScale_ = new QLabel(tr("Масштаб:"), linesView_);
  labelScale_->setFont(small);
  labelScale_->move(88, 9);
  labelScale_->adjustSize();
  comboScale_ = new QComboBox(linesView_);
  comboScale_->setFont(small);
  comboScale_->addItems(ScaleItems());
  // The design place, or just right of the label where this font needs more room.
  const int scaleLeft = std::max(140, labelScale_->geometry().right() + 4);
  comboScale_->setGeometry(scaleLeft, 5, 49, comboScale_->sizeHint().height());
  connect(comboName_, &QComboBox::activated, this, [this](int i) { NameBoxChosen(i); });
  connect(comboScale_, &QComboBox::activated, this, [this](int i) { ScaleBoxChosen(i); });
}

void TChartForm::LoadSettings(TProfileFile& file) {
  // 1. Caption; no axis moves while building.
  setWindowTitle(tr("Графики - ") + Process.Caption());
  Model.Paused = true;
  const TChartSettings s = ReadChartSettings(file);

  // 3. Geometry and visibility; the "График" mark follows the window. A
  // window too small to read opens at the usable minimum, and one the file
  // has never placed opens beside its panel rather than in the screen's corner.
  resize(std::max(s.Width, kChartOpenMinimum.width()),
         std::max(s.Height, kChartOpenMinimum.height()));
  if (s.HasPosition) {
    MoveOntoScreens(*this, {s.Left, s.Top});
  } else if (IProcessPanel* owner = Panel()) {
    const QWidget& panel = owner->PanelWidget();
    const QScreen* screen =
        panel.screen() != nullptr ? panel.screen() : QGuiApplication::primaryScreen();
    move(screen != nullptr
             ? ChartBesidePanel(panel.frameGeometry(), size(), screen->availableGeometry())
             : QPoint(0, 0));
  }
  SetFormVisible(s.Visible);

  // 4. Interval, ticked in the panel's menu.
  Model.SetZoomIndex(s.Zoom);
  if (QAction* a = PanelItem({PanelMenuText("График"), PanelMenuText("Масштаб"),
                              PanelMenuText(kZoomItems[Model.ZoomIndex])})) {
    a->setChecked(true);
  }

  // 5. The actuation strip is shown exactly when Chart2Visible is 1.
  SetStripVisible(s.StripVisible);

  // 6., 7. The lines.
  Model.ChannelSlot = {};
  for (const TChartLineSetting& line : s.Lines) {
    AddChannelSeries(ChannelName(line.Channel), line.Shown, line.Markers, line.Color);
    Model.AddLine(line.Channel);
    linePosition_.push_back(line.Position);
    const auto j = static_cast<size_t>(line.Position);
    // The factor belongs to the line's channel, wherever Chart1Dimen lists it.
    Process.ChartScale[static_cast<size_t>(line.Channel - 1)] = line.Scale;
    auto* label =
        new QLabel(ChannelName(line.Channel) + QStringLiteral(" x ") + line.ScaleText, linesView_);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, series_.back()->color());
    label->setPalette(pal);
    label->move(LabelLeft(), 36 + 16 * line.Position);
    label->setFixedHeight(13);
    label->adjustSize();
    label->show();
    seriesLabels_[j] = label;
  }

  // 8. Name and scale boxes.
  comboName_->setCurrentIndex(0);
  NameBoxChosen(0);

  // 9., 10.
  Model.Paused = false;
  ResetChart();
}

void TChartForm::AddChannelSeries(const QString& name, bool shown, bool markers,
                                  std::int32_t color) {
  auto* series = new QLineSeries;
  series->setName(name);
  series->setMarkerSize(2);
  series->setPointsVisible(true);
  series->setVisible(false);
  linesChart_->addSeries(series);
  // After adding: the chart's theme gives every new series a colour of its own.
  series->setColor(QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
  series->attachAxis(axisX_);
  series->attachAxis(axisY_);
  const int line = static_cast<int>(series_.size());
  series_.push_back(series);

  TLineMenuItems items;
  if (QAction* chartItem = PanelItem({PanelMenuText("График")}); chartItem && chartItem->menu()) {
    items.Menu = chartItem->menu()->addMenu(name);
    items.Menu->menuAction()->setCheckable(true);
    items.ShowHide = items.Menu->addAction(QString());
    items.Color = items.Menu->addAction(tr("Цвет"));
    items.Points = items.Menu->addAction(tr("Точки"));
    items.Points->setCheckable(true);
    connect(items.ShowHide, &QAction::triggered, this, [this, line] { ToggleLineShown(line); });
    connect(items.Color, &QAction::triggered, this, [this, line] { PickLineColor(line); });
    connect(items.Points, &QAction::triggered, this, [this, line] { ToggleLineMarkers(line); });
    // Marked now and clicked once below when off, as the operator would.
    items.Points->setChecked(true);
    items.Menu->menuAction()->setChecked(!shown);
  }
  lineMenus_.push_back(items);
  // One click with the mark preset to the opposite leaves line, mark and
  // caption in step.
  if (!items.Menu) series->setVisible(!shown);
  ToggleLineShown(line);
  if (!markers) {
    if (items.Points) items.Points->setChecked(false);
    ToggleLineMarkers(line);
  }
}

void TChartForm::FeedChart() {
  for (int c = 1; c <= 4; ++c) {
    const double scale = Process.ChartScale[static_cast<size_t>(c - 1)];
    Model.SetChannelValue(c, Process.Channel[static_cast<size_t>(c)].Value * scale, scale,
                          ValueLive(Process, c));
  }
  Model.SetChannelValue(5, Process.MixerRpm * Process.ChartScale[4], Process.ChartScale[4],
                        ValueLive(Process, 5));
  AddPoints();
}

void TChartForm::SetChannelValue(int channel, double value) {
  const double scale =
      channel >= 1 && channel <= 5 ? Process.ChartScale[static_cast<size_t>(channel - 1)] : 1.0;
  Model.SetChannelValue(channel, value, scale);
}

void TChartForm::AddPoints() {
  if (!Model.AddPoints(Process.Env.Time.Now(), Process.Env.Time.MonotonicMs())) return;
  SyncSeries();
  ScrollAxes();
}

void TChartForm::ResetChart() {
  const double t = Process.Env.Time.Now();
  Model.ResetPoints(t);
  SyncSeries();
  axisX_->setMax(QDateTime::fromMSecsSinceEpoch(ToAxisMs(t)));
  ScrollAxes();
}

void TChartForm::SetZoom(int index) {
  timerDelayMenu_->start();
  Model.SetZoomIndex(index);
  Model.NextPointMs.reset();
  Model.AddPoints(Process.Env.Time.Now(), Process.Env.Time.MonotonicMs());
  Model.ClearPoints();
  ResetChart();
}

void TChartForm::SyncSeries() {
  // The axis counts local wall time in ms since 1970; the offset follows
  // the zone of the latest point (a daylight-saving change mid-window shifts
  // the older points by an hour at most, for one window only).
  const double latest = Model.LatestTime();
  axisOffsetMs_ = FromSystemDateTime(latest).toMSecsSinceEpoch() - WallMs(latest);
  QList<QPointF> points;
  for (size_t i = 0; i < series_.size() && i < Model.Lines.size(); ++i) {
    points.clear();
    points.reserve(static_cast<qsizetype>(Model.Lines[i].Points.size()));
    for (const TChartPoint& p : Model.Lines[i].Points) {
      points.append(QPointF(static_cast<qreal>(ToAxisMs(p.Time)), p.Value));
    }
    series_[i]->replace(points);
  }
  UpdateValueAxis();
}

qint64 TChartForm::ToAxisMs(double days) const {
  return WallMs(days) + axisOffsetMs_;
}

double TChartForm::FromAxisMs(qint64 ms) const {
  return static_cast<double>(ms - axisOffsetMs_) / kMsPerDay + kUnixEpochDays;
}

void TChartForm::ScrollAxes() {
  if (Model.Paused) return;
  const double axisMax = FromAxisMs(axisX_->max().toMSecsSinceEpoch());
  const TAxisWindow w = Model.Scroll(axisMax, linesView_->width());
  const QDateTime min = QDateTime::fromMSecsSinceEpoch(ToAxisMs(w.Min));
  const QDateTime max = QDateTime::fromMSecsSinceEpoch(ToAxisMs(w.Max));
  axisX_->setRange(min, max);
  strip_->SetRange(min, max);
}

void TChartForm::UndoZoom() {
  valueAxisAuto_ = true;
  yDataRange_ = {1, -1};
  axisX_->setMax(QDateTime::fromMSecsSinceEpoch(ToAxisMs(Model.LatestTime())));
  UpdateValueAxis();
  ScrollAxes();
}

void TChartForm::UpdateValueAxis() {
  if (!valueAxisAuto_) return;
  double lo = 0, hi = 0;
  bool any = false;
  for (size_t i = 0; i < series_.size() && i < Model.Lines.size(); ++i) {
    if (!series_[i]->isVisible()) continue;
    for (const TChartPoint& p : Model.Lines[i].Points) {
      lo = any ? std::min(lo, p.Value) : p.Value;
      hi = any ? std::max(hi, p.Value) : p.Value;
      any = true;
    }
  }
  if (!any || hi - lo < 1e-9) {
    lo -= 1;
    hi += 1;
  }
  // Round ticks; the range is worked out again only when the data's changed.
  if (lo == yDataRange_.first && hi == yDataRange_.second) return;
  yDataRange_ = {lo, hi};
  const double margin = (hi - lo) * 0.05;
  axisY_->setRange(lo - margin, hi + margin);
  axisY_->applyNiceNumbers();
}

void TChartForm::NameBoxChosen(int index) {
  if (index < 0 || index >= kChartPositions) return;
  const int item = FindScaleIndex(Process.ChartScale[static_cast<size_t>(index)]);
  comboScale_->setCurrentIndex(item < comboScale_->count() ? item : -1);
}

void TChartForm::ScaleBoxChosen(int index) {
  // Name box item i is channel i + 1.
  const int channel = comboName_->currentIndex() + 1;
  if (channel < 1 || channel > kChartChannels || index < 0) return;
  const QString text = comboScale_->itemText(index);
  Process.ChartScale[static_cast<size_t>(channel - 1)] = ParseRealDef(text, 1);
  const TChannelSlot& slot = Model.ChannelSlot[static_cast<size_t>(channel)];
  if (!slot.Active || slot.SeriesIndex >= linePosition_.size()) return;
  if (QLabel* label = seriesLabels_[static_cast<size_t>(linePosition_[slot.SeriesIndex])]) {
    label->setText(ChannelName(channel) + QStringLiteral(" x ") + text);
    label->adjustSize();
  }
}

void TChartForm::WriteSettings(TProfileFile& file) {
  // An end from outside is as orderly as the operator's, though it leaves "N"
  // so that the next start keeps the modes.
  if (Process.Config.Terminated != QStringLiteral("Y") && !Process.Env.Program.KeepModesAtEnd) {
    if (isVisible()) SetFormVisible(false);
    return;
  }
  TChartSettings s;
  s.Left = pos().x();
  s.Top = pos().y();
  s.Width = width();
  s.Height = height();
  s.Visible = isVisible();
  s.Zoom = Model.ZoomIndex;
  s.StripVisible = stripVisible_;
  for (size_t i = 0; i < series_.size(); ++i) {
    TChartLineSetting line;
    line.Channel = Model.Lines[i].Channel;
    line.Position = linePosition_[i];
    line.Shown = series_[i]->isVisible();
    const QColor c = series_[i]->color();
    line.Color = c.red() | (c.green() << 8) | (c.blue() << 16);
    line.Markers = series_[i]->pointsVisible();
    line.Scale = Process.ChartScale[static_cast<size_t>(line.Channel - 1)];
    s.Lines.push_back(line);
  }
  WriteChartSettings(file, s, Model.GanttColors());
}

void TChartForm::ExportData(const QString& fileName) {
  std::array<QString, 6> names;
  for (size_t c = 1; c <= 5; ++c) names[c] = ChannelName(static_cast<int>(c));
  QString error;
  if (!vorta::ExportData(fileName, Model, names, QLocale::system(), &error)) {
    ShowError(
        tr("Ошибка ввода/вывода: данные графика не сохранены в файл\n%1\n%2").arg(fileName, error));
  }
}

void TChartForm::ShowError(const QString& text) {
  Process.Env.Messages.ShowError(text);
}

QString TChartForm::ChannelName(int channel) const {
  return channel >= 1 && channel <= 5 ? Process.Config.AssignName[static_cast<size_t>(channel)]
                                      : QString();
}

int TChartForm::LabelLeft() const {
  return std::max(42, static_cast<int>(linesChart_->plotArea().left()) + 6);
}

QLineSeries* TChartForm::Series(int line) const {
  return line >= 0 && line < SeriesCount() ? series_[static_cast<size_t>(line)] : nullptr;
}

QLabel* TChartForm::SeriesLabel(int position) const {
  return position >= 0 && position < kChartPositions ? seriesLabels_[static_cast<size_t>(position)]
                                                     : nullptr;
}

void TChartForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The span is one interval per 5 pixels: a new width is a new span.
  if (!Model.Lines.empty() || Model.LatestSeen != 0) ScrollAxes();
}

// The chart window's menus and visibility: the per-line submenus under the
// panel's "График" item, the panel's items that follow the window, pause,
// the actuation strip's rows.

IProcessPanel* TChartForm::Panel() const {
  return dynamic_cast<IProcessPanel*>(Process.Panel.get());
}

QAction* TChartForm::PanelItem(const QStringList& path) const {
  const IProcessPanel* panel = Panel();
  return panel != nullptr ? panel->MenuItem(path) : nullptr;
}

QChartView* TChartForm::StripView() const {
  return strip_->View();
}

QAction* TChartForm::PauseAction() const {
  return strip_->PauseAction();
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
  strip_->View()->setVisible(visible);
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
  strip_->PauseAction()->setChecked(Model.Paused);
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
  strip_->Sync();
}

// The read-outs of a point or of a strip bar under the cursor.

namespace {
// The read-out looks at a 5 x 5 pixel square centred on the cursor.
constexpr int kReadoutHalf = 2;
}  // namespace

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
  SetHint(strip_->ReadoutAt(cursor), cursor);
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
