#pragma once
// Carrying out a run plan on one vessel, a step at a time, from the 2-s
// cycle. The runner knows the vessel only through IPlanVessel: what it reads
// (readings, setpoints, the fermentation's elapsed time) and the one door
// every change goes through. Durations run on the monotonic clock; the wall
// clock is used only to carry a step's age across a restart (TPlanSnapshot).

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "plans/PlanModel.h"

namespace vorta {

// What a change did, or why it was refused, as the command layer says it.
struct TPlanApplied {
  bool Ok = false;
  QString Text;
};

class IPlanVessel {
 public:
  virtual ~IPlanVessel() = default;
  // The channel's converted value of the last cycle, 0 when invalid.
  [[nodiscard]] virtual double Reading(int channel) const = 0;
  [[nodiscard]] virtual double Setpoint(int channel) const = 0;
  // The fermentation's elapsed time, seconds.
  [[nodiscard]] virtual double ElapsedSeconds() const = 0;
  // Carries out an action step; `value` is the setpoint for Setpoint and Ramp.
  // `where` names the plan and step for the journal.
  virtual TPlanApplied Apply(const TPlanStep& step, double value, const QString& where) = 0;
  // Raises an operator alarm through the alarm list.
  virtual void RaiseAlarm(const QString& text, const QString& where) = 0;
  // A journal line of the plan itself (step begun, resumed, stopped).
  virtual void Record(const QString& text) = 0;
};

enum class TPlanRunState { Running, Paused, Held, Finished, Stopped };
QString PlanRunStateName(TPlanRunState state);  // "running", "paused", …

// What is kept on disk at every step change, and what a restart resumes from.
struct TPlanSnapshot {
  QString File;
  QByteArray Hash;
  QString PlanName;
  // One entry per nesting level: the step's index and the repeat's iteration (1-based).
  std::vector<std::pair<int, int>> Path;
  TPlanRunState State = TPlanRunState::Running;
  std::int64_t StepBeganUtcMs = 0;    // pauses moved out of it
  std::int64_t PausedElapsedMs = -1;  // while paused or held: the step's age then
  std::int64_t AliveUtcMs = 0;        // the last time the running program saved it
  double RampFrom = 0;                // the setpoint a ramp started from
};

struct TPlanStatus {
  TPlanRunState State = TPlanRunState::Running;
  int StepNumber = 0;  // 1-based, "step 4 of 9"
  int StepCount = 0;
  QString StepName;
  QString StepText;
  QString NextText;               // empty at the last step
  std::int64_t RemainingMs = -1;  // -1: not known (a condition without limit)
  int Iteration = 0;              // of the innermost repeat, 0 outside one
  int Times = 0;
  std::vector<int> Overridden;  // channels whose setpoint the operator changed from the plan's
};

class TPlanRunner {
 public:
  TPlanRunner(TPlan plan, IPlanVessel& vessel);

  // Begins at the first step.
  void Start(std::int64_t monoMs);
  // Resumes from a snapshot taken by an earlier run of the program: the time
  // since the step began (the down time included) counts. False when the
  // snapshot does not fit this plan.
  bool Resume(const TPlanSnapshot& saved, std::int64_t monoMs, std::int64_t utcMs);

  // One 2-s cycle.
  void Tick(std::int64_t monoMs);

  bool Pause(std::int64_t monoMs);
  bool Continue(std::int64_t monoMs);  // after a pause or an alarm's hold
  bool Skip(std::int64_t monoMs);      // to the next step
  bool Stop(const QString& why);       // false: it had ended already
  // An operator's action by its word (pause, resume, skip or stop, in any
  // case): whether the plan's state allowed it; nullopt for no such word.
  std::optional<bool> Act(const QString& action, std::int64_t monoMs, const QString& stopWhy);

  [[nodiscard]] TPlanRunState State() const { return state_; }
  [[nodiscard]] bool Active() const {
    return state_ == TPlanRunState::Running || state_ == TPlanRunState::Paused ||
           state_ == TPlanRunState::Held;
  }
  [[nodiscard]] const TPlan& Plan() const { return plan_; }
  [[nodiscard]] TPlanStatus Status(std::int64_t monoMs) const;
  [[nodiscard]] TPlanSnapshot Snapshot(std::int64_t monoMs, std::int64_t utcMs) const;
  [[nodiscard]] const TPlanStep* Current() const;

  // Told after every step change and every change of state, so that the host
  // writes the snapshot before anything else happens.
  std::function<void()> OnChanged;

 private:
  struct TFrame {
    const std::vector<TPlanStep>* Steps;
    int Index;
    int Iteration;
  };

  bool Progress(const TPlanStep& s, std::int64_t monoMs);
  void Enter(std::int64_t monoMs, bool fresh);
  bool Next(std::int64_t monoMs);
  bool Settle(std::int64_t monoMs);
  [[nodiscard]] std::int64_t StepAge(std::int64_t monoMs) const;
  [[nodiscard]] int StepNumber() const;
  [[nodiscard]] QString Where() const;
  void ApplyRamp(const TPlanStep& s, double value, std::int64_t monoMs);
  void Changed();

  TPlan plan_;
  IPlanVessel& vessel_;
  TPlanRunState state_ = TPlanRunState::Stopped;
  std::vector<TFrame> frames_;
  std::int64_t stepBeganMono_ = 0;
  std::int64_t pausedAtMono_ = 0;
  std::int64_t holdingSince_ = -1;
  double rampFrom_ = 0;
  double rampLast_ = 0;
  std::int64_t rampLastMono_ = 0;
  bool rampOverridden_ = false;
  int stepCount_ = 0;
  // The setpoint the plan last gave each channel (NaN: none), for the override.
  std::array<double, 5> planSetpoint_{};
  std::array<bool, 5> planSet_{};
};

}  // namespace vorta
