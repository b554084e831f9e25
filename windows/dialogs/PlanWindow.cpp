#include "windows/dialogs/PlanWindow.h"

#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "plans/PlanHost.h"
#include "process/ProcessRecord.h"

namespace vorta {

TPlanHost* TPlanWindow::Host = nullptr;

namespace {

// Every plain step in file order, a repeat's block indented under it; each
// plain step carries its number as the runner counts it (a repeat's own line
// has none).
void AddSteps(QListWidget* list, const std::vector<TPlanStep>& steps, int depth, int& number) {
  for (const TPlanStep& s : steps) {
    const QString indent(depth * 4, u' ');
    if (s.Kind == TPlanStepKind::Repeat) {
      const QString times = s.Times > 0 ? QString::number(s.Times) + u'×' : QString();
      list->addItem(indent + QStringLiteral("↻ %1%2").arg(
                                 times, s.HasCondition
                                            ? QStringLiteral(" until ") + s.Condition.Text()
                                            : QString()));
      list->item(list->count() - 1)->setFlags(Qt::NoItemFlags);
      AddSteps(list, s.Body, depth + 1, number);
      continue;
    }
    QListWidgetItem* item = new QListWidgetItem(
        indent + (s.Name.isEmpty() ? s.Describe() : s.Name + QStringLiteral(" — ") + s.Describe()),
        list);
    item->setData(Qt::UserRole, ++number);
  }
}

}  // namespace

TPlanWindow::TPlanWindow(TPlanHost& host, const TVortaProcess& p, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host), p_(p) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(tr("План — %1").arg(p.Caption()));
  auto* layout = new QVBoxLayout(this);
  header_ = new QLabel(this);
  header_->setWordWrap(true);
  steps_ = new QListWidget(this);
  steps_->setSelectionMode(QAbstractItemView::NoSelection);
  layout->addWidget(header_);
  layout->addWidget(steps_);
  resize(460, 360);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TPlanWindow::Refresh);
  timer_->start(2000);
  Refresh();
}

void TPlanWindow::Refresh() {
  const TPlanRunner* r = host_.Runner(p_);
  if (r == nullptr) {
    header_->setText(tr("Плана нет. Начать: vorta ctl plan start СОСУД ФАЙЛ"));
    steps_->clear();
    shownPlan_.clear();
    return;
  }
  // Another plan may have been started on the vessel since.
  const QString plan = r->Plan().FileName + u'\n' + QString::fromLatin1(r->Plan().Hash);
  if (plan != shownPlan_) {
    steps_->clear();
    int number = 0;
    AddSteps(steps_, r->Plan().Steps, 0, number);
    shownPlan_ = plan;
  }
  const TPlanStatus st = r->Status(host_.MonotonicMs());
  QStringList lines;
  lines << tr("План «%1»: %2").arg(r->Plan().Name, PlanRunStateName(st.State));
  if (st.StepNumber > 0) {
    QString step = tr("Шаг %1 из %2").arg(st.StepNumber).arg(st.StepCount);
    if (st.Times > 0) step += tr(", повтор %1 из %2").arg(st.Iteration).arg(st.Times);
    if (st.RemainingMs >= 0) step += tr(", до следующего %1").arg(PlanDurationText(st.RemainingMs));
    lines << step;
    if (!st.NextText.isEmpty()) lines << tr("Далее: %1").arg(st.NextText);
  }
  if (!st.Overridden.empty()) {
    QStringList names;
    for (int ch : st.Overridden) names << PlanChannelName(ch);
    lines << tr("Изменено вручную (план это соблюдает): %1").arg(names.join(QStringLiteral(", ")));
  }
  header_->setText(lines.join(u'\n'));
  for (int i = 0; i < steps_->count(); ++i) {
    QListWidgetItem* item = steps_->item(i);
    const bool current =
        r->Active() && item->data(Qt::UserRole).toInt() == st.StepNumber && st.StepNumber > 0;
    QFont f = item->font();
    f.setBold(current);
    item->setFont(f);
    item->setBackground(current ? QColor(255, 236, 160) : QBrush());
  }
}

TPlanWindow* TPlanWindow::Open(const TVortaProcess& p, QWidget* panel) {
  if (Host == nullptr) return nullptr;
  auto* w = new TPlanWindow(*Host, p, panel);
  w->show();
  return w;
}

}  // namespace vorta
