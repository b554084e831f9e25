#include "windows/dialogs/SetpointsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "commands/Commands.h"
#include "commands/Setpoints.h"
#include "platform/Messages.h"
#include "process/ProcessRecord.h"
#include "windows/common/ProcessPanel.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

TSetpointsDialog::TSetpointsDialog(TVortaProcess& process, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Process(process) {
  setObjectName(QStringLiteral("SetpointsDialog"));
  setFixedSize(kClientWidth, kClientHeight);
  const char* const labels[] = {"pH:", "t°C:", "pO2:", "eH:"};
  for (int k = 0; k < 4; ++k) {
    auto* label = new QLabel(QString::fromUtf8(labels[k]), this);
    label->setGeometry(8, 6 + 24 * k, 32, 17);
    auto* edit = new QLineEdit(QStringLiteral("0"), this);
    edit->setGeometry(40, 4 + 24 * k, 56, 21);
    edits_[static_cast<size_t>(k)] = edit;
  }
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(104, 4, 75, 25);
  ok_->setDefault(true);
  cancel_ = new QPushButton(tr("Отмена"), this);
  cancel_->setGeometry(104, 48, 75, 25);
  connect(ok_, &QPushButton::clicked, this, &TSetpointsDialog::OkClick);
  connect(cancel_, &QPushButton::clicked, this, &TSetpointsDialog::CancelClick);
}

TSetpointsDialog::~TSetpointsDialog() = default;

TSetpointsDialog* TSetpointsDialog::Open(IProcessPanel& panel, int mode) {
  return panel.Windows().Setpoints.Open([&panel, mode] {
    TVortaProcess& p = panel.PanelProcess();
    p.DialogSelector = mode;
    auto* form = new TSetpointsDialog(p, &panel.PanelWidget());
    form->ShowRecord();
    form->show();
    return form;
  });
}

QLineEdit* TSetpointsDialog::Edit(int k) const {
  return k >= 1 && k <= 4 ? edits_[static_cast<size_t>(k - 1)] : nullptr;
}

void TSetpointsDialog::ShowRecord() {
  if (QWidget* panel = parentWidget()) MoveOntoScreens(*this, panel->pos() + QPoint(20, 20));
  mode_ = Process.DialogSelector;
  setWindowTitle(SetDialogCaption(mode_));
  const TSetTexts texts = SetDialogTexts(Process, mode_);
  for (size_t k = 0; k < 4; ++k) edits_[k]->setText(texts[k]);
}

void TSetpointsDialog::OkClick() {
  // The mode is the one the dialog was opened in, whatever selector another
  // dialog of the process has set since: the caption told the operator what
  // the four numbers are, and storing setpoints as adjustments would corrupt
  // both.
  TSetpointTexts texts;
  for (size_t k = 0; k < 4; ++k) texts[k] = edits_[k]->text();
  const TCommandResult result =
      SetSetpoints(Process, TCaller::Panel(), texts,
                   mode_ == kLinAdjustMode ? TSetKind::LinearAdjustment : TSetKind::Setpoint);
  if (!result) {
    Process.Env.Messages.ShowError(result.Text);
    if (QLineEdit* e = Edit(result.Field.toInt())) {
      e->setFocus();
      e->selectAll();
    }
    return;
  }
  if (mode_ == kSetpointMode) {
    // Row 2 shows the values taken ("6,5" became 6.50), as a restart would.
    if (auto* panel = dynamic_cast<IProcessPanel*>(Process.Panel.get())) panel->ShowSetpoints();
  }
  hide();
}

void TSetpointsDialog::CancelClick() {
  hide();
}

void TSetpointsDialog::reject() {
  hide();
}

}  // namespace vorta
