#include "windows/dialogs/CalibrationForm.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "commands/Calibration.h"
#include "commands/Commands.h"
#include "platform/Numbers.h"
#include "process/CalibIndication.h"
#include "process/ProcessRecord.h"
#include "windows/common/CommandRefusal.h"
#include "windows/common/ProcessPanel.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

namespace {

QColor ToQColor(std::int32_t c) {
  return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
}

void Paint(QWidget* w, std::int32_t color) {
  QPalette pal = w->palette();
  const QColor c = ToQColor(color);
  pal.setColor(QPalette::Window, c);
  pal.setColor(QPalette::Base, c);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

}  // namespace

TCalibrationForm::TCalibrationForm(TVortaProcess& process, IProcessPanel& panel)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint),
      Process(process),
      Channel(process.DialogSelector),
      panel_(panel) {
  // No parent: a window of its own, like the code it fixes.
  setFixedSize(kClientWidth, kClientHeight);
  setWindowTitle(CalibrCaption(Process, Channel));
  Paint(this, CalibrColor(Channel));
  BuildRow(rows_[0], 1, 8);
  BuildRow(rows_[1], 2, 42);
  // The two buttons sit on their own panels: exclusive by a group.
  auto* points = new QButtonGroup(this);
  points->addButton(rows_[0].Radio, 1);
  points->addButton(rows_[1].Radio, 2);
  rows_[0].Radio->setChecked(true);

  fix_ = new QPushButton(tr("Фиксация"), this);
  fix_->setGeometry(8, 78, 96, 25);
  close_ = new QPushButton(tr("Закрыть"), this);
  close_->setGeometry(122, 78, 96, 25);
  save_ = new QPushButton(tr("Сохранить"), this);
  save_->setGeometry(236, 78, 96, 25);
  connect(fix_, &QPushButton::clicked, this, [this] { FixClick(); });
  connect(save_, &QPushButton::clicked, this, [this] { SaveClick(); });
  connect(close_, &QPushButton::clicked, this, [this] { CloseClick(); });

  // Show the channel's calibration as the dialog opens.
  CalibrOpen(Process, Channel);
  const auto n = static_cast<size_t>(Channel >= 1 && Channel <= 4 ? Channel : 0);
  rows_[0].Edit->setText(FormatFixed(Process.Channel[n].Config.CalValue1, 2));
  rows_[1].Edit->setText(FormatFixed(Process.Channel[n].Config.CalValue2, 2));
  rows_[0].Code->setText(QString::number(Process.Channel[n].Config.CalAdc1));
  rows_[1].Code->setText(QString::number(Process.Channel[n].Config.CalAdc2));
  SetRowColor(rows_[0], kClBtnFace, true);
  SetRowColor(rows_[1], kClBtnFace, true);
  MoveOntoScreens(*this, panel_.PanelWidget().pos() + QPoint(20, 20));
  Process.CalibView = this;
}

TCalibrationForm::~TCalibrationForm() {
  if (Process.CalibView == this) Process.CalibView = nullptr;
}

void TCalibrationForm::BuildRow(TPointRow& row, int point, int top) {
  row.Panel = new QFrame(this);
  row.Panel->setGeometry(8, top, 324, 30);
  row.Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  row.Radio = new QRadioButton(tr("%1 Точка").arg(point), row.Panel);
  row.Radio->setGeometry(6, 5, 74, 20);
  row.AdcCaption = new QLabel(QStringLiteral("ADC="), row.Panel);
  row.AdcCaption->setGeometry(84, 5, 34, 20);
  row.Code = new QLabel(row.Panel);
  row.Code->setObjectName(point == 1 ? QStringLiteral("CodePoint1") : QStringLiteral("CodePoint2"));
  row.Code->setGeometry(118, 5, 44, 20);
  row.ValueCaption = new QLabel(tr("Значение ="), row.Panel);
  row.ValueCaption->setGeometry(166, 5, 84, 20);
  row.Edit = new QLineEdit(row.Panel);
  row.Edit->setObjectName(point == 1 ? QStringLiteral("ValuePoint1")
                                     : QStringLiteral("ValuePoint2"));
  row.Edit->setGeometry(252, 5, 64, 20);
  row.Edit->setFrame(false);
  row.Edit->setEnabled(false);
  row.Edit->installEventFilter(this);
  connect(row.Radio, &QRadioButton::clicked, this, [this] { PointClick(); });
}

void TCalibrationForm::SetRowColor(TPointRow& row, std::int32_t color, bool withPanel) {
  if (withPanel) Paint(row.Panel, color);
  for (QWidget* w : {static_cast<QWidget*>(row.Radio), static_cast<QWidget*>(row.AdcCaption),
                     static_cast<QWidget*>(row.Code), static_cast<QWidget*>(row.ValueCaption),
                     static_cast<QWidget*>(row.Edit)}) {
    Paint(w, color);
  }
}

int TCalibrationForm::SelectedPoint() const {
  if (rows_[0].Radio->isChecked()) return 1;
  if (rows_[1].Radio->isChecked()) return 2;
  return 0;
}

void TCalibrationForm::SetPoint1Color(std::int32_t color) {
  // The point-1 panel itself keeps its colour.
  SetRowColor(rows_[0], color, false);
}

void TCalibrationForm::SetPoint2Color(std::int32_t color) {
  SetRowColor(rows_[1], color, true);
}

void TCalibrationForm::SetCodeLabels(const QString& point1, const QString& point2) {
  QString texts[2] = {point1, point2};
  // The live code is this dialog's channel's: DialogSelector moves on when
  // another dialog of the process opens, and a fixed code of the wrong
  // sensor would be stored without a word.
  const int selected = SelectedPoint();
  if (selected != 0 && Channel >= 1 && Channel <= 4 && Process.DialogSelector != Channel) {
    texts[selected - 1] = QString::number(Process.Channel[static_cast<size_t>(Channel)].AdcCode);
  }
  rows_[0].Code->setText(texts[0]);
  rows_[1].Code->setText(texts[1]);
}

void TCalibrationForm::EnabledControl(bool enabled) {
  // Not the panel window itself: the status window and the other dialogs
  // are its children and would be disabled with it.
  panel_.SetControlsEnabled(enabled);
  for (QWidget* w :
       {static_cast<QWidget*>(rows_[0].Radio), static_cast<QWidget*>(rows_[1].Radio),
        static_cast<QWidget*>(fix_), static_cast<QWidget*>(close_), static_cast<QWidget*>(save_)}) {
    w->setEnabled(enabled);
  }
}

QRadioButton* TCalibrationForm::RadioButton(int point) const {
  return point == 1 || point == 2 ? rows_[point - 1].Radio : nullptr;
}

QLabel* TCalibrationForm::CodeLabel(int point) const {
  return point == 1 || point == 2 ? rows_[point - 1].Code : nullptr;
}

QLineEdit* TCalibrationForm::Edit(int point) const {
  return point == 1 || point == 2 ? rows_[point - 1].Edit : nullptr;
}

void TCalibrationForm::PointClick() {
  SetCalibPoint1Color(Process, kClBtnFace);
  SetCalibPoint2Color(Process, kClBtnFace);
}

void TCalibrationForm::FixClick() {
  const int point = SelectedPoint();
  if (point == 0) return;
  Process.CalibLive = 0;
  SetCalibPoint1Color(Process, kClBtnFace);
  SetCalibPoint2Color(Process, kClBtnFace);
  EnabledControl(false);
  QLineEdit* edit = rows_[point - 1].Edit;
  edit->setEnabled(true);
  edit->setFocus();
  edit->selectAll();
}

void TCalibrationForm::EditEnter(int point) {
  QLineEdit* edit = rows_[point - 1].Edit;
  const TCheckResult r = CheckCalibrationValue(Process, Channel, edit->text());
  if (!r.Ok) {
    Warn(r.Warning);
    // Stays fixed for correction.
    EnabledControl(false);
    edit->setEnabled(true);
    edit->setFocus();
    return;
  }
  // The label holds the fixed code; it only ever shows a 16-bit code.
  const auto code = TryParseInt(rows_[point - 1].Code->text());
  const auto adc = code && *code >= 0 && *code <= 0xFFFF
                       ? static_cast<std::uint16_t>(*code)
                       : (point == 1 ? Process.CalWork.Adc1 : Process.CalWork.Adc2);
  CalibrSetPoint(Process, point, r.ParsedValue, adc);
  EnabledControl(true);
  rows_[0].Edit->setEnabled(false);
  rows_[1].Edit->setEnabled(false);
  Process.CalibLive = 1;
}

void TCalibrationForm::EditEscape() {
  EnabledControl(true);
  rows_[0].Edit->setEnabled(false);
  rows_[1].Edit->setEnabled(false);
  // The edits show the working copy again, not what was abandoned.
  rows_[0].Edit->setText(FormatFixed(Process.CalWork.Value1, 2));
  rows_[1].Edit->setText(FormatFixed(Process.CalWork.Value2, 2));
  Process.CalibLive = 1;
}

bool TCalibrationForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int point = watched == rows_[0].Edit ? 1 : watched == rows_[1].Edit ? 2 : 0;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (point != 0 && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
      EditEnter(point);
      return true;
    }
    if (point != 0 && key == Qt::Key_Escape) {
      EditEscape();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TCalibrationForm::Warn(const QString& text) {
  if (OnWarning) {
    OnWarning(text);
    return;
  }
  // The carriage return of the limit text breaks the line.
  QString shown = text;
  shown.replace(u'\r', u'\n');
  QMessageBox::warning(this, windowTitle(), shown, QMessageBox::Ok);
}

void TCalibrationForm::SaveClick() {
  ShowRefusal(Process, SaveCalibration(Process, TCaller::Panel(), Channel));
  close();
}

void TCalibrationForm::CloseClick() {
  CalibrResetWork(Process, Channel);
  close();
}

void TCalibrationForm::closeEvent(QCloseEvent* event) {
  // Closed by its close box while a code is fixed, the dialog
  // would leave the panel disabled for good: give it back.
  if (Process.CalibView == this) Process.CalibView = nullptr;
  EnabledControl(true);
  event->accept();
}

void OpenCalibration(IProcessPanel& panel, int channel) {
  // A dialog is made anew at each opening; the hidden one of the last
  // opening goes now rather than with the panel.
  panel.Windows().Calibration.Open([&panel, channel] {
    TVortaProcess& process = panel.PanelProcess();
    process.DialogSelector = channel;
    auto* form = new TCalibrationForm(process, panel);
    form->show();
    return form;
  });
}

}  // namespace vorta
