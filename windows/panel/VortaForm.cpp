#include "windows/panel/VortaForm.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>

#include "commands/Commands.h"
#include "commands/PanelActions.h"
#include "platform/Messages.h"
#include "process/MixerControl.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"
#include "windows/alarms/AlarmWindow.h"
#include "windows/common/CommandRefusal.h"
#include "windows/common/PanelPlacement.h"
#include "windows/common/WindowPlacement.h"
#include "windows/devices/DriveParamsWindow.h"
#include "windows/devices/MixerWindow.h"
#include "windows/dialogs/AboutForm.h"
#include "windows/dialogs/CalibrationForm.h"
#include "windows/dialogs/ControlParamsDialog.h"
#include "windows/dialogs/PlanWindow.h"
#include "windows/dialogs/SetpointsDialog.h"
#include "windows/dialogs/StatusWindow.h"

namespace vorta {

namespace {

constexpr int kFontPixels = 11;  // the panel's 8-point font at 96 dpi
constexpr int kStatusHeight = 19;
constexpr std::array<int, 5> kStatusWidths{18, 74, 146, 48, 50};
constexpr std::array<int, 5> kColumnWidths{56, 46, 45, 42, 42};
constexpr int kRowHeight = 19;
constexpr int kAlarmLeft = 231;  // right of the "Свет" button

const char* const kButtonCaptions[] = {"",
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Щелочь"),
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Кислота"),
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Пеногаситель"),
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Подпитка 2"),
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Подпитка 1"),
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Охлаждение"),
                                       QT_TRANSLATE_NOOP("vorta::TVortaForm", "Нагрев")};

// A colour as the system stores it (red in the low byte); a negative value
// means the control's own colour.
bool ToQColor(std::int32_t c, QColor& out) {
  if (c < 0) return false;
  out = QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return true;
}

void SetTextColor(QWidget* w, const QColor& color) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Active, QPalette::ButtonText, color);
  pal.setColor(QPalette::Inactive, QPalette::ButtonText, color);
  w->setPalette(pal);
}

void SetBackground(QWidget* w, std::int32_t systemColor) {
  QPalette pal = w->palette();
  QColor color;
  if (!ToQColor(systemColor, color)) color = QGuiApplication::palette().color(QPalette::Window);
  pal.setColor(QPalette::Window, color);
  w->setPalette(pal);
}

QColor WindowText() {
  return QGuiApplication::palette().color(QPalette::WindowText);
}

// Cells drawn as a string grid draws them: the text 2 pixels in from the
// left, clipped at the cell's edge rather than elided, so that a long value
// still shows its digits.
class TGridDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QVariant bg = index.data(Qt::BackgroundRole);
    if (bg.isValid()) painter->fillRect(option.rect, bg.value<QBrush>());
    painter->save();
    painter->setClipRect(option.rect);
    const QVariant fg = index.data(Qt::ForegroundRole);
    painter->setPen(fg.isValid() ? fg.value<QBrush>().color()
                                 : option.palette.color(QPalette::Text));
    painter->drawText(option.rect.adjusted(2, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
  }
};

// A one-line field that shows as much of its text as fits and ends it with
// an ellipsis; text() and the tooltip keep all of it.
class TElidedLabel final : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect r = contentsRect().adjusted(indent(), 0, 0, 0);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
  }
};

}  // namespace

TVortaForm::TVortaForm(TVortaProcess& process, QWidget* parent)
    : QWidget(parent, Qt::Window), Process(process) {
  QFont f = font();
  // A narrow sans face, close to the one the panel was laid out for.
  f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans Condensed")});
  f.setPixelSize(kFontPixels);
  setFont(f);
  setFixedSize(kClientWidth, kClientHeight);
  // Single border with the minimize icon only: the panel is closed through
  // its menu, which ends the whole program.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowMinimizeButtonHint);
  setWindowTitle(Process.Caption());
  BuildControls();
  BuildStatusBar();
  BuildMenu();
}

TVortaForm::~TVortaForm() = default;

void TVortaForm::BuildControls() {
  for (int k = 1; k <= 8; ++k) {
    auto* b = new QPushButton(tr(kButtonCaptions[k < 8 ? k : 0]), this);
    b->setFocusPolicy(Qt::TabFocus);
    buttons_[static_cast<size_t>(k)] = b;
    if (k <= kManualButtons) {
      b->setGeometry(0, 4 + 25 * (k - 1), 98, 21);
      connect(b, &QPushButton::clicked, this, [this, k] {
        ToggleManualOutput(Process, TCaller::Panel(), k);
        OutputsChanged();
      });
    }
  }
  QPushButton* light = buttons_[8];
  light->setText(tr("Свет"));
  light->setGeometry(170, 154, 58, 21);
  light->setVisible(false);
  connect(light, &QPushButton::clicked, this, [this] {
    ShowRefusal(Process, SwitchLight(Process, TCaller::Panel()));
    PanelStateChanged();
    OutputsChanged();
  });

  foamIndicator_ = new QPushButton(tr("Пена"), this);
  foamIndicator_->setGeometry(109, 154, 58, 21);
  foamIndicator_->setEnabled(false);
  foamIndicator_->setFocusPolicy(Qt::NoFocus);
  SetTextColor(foamIndicator_, Qt::yellow);

  // A field of its own right of "Свет": the status bar's speed, mode, link
  // and clock stay in sight, and the tooltip gives every alarm in full.
  statusAlarm_ = new TElidedLabel(this);
  statusAlarm_->setGeometry(kAlarmLeft, 154, kClientWidth - 1 - kAlarmLeft, 21);
  statusAlarm_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusAlarm_->setAutoFillBackground(true);
  statusAlarm_->setIndent(2);
  QFont bold = statusAlarm_->font();
  bold.setBold(true);
  statusAlarm_->setFont(bold);
  statusAlarm_->hide();

  grid_ = new QTableWidget(7, 5, this);
  grid_->setGeometry(108, 4, 240, 144);
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->verticalHeader()->setMinimumSectionSize(1);
  grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::NoSelection);
  grid_->setFocusPolicy(Qt::NoFocus);
  // Display only; clicks fall through to the panel (its menu).
  grid_->setAttribute(Qt::WA_TransparentForMouseEvents);
  grid_->setWordWrap(false);
  grid_->setItemDelegate(new TGridDelegate(grid_));
  for (int c = 0; c < 5; ++c) grid_->setColumnWidth(c, kColumnWidths[static_cast<size_t>(c)]);
  const QBrush fixed = QGuiApplication::palette().brush(QPalette::Button);
  for (int r = 0; r < 7; ++r) {
    grid_->setRowHeight(r, kRowHeight);
    for (int c = 0; c < 5; ++c) {
      auto* item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsEnabled);
      if (r == 0 || c == 0) item->setBackground(fixed);
      grid_->setItem(r, c, item);
    }
  }
}

void TVortaForm::BuildStatusBar() {
  statusBar_ = new QWidget(this);
  statusBar_->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
  statusBar_->setAutoFillBackground(true);
  int x = 0;
  const QString design[] = {QString(), tr("Об/мин:"), tr("Режим: "), QStringLiteral("Net   "),
                            QStringLiteral("EFT:000:00")};
  for (int i = 0; i < 5; ++i) {
    auto* label = new QLabel(design[i], statusBar_);
    const int w = kStatusWidths[static_cast<size_t>(i)];
    label->setGeometry(x, 1, w, kStatusHeight - 1);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setIndent(2);
    if (i == 3) label->setAlignment(Qt::AlignCenter);
    statusPanels_[static_cast<size_t>(i)] = label;
    x += w;
  }
  statusSimple_ = new QLabel(statusBar_);
  statusSimple_->setGeometry(0, 1, kClientWidth, kStatusHeight - 1);
  statusSimple_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusSimple_->setAutoFillBackground(true);
  statusSimple_->setIndent(2);
  statusSimple_->hide();
}

QPushButton* TVortaForm::ManualButton(int k) const {
  return k >= 1 && k <= 8 ? buttons_[static_cast<size_t>(k)] : nullptr;
}

QLabel* TVortaForm::StatusPanel(int i) const {
  return i >= 0 && i < 5 ? statusPanels_[static_cast<size_t>(i)] : nullptr;
}

void TVortaForm::PanelStateChanged() {
  const TPanelState& s = Process.PanelState;
  if (windowTitle() != s.Caption) setWindowTitle(s.Caption);
  for (size_t i = 0; i < 5; ++i) {
    statusPanels_[i]->setText(s.StatusText[i]);
    if (shownColor_[i] != s.StatusColor[i]) {
      shownColor_[i] = s.StatusColor[i];
      SetBackground(statusPanels_[i], s.StatusColor[i]);
      if (i == 3) {
        SetBackground(statusBar_, s.StatusColor[i]);
        SetBackground(statusSimple_, s.StatusColor[i]);
      }
    }
  }
  statusSimple_->setText(s.SimpleText);
  statusSimple_->setVisible(!s.SimpleText.isEmpty());
  ShowAlarm(s);
  if (buttons_[8]->isVisibleTo(this) != s.LightButtonVisible) {
    buttons_[8]->setVisible(s.LightButtonVisible);
  }
  if (shownLightColor_ != s.LightFontColor) {
    shownLightColor_ = s.LightFontColor;
    QColor c;
    SetTextColor(buttons_[8], ToQColor(s.LightFontColor, c) ? c : WindowText());
  }
  if (foamIndicator_->isEnabled() != s.FoamIndicator) foamIndicator_->setEnabled(s.FoamIndicator);
  motorItem_->setVisible(HasDcMixer(Process));
  ShowProtocolCheck();
  if (auto* mixer = windows_.Mixer.Window<TMixerWindow>()) mixer->ShowState();
}

void TVortaForm::ShowAlarm(const TPanelState& s) {
  statusAlarm_->setText(s.AlarmText);
  statusAlarm_->setToolTip(s.AlarmDetails);
  if (shownAlarmColor_ != s.AlarmColor) {
    shownAlarmColor_ = s.AlarmColor;
    SetBackground(statusAlarm_, s.AlarmColor);
    QPalette pal = statusAlarm_->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    statusAlarm_->setPalette(pal);
  }
  statusAlarm_->setVisible(!s.AlarmText.isEmpty());
}

void TVortaForm::PlaceByNumber(int numProcess) {
  const QScreen* screen =
      this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  // Before the first show the frame is unknown and the client size stands in;
  // showEvent places the panel again once the window manager has framed it.
  placedNumber_ = numProcess;
  placedWithFrame_ = frameGeometry().size() != size();
  MoveOntoScreens(*this,
                  PanelPosition(numProcess, screen->geometry().size(), frameGeometry().size()));
}

void TVortaForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placedNumber_ < 0 || placedWithFrame_) return;
  QTimer::singleShot(200, this, [this] {
    if (frameGeometry().size() != size()) PlaceByNumber(placedNumber_);
  });
}

void TVortaForm::SetGridRow(int row) {
  for (int c = 1; c < 5; ++c) {
    QTableWidgetItem* item = grid_->item(row, c);
    const QString text = GridCellText(Process, row, c);
    if (item->text() != text) item->setText(text);
    // Not live: greyed as a disabled control's text.
    const QBrush brush = GridCellStale(Process, row, c)
                             ? QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text)
                             : QBrush();
    if (item->foreground() != brush) item->setForeground(brush);
  }
}

void TVortaForm::InitValueGrid() {
  for (int c = 0; c < 5; ++c) grid_->item(0, c)->setText(GridCellText(Process, 0, c));
  for (int r = 1; r < 7; ++r) grid_->item(r, 0)->setText(GridCellText(Process, r, 0));
  ShowSetpoints();
  for (int k = 1; k <= kManualButtons; ++k) {
    // A channel without a name keeps the design caption rather than a blank button.
    const QString& name = Process.OutputChannels[static_cast<size_t>(k)].ChName;
    if (!name.isEmpty()) buttons_[static_cast<size_t>(k)]->setText(name);
  }
}

void TVortaForm::ShowCurrentValues() {
  SetGridRow(1);
  SetGridRow(6);
}

void TVortaForm::ShowMinuteValues() {
  SetGridRow(3);
  SetGridRow(4);
  SetGridRow(5);
}

void TVortaForm::OutputsChanged() {
  VizOutput(Process);
  for (size_t k = 1; k <= kManualButtons; ++k) {
    const bool on = Process.ManualState[k] != 0;
    // Repaint only on a change: this runs every 40 ms for every vessel.
    if (shownOn_[k] == on && buttons_[k]->property("drawn").isValid()) continue;
    shownOn_[k] = on;
    buttons_[k]->setProperty("drawn", true);
    SetTextColor(buttons_[k], on ? QColor(Qt::yellow) : WindowText());
  }
}

void TVortaForm::OpenMixerWindow(bool start) {
  TMixerWindow::Open(*this);
  if (start) StartMixer(Process);
}

void TVortaForm::ToggleChartItem() {
  chartChecked_ = !chartChecked_;
  chartMenu_->menuAction()->setChecked(chartChecked_);
  chartShowItem_->setText(chartChecked_ ? tr("Спрятать") : tr("Показать"));
}

void TVortaForm::SetControlsEnabled(bool enabled) {
  controlsEnabled_ = enabled;
  for (size_t k = 1; k < buttons_.size(); ++k) buttons_[k]->setEnabled(enabled);
  if (!enabled) menu_->hide();
}

void TVortaForm::PopupAt(const QPoint& globalPos) {
  if (!controlsEnabled_) return;
  ShowModeCheck();
  ShowProtocolCheck();
  menu_->popup(globalPos);
}

void TVortaForm::closeEvent(QCloseEvent* event) {
  // Closing a panel ends the whole program: the main form's next 40-ms tick
  // runs the orderly shutdown, which frees this window with its process.
  event->ignore();
  Process.Env.Program.ShutdownRequested = true;
}

void TVortaForm::keyPressEvent(QKeyEvent* event) {
  if (event->text() == QLatin1String("m")) {
    PopupAt(pos() + QPoint(20, 20));
    return;
  }
  QWidget::keyPressEvent(event);
}

void TVortaForm::contextMenuEvent(QContextMenuEvent* event) {
  PopupAt(event->globalPos());
}

void TVortaForm::ShowModeCheck() {
  for (size_t m = 0; m < modeItems_.size(); ++m)
    modeItems_[m]->setChecked(m == static_cast<size_t>(Process.Mode));
}

void TVortaForm::ShowProtocolCheck() {
  const int checked = Process.PanelState.ProtocolMenuChecked;
  for (QAction* a : protocolGroup_->actions()) a->setChecked(a->data().toInt() == checked);
}

void TVortaForm::OpenDriveParams() {
  TDriveParamsWindow::Execute(Process, this);
}

QAction* TVortaForm::MenuItem(const QStringList& path) const {
  const QMenu* menu = menu_;
  for (qsizetype i = 0; i < path.size(); ++i) {
    QAction* found = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->text() == path[i]) {
        found = a;
        break;
      }
    }
    if (found == nullptr) return nullptr;
    if (i + 1 == path.size()) return found;
    menu = found->menu();
    if (menu == nullptr) return nullptr;
  }
  return nullptr;
}

// The panel's popup menu: every item in the order the operator knows it.
// Items whose windows are not part of the panel yet are present and inert.

namespace {

QAction* Item(QMenu* menu, const QString& text) {
  return menu->addAction(text);
}

QAction* Hidden(QMenu* menu, const QString& text) {
  QAction* a = menu->addAction(text);
  a->setVisible(false);
  return a;
}

QActionGroup* RadioGroup(QObject* owner) {
  auto* g = new QActionGroup(owner);
  g->setExclusive(true);
  return g;
}

}  // namespace

void TVortaForm::BuildMenu() {
  menu_ = new QMenu(this);

  QMenu* mode = menu_->addMenu(tr("Режим"));
  connect(mode, &QMenu::aboutToShow, this, [this] { ShowModeCheck(); });
  QActionGroup* modes = RadioGroup(mode);
  const QString modeCaptions[] = {tr("Неконтролируемый"), QStringLiteral("Butch"),
                                  QStringLiteral("Chemostat"), QStringLiteral("Turbidostat")};
  for (int m = 0; m < 4; ++m) {
    QAction* a = Item(mode, modeCaptions[m]);
    a->setCheckable(true);
    modes->addAction(a);
    modeItems_[static_cast<size_t>(m)] = a;
    connect(a, &QAction::triggered, this, [this, m] {
      SetMode(Process, TCaller::Panel(), m);
      PanelStateChanged();
      OutputsChanged();
    });
  }
  mode->addSeparator();
  connect(Item(mode, tr("Процесс")), &QAction::triggered, this,
          [this] { TStatusWindow::Open(*this, 8); });

  connect(Item(menu_, tr("Уставки")), &QAction::triggered, this,
          [this] { TSetpointsDialog::Open(*this, 1); });
  connect(Item(menu_, tr("Линейная подстройка")), &QAction::triggered, this,
          [this] { TSetpointsDialog::Open(*this, 2); });
  QMenu* ctrl = menu_->addMenu(tr("Параметры управления"));
  int ctrlSelector = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH", QT_TR_NOOP("Общие")}) {
    const int n = ++ctrlSelector;
    // "eH" and "Общие" open a dialog even while one is open.
    connect(Item(ctrl, tr(c)), &QAction::triggered, this,
            [this, n] { TControlParamsDialog::Open(*this, n, n <= 3); });
  }
  QMenu* status = menu_->addMenu(tr("Статус"));
  int statusSelector = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH", QT_TR_NOOP("Миксер"), "USB"}) {
    const int n = ++statusSelector;
    connect(Item(status, tr(c)), &QAction::triggered, this,
            [this, n] { TStatusWindow::Open(*this, n); });
  }
  connect(Item(menu_, tr("Тревоги")), &QAction::triggered, this, [this] {
    if (Process.Env.Alarms != nullptr) TAlarmWindow::Open(*Process.Env.Alarms, this);
  });
  connect(Item(menu_, tr("План…")), &QAction::triggered, this, [this] {
    // One per vessel: asked again, the open one comes to the front.
    if (auto* open = windows_.Plan.Window<TPlanWindow>();
        open != nullptr && windows_.Plan.IsOpen()) {
      open->raise();
      open->activateWindow();
    } else if (TPlanWindow::Host != nullptr) {
      windows_.Plan.Open([this] { return TPlanWindow::Open(Process, this); });
    }
  });
  Hidden(menu_, tr("Заполнение"));
  menu_->addSeparator();
  QMenu* calibr = menu_->addMenu(tr("Калибровка"));
  int calibrChannel = 0;
  for (const char* c : {"pH", "t°C", "pO2", "eH"}) {
    const int n = ++calibrChannel;
    connect(Item(calibr, QString::fromUtf8(c)), &QAction::triggered, this,
            [this, n] { OpenCalibration(*this, n); });
  }
  menu_->addSeparator();
  connect(Item(menu_, tr("Миксер")), &QAction::triggered, this, [this] { OpenMixerWindow(false); });
  motorItem_ = Item(menu_, tr("Параметры двигателя"));
  motorItem_->setVisible(false);
  connect(motorItem_, &QAction::triggered, this, [this] { OpenDriveParams(); });
  menu_->addSeparator();

  chartMenu_ = menu_->addMenu(tr("График"));
  BuildChartMenu(chartMenu_);

  QMenu* protocol = menu_->addMenu(tr("Протокол"));
  protocolGroup_ = new QActionGroup(protocol);
  // A period the menu does not offer loads with no item checked.
  protocolGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int minutes : {1, 2, 5, 10, 15}) {
    QAction* a = Item(protocol, tr("%1 мин.").arg(minutes));
    a->setCheckable(true);
    a->setData(minutes);
    protocolGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, minutes] {
      SetLogPeriod(Process, TCaller::Panel(), minutes);
      ShowProtocolCheck();
    });
  }
  menu_->addSeparator();
  connect(Item(menu_, tr("О программе")), &QAction::triggered, this, [this] { ShowAbout(this); });
  menu_->addSeparator();
  Hidden(menu_, tr("Свернуть"));
  QAction* exit = Item(menu_, tr("Выход"));
  connect(exit, &QAction::triggered, this, [this] { close(); });
}

void TVortaForm::BuildChartMenu(QMenu* chart) {
  chart->menuAction()->setCheckable(true);
  chart->menuAction()->setChecked(chartChecked_);
  chartShowItem_ = Item(chart, tr("Показать"));
  // The chart window is made after the panel: reach it at click time.
  connect(chartShowItem_, &QAction::triggered, this, [this] {
    if (Process.ChartForm) Process.ChartForm->SetFormVisible(!chartChecked_);
  });
  QMenu* zoom = chart->addMenu(tr("Масштаб"));
  QActionGroup* zooms = RadioGroup(zoom);
  int tag = 0;
  for (const char* c : {QT_TR_NOOP("2 сек"), QT_TR_NOOP("10 сек"), QT_TR_NOOP("30 сек"),
                        QT_TR_NOOP("1 мин"), QT_TR_NOOP("5 мин"), QT_TR_NOOP("15 мин")}) {
    QAction* a = Item(zoom, tr(c));
    a->setCheckable(true);
    a->setChecked(tag == 0);
    a->setData(tag);
    zooms->addAction(a);
    connect(a, &QAction::triggered, this, [this, a, tag] {
      if (Process.ChartForm) Process.ChartForm->SetZoom(tag);
      a->setChecked(true);
    });
    ++tag;
  }
  QAction* actuations = Hidden(chart, tr("Срабатывания"));
  actuations->setCheckable(true);
  connect(actuations, &QAction::triggered, this, [this](bool checked) {
    if (Process.ChartForm) Process.ChartForm->SetStripVisible(checked);
  });
  QAction* pause = Hidden(chart, tr("Пауза"));
  pause->setCheckable(true);
  connect(pause, &QAction::triggered, this, [this, pause] {
    // The chart sets the mark to its own state.
    pause->setChecked(!pause->isChecked());
    if (Process.ChartForm) Process.ChartForm->TogglePause();
  });
  QAction* exportItem = Item(chart, tr("Экспорт"));
  connect(exportItem, &QAction::triggered, this, [this] { ExportChart(); });
  chart->addSeparator();
}

void TVortaForm::ExportChart() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("XLS files (*.dat)"));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  // Where the process's own files are, not wherever the program was started.
  dialog.setDirectory(Process.Env.Program.ProgramFolder);
  const int result = ExecExportDialog ? ExecExportDialog(dialog) : dialog.exec();
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  if (Process.ChartForm) Process.ChartForm->ExportData(dialog.selectedFiles().constFirst());
}

}  // namespace vorta
