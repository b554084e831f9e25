#include "windows/devices/DriveParamsWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "commands/Commands.h"
#include "devices/CANMixer.h"
#include "platform/Messages.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

// A caption or label of DriveParamPages() as the operator reads it.
QString DriveParamText(const char* text) {
  return QCoreApplication::translate("vorta::DriveParams", text);
}

}  // namespace

void TDriveParamsWindow::Execute(TVortaProcess& process, QWidget* parent) {
  TCANMixer* drive = ConfigurableDrive(process.Mixer);
  if (drive == nullptr) {
    process.Env.Messages.ShowError(tr("Неверный объект для конфигурирования."));
    return;
  }
  TDriveParamsWindow form(process.Env.Time, process.Env.Messages, parent);
  form.SetProcess(process);
  form.setWindowTitle(process.Caption() + QStringLiteral(" - ") + tr("Параметры двигателя"));
  form.setWindowModality(Qt::ApplicationModal);
  // Shown while loading, so that the operator sees the read progress.
  form.show();
  form.LoadDrive(*drive);
  if (!form.closeWanted_) form.exec();
}

TDriveParamsWindow::TDriveParamsWindow(TTimerService& time, IMessageSink& messages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint), model_(time, messages) {
  setObjectName(QStringLiteral("DriveParamsWindow"));
  setWindowTitle(tr("Параметры двигателя"));
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("Pages"));
  // All four page tabs in sight, never behind scroll arrows.
  pages_->setUsesScrollButtons(false);
  layout->addWidget(pages_);
  edits_.resize(DriveParamPages().size());
  for (int page = 0; page < static_cast<int>(DriveParamPages().size()); ++page) BuildPage(page);

  auto* progressRow = new QHBoxLayout;
  progressLabel_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, kReadAllSteps);
  progress_->setFormat(QStringLiteral("%v / %m"));
  progressRow->addWidget(progressLabel_);
  progressRow->addWidget(progress_, 1);
  layout->addLayout(progressRow);
  progressLabel_->hide();
  progress_->hide();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  read_ = new QPushButton(tr("Читать"), this);
  write_ = new QPushButton(tr("Писать"), this);
  // Created disabled, and nothing enables them: the pages are read when the
  // window opens and on every page change.
  read_->setEnabled(false);
  write_->setEnabled(false);
  buttons->addWidget(read_);
  buttons->addWidget(write_);
  layout->addLayout(buttons);

  connect(read_, &QPushButton::clicked, this, &TDriveParamsWindow::ReadClick);
  connect(write_, &QPushButton::clicked, this, &TDriveParamsWindow::WriteClick);
  connect(pages_, &QTabWidget::currentChanged, this, &TDriveParamsWindow::PageChosen);
  model_.OnReadProgress = [this](int step) {
    progress_->setValue(step);
    progressLabel_->setText(tr("Чтение регистров: запрос %1 из %2").arg(step).arg(kReadAllSteps));
  };
}

TDriveParamsWindow::~TDriveParamsWindow() = default;

void TDriveParamsWindow::SetProcess(TVortaProcess& process) {
  process_ = &process;
  model_.Process = &process;
}

void TDriveParamsWindow::BuildPage(int page) {
  const TDriveParamPage& def = DriveParamPages()[static_cast<size_t>(page)];
  auto* widget = new QWidget;
  auto* layout = new QVBoxLayout(widget);
  QFormLayout* form = nullptr;
  QString group;
  for (const TDriveParamEdit& e : def.Edits) {
    const QString g = *e.Group != 0 ? DriveParamText(e.Group) : QString();
    if (form == nullptr || g != group) {
      group = g;
      form = new QFormLayout;
      if (g.isEmpty()) {
        layout->addLayout(form);
      } else {
        auto* box = new QGroupBox(g, widget);
        box->setLayout(form);
        layout->addWidget(box);
      }
    }
    auto* edit = new QLineEdit(QStringLiteral("0"), widget);
    edit->setObjectName(QString::fromUtf8(e.Name));
    edit->setMaximumWidth(90);
    edit->setAlignment(Qt::AlignRight);
    connect(edit, &QLineEdit::textChanged, this, [this] { model_.Modified = true; });
    auto* label = new QLabel(DriveParamText(e.Label), widget);
    label->setWordWrap(true);
    label->setFixedWidth(250);  // edits in one column across the groups
    form->addRow(label, edit);
    edits_[static_cast<size_t>(page)].push_back(edit);
  }
  if (page == 1) {
    layout->addWidget(
        new QLabel(QStringLiteral("I  = (ADC-511) * 1000 / (I_Koef*100)+I_shift"), widget));
    layout->addWidget(
        new QLabel(QStringLiteral("tC= (ADC-154) / (C_koef*100) + 25 + T_shift"), widget));
  }
  layout->addStretch(1);
  pages_->addTab(widget, DriveParamText(def.Caption));
}

QLineEdit* TDriveParamsWindow::Edit(const QString& name) const {
  return findChild<QLineEdit*>(name);
}

void TDriveParamsWindow::SetBusy(bool busy) {
  busy_ = busy;
  pages_->setEnabled(!busy);
}

void TDriveParamsWindow::LoadDrive(TCANMixer& drive) {
  SetBusy(true);
  progress_->setValue(0);
  progressLabel_->setText(tr("Чтение регистров..."));
  progress_->show();
  progressLabel_->show();
  model_.LoadDrive(drive);
  progress_->hide();
  progressLabel_->hide();
  SetBusy(false);
  ReadClick();
  model_.Modified = false;
  if (closeWanted_) close();
}

void TDriveParamsWindow::ReadClick() {
  const int page = pages_->currentIndex();
  const QStringList texts = model_.ReadPage(page);
  const auto& edits = edits_[static_cast<size_t>(page)];
  for (size_t i = 0; i < edits.size() && i < static_cast<size_t>(texts.size()); ++i) {
    edits[i]->setText(texts[static_cast<qsizetype>(i)]);
  }
}

void TDriveParamsWindow::WriteClick() {
  const int page = pages_->currentIndex();
  QStringList texts;
  for (QLineEdit* e : edits_[static_cast<size_t>(page)]) texts << e->text();
  SetBusy(true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (process_ != nullptr) {
    WriteDriveParams(*process_, TCaller::Panel(), model_, page, texts);
  } else {
    model_.WritePage(page, texts);
  }
  QApplication::restoreOverrideCursor();
  SetBusy(false);
  if (closeWanted_) close();
}

void TDriveParamsWindow::PageChosen(int /*page*/) {
  model_.Modified = false;
  ReadClick();
}

void TDriveParamsWindow::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // Closed when the read or write under way has finished.
    closeWanted_ = true;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TDriveParamsWindow::reject() {
  if (busy_) {
    closeWanted_ = true;
    return;
  }
  QDialog::reject();
}

}  // namespace vorta
