#include "windows/dialogs/ControlParamsDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "commands/Commands.h"
#include "platform/Messages.h"
#include "process/ProcessRecord.h"
#include "windows/common/ProcessPanel.h"
#include "windows/common/WindowPlacement.h"

namespace vorta {

namespace {

constexpr int kEditWidth = 80;

QLabel* AddLabel(QGridLayout* grid, int row, const QString& text) {
  auto* label = new QLabel(text);
  grid->addWidget(label, row, 0);
  return label;
}

}  // namespace

TControlParamsDialog::TControlParamsDialog(TVortaProcess& process, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), Process(process) {
  setObjectName(QStringLiteral("ControlParamsDialog"));
  setWindowTitle(tr("Параметры управления"));
  auto* layout = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->addTab(BuildStandard(), tr("Стандарт"));
  pages_->addTab(BuildTimers(), tr("Таймеры"));
  pages_->addTab(BuildPo2(), tr("Спец. pO"));
  pages_->addTab(BuildHeating(), tr("Нагрев"));
  pages_->addTab(BuildPumps(), tr("Насосы"));
  pages_->addTab(BuildFoam(), tr("Пена"));
  pages_->addTab(BuildEvents(), tr("События"));
  layout->addWidget(pages_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(tr("Отмена"), this);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &TControlParamsDialog::OkClick);
  connect(cancel_, &QPushButton::clicked, this, &TControlParamsDialog::CancelClick);
}

TControlParamsDialog::~TControlParamsDialog() = default;

TControlParamsDialog* TControlParamsDialog::Open(IProcessPanel& panel, int selector,
                                                 bool waitWhileOpen) {
  return panel.Windows().ControlParams.Open(
      [&panel, selector] {
        TVortaProcess& p = panel.PanelProcess();
        p.DialogSelector = selector;
        auto* form = new TControlParamsDialog(p, &panel.PanelWidget());
        form->ShowRecord();
        form->show();
        return form;
      },
      waitWhileOpen);
}

QLineEdit* TControlParamsDialog::NewEdit(TCtrlText field, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setFixedWidth(kEditWidth);
  edits_.emplace_back(field, e);
  return e;
}

QCheckBox* TControlParamsDialog::NewCheck(bool TCtrlFields::*field, const QString& text,
                                          QWidget* parent) {
  auto* c = new QCheckBox(text, parent);
  checks_.emplace_back(field, c);
  return c;
}

QWidget* TControlParamsDialog::NewSpin(int k, QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* v = new QVBoxLayout(box);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  for (bool up : {true, false}) {
    auto* b = new QToolButton(box);
    b->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
    b->setFixedSize(18, 11);
    b->setFocusPolicy(Qt::NoFocus);
    v->addWidget(b);
    spins_[static_cast<size_t>(k)][up ? 1 : 0] = b;
    connect(b, &QToolButton::clicked, this, [this, k, up] {
      if (k == 9) {
        FoamSpin(up);
      } else {
        TimerSpin(k, up);
      }
    });
  }
  return box;
}

QWidget* TControlParamsDialog::BuildStandard() {
  auto* page = new QWidget;
  auto* g = new QGridLayout(page);
  const std::pair<TCtrlText, const char*> rows[] = {
      {&TCtrlFields::Period, QT_TR_NOOP("Период (сек):")},
      {&TCtrlFields::Low, QT_TR_NOOP("Нижняя граница:")},
      {&TCtrlFields::High, QT_TR_NOOP("Верхняя граница:")},
      {&TCtrlFields::DeadZone, QT_TR_NOOP("Зона нечувствительности:")},
      {&TCtrlFields::GainUp, QT_TR_NOOP("Коэф. усиления + :")},
      {&TCtrlFields::GainDown, QT_TR_NOOP("Коэф. усиления - :")},
  };
  int row = 0;
  for (const auto& [field, text] : rows) {
    AddLabel(g, row, tr(text));
    g->addWidget(NewEdit(field, page), row++, 1);
  }
  g->addWidget(NewCheck(&TCtrlFields::Enable, tr("Разрешение управления"), page), row, 0, 1, 2);
  g->setRowStretch(row + 1, 1);
  g->setColumnStretch(2, 1);
  return page;
}

QWidget* TControlParamsDialog::BuildTimers() {
  auto* page = new QWidget;
  auto* h = new QVBoxLayout(page);
  struct TTimerRows {
    TCtrlText Period, Work;
    bool TCtrlFields::*Exist;
    int SpinPeriod, SpinWork;
  };
  const TTimerRows timers[] = {
      {&TCtrlFields::EppPeriod, &TCtrlFields::EppWork, &TCtrlFields::EppExist, 1, 2},
      {&TCtrlFields::MedPeriod, &TCtrlFields::MedWork, &TCtrlFields::MedExist, 3, 4},
  };
  for (size_t i = 0; i < 2; ++i) {
    const TTimerRows& t = timers[i];
    auto* box = new QGroupBox(page);
    auto* g = new QGridLayout(box);
    g->addWidget(new QLabel(tr("Канал - ")), 0, 0);
    chNames_[i] = new QLabel(box);
    g->addWidget(chNames_[i], 0, 1, 1, 2);
    AddLabel(g, 1, tr("Период (сек):"));
    g->addWidget(NewEdit(t.Period, box), 1, 1);
    g->addWidget(NewSpin(t.SpinPeriod, box), 1, 2);
    AddLabel(g, 2, tr("Работа (сек):"));
    g->addWidget(NewEdit(t.Work, box), 2, 1);
    g->addWidget(NewSpin(t.SpinWork, box), 2, 2);
    g->addWidget(NewCheck(t.Exist, tr("Вкл."), box), 3, 0, 1, 3);
    g->setColumnStretch(3, 1);
    h->addWidget(box);
  }
  return page;
}

QWidget* TControlParamsDialog::BuildPo2() {
  auto* page = new QWidget;
  auto* g = new QGridLayout(page);
  g->addWidget(NewCheck(&TCtrlFields::Po2Motor, tr("Управление pO2 миксером"), page), 0, 0, 1, 2);
  const std::pair<TCtrlText, const char*> rows[] = {
      {&TCtrlFields::Po2Period, QT_TR_NOOP("Период (сек):")},
      {&TCtrlFields::Po2Right, QT_TR_NOOP("Обороты макс.:")},
      {&TCtrlFields::Po2Left, QT_TR_NOOP("Обороты мин.:")},
      {&TCtrlFields::Po2Koef, QT_TR_NOOP("Коэф. воздействия:")},
  };
  int row = 1;
  for (const auto& [field, text] : rows) {
    AddLabel(g, row, tr(text));
    g->addWidget(NewEdit(field, page), row++, 1);
  }
  g->setRowStretch(row, 1);
  g->setColumnStretch(2, 1);
  return page;
}

QWidget* TControlParamsDialog::BuildHeating() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  water_ = new QRadioButton(tr("Вода"), page);
  steam_ = new QRadioButton(tr("Пар"), page);
  v->addWidget(water_);
  v->addWidget(steam_);
  v->addStretch();
  return page;
}

QWidget* TControlParamsDialog::BuildPumps() {
  // Never shown: the pump settings are kept in the process file only.
  return new QWidget;
}

QWidget* TControlParamsDialog::BuildFoam() {
  auto* page = new QWidget;
  auto* g = new QGridLayout(page);
  AddLabel(g, 0, tr("Чувствительность:"));
  foamLevelText_ = new QLineEdit(tr("Макс."), page);
  foamLevelText_->setReadOnly(true);
  foamLevelText_->setFixedWidth(kEditWidth);
  g->addWidget(foamLevelText_, 0, 1);
  g->addWidget(NewSpin(9, page), 0, 2);
  g->addWidget(NewCheck(&TCtrlFields::FoamExist, tr("Вкл."), page), 1, 0, 1, 3);
  g->setRowStretch(2, 1);
  g->setColumnStretch(3, 1);
  return page;
}

QWidget* TControlParamsDialog::BuildEvents() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  struct TEventRows {
    TCtrlText Hours, Minutes, Work;
    bool TCtrlFields::*Exist, TCtrlFields::*Aperiod;
  };
  const TEventRows events[] = {
      {&TCtrlFields::Ev1Hours, &TCtrlFields::Ev1Minutes, &TCtrlFields::Ev1Work,
       &TCtrlFields::Ev1Exist, &TCtrlFields::Ev1Aperiod},
      {&TCtrlFields::Ev2Hours, &TCtrlFields::Ev2Minutes, &TCtrlFields::Ev2Work,
       &TCtrlFields::Ev2Exist, &TCtrlFields::Ev2Aperiod},
  };
  for (size_t i = 0; i < 2; ++i) {
    const TEventRows& e = events[i];
    auto* box = new QGroupBox(page);
    auto* g = new QGridLayout(box);
    g->addWidget(new QLabel(tr("Канал - ")), 0, 0);
    chNames_[2 + i] = new QLabel(box);
    g->addWidget(chNames_[2 + i], 0, 1, 1, 4);
    AddLabel(g, 1, QStringLiteral("EFT:"));
    QLineEdit* hours = NewEdit(e.Hours, box);
    QLineEdit* minutes = NewEdit(e.Minutes, box);
    hours->setFixedWidth(kEditWidth / 2);
    minutes->setFixedWidth(kEditWidth / 2);
    g->addWidget(hours, 1, 1);
    g->addWidget(new QLabel(tr("час.")), 1, 2);
    g->addWidget(minutes, 1, 3);
    g->addWidget(new QLabel(tr("мин.")), 1, 4);
    AddLabel(g, 2, tr("Работа (сек):"));
    g->addWidget(NewEdit(e.Work, box), 2, 1, 1, 3);
    g->addWidget(NewCheck(e.Exist, tr("Вкл."), box), 3, 0);
    g->addWidget(NewCheck(e.Aperiod, tr("Однократно"), box), 3, 1, 1, 4);
    g->setColumnStretch(5, 1);
    v->addWidget(box);
  }
  return page;
}

QLineEdit* TControlParamsDialog::Edit(TCtrlText field) const {
  for (const auto& [f, e] : edits_) {
    if (f == field) return e;
  }
  return nullptr;
}

QCheckBox* TControlParamsDialog::Check(bool TCtrlFields::*field) const {
  for (const auto& [f, c] : checks_) {
    if (f == field) return c;
  }
  return nullptr;
}

bool TControlParamsDialog::PageShown(TPage page) const {
  return pages_->isTabVisible(page);
}

QToolButton* TControlParamsDialog::SpinButton(int k, bool up) const {
  if (k < 1 || k > 9) return nullptr;
  return spins_[static_cast<size_t>(k)][up ? 1 : 0];
}

void TControlParamsDialog::TimerSpin(int k, bool up) {
  const TCtrlText fields[] = {nullptr, &TCtrlFields::EppPeriod, &TCtrlFields::EppWork,
                              &TCtrlFields::MedPeriod, &TCtrlFields::MedWork};
  const std::int32_t bound = k <= 2 ? Process.Epp.Max : Process.Med.Max;
  QLineEdit* e = Edit(fields[k]);
  if (const auto text = SpinTimerText(e->text(), bound, up)) e->setText(*text);
}

void TControlParamsDialog::FoamSpin(bool up) {
  if (const TCommandResult r = StepFoamLevel(Process, TCaller::Panel(), up)) {
    foamLevelText_->setText(r.Text);
  }
}

void TControlParamsDialog::Show(const TCtrlFields& f) {
  for (const auto& [field, e] : edits_) e->setText(f.*field);
  for (const auto& [field, c] : checks_) c->setChecked(f.*field);
  chNames_[0]->setText(f.EppChName);
  chNames_[1]->setText(f.MedChName);
  chNames_[2]->setText(f.Ev1ChName);
  chNames_[3]->setText(f.Ev2ChName);
  water_->setChecked(f.Water);
  steam_->setChecked(!f.Water);
  foamLevelText_->setText(f.FoamLevelText);
}

TCtrlFields TControlParamsDialog::Collect() const {
  TCtrlFields f;
  for (const auto& [field, e] : edits_) f.*field = e->text();
  for (const auto& [field, c] : checks_) f.*field = c->isChecked();
  f.Water = water_->isChecked();
  f.FoamLevelText = foamLevelText_->text();
  return f;
}

void TControlParamsDialog::ShowRecord() {
  const int n = Process.DialogSelector;
  entry_ = CtrlEntry(n);
  setWindowTitle(CtrlCaption(Process, n));
  const bool channel = IsChannelVariant(n);
  pages_->setTabVisible(StandardPage, channel);
  pages_->setTabVisible(TimersPage, !channel);
  pages_->setTabVisible(Po2Page, !channel);
  pages_->setTabVisible(HeatingPage, false);
  pages_->setTabVisible(PumpsPage, false);
  pages_->setTabVisible(FoamPage, !channel && Process.Config.Existpena == 1);
  pages_->setTabVisible(EventsPage, true);
  pages_->setCurrentIndex(channel ? StandardPage : TimersPage);
  Show(ReadCtrlFields(Process, entry_));
  // Every page caption stays in view: the dialog is at least as wide as
  // the captions of its shown pages.
  int tabs = 0;
  for (int i = 0; i < pages_->count(); ++i) {
    if (pages_->isTabVisible(i)) tabs += pages_->tabBar()->tabRect(i).width();
  }
  QSize size = sizeHint();
  size.setWidth(std::max(size.width(), tabs + 40));
  setFixedSize(size);
  if (QWidget* panel = parentWidget()) MoveOntoScreens(*this, panel->pos() + QPoint(20, 20));
}

void TControlParamsDialog::OkClick() {
  // The entry is the one the dialog was opened for: the selector may have
  // been changed meanwhile by another dialog of the process.
  const TCommandResult result = SetControlParams(Process, TCaller::Panel(), entry_, Collect());
  if (!result) {
    Process.Env.Messages.ShowError(result.Text);
    if (QLineEdit* e = Edit(CtrlFieldNamed(result.Field))) {
      for (int i = 0; i < pages_->count(); ++i) {
        if (pages_->widget(i)->isAncestorOf(e)) pages_->setCurrentIndex(i);
      }
      e->setFocus();
      e->selectAll();
    }
    return;
  }
  if (Process.Panel) Process.Panel->OutputsChanged();
  hide();
}

void TControlParamsDialog::CancelClick() {
  hide();
}

void TControlParamsDialog::reject() {
  // Escape and the window's close button end up here too.
  hide();
}

}  // namespace vorta
