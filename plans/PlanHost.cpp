#include "plans/PlanHost.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include "plans/PlanState.h"
#include "plans/PlanVessel.h"
#include "platform/TimerService.h"
#include "process/ProcessRecord.h"

namespace vorta {

QJsonObject PlanStatusJson(const TPlanRunner& r, const TPlanStatus& st) {
  QJsonArray overridden;
  for (int ch : st.Overridden) overridden.append(PlanChannelName(ch));
  return QJsonObject{
      {QStringLiteral("plan"), r.Plan().Name},
      {QStringLiteral("file"), r.Plan().FileName},
      {QStringLiteral("sha256"), QString::fromLatin1(r.Plan().Hash)},
      {QStringLiteral("state"), PlanRunStateName(st.State)},
      {QStringLiteral("step"), st.StepNumber},
      {QStringLiteral("steps"), st.StepCount},
      {QStringLiteral("name"), st.StepName},
      {QStringLiteral("text"), st.StepText},
      {QStringLiteral("next"), st.NextText},
      {QStringLiteral("remainingSeconds"),
       st.RemainingMs < 0 ? QJsonValue() : QJsonValue(static_cast<double>(st.RemainingMs / 1000))},
      {QStringLiteral("iteration"), st.Iteration},
      {QStringLiteral("times"), st.Times},
      {QStringLiteral("overridden"), overridden},
  };
}

TPlanHost::TPlanHost(TTimerService& time, QString folder)
    : time_(time), folder_(std::move(folder)) {}

TPlanHost::~TPlanHost() = default;

std::int64_t TPlanHost::MonotonicMs() const {
  return time_.MonotonicMs();
}

TPlanRunner* TPlanHost::Runner(const TVortaProcess& p) {
  const auto it = entries_.find(p.Config.NumProcess);
  return it == entries_.end() ? nullptr : it->second.Runner.get();
}

TPlanHost::TEntry& TPlanHost::Make(TVortaProcess& p, TPlan plan) {
  TEntry& e = entries_[p.Config.NumProcess];
  e.Process = &p;
  e.Runner.reset();  // before the vessel it refers to
  e.Vessel = std::make_unique<TPlanVessel>(p);
  e.Runner = std::make_unique<TPlanRunner>(std::move(plan), *e.Vessel);
  e.SaveProblem.clear();
  TEntry* entry = &e;
  e.Runner->OnChanged = [this, entry] {
    Save(*entry);
    if (OnChanged) OnChanged(*entry->Process, *entry->Runner);
  };
  return e;
}

void TPlanHost::Save(TEntry& e) {
  const QString path = PlanStateFileName(folder_, e.Process->Config.NumProcess);
  e.SavedMono = time_.MonotonicMs();
  QString error;
  if (e.Runner->Active()) {
    WritePlanState(path, e.Runner->Snapshot(e.SavedMono, time_.UtcMs()), &error);
  } else if (QFile::exists(path) && !QFile::remove(path)) {
    // An ended plan leaves nothing to resume.
    error = QStringLiteral("%1: не удалось удалить").arg(path);
  }
  if (!error.isEmpty() && error != e.SaveProblem) {
    e.Vessel->Record(QStringLiteral("состояние плана не записано: %1").arg(error));
  }
  e.SaveProblem = error;
}

TPlanStartResult TPlanHost::Start(TVortaProcess& p, const QString& file) {
  TPlanStartResult result;
  if (const TPlanRunner* r = Runner(p); r != nullptr && r->Active()) {
    result.Text = QStringLiteral("на сосуде %1 уже идёт план «%2» (%3)")
                      .arg(p.Caption(), r->Plan().Name, PlanRunStateName(r->State()));
    return result;
  }
  const QString path = QFileInfo(file).absoluteFilePath();
  std::optional<TPlan> plan = LoadPlanFile(path, &result.Errors);
  if (plan) result.Errors = CheckPlan(*plan, p);
  if (!plan || !result.Errors.empty()) {
    result.Text = QStringLiteral("план не начат: %1 ошибок").arg(result.Errors.size());
    return result;
  }
  TEntry& e = Make(p, std::move(*plan));
  e.Runner->Start(time_.MonotonicMs());
  result.Ok = true;
  result.Text =
      QStringLiteral("план «%1» начат на сосуде %2").arg(e.Runner->Plan().Name, p.Caption());
  return result;
}

void TPlanHost::ResumeAll(const TVortaProcessList& processes) {
  for (const auto& process : processes) {
    TVortaProcess& p = *process;
    const QString path = PlanStateFileName(folder_, p.Config.NumProcess);
    QString error;
    const std::optional<TPlanSnapshot> saved = ReadPlanState(path, &error);
    if (!saved) {
      if (error.isEmpty()) continue;  // no plan was running
      TPlanVessel(p).Record(QStringLiteral("план не продолжен: %1").arg(error));
      QFile::remove(path);
      continue;
    }
    std::vector<TPlanError> errors;
    std::optional<TPlan> plan = LoadPlanFile(saved->File, &errors);
    QString why;
    if (!plan) {
      why = errors.empty() ? QStringLiteral("файл не прочитан") : errors.front().Text();
    } else if (plan->Hash != saved->Hash) {
      why =
          QStringLiteral("файл %1 изменён (SHA-256 был %2, стал %3)")
              .arg(saved->File, QString::fromLatin1(saved->Hash), QString::fromLatin1(plan->Hash));
    }
    if (why.isEmpty()) {
      TEntry& e = Make(p, std::move(*plan));
      if (e.Runner->Resume(*saved, time_.MonotonicMs(), time_.UtcMs())) continue;
      entries_.erase(p.Config.NumProcess);
      why = QStringLiteral("состояние не подходит к плану");
    }
    TPlanVessel(p).Record(QStringLiteral("план «%1» не продолжен: %2").arg(saved->PlanName, why));
    QFile::remove(path);
  }
}

void TPlanHost::Tick() {
  const std::int64_t now = time_.MonotonicMs();
  for (auto& [number, e] : entries_) {
    if (!e.Runner->Active()) continue;
    e.Runner->Tick(now);
    if (e.Runner->Active() && now - e.SavedMono >= saveEveryMs_) Save(e);
  }
}

void TPlanHost::SaveAll() {
  for (auto& [number, e] : entries_) {
    if (e.Runner->Active()) Save(e);
  }
}

}  // namespace vorta
