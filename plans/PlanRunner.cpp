#include "plans/PlanRunner.h"

#include <algorithm>
#include <cmath>

namespace vorta {

namespace {

// A ramp gives the vessel a new setpoint at most once a minute (and at its
// end), so that a day's ramp does not fill the journal with a line every 2 s.
constexpr std::int64_t kRampEveryMs = 60'000;
// More instant steps than this in one cycle wait for the next one, so that a
// repeat of notes alone cannot hold the main thread.
constexpr int kStepsPerTick = 64;

bool SameSetpoint(double a, double b) {
  return std::fabs(a - b) < 0.005;  // the files keep two decimals
}

}  // namespace

QString PlanRunStateName(TPlanRunState state) {
  switch (state) {
    case TPlanRunState::Running:
      return QStringLiteral("running");
    case TPlanRunState::Paused:
      return QStringLiteral("paused");
    case TPlanRunState::Held:
      return QStringLiteral("held");
    case TPlanRunState::Finished:
      return QStringLiteral("finished");
    case TPlanRunState::Stopped:
      return QStringLiteral("stopped");
  }
  return {};
}

TPlanRunner::TPlanRunner(TPlan plan, IPlanVessel& vessel)
    : plan_(std::move(plan)), vessel_(vessel), stepCount_(PlanStepCount(plan_.Steps)) {}

const TPlanStep* TPlanRunner::Current() const {
  if (frames_.empty()) return nullptr;
  const TFrame& f = frames_.back();
  if (f.Index < 0 || f.Index >= static_cast<int>(f.Steps->size())) return nullptr;
  return &(*f.Steps)[static_cast<size_t>(f.Index)];
}

void TPlanRunner::Changed() {
  if (OnChanged) OnChanged();
}

QString TPlanRunner::Where() const {
  const TPlanStep* s = Current();
  QString where =
      QStringLiteral("план «%1», шаг %2 из %3").arg(plan_.Name).arg(StepNumber()).arg(stepCount_);
  if (s != nullptr && !s->Name.isEmpty()) where += QStringLiteral(" «%1»").arg(s->Name);
  return where;
}

int TPlanRunner::StepNumber() const {
  int n = 0;
  for (size_t level = 0; level < frames_.size(); ++level) {
    const TFrame& f = frames_[level];
    for (int i = 0; i < f.Index && i < static_cast<int>(f.Steps->size()); ++i) {
      const TPlanStep& s = (*f.Steps)[static_cast<size_t>(i)];
      n += s.Kind == TPlanStepKind::Repeat ? PlanStepCount(s.Body) : 1;
    }
  }
  return n + 1;
}

std::int64_t TPlanRunner::StepAge(std::int64_t monoMs) const {
  const std::int64_t until = state_ == TPlanRunState::Running ? monoMs : pausedAtMono_;
  return std::max<std::int64_t>(0, until - stepBeganMono_);
}

void TPlanRunner::Start(std::int64_t monoMs) {
  frames_.clear();
  frames_.push_back({&plan_.Steps, 0, 1});
  planSet_.fill(false);
  state_ = TPlanRunState::Running;
  vessel_.Record(QStringLiteral("план «%1» начат (%2, SHA-256 %3)")
                     .arg(plan_.Name, plan_.FileName, QString::fromLatin1(plan_.Hash)));
  if (Settle(monoMs)) Enter(monoMs, true);
  Tick(monoMs);
}

// Moves into repeats and out of finished blocks until a plain step is current.
// False when the plan has ended or a repeat began its next round (which waits
// for the next cycle).
bool TPlanRunner::Settle(std::int64_t monoMs) {
  for (;;) {
    TFrame& f = frames_.back();
    if (f.Index >= static_cast<int>(f.Steps->size())) {
      if (frames_.size() == 1) {
        state_ = TPlanRunState::Finished;
        vessel_.Record(QStringLiteral("план «%1» выполнен").arg(plan_.Name));
        Changed();
        return false;
      }
      const TFrame& parent = frames_[frames_.size() - 2];
      const TPlanStep& rep = (*parent.Steps)[static_cast<size_t>(parent.Index)];
      const bool more =
          (rep.Times == 0 || f.Iteration < rep.Times) &&
          !(rep.HasCondition && rep.Condition.HoldsFor(vessel_.Reading(rep.Condition.Channel)));
      if (more) {
        ++f.Iteration;
        f.Index = 0;
        Enter(monoMs, true);
        return false;
      }
      frames_.pop_back();
      ++frames_.back().Index;
      continue;
    }
    const TPlanStep& s = (*f.Steps)[static_cast<size_t>(f.Index)];
    if (s.Kind != TPlanStepKind::Repeat) return true;
    // A repeat whose condition already holds is passed over.
    if (s.HasCondition && s.Condition.HoldsFor(vessel_.Reading(s.Condition.Channel))) {
      ++f.Index;
      continue;
    }
    frames_.push_back({&s.Body, 0, 1});
  }
}

void TPlanRunner::Enter(std::int64_t monoMs, bool fresh) {
  stepBeganMono_ = monoMs;
  holdingSince_ = -1;
  const TPlanStep* s = Current();
  if (s == nullptr) return;
  if (s->Kind == TPlanStepKind::Ramp && fresh) {
    rampFrom_ = vessel_.Setpoint(s->Channel);
    rampLast_ = rampFrom_;
    rampLastMono_ = monoMs;
    rampOverridden_ = false;
  }
  if (fresh) {
    vessel_.Record(QStringLiteral("%1: %2").arg(Where(), s->Describe()));
    Changed();
  }
}

bool TPlanRunner::Next(std::int64_t monoMs) {
  ++frames_.back().Index;
  if (!Settle(monoMs)) return false;
  Enter(monoMs, true);
  return true;
}

void TPlanRunner::ApplyRamp(const TPlanStep& s, double value, std::int64_t monoMs) {
  if (rampOverridden_) return;
  if (!SameSetpoint(vessel_.Setpoint(s.Channel), rampLast_)) {
    // The operator set it by hand: obeyed; the plan's next action on it applies as written.
    rampOverridden_ = true;
    vessel_.Record(
        QStringLiteral("%1: уставка %2 изменена вручную, линейное изменение её больше не ведёт")
            .arg(Where(), PlanChannelName(s.Channel)));
    return;
  }
  if (SameSetpoint(value, rampLast_)) return;
  const TPlanApplied done = vessel_.Apply(s, value, Where());
  rampLast_ = vessel_.Setpoint(s.Channel);
  rampLastMono_ = monoMs;
  planSetpoint_[static_cast<size_t>(s.Channel)] = rampLast_;
  planSet_[static_cast<size_t>(s.Channel)] = true;
  if (!done.Ok) Stop(QStringLiteral("%1: %2").arg(Where(), done.Text));
}

// Works on the current step; true when it is done.
bool TPlanRunner::Progress(const TPlanStep& s, std::int64_t monoMs) {
  const std::int64_t age = StepAge(monoMs);
  switch (s.Kind) {
    case TPlanStepKind::Wait:
      return age >= s.DurationMs;
    case TPlanStepKind::WaitElapsed:
      return vessel_.ElapsedSeconds() * 1000 >= static_cast<double>(s.DurationMs);
    case TPlanStepKind::WaitUntil: {
      if (s.Condition.HoldsFor(vessel_.Reading(s.Condition.Channel))) {
        if (holdingSince_ < 0) holdingSince_ = monoMs;
        if (monoMs - holdingSince_ >= s.HoldMs) {
          vessel_.Record(
              QStringLiteral("%1: условие %2 выполнено").arg(Where(), s.Condition.Text()));
          return true;
        }
      } else {
        holdingSince_ = -1;
      }
      if (s.LimitMs > 0 && age >= s.LimitMs) {
        const QString ranOut = QStringLiteral("%1: условие %2 не выполнено за %3")
                                   .arg(Where(), s.Condition.Text(), PlanDurationText(s.LimitMs));
        vessel_.Record(ranOut);
        if (s.OnTimeout == TPlanTimeout::GoOn) return true;
        if (s.OnTimeout == TPlanTimeout::Stop) {
          Stop(ranOut);
          return false;
        }
        vessel_.RaiseAlarm(ranOut, Where());
        state_ = TPlanRunState::Held;
        pausedAtMono_ = monoMs;
        Changed();
      }
      return false;
    }
    case TPlanStepKind::Ramp: {
      const double fraction =
          std::min(1.0, static_cast<double>(age) / static_cast<double>(s.DurationMs));
      const double value = rampFrom_ + (s.Value - rampFrom_) * fraction;
      if (fraction >= 1.0 || monoMs - rampLastMono_ >= kRampEveryMs) ApplyRamp(s, value, monoMs);
      return fraction >= 1.0;
    }
    case TPlanStepKind::Alarm:
      vessel_.RaiseAlarm(s.Text, Where());
      return true;
    case TPlanStepKind::Repeat:
      return true;  // never current; Settle enters it
    default: {
      const TPlanApplied done = vessel_.Apply(s, s.Value, Where());
      if (!done.Ok) {
        Stop(QStringLiteral("%1: %2").arg(Where(), done.Text));
        return false;
      }
      if (s.Kind == TPlanStepKind::Setpoint) {
        planSetpoint_[static_cast<size_t>(s.Channel)] = vessel_.Setpoint(s.Channel);
        planSet_[static_cast<size_t>(s.Channel)] = true;
      }
      return true;
    }
  }
}

void TPlanRunner::Tick(std::int64_t monoMs) {
  for (int n = 0; n < kStepsPerTick && state_ == TPlanRunState::Running; ++n) {
    const TPlanStep* s = Current();
    if (s == nullptr || !Progress(*s, monoMs)) return;
    if (state_ != TPlanRunState::Running || !Next(monoMs)) return;
  }
}

bool TPlanRunner::Pause(std::int64_t monoMs) {
  if (state_ != TPlanRunState::Running) return false;
  pausedAtMono_ = monoMs;
  state_ = TPlanRunState::Paused;
  vessel_.Record(QStringLiteral("%1: план приостановлен").arg(Where()));
  Changed();
  return true;
}

bool TPlanRunner::Continue(std::int64_t monoMs) {
  if (state_ == TPlanRunState::Paused) {
    stepBeganMono_ += monoMs - pausedAtMono_;  // a pause does not count toward the step
    if (holdingSince_ >= 0) holdingSince_ += monoMs - pausedAtMono_;
    if (Current() != nullptr && Current()->Kind == TPlanStepKind::Ramp) rampLastMono_ = monoMs;
  } else if (state_ == TPlanRunState::Held) {
    Enter(monoMs, false);  // the condition is waited for again, with its whole limit
  } else {
    return false;
  }
  state_ = TPlanRunState::Running;
  vessel_.Record(QStringLiteral("%1: план продолжен").arg(Where()));
  Changed();
  Tick(monoMs);
  return true;
}

bool TPlanRunner::Skip(std::int64_t monoMs) {
  if (!Active() || Current() == nullptr) return false;
  vessel_.Record(QStringLiteral("%1: шаг пропущен").arg(Where()));
  // A paused or held plan stays paused at its new step (also the first of a
  // repeat's next round), and is written so once, never as running.
  if (state_ != TPlanRunState::Running) {
    state_ = TPlanRunState::Paused;
    pausedAtMono_ = monoMs;
  }
  Next(monoMs);
  return true;
}

bool TPlanRunner::Stop(const QString& why) {
  if (!Active()) return false;
  state_ = TPlanRunState::Stopped;
  vessel_.Record(QStringLiteral("план «%1» остановлен: %2").arg(plan_.Name, why));
  Changed();
  return true;
}

std::optional<bool> TPlanRunner::Act(const QString& action, std::int64_t monoMs,
                                     const QString& stopWhy) {
  const auto is = [&action](const char* word) {
    return action.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
  };
  if (is("pause")) return Pause(monoMs);
  if (is("resume")) return Continue(monoMs);
  if (is("skip")) return Skip(monoMs);
  if (is("stop")) return Stop(stopWhy);
  return std::nullopt;
}

TPlanStatus TPlanRunner::Status(std::int64_t monoMs) const {
  TPlanStatus st;
  st.State = state_;
  st.StepCount = stepCount_;
  const TPlanStep* s = Current();
  if (s == nullptr) return st;
  st.StepNumber = StepNumber();
  st.StepName = s->Name;
  st.StepText = s->Describe();
  const std::int64_t age = StepAge(monoMs);
  switch (s->Kind) {
    case TPlanStepKind::Wait:
    case TPlanStepKind::Ramp:
      st.RemainingMs = std::max<std::int64_t>(0, s->DurationMs - age);
      break;
    case TPlanStepKind::WaitUntil:
      if (s->LimitMs > 0) st.RemainingMs = std::max<std::int64_t>(0, s->LimitMs - age);
      break;
    case TPlanStepKind::WaitElapsed:
      st.RemainingMs = std::max<std::int64_t>(
          0, s->DurationMs - static_cast<std::int64_t>(vessel_.ElapsedSeconds() * 1000));
      break;
    default:
      break;
  }
  if (frames_.size() > 1) {
    st.Iteration = frames_.back().Iteration;
    const TFrame& parent = frames_[frames_.size() - 2];
    st.Times = (*parent.Steps)[static_cast<size_t>(parent.Index)].Times;
  }
  // The next step as the file orders it: the following one in this block,
  // else the block's first again or what follows the block.
  for (size_t level = frames_.size(); level-- > 0;) {
    const TFrame& f = frames_[level];
    if (f.Index + 1 < static_cast<int>(f.Steps->size())) {
      const TPlanStep* next = &(*f.Steps)[static_cast<size_t>(f.Index + 1)];
      while (next->Kind == TPlanStepKind::Repeat) next = &next->Body.front();
      st.NextText = next->Name.isEmpty() ? next->Describe() : next->Name;
      break;
    }
  }
  for (int ch = 1; ch <= 4; ++ch) {
    if (planSet_[static_cast<size_t>(ch)] &&
        !SameSetpoint(vessel_.Setpoint(ch), planSetpoint_[static_cast<size_t>(ch)])) {
      st.Overridden.push_back(ch);
    }
  }
  return st;
}

TPlanSnapshot TPlanRunner::Snapshot(std::int64_t monoMs, std::int64_t utcMs) const {
  TPlanSnapshot snap;
  snap.File = plan_.FileName;
  snap.Hash = plan_.Hash;
  snap.PlanName = plan_.Name;
  for (const TFrame& f : frames_) snap.Path.emplace_back(f.Index, f.Iteration);
  snap.State = state_;
  snap.StepBeganUtcMs = utcMs - (monoMs - stepBeganMono_);
  if (state_ == TPlanRunState::Paused || state_ == TPlanRunState::Held)
    snap.PausedElapsedMs = StepAge(monoMs);
  snap.AliveUtcMs = utcMs;
  snap.RampFrom = rampFrom_;
  return snap;
}

bool TPlanRunner::Resume(const TPlanSnapshot& saved, std::int64_t monoMs, std::int64_t utcMs) {
  if (saved.Hash != plan_.Hash || saved.Path.empty()) return false;
  std::vector<TFrame> frames;
  const std::vector<TPlanStep>* steps = &plan_.Steps;
  for (size_t level = 0; level < saved.Path.size(); ++level) {
    const auto [index, iteration] = saved.Path[level];
    if (index < 0 || index >= static_cast<int>(steps->size()) || iteration < 1) return false;
    frames.push_back({steps, index, iteration});
    const TPlanStep& s = (*steps)[static_cast<size_t>(index)];
    if (level + 1 < saved.Path.size()) {
      if (s.Kind != TPlanStepKind::Repeat) return false;
      steps = &s.Body;
    } else if (s.Kind == TPlanStepKind::Repeat) {
      return false;
    }
  }
  frames_ = std::move(frames);
  state_ = saved.State;
  if (!Active()) return false;
  planSet_.fill(false);
  holdingSince_ = -1;  // a condition must be seen holding again after a restart
  rampFrom_ = saved.RampFrom;
  const TPlanStep* s = Current();
  if (state_ == TPlanRunState::Running) {
    stepBeganMono_ = monoMs - std::max<std::int64_t>(0, utcMs - saved.StepBeganUtcMs);
  } else {
    pausedAtMono_ = monoMs;
    stepBeganMono_ = monoMs - std::max<std::int64_t>(0, saved.PausedElapsedMs);
  }
  if (s->Kind == TPlanStepKind::Ramp) {
    rampLast_ = vessel_.Setpoint(s->Channel);  // what the vessel kept is ours
    rampLastMono_ = monoMs - kRampEveryMs;     // catch up with the clock at once
    rampOverridden_ = false;
  }
  const std::int64_t gap = std::max<std::int64_t>(0, utcMs - saved.AliveUtcMs);
  vessel_.Record(QStringLiteral("%1: план продолжен после перерыва %2 (%3, шаг идёт %4)")
                     .arg(Where(), PlanDurationText(gap), PlanRunStateName(state_),
                          PlanDurationText(StepAge(monoMs))));
  Changed();
  Tick(monoMs);
  return true;
}

}  // namespace vorta
