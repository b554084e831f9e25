#include "windows/dialogs/StatusWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include "commands/Commands.h"
#include "commands/StatusClock.h"
#include "platform/TimerService.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"
#include "windows/common/ProcessPanel.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

TStatusWindow::TStatusWindow(TVortaProcess& process, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), Process(process) {
  setObjectName(QStringLiteral("StatusWindow"));
  setWindowTitle(tr("Статус"));
  setFixedSize(kClientWidth, kClientHeight);
  memo_ = new QPlainTextEdit(this);
  memo_->setGeometry(8, 8, kClientWidth - 16, 93);
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setMaximumBlockCount(kMaxMemoLines);

  startLabel_ = new QLabel(tr("Старт процесс:"), this);
  startLabel_->setGeometry(8, 108, 104, 21);
  startedEdit_ = new QLineEdit(this);
  startedEdit_->setGeometry(112, 106, kClientWidth - 120, 23);
  startedEdit_->setReadOnly(true);
  stopLabel_ = new QLabel(tr("Стоп процесс:"), this);
  stopLabel_->setGeometry(8, 133, 104, 21);
  elapsedEdit_ = new QLineEdit(this);
  elapsedEdit_->setGeometry(112, 131, kClientWidth - 120, 23);
  elapsedEdit_->setReadOnly(true);

  start_ = new QPushButton(tr("Старт"), this);
  start_->setGeometry(8, 158, 75, 25);
  stop_ = new QPushButton(tr("Стоп"), this);
  stop_->setGeometry(89, 158, 75, 25);
  close_ = new QPushButton(tr("Закрыть"), this);
  close_->setGeometry(kClientWidth - 83, 158, 75, 25);
  connect(start_, &QPushButton::clicked, this, &TStatusWindow::StartClockClick);
  connect(stop_, &QPushButton::clicked, this, &TStatusWindow::StopClockClick);
  connect(close_, &QPushButton::clicked, this, &TStatusWindow::CloseClick);
}

TStatusWindow::~TStatusWindow() {
  if (Process.StatusSink == this) Process.StatusSink = nullptr;
}

TStatusWindow* TStatusWindow::Open(IProcessPanel& panel, int subject) {
  return panel.Windows().Status.Open([&panel, subject] {
    TVortaProcess& p = panel.PanelProcess();
    p.StatusSubject = subject;
    auto* form = new TStatusWindow(p, &panel.PanelWidget());
    form->ShowRecord();
    form->show();
    return form;
  });
}

void TStatusWindow::ShowRecord() {
  Process.StatusSink = this;
  if (QWidget* panel = parentWidget()) MoveOntoScreens(*this, panel->pos() + QPoint(20, 20));
  const int subject = Process.StatusSubject;
  setWindowTitle(StatusCaption(Process, subject));
  const bool clock = StatusShowsClock(subject);
  for (QWidget* w : {static_cast<QWidget*>(startLabel_), static_cast<QWidget*>(stopLabel_),
                     static_cast<QWidget*>(startedEdit_), static_cast<QWidget*>(elapsedEdit_),
                     static_cast<QWidget*>(start_), static_cast<QWidget*>(stop_)}) {
    w->setVisible(clock);
  }
  memo_->clear();
  // What the window is for is there as it opens, not at the next cycle.
  ShowStatusLine(Process, subject);
  if (clock) ShowClockTimes();
}

void TStatusWindow::ShowClockTimes() {
  const TProgramState& program = Process.Env.Program;
  // A time never set shows nothing rather than a made-up date.
  startedEdit_->setText(program.EftStart != 0 ? StatusDateTimeText(program.EftStart) : QString());
  elapsedEdit_->setText(program.EftStop != 0 ? StatusDateTimeText(program.EftStop) : QString());
  startedEdit_->setCursorPosition(0);
  elapsedEdit_->setCursorPosition(0);
}

void TStatusWindow::StartClockClick() {
  StartElapsedClock(Process.Env, TCaller::Panel());
  ShowClockTimes();
}

void TStatusWindow::StopClockClick() {
  StopElapsedClock(Process.Env, TCaller::Panel());
  ShowClockTimes();
}

void TStatusWindow::CloseClick() {
  OnClose();
}

void TStatusWindow::reject() {
  OnClose();
}

void TStatusWindow::OnClose() {
  if (Process.StatusSink == this) Process.StatusSink = nullptr;
  hide();
}

void TStatusWindow::AppendLine(const QString& text) {
  memo_->appendPlainText(text);
}

void TStatusWindow::ReplaceFirstLine(const QString& text) {
  if (memo_->document()->isEmpty()) {
    memo_->setPlainText(text);
    return;
  }
  QTextCursor c(memo_->document()->firstBlock());
  c.select(QTextCursor::BlockUnderCursor);
  c.movePosition(QTextCursor::StartOfBlock);
  c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  c.insertText(text);
}

}  // namespace vorta
