#include "dialogs/StatusWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>

#include "dialogs/StatusUnit.h"
#include "panel/VortaForm.h"
#include "platform/TimerService.h"
#include "process/ProcUnit.h"

namespace vorta {

TForm5::TForm5(TVortaProcess& process, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), Process(process) {
  setObjectName(QStringLiteral("TForm5"));
  setWindowTitle(QStringLiteral("Статус"));
  setFixedSize(kClientWidth, kClientHeight);
  memo_ = new QPlainTextEdit(this);
  memo_->setGeometry(8, 8, kClientWidth - 16, 93);
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setMaximumBlockCount(kMaxMemoLines);

  const QString initial = QStringLiteral("01/01/11 00:00:00");
  startLabel_ = new QLabel(QStringLiteral("Старт процесс:"), this);
  startLabel_->setGeometry(8, 108, 104, 21);
  edit1_ = new QLineEdit(initial, this);
  edit1_->setGeometry(112, 106, kClientWidth - 120, 23);
  edit1_->setReadOnly(true);
  stopLabel_ = new QLabel(QStringLiteral("Стоп процесс:"), this);
  stopLabel_->setGeometry(8, 133, 104, 21);
  edit2_ = new QLineEdit(initial, this);
  edit2_->setGeometry(112, 131, kClientWidth - 120, 23);
  edit2_->setReadOnly(true);

  start_ = new QPushButton(QStringLiteral("Старт"), this);
  start_->setGeometry(8, 158, 75, 25);
  stop_ = new QPushButton(QStringLiteral("Стоп"), this);
  stop_->setGeometry(89, 158, 75, 25);
  close_ = new QPushButton(QStringLiteral("Закрыть"), this);
  close_->setGeometry(kClientWidth - 83, 158, 75, 25);
  connect(start_, &QPushButton::clicked, this, &TForm5::ButtonStartClick);
  connect(stop_, &QPushButton::clicked, this, &TForm5::ButtonStopClick);
  connect(close_, &QPushButton::clicked, this, &TForm5::Button1Click);
}

TForm5::~TForm5() {
  if (Process.StatusSink == this) Process.StatusSink = nullptr;
  if (!closed_) Process.StatusFormOpen = 0;
}

TForm5* TForm5::Open(TVortaForm& panel, int subject) {
  TVortaProcess& p = panel.Process;
  if (p.StatusFormOpen != 0) return nullptr;
  p.DialogChannel = subject;
  if (auto* old = qobject_cast<QWidget*>(p.StatusForm.data());
      old != nullptr && !old->isVisible()) {
    delete old;
  }
  auto* form = new TForm5(p, &panel);
  p.StatusForm = form;
  form->FormCreate();
  form->show();
  return form;
}

void TForm5::FormCreate() {
  Process.StatusFormOpen = 1;
  Process.StatusSink = this;
  if (QWidget* panel = parentWidget()) move(panel->pos() + QPoint(20, 20));
  const int subject = Process.DialogChannel;
  setWindowTitle(StatusCaption(Process, subject));
  const bool clock = StatusShowsClock(subject);
  for (QWidget* w : {static_cast<QWidget*>(startLabel_), static_cast<QWidget*>(stopLabel_),
                     static_cast<QWidget*>(edit1_), static_cast<QWidget*>(edit2_),
                     static_cast<QWidget*>(start_), static_cast<QWidget*>(stop_)}) {
    w->setVisible(clock);
  }
  memo_->clear();
}

void TForm5::ButtonStartClick() {
  const double now = Process.Env.Time.Now();
  StartElapsedClock(Process.Env, now);
  edit1_->setText(StatusDateTimeText(now));
  edit1_->setCursorPosition(0);
}

void TForm5::ButtonStopClick() {
  StopElapsedClock(Process.Env);
  edit2_->setText(StatusDateTimeText(Process.Env.Time.Now()));
  edit2_->setCursorPosition(0);
}

void TForm5::Button1Click() {
  FormClose();
}

void TForm5::reject() {
  FormClose();
}

void TForm5::FormClose() {
  if (!closed_) Process.StatusFormOpen = 0;
  if (Process.StatusSink == this) Process.StatusSink = nullptr;
  closed_ = true;
  hide();
}

void TForm5::AppendLine(const QString& text) {
  memo_->appendPlainText(text);
}

void TForm5::ReplaceFirstLine(const QString& text) {
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
