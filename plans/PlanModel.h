#pragma once
// A run plan as read from its file: the steps of one vessel's schedule, in
// order, each with the place in the file it came from so that every error can
// point at it. Nothing here knows the vessel; the checker and the runner do.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

namespace vorta {

// A comparison of one measured channel (1 pH, 2 t°C, 3 pO2, 4 eH) with a
// number. An invalid reading (0) never satisfies it.
struct TPlanCondition {
  enum class TOp { Less, LessOrEqual, Greater, GreaterOrEqual };
  int Channel = 0;
  TOp Op = TOp::Greater;
  double Value = 0;

  [[nodiscard]] bool HoldsFor(double reading) const;
  [[nodiscard]] QString Text() const;
};

enum class TPlanStepKind {
  Setpoint,     // a channel's setpoint at once
  Ramp,         // a channel's setpoint moved linearly over Duration
  Mode,         // the vessel mode
  Params,       // control parameters KEY=VALUE
  Pulse,        // a pulse generator's period and on-time
  Stirrer,      // the stirrer speed
  Light,        // the light on or off
  Note,         // a journal note
  Alarm,        // an operator alarm through the alarm list
  Wait,         // a duration
  WaitUntil,    // a condition holding for a time, with a time limit
  WaitElapsed,  // the fermentation's elapsed time reaching a value
  Repeat,       // a block N times or until a condition
};

// What a condition wait does when its time limit runs out.
enum class TPlanTimeout { GoOn, AlarmAndHold, Stop };

enum class TPlanGenerator { Feed = 1, Medium = 2 };  // the Epp and Med generators

struct TPlanStep {
  TPlanStepKind Kind = TPlanStepKind::Note;
  QString Name;  // the plan's own name for the step, may be empty
  int Line = 0;  // 1-based place of the step in the file
  int Column = 0;
  int ValueLine = 0;  // 1-based place of the value a checker refuses
  int ValueColumn = 0;

  int Channel = 0;              // Setpoint, Ramp: 1..4
  double Value = 0;             // Setpoint, Ramp (target), Stirrer (rpm)
  QString Text;                 // Mode name, Note, Alarm text; the value as written
  std::int64_t DurationMs = 0;  // Ramp, Wait; WaitElapsed: the elapsed time
  std::vector<std::pair<QString, QString>> Params;  // Params: KEY=VALUE as written
  TPlanGenerator Generator = TPlanGenerator::Feed;  // Pulse
  std::int64_t PeriodMs = 0, OnMs = 0;              // Pulse
  bool On = false;                                  // Light; Pulse: generator enabled

  TPlanCondition Condition;   // WaitUntil, Repeat (until)
  bool HasCondition = false;  // Repeat: an until condition was given
  std::int64_t HoldMs = 0;    // WaitUntil: how long the condition must hold
  std::int64_t LimitMs = 0;   // WaitUntil: time limit, 0 none
  TPlanTimeout OnTimeout = TPlanTimeout::GoOn;
  int Times = 0;                // Repeat: 0 until the condition only
  std::vector<TPlanStep> Body;  // Repeat

  [[nodiscard]] bool IsAction() const;
  // A short description for the journal and the windows ("ramp t°C to 37 over 2 h").
  [[nodiscard]] QString Describe() const;
};

struct TPlan {
  QString Name;      // from the file, or the file's base name
  QString FileName;  // as given
  QByteArray Hash;   // SHA-256 of the file's bytes, hex
  int Vessel = 0;    // the vessel the file names, 0 none
  std::vector<TPlanStep> Steps;
};

// "pH", "t°C", "pO2", "eH" for 1..4.
QString PlanChannelName(int channel);
// 1..4 for a channel's name in any letter case ("t" and "temperature" too), 0 otherwise.
int PlanChannelOf(const QString& name);
// "2 h 10 min", "45 s", "1 d 3 h".
QString PlanDurationText(std::int64_t ms);

// The number of plain steps (a repeat's steps counted once, the repeat itself
// not), which "step 4 of 9" counts.
int PlanStepCount(const std::vector<TPlanStep>& steps);

}  // namespace vorta
