#pragma once
// The alarm checks over the vessel records: the 2-s cycle's look at every
// vessel (links, readings, limits, dosing, stirrer, foam, failed writes),
// raising and clearing in the program's alarm list (journal/Alarms.h), and
// each panel's alarm text and colour.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace vorta {

struct TVortaEnv;
struct TProgramState;
class TAlarms;
class TVortaProcess;
class TVortaProcessList;
enum class TAlarmKind;

class TAlarmChecks {
 public:
  // env: the clock, the journal, the program's state and the vessel list
  // whose panels an acknowledgement repaints; alarms: the list the checks
  // raise and clear in. Both outlive the checks.
  TAlarmChecks(TVortaEnv& env, TAlarms& alarms);
  ~TAlarmChecks();
  TAlarmChecks(const TAlarmChecks&) = delete;
  TAlarmChecks& operator=(const TAlarmChecks&) = delete;

  // The 2-s cycle's check of every vessel; also updates each panel's alarm
  // text and colour.
  void Evaluate(const TVortaProcessList& processes);

 private:
  // Raises (on) or clears the alarm of the vessel (none: the program).
  // `text`: the source text, marked with QT_TRANSLATE_NOOP("vorta::Alarms", …);
  // `args` builds its arguments, called only when a new alarm is worded.
  // Recorded as it stands and shown in the operator's language.
  template <typename Args>
  void Set(bool on, const TVortaProcess* p, TAlarmKind kind, const QString& source,
           const char* text, const Args& args);
  void Set(bool on, const TVortaProcess* p, TAlarmKind kind, const QString& source,
           const char* text);
  void CheckVessel(TVortaProcess& p);
  void CheckDosing(TVortaProcess& p, int ch, std::int64_t now);
  void CheckFiles(const TProgramState& program, const TVortaProcessList& processes);
  // Puts the alarm state on every panel at once.
  void RefreshPanels();
  void ShowOnPanel(TVortaProcess& p) const;

  TVortaEnv& env_;
  TAlarms& alarms_;
  std::optional<std::int64_t> firstCheck_;  // monotonic ms
};

}  // namespace vorta
