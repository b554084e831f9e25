#pragma once
// The program's alarms: raised and cleared once per episode (by the checks of
// process/AlarmChecks.h), acknowledged by the operator, each change a journal
// record. The list keeps every active alarm and the most recent cleared ones.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace vorta {

class TJournal;
class TTimerService;

enum class TAlarmKind {
  LinkLost,
  ReadingInvalid,
  OutsideLimits,
  Foam,
  WriteFailed,
  DoseNoEffect,
  StirrerStill,
  Plan  // raised by a run plan's step or its condition running out
};
enum class TAlarmEvent { Raised, Cleared, Acknowledged };

struct TAlarm {
  std::int64_t Id = 0;
  double Raised = 0;        // system date-time
  double Cleared = 0;       // 0 while active; when the condition ended
  std::int32_t Vessel = 0;  // NumProcess; 0 for the program as a whole
  QString VesselName;       // the panel caption; empty for the program
  TAlarmKind Kind = TAlarmKind::LinkLost;
  QString Source;     // what it is about: a device, a channel number, a file
  QString Text;       // for the operator, Russian: the journal, the command and MQTT carry it
  QString ShownText;  // the same in the operator's language; empty: Text
  QString AckBy;      // empty until acknowledged
  double AckTime = 0;
  // The instants (ms since 1970 UTC) of Raised, Cleared and AckTime: what the
  // stamps with an offset are written from, since a local date-time in the
  // hour autumn repeats does not tell which of the two it was.
  std::int64_t RaisedUtc = 0, ClearedUtc = 0, AckUtc = 0;
  // While the condition is absent but the hold time has not passed: since when
  // (the date-time it is cleared with), and the monotonic clock's ms then,
  // which the hold time is counted on.
  double AbsentSince = 0;
  std::int64_t AbsentSinceMs = 0, AbsentSinceUtc = 0;
  [[nodiscard]] bool Active() const { return Cleared == 0; }
  [[nodiscard]] const QString& Shown() const { return ShownText.isEmpty() ? Text : ShownText; }
};

// Stable key of a kind for the alarm command and scripts.
QString AlarmKindKey(TAlarmKind kind);
QString AlarmEventKey(TAlarmEvent event);
// "2026-12-07 09:30:00 Ферментёр 1: тревога: Пена" — the headless line.
QString AlarmLine(const TAlarm& alarm, TAlarmEvent event);
// The arguments the alarm command gets, in this order: event, local time
// (ISO 8601), vessel number, vessel name, kind, source, text, acknowledged by.
QStringList AlarmArguments(const TAlarm& alarm, TAlarmEvent event);
// When the event happened: each kind of event has its own time stamp.
double EventTime(const TAlarm& alarm, TAlarmEvent event);
// The same as local time with the offset in force then ("…T02:30:00+02:00").
QString EventStamp(const TAlarm& alarm, TAlarmEvent event);

class TAlarms {
 public:
  using THook = std::function<void(const TAlarm& alarm, TAlarmEvent event)>;

  // time: the clock of each change. journal: where the journal pointer is
  // kept, read at each change, since the journal opens after the list is
  // made and may be none.
  TAlarms(TTimerService& time, TJournal* const& journal);

  // Raises the alarm of this key unless it is active; clears it when active
  // and its condition has been absent for ClearHold. A condition back within
  // the hold time is the same episode. Both return whether anything changed.
  // `shown`: the text in the operator's language when it differs from `text`.
  bool Raise(std::int32_t vessel, const QString& vesselName, TAlarmKind kind, const QString& source,
             const QString& text, const QString& shown = QString());
  bool Clear(std::int32_t vessel, TAlarmKind kind, const QString& source);

  // False when there is no such alarm or it was already acknowledged.
  bool Acknowledge(std::int64_t id, const QString& user);
  // The number acknowledged.
  int AcknowledgeAll(const QString& user);

  // Oldest first.
  [[nodiscard]] const std::deque<TAlarm>& List() const { return list_; }
  [[nodiscard]] int ActiveCount() const;
  [[nodiscard]] const TAlarm* Find(std::int32_t vessel, TAlarmKind kind,
                                   const QString& source) const;

  // Called after each change, after its journal record.
  void Subscribe(THook hook) { hooks_.push_back(std::move(hook)); }
  // Called after an acknowledgement and its hooks: the panels show an
  // acknowledged alarm in another colour at once.
  std::function<void()> OnAcknowledged;

  // Where the changes are recorded (none while the journal is not open).
  [[nodiscard]] TJournal* Journal() const { return journal_; }

  // Counts every change: a window redraws only when it moved.
  [[nodiscard]] std::uint64_t Revision() const { return revision_; }

  // "[Alarms] ClearHold" of Vorta.ini: s a condition must stay absent before
  // its alarm is cleared, so that a flapping condition is one episode.
  std::int32_t ClearHold = 60;
  // How many cleared alarms stay listed.
  std::size_t RecentLimit = 200;
  // The alarm window while it exists (not owned): one for the program.
  QPointer<QObject> Window;

 private:
  void Notify(const TAlarm& alarm, TAlarmEvent event);
  void Trim();
  TAlarm* FindActive(std::int32_t vessel, TAlarmKind kind, const QString& source);

  TTimerService& time_;
  TJournal* const& journal_;
  std::deque<TAlarm> list_;  // in raising order, so by Id
  // The active ones, looked up for every check of every vessel every 2 s,
  // while the list keeps up to RecentLimit cleared ones besides.
  struct TActiveKey {
    std::int32_t Vessel;
    TAlarmKind Kind;
    QString Source;
    std::int64_t Id;
  };
  std::vector<TActiveKey> active_;
  std::vector<THook> hooks_;
  std::int64_t nextId_ = 1;
  std::uint64_t revision_ = 0;
};

// Without windows: each alarm change is one line on standard error.
void PrintAlarmsToStderr(TAlarms& alarms);

}  // namespace vorta
