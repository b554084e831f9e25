#include "windows/devices/MixerWindow.h"

#include <algorithm>

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QToolButton>

#include "commands/Commands.h"
#include "commands/MixerWindowLogic.h"
#include "process/ProcessRecord.h"
#include "windows/common/CommandRefusal.h"
#include "windows/common/ProcessPanel.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

namespace {
constexpr int kStatusHeight = 19;
constexpr std::array<int, 3> kPanelWidths{66, 52, 50};

void SetBackground(QWidget* w, std::int32_t systemColor) {
  QPalette pal = w->palette();
  QColor color = QGuiApplication::palette().color(QPalette::Window);
  // Colours as the engine stores them: red in the low byte; negative = default.
  if (systemColor >= 0) {
    color = QColor(systemColor & 0xFF, (systemColor >> 8) & 0xFF, (systemColor >> 16) & 0xFF);
  }
  pal.setColor(QPalette::Window, color);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}
}  // namespace

TMixerWindow* TMixerWindow::Open(IProcessPanel& panel) {
  return panel.Windows().Mixer.Open([&panel] {
    // A window of its own, freed with the panel.
    auto* form = new TMixerWindow(panel.PanelProcess(), nullptr);
    form->ShowRecord();
    form->show();
    return form;
  });
}

TMixerWindow::TMixerWindow(TVortaProcess& process, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Process(process) {
  setObjectName(QStringLiteral("MixerWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(tr("Миксер"));
  setFixedSize(kClientWidth, kClientHeight);

  auto* valueLabel = new QLabel(tr("Значение"), this);
  valueLabel->setGeometry(8, 4, 70, 16);
  codeEdit_ = new QLineEdit(this);
  codeEdit_->setGeometry(8, 20, 52, 23);
  codeEdit_->setReadOnly(true);
  codeEdit_->setAlignment(Qt::AlignRight);
  spinUp_ = new QToolButton(this);
  spinUp_->setArrowType(Qt::UpArrow);
  spinUp_->setGeometry(61, 20, 16, 12);
  spinUp_->setAutoRepeat(true);
  spinDown_ = new QToolButton(this);
  spinDown_->setArrowType(Qt::DownArrow);
  spinDown_->setGeometry(61, 32, 16, 11);
  spinDown_->setAutoRepeat(true);

  auto* rpmLabel = new QLabel(tr("Об/мин"), this);
  rpmLabel->setGeometry(8, 46, 70, 16);
  speedEdit_ = new QLineEdit(this);
  speedEdit_->setGeometry(8, 62, 69, 23);
  speedEdit_->setReadOnly(true);
  speedEdit_->setAlignment(Qt::AlignRight);

  start_ = new QPushButton(tr("Старт"), this);
  start_->setGeometry(88, 18, 74, 27);
  stop_ = new QPushButton(tr("Стоп"), this);
  stop_->setGeometry(88, 60, 74, 27);

  statusBar_ = new QWidget(this);
  QFont small = font();
  small.setPixelSize(10);
  statusBar_->setFont(small);
  // The panels keep their design widths unless this screen's font needs more
  // for the widest text each can show.
  const QFontMetrics fm(small);
  const std::array<QString, 3> widest{QStringLiteral(" I = 0000 mA"), QStringLiteral(" t°C = 000"),
                                      tr(" Статус: 0000")};
  std::array<int, 3> widths{};
  int total = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    widths[i] = std::max(kPanelWidths[i], fm.horizontalAdvance(widest[i]) + 8);
    total += widths[i];
  }
  const int width = std::max(kClientWidth, total);
  setFixedSize(width, kClientHeight);
  statusBar_->setGeometry(0, kClientHeight - kStatusHeight, width, kStatusHeight);
  int x = 0;
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i] = new QLabel(statusBar_);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setGeometry(x, 0, i + 1 < panels_.size() ? widths[i] : width - x, kStatusHeight);
    x += widths[i];
  }
  simple_ = new QLabel(statusBar_);
  simple_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  simple_->setGeometry(0, 0, width, kStatusHeight);
  simple_->hide();

  connect(spinUp_, &QToolButton::clicked, this, &TMixerWindow::StepUpClick);
  connect(spinDown_, &QToolButton::clicked, this, &TMixerWindow::StepDownClick);
  connect(start_, &QPushButton::clicked, this, &TMixerWindow::StartClick);
  connect(stop_, &QPushButton::clicked, this, &TMixerWindow::StopClick);
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

TMixerWindow::~TMixerWindow() {
  // Freed with its panel while open: the record ends as a close leaves it.
  if (!closed_) MixerWindowClosed(Process, x(), y());
}

void TMixerWindow::ShowRecord() {
  MoveOntoScreens(*this, {Process.MixLeft, Process.MixTop});
  setWindowTitle(MixerCaption(Process));
  MixerWindowOpened(Process);
  ShowState();
}

void TMixerWindow::StepUpClick() {
  StepStirrer(Process, TCaller::Panel(), true);
  ShowState();
}

void TMixerWindow::StepDownClick() {
  StepStirrer(Process, TCaller::Panel(), false);
  ShowState();
}

void TMixerWindow::StartClick() {
  ShowRefusal(Process, StartStirrer(Process, TCaller::Panel()));
}

void TMixerWindow::StopClick() {
  ShowRefusal(Process, StopStirrer(Process, TCaller::Panel()));
}

void TMixerWindow::ShowState() {
  const TMixerViewState& m = Process.PanelState.MixerView;
  if (codeEdit_->text() != m.CodeText) codeEdit_->setText(m.CodeText);
  if (speedEdit_->text() != m.SpeedText) speedEdit_->setText(m.SpeedText);
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i]->setText(m.StatusText[i]);
    panels_[i]->setVisible(m.SimpleText.isEmpty());
  }
  simple_->setText(m.SimpleText);
  simple_->setVisible(!m.SimpleText.isEmpty());
  if (shownColor_ != m.StatusColor) {
    shownColor_ = m.StatusColor;
    SetBackground(statusBar_, m.StatusColor);
  }
}

bool TMixerWindow::HandleKey(int key) {
  if (key == Qt::Key_Up) {
    StepUpClick();
    return true;
  }
  if (key == Qt::Key_Down) {
    StepDownClick();
    return true;
  }
  return false;
}

bool TMixerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event)->key())) {
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TMixerWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    MixerWindowClosed(Process, x(), y());
  }
  event->accept();
}

void TMixerWindow::reject() {
  // Escape closes the window the same way as its close box.
  close();
}

}  // namespace vorta
