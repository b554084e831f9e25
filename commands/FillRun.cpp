// The fill run: start and stop, one phase per tick, doses counted.

#include <QCoreApplication>
#include <QStringList>

#include "commands/FillRun.h"
#include "commands/JournalChanges.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"

namespace vorta {

TFillControl::TFillControl(TDeps deps, int intervalMs)
    : FillTarget(deps.FillTarget), FillTimer(deps.Time.CreateTimer(intervalMs)), deps_(deps) {
  FillTimer->OnTimer = [this] { OnFillTimer(); };
  for (int k = 1; k <= kFillBoxes; ++k) {
    BoxEnabled[static_cast<size_t>(k - 1)] = deps_.Processes.FindProcess(QString::number(k)) >= 0;
  }
}

TFillControl::~TFillControl() {
  *alive_ = false;
  FillTimer->SetEnabled(false);
  if (View != nullptr) View->FillFreed();
}

void TFillControl::Changed() {
  if (View != nullptr) View->FillStateChanged();
}

void TFillControl::SetTarget(std::int32_t target) {
  FillTarget = target;
  TargetText = QString::number(target);
  Changed();
}

void TFillControl::TargetEdited(const QString& text) {
  TargetText = text;
  if (const auto v = TryParseInt(text); v && *v >= INT32_MIN && *v <= INT32_MAX) {
    FillTarget = static_cast<std::int32_t>(*v);
  }
}

void TFillControl::StepTargetUpClick() {
  if (FillTarget < INT32_MAX) SetTarget(FillTarget + 1);
}

void TFillControl::StepTargetDownClick() {
  if (FillTarget > 0) SetTarget(FillTarget - 1);
}

void TFillControl::ResetClick() {
  FillDone = 0;
  Changed();
}

void TFillControl::SetBoxChecked(int k, bool checked) {
  if (k >= 1 && k <= kFillBoxes) BoxChecked[static_cast<size_t>(k - 1)] = checked;
}

bool TFillControl::Active() const {
  return FillRunning || FillTimer->Enabled();
}

int TFillControl::CheckedPhaseCount() {
  const TVortaProcess* p0 = deps_.Processes.ProcessAt(0);
  const int count = p0 != nullptr ? p0->Config.FazaCount : 0;
  if (count >= 1 && count <= kMaxPhases) return count;
  // With no phases a dose never completes and the run never ends; more than
  // the table holds would read past it.
  deps_.Messages.ShowError(
      p0 == nullptr ? QCoreApplication::translate("vorta::FillRun",
                                                  "Заполнение не запущено: нет ни одного процесса.")
                    : QCoreApplication::translate(
                          "vorta::FillRun",
                          "Заполнение не запущено: у процесса %1 задано фаз: %2 (допустимо "
                          "от 1 до %3). Проверьте FazaCount, Ventil и Pump в [Podpitka].")
                          .arg(p0->Caption())
                          .arg(count)
                          .arg(kMaxPhases));
  return 0;
}

void TFillControl::RecordRun(const QString& before, const QString& after, bool byOperator) {
  // Every process shares the owners' environment; without one nothing runs.
  const TVortaProcess* p0 = deps_.Processes.ProcessAt(0);
  if (p0 == nullptr) return;
  RecordProgramChange(p0->Env, QStringLiteral("Подпитка"), before, after,
                      byOperator ? TJournalSource::Button : TJournalSource::Engine);
}

TJournal* TFillControl::Journal() const {
  const TVortaProcess* p0 = deps_.Processes.ProcessAt(0);
  return p0 != nullptr ? p0->Env.Journal : nullptr;
}

bool TFillControl::StartStopClick() {
  ButtonEnabled = false;
  Changed();
  FillCount = 0;
  for (bool checked : BoxChecked) FillCount += checked ? 1 : 0;
  if (FillCount == 0) {
    deps_.Messages.ShowInfo(
        QCoreApplication::translate("vorta::FillRun", "Выберите хотя бы один процесс"));
    ButtonEnabled = true;
    Changed();
    return false;
  }
  bool changed = false;
  const auto target = TryParseInt(TargetText);
  // A target that is no integer ends the click without a word, as it always has.
  if (target && *target >= INT32_MIN && *target <= INT32_MAX) {
    FillTarget = static_cast<std::int32_t>(*target);
    if (FillRunning) {
      FillRunning = false;
      RecordRun(QStringLiteral("Пуск"), QStringLiteral("Стоп (выполнено доз: %1)").arg(FillDone),
                !stopAtTarget_);
      changed = true;
      const auto alive = alive_;
      Stop();
      if (!*alive) return true;
    } else if (CheckedPhaseCount() > 0) {
      changed = true;
      FillRunning = true;
      Start();
      QStringList vessels;
      for (int i = 0; i < kFillBoxes; ++i) {
        const TVortaProcess* p = deps_.Processes.ProcessAt(i);
        if (p != nullptr && FillSelected[static_cast<size_t>(i)]) vessels << p->Caption();
      }
      RecordRun(QStringLiteral("Стоп"),
                QStringLiteral("Пуск (%1; доз: %2)")
                    .arg(vessels.join(QStringLiteral(", ")))
                    .arg(FillTarget),
                true);
    }
  }
  ButtonEnabled = true;
  Changed();
  return changed;
}

void TFillControl::Stop() {
  if (FillStep == 0) {
    // No dose under way: nothing to finish. This is also the path of a run
    // that reached its target inside the timer's own tick, where waiting for
    // that timer's next tick could never end.
    FillTimer->SetEnabled(false);
  } else {
    const auto alive = alive_;
    while (FillTimer->Enabled()) {
      deps_.Time.ProcessMessages();
      if (!*alive) return;
    }
  }
  ButtonCaption = QCoreApplication::translate("vorta::FillRun", "Пуск");
  GroupsEnabled = true;
}

void TFillControl::Start() {
  GroupsEnabled = false;
  ButtonCaption = QCoreApplication::translate("vorta::FillRun", "Стоп");
  deps_.MeasureTimer.SetEnabled(false);
  deps_.RegulationTimer.SetEnabled(false);
  for (size_t i = 0; i < kFillBoxes; ++i) FillSelected[i] = BoxEnabled[i] && BoxChecked[i];
  FillStep = 0;
  FillTimer->SetEnabled(true);
}

void TFillControl::OnFillTimer() {
  TVortaProcess* p0 = deps_.Processes.ProcessAt(0);
  if ((!FillRunning && FillStep == 0) || p0 == nullptr || FillStep >= kMaxPhases) {
    FillTimer->SetEnabled(false);
    return;
  }
  const auto s = static_cast<size_t>(FillStep);
  if (TVortaProcess* medium = deps_.Processes.ProcessAt(p0->Config.Sreda[0])) {
    SetOutput(*medium, p0->Config.Sreda[1], p0->Config.Faza[s][0] != 0);
  }
  if (TVortaProcess* pump = deps_.Processes.ProcessAt(p0->Config.PodpPump[0])) {
    SetOutput(*pump, p0->Config.PodpPump[1], p0->Config.Faza[s][1] != 0);
  }
  for (int i = 0; i < kFillBoxes; ++i) {
    TVortaProcess* p = deps_.Processes.ProcessAt(i);
    if (p != nullptr && FillSelected[static_cast<size_t>(i)]) {
      SetOutput(*p, p->Config.Klapan, p->Config.Faza[s][2] != 0);
    }
  }
  FillStep += 1;
  if (FillStep < p0->Config.FazaCount) return;
  FillStep = 0;
  FillDone += 1;
  Changed();
  // Only a running run stops at its target: during an operator's stop this
  // is the dose it waits for, and the click would start a new run instead.
  if (FillRunning && FillDone == FillTarget) {
    const auto alive = alive_;
    stopAtTarget_ = true;
    StartStopClick();
    if (!*alive) return;
    stopAtTarget_ = false;
    FillDone = 0;
    Changed();
  }
}

bool TFillControl::CloseQuery() {
  if (deps_.Program.ShutdownRequested) return true;
  if (Active()) return false;
  deps_.MeasureTimer.SetEnabled(true);
  deps_.RegulationTimer.SetEnabled(true);
  return true;
}

}  // namespace vorta
