#include "journal/Alarms.h"

#include <QDateTime>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "journal/Journal.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"

namespace vorta {

namespace {

TJournalKind JournalKind(TAlarmEvent event) {
  switch (event) {
    case TAlarmEvent::Raised:
      return TJournalKind::Alarm;
    case TAlarmEvent::Cleared:
      return TJournalKind::AlarmCleared;
    case TAlarmEvent::Acknowledged:
      break;
  }
  return TJournalKind::Acknowledged;
}

}  // namespace

double EventTime(const TAlarm& alarm, TAlarmEvent event) {
  switch (event) {
    case TAlarmEvent::Raised:
      break;
    case TAlarmEvent::Cleared:
      return alarm.Cleared;
    case TAlarmEvent::Acknowledged:
      return alarm.AckTime;
  }
  return alarm.Raised;
}

QString EventStamp(const TAlarm& alarm, TAlarmEvent event) {
  switch (event) {
    case TAlarmEvent::Raised:
      break;
    case TAlarmEvent::Cleared:
      return LocalTimeWithOffsetAt(alarm.ClearedUtc);
    case TAlarmEvent::Acknowledged:
      return LocalTimeWithOffsetAt(alarm.AckUtc);
  }
  return LocalTimeWithOffsetAt(alarm.RaisedUtc);
}

QString AlarmKindKey(TAlarmKind kind) {
  switch (kind) {
    case TAlarmKind::LinkLost:
      return QStringLiteral("link");
    case TAlarmKind::ReadingInvalid:
      return QStringLiteral("reading");
    case TAlarmKind::OutsideLimits:
      return QStringLiteral("limits");
    case TAlarmKind::Foam:
      return QStringLiteral("foam");
    case TAlarmKind::WriteFailed:
      return QStringLiteral("write");
    case TAlarmKind::DoseNoEffect:
      return QStringLiteral("dosing");
    case TAlarmKind::Plan:
      return QStringLiteral("plan");
    case TAlarmKind::StirrerStill:
      break;
  }
  return QStringLiteral("stirrer");
}

QString AlarmEventKey(TAlarmEvent event) {
  switch (event) {
    case TAlarmEvent::Raised:
      return QStringLiteral("raised");
    case TAlarmEvent::Cleared:
      return QStringLiteral("cleared");
    case TAlarmEvent::Acknowledged:
      break;
  }
  return QStringLiteral("acknowledged");
}

QString AlarmLine(const TAlarm& alarm, TAlarmEvent event) {
  QString what;
  switch (event) {
    case TAlarmEvent::Raised:
      what = QStringLiteral("тревога");
      break;
    case TAlarmEvent::Cleared:
      what = QStringLiteral("тревога снята");
      break;
    case TAlarmEvent::Acknowledged:
      what = QStringLiteral("тревога квитирована (%1)").arg(alarm.AckBy);
      break;
  }
  const QString vessel =
      alarm.VesselName.isEmpty() ? QStringLiteral("Программа") : alarm.VesselName;
  return QStringLiteral("%1 %2: %3: %4")
      .arg(FromSystemDateTime(EventTime(alarm, event))
               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
           vessel, what, alarm.Text);
}

QStringList AlarmArguments(const TAlarm& alarm, TAlarmEvent event) {
  // With its offset from UTC written out, as the journal and MQTT write it, so
  // that a receiver elsewhere reads the same instant.
  return {AlarmEventKey(event),
          EventStamp(alarm, event),
          QString::number(alarm.Vessel),
          alarm.VesselName,
          AlarmKindKey(alarm.Kind),
          alarm.Source,
          alarm.Text,
          alarm.AckBy};
}

TAlarms::TAlarms(TTimerService& time, TJournal* const& journal) : time_(time), journal_(journal) {}

void PrintAlarmsToStderr(TAlarms& alarms) {
  alarms.Subscribe([](const TAlarm& alarm, TAlarmEvent event) {
    std::fprintf(stderr, "%s\n", AlarmLine(alarm, event).toLocal8Bit().constData());
    std::fflush(stderr);
  });
}

const TAlarm* TAlarms::Find(std::int32_t vessel, TAlarmKind kind, const QString& source) const {
  for (const TActiveKey& k : active_) {
    if (k.Vessel != vessel || k.Kind != kind || k.Source != source) continue;
    const auto it = std::lower_bound(list_.begin(), list_.end(), k.Id,
                                     [](const TAlarm& a, std::int64_t id) { return a.Id < id; });
    return it != list_.end() && it->Id == k.Id ? &*it : nullptr;
  }
  return nullptr;
}

TAlarm* TAlarms::FindActive(std::int32_t vessel, TAlarmKind kind, const QString& source) {
  return const_cast<TAlarm*>(Find(vessel, kind, source));
}

int TAlarms::ActiveCount() const {
  return static_cast<int>(
      std::count_if(list_.begin(), list_.end(), [](const TAlarm& a) { return a.Active(); }));
}

bool TAlarms::Raise(std::int32_t vessel, const QString& vesselName, TAlarmKind kind,
                    const QString& source, const QString& text, const QString& shown) {
  if (TAlarm* active = FindActive(vessel, kind, source)) {
    active->AbsentSince = 0;
    return false;
  }
  TAlarm a;
  a.Id = nextId_++;
  a.Raised = time_.Now();
  a.RaisedUtc = time_.UtcMs();
  a.Vessel = vessel;
  a.VesselName = vesselName;
  a.Kind = kind;
  a.Source = source;
  a.Text = text;
  if (!shown.isEmpty() && shown != text) a.ShownText = shown;
  list_.push_back(a);
  active_.push_back({vessel, kind, source, a.Id});
  Notify(list_.back(), TAlarmEvent::Raised);
  Trim();
  return true;
}

bool TAlarms::Clear(std::int32_t vessel, TAlarmKind kind, const QString& source) {
  TAlarm* a = FindActive(vessel, kind, source);
  if (a == nullptr) return false;
  const std::int64_t nowMs = time_.MonotonicMs();
  if (a->AbsentSince == 0) {
    a->AbsentSince = time_.Now();
    a->AbsentSinceMs = nowMs;
    a->AbsentSinceUtc = time_.UtcMs();
  }
  if (nowMs - a->AbsentSinceMs < std::int64_t{ClearHold} * 1000) return false;
  a->Cleared = a->AbsentSince;
  a->ClearedUtc = a->AbsentSinceUtc;
  std::erase_if(active_, [id = a->Id](const TActiveKey& k) { return k.Id == id; });
  Notify(*a, TAlarmEvent::Cleared);
  // Erasing from the deque moves the others: nothing of it is handed out.
  Trim();
  return true;
}

bool TAlarms::Acknowledge(std::int64_t id, const QString& user) {
  for (TAlarm& a : list_) {
    if (a.Id != id) continue;
    if (!a.AckBy.isEmpty()) return false;
    a.AckBy = user;
    a.AckTime = time_.Now();
    a.AckUtc = time_.UtcMs();
    Notify(a, TAlarmEvent::Acknowledged);
    if (OnAcknowledged) OnAcknowledged();
    return true;
  }
  return false;
}

int TAlarms::AcknowledgeAll(const QString& user) {
  std::vector<std::int64_t> ids;
  for (const TAlarm& a : list_) {
    if (a.AckBy.isEmpty()) ids.push_back(a.Id);
  }
  int n = 0;
  for (const std::int64_t id : ids) n += Acknowledge(id, user) ? 1 : 0;
  return n;
}

void TAlarms::Notify(const TAlarm& alarm, TAlarmEvent event) {
  ++revision_;
  if (journal_ != nullptr) {
    TJournalEntry e;
    e.Vessel = alarm.Vessel;
    e.VesselName = alarm.VesselName;
    e.Kind = JournalKind(event);
    e.Subject = alarm.Text;
    if (event == TAlarmEvent::Acknowledged) e.NewValue = alarm.AckBy;
    e.Source = event == TAlarmEvent::Acknowledged ? TJournalSource::Dialog : TJournalSource::Engine;
    journal_->Record(e);
  }
  // A copy: a hook may raise or clear in turn and move the list.
  const TAlarm copy = alarm;
  for (const THook& hook : hooks_) hook(copy, event);
}

void TAlarms::Trim() {
  auto cleared = static_cast<std::size_t>(
      std::count_if(list_.begin(), list_.end(), [](const TAlarm& a) { return !a.Active(); }));
  for (auto it = list_.begin(); it != list_.end() && cleared > RecentLimit;) {
    if (it->Active()) {
      ++it;
    } else {
      it = list_.erase(it);
      --cleared;
    }
  }
}

}  // namespace vorta
