#include "windows/fill/FillWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include "commands/Commands.h"

namespace vorta {

TFillWindow::TFillWindow(TFillControl& fill, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      fill_(&fill) {
  setObjectName(QStringLiteral("FillWindow"));
  setWindowTitle(tr("Заполнение"));
  setFixedSize(282, 150);

  groupFill_ = new QGroupBox(tr("Дозы:"), this);
  groupFill_->setGeometry(8, 4, 166, 100);
  auto* all = new QLabel(tr("Количество:"), groupFill_);
  all->setGeometry(8, 22, 80, 21);
  target_ = new QLineEdit(groupFill_);
  target_->setGeometry(90, 20, 50, 23);
  target_->setAlignment(Qt::AlignRight);
  spinUp_ = new QToolButton(groupFill_);
  spinUp_->setArrowType(Qt::UpArrow);
  spinUp_->setGeometry(141, 20, 15, 12);
  spinDown_ = new QToolButton(groupFill_);
  spinDown_->setArrowType(Qt::DownArrow);
  spinDown_->setGeometry(141, 32, 15, 11);
  auto* cur = new QLabel(tr("Текущая:"), groupFill_);
  cur->setGeometry(8, 50, 80, 21);
  done_ = new QLineEdit(QStringLiteral("0"), groupFill_);
  done_->setGeometry(90, 48, 66, 23);
  done_->setReadOnly(true);
  done_->setAlignment(Qt::AlignRight);
  reset_ = new QPushButton(tr("Сброс"), groupFill_);
  reset_->setGeometry(90, 73, 66, 22);

  groupProc_ = new QGroupBox(tr("Процессы:"), this);
  groupProc_->setGeometry(182, 4, 92, 100);
  for (int k = 1; k <= kFillBoxes; ++k) {
    auto* box = new QCheckBox(QString::number(k), groupProc_);
    box->setGeometry(12 + ((k - 1) % 2) * 38, 24 + ((k - 1) / 2) * 30, 34, 21);
    boxes_[static_cast<size_t>(k - 1)] = box;
    connect(box, &QCheckBox::toggled, this, [this, k](bool on) {
      if (fill_ != nullptr) fill_->SetBoxChecked(k, on);
    });
  }

  startStop_ = new QPushButton(this);
  startStop_->setGeometry(98, 114, 85, 27);

  connect(target_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (fill_ != nullptr) fill_->TargetEdited(text);
  });
  connect(spinUp_, &QToolButton::clicked, this, [this] {
    if (fill_ != nullptr) fill_->StepTargetUpClick();
  });
  connect(spinDown_, &QToolButton::clicked, this, [this] {
    if (fill_ != nullptr) fill_->StepTargetDownClick();
  });
  connect(reset_, &QPushButton::clicked, this, [this] {
    if (fill_ != nullptr) fill_->ResetClick();
  });
  connect(startStop_, &QPushButton::clicked, this, [this] {
    if (fill_ != nullptr) StartStopFill(*fill_, TCaller::Panel());
  });

  fill.View = this;
  for (int k = 1; k <= kFillBoxes; ++k) {
    fill.SetBoxChecked(k, boxes_[static_cast<size_t>(k - 1)]->isChecked());
  }
  FillStateChanged();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TFillWindow::~TFillWindow() {
  if (fill_ != nullptr && fill_->View == this) fill_->View = nullptr;
}

void TFillWindow::FillStateChanged() {
  if (fill_ == nullptr) return;
  const TFillControl& f = *fill_;
  if (target_->text() != f.TargetText) target_->setText(f.TargetText);
  done_->setText(QString::number(f.FillDone));
  for (size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setEnabled(f.BoxEnabled[i]);
  groupFill_->setEnabled(f.GroupsEnabled);
  groupProc_->setEnabled(f.GroupsEnabled);
  startStop_->setText(f.ButtonCaption);
  startStop_->setEnabled(f.ButtonEnabled);
}

void TFillWindow::FillFreed() {
  fill_ = nullptr;
  hide();
}

void TFillWindow::reject() {
  // The close box and Escape both come here.
  if (fill_ != nullptr && !fill_->CloseQuery()) return;
  QDialog::reject();
}

}  // namespace vorta
