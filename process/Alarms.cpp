#include "process/Alarms.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "devices/CANDevices.h"
#include "journal/Journal.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

constexpr double kSecondsPerDay = 86'400.0;
constexpr std::int32_t kClRed = 0x0000FF;
constexpr std::int32_t kClOrange = 0x0080FF;

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

QString DeviceText(const TCANDevice& d) {
  return d.Caption.isEmpty() ? d.Name : d.Caption;
}

// An alarm text as written (Russian) and as the operator reads it.
struct TAlarmTexts {
  QString Written, Shown;
};

TAlarmTexts Texts(const char* source, const QStringList& args = {}) {
  TAlarmTexts t{QString::fromUtf8(source), QCoreApplication::translate("vorta::Alarms", source)};
  for (const QString& a : args) {
    t.Written = t.Written.arg(a);
    t.Shown = t.Shown.arg(a);
  }
  return t;
}

bool SameVessel(const TAlarm& a, const TVortaProcess& p) {
  return a.Vessel == 0 || (a.Vessel == p.NumProcess && a.VesselName == p.Caption());
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
          LocalTimeWithOffset(EventTime(alarm, event)),
          QString::number(alarm.Vessel),
          alarm.VesselName,
          AlarmKindKey(alarm.Kind),
          alarm.Source,
          alarm.Text,
          alarm.AckBy};
}

TAlarms::TAlarms(TVortaEnv& env) : env_(env) {}

void PrintAlarmsToStderr(TAlarms& alarms) {
  alarms.Subscribe([](const TAlarm& alarm, TAlarmEvent event) {
    std::fprintf(stderr, "%s\n", AlarmLine(alarm, event).toLocal8Bit().constData());
    std::fflush(stderr);
  });
}

const TAlarm* TAlarms::Find(std::int32_t vessel, TAlarmKind kind, const QString& source) const {
  for (const TAlarm& a : list_) {
    if (a.Active() && a.Vessel == vessel && a.Kind == kind && a.Source == source) return &a;
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
  a.Raised = env_.Time.Now();
  a.Vessel = vessel;
  a.VesselName = vesselName;
  a.Kind = kind;
  a.Source = source;
  a.Text = text;
  if (shown != text) a.ShownText = shown;
  list_.push_back(a);
  Notify(list_.back(), TAlarmEvent::Raised);
  Trim();
  return true;
}

bool TAlarms::Clear(std::int32_t vessel, TAlarmKind kind, const QString& source) {
  TAlarm* a = FindActive(vessel, kind, source);
  if (a == nullptr) return false;
  const double now = env_.Time.Now();
  if (a->AbsentSince == 0) a->AbsentSince = now;
  if ((now - a->AbsentSince) * kSecondsPerDay < ClearHold) return false;
  a->Cleared = a->AbsentSince;
  Notify(*a, TAlarmEvent::Cleared);
  // Erasing from the deque moves the others: nothing of it is handed out.
  Trim();
  return true;
}

void TAlarms::Set(bool on, const TVortaProcess* p, TAlarmKind kind, const QString& source,
                  const QString& text, const QString& shown) {
  const std::int32_t vessel = p != nullptr ? p->NumProcess : 0;
  if (on) {
    Raise(vessel, p != nullptr ? p->Caption() : QString(), kind, source, text, shown);
  } else {
    Clear(vessel, kind, source);
  }
}

bool TAlarms::Acknowledge(std::int64_t id, const QString& user) {
  for (TAlarm& a : list_) {
    if (a.Id != id) continue;
    if (!a.AckBy.isEmpty()) return false;
    a.AckBy = user;
    a.AckTime = env_.Time.Now();
    Notify(a, TAlarmEvent::Acknowledged);
    // The panels show an acknowledged alarm in another colour at once.
    RefreshPanels();
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
  if (env_.Journal != nullptr) {
    TJournalEntry e;
    e.Vessel = alarm.Vessel;
    e.VesselName = alarm.VesselName;
    e.Kind = JournalKind(event);
    e.Subject = alarm.Text;
    if (event == TAlarmEvent::Acknowledged) e.NewValue = alarm.AckBy;
    e.Source = event == TAlarmEvent::Acknowledged ? TJournalSource::Dialog : TJournalSource::Engine;
    env_.Journal->Record(e);
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

void TAlarms::Evaluate(const TVortaProcessList& processes) {
  if (firstCheck_ == 0) firstCheck_ = env_.Time.Now();
  for (const auto& p : processes) CheckVessel(*p);
  CheckFiles(env_.Program, processes);
  for (const auto& p : processes) ShowOnPanel(*p);
}

void TAlarms::CheckVessel(TVortaProcess& p) {
  const double now = env_.Time.Now();
  const TAlarmSettings& s = p.AlarmSettings;
  TAlarmTrack& t = p.AlarmTrack;
  bool boardOK = p.Board != nullptr;
  for (TCANDevice* d : {static_cast<TCANDevice*>(p.Board), static_cast<TCANDevice*>(p.Mixer)}) {
    if (d == nullptr) continue;
    // A device never heard from gets its link timeout from the first check.
    const bool lost = !d->LinkOK() &&
                      (d->LastReceive != 0 ||
                       (now - firstCheck_) * kSecondsPerDay >= static_cast<double>(d->LinkTimeout));
    if (lost && d == p.Board) boardOK = false;
    const TAlarmTexts t =
        Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Нет связи: %1"), {DeviceText(*d)});
    Set(lost, &p, TAlarmKind::LinkLost, d->Name, t.Written, t.Shown);
  }

  const bool controlled = IsControlledMode(p.Mode);
  for (std::size_t ch = 1; ch <= 4; ++ch) {
    const QString source = QString::number(ch);
    const QString& name = p.AssignName[ch];
    // Without the module the readings are old, not wrong: its own alarm says so.
    if (boardOK) {
      const bool watched = p.CtrlEnable[ch] != 0 || (ch == 3 && p.po2ctrlmotor != 0);
      const bool invalid = watched && p.ReadingInvalid[ch] != 0;
      if (!invalid) t.InvalidSince[ch] = 0;
      if (invalid && t.InvalidSince[ch] == 0) t.InvalidSince[ch] = now;
      const bool raise = invalid && (now - t.InvalidSince[ch]) * kSecondsPerDay >= s.ReadingGrace;
      if (raise || !invalid) {
        const TAlarmTexts t =
            Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Недостоверное измерение %1"), {name});
        Set(raise, &p, TAlarmKind::ReadingInvalid, source, t.Written, t.Shown);
      }
    }

    const double v = p.CurrentValue[ch];
    const bool regulated = controlled && p.CtrlEnable[ch] != 0 &&
                           p.CtrlModes[ch][static_cast<std::size_t>(ModeIndex(p.Mode))] != 0;
    const bool outside =
        regulated && p.ReadingInvalid[ch] == 0 && (v < p.CtrlLow[ch] || v > p.CtrlHigh[ch]);
    if (!outside) t.OutsideSince[ch] = 0;
    if (outside && t.OutsideSince[ch] == 0) t.OutsideSince[ch] = now;
    const bool raise = outside && (now - t.OutsideSince[ch]) * kSecondsPerDay >= s.LimitGrace;
    if (raise || !outside) {
      const TAlarmTexts t =
          Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "%1 = %2 вне пределов %3…%4"),
                {name, QString::number(v, 'f', 2), QString::number(p.CtrlLow[ch], 'f', 2),
                 QString::number(p.CtrlHigh[ch], 'f', 2)});
      Set(raise, &p, TAlarmKind::OutsideLimits, source, t.Written, t.Shown);
    }
    CheckDosing(p, static_cast<int>(ch), now);
  }

  if (p.Mixer != nullptr) {
    const TAlarmTexts t =
        Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Миксер стоит: %1"), {DeviceText(*p.Mixer)});
    Set(StirrerStandsStill(p, now), &p, TAlarmKind::StirrerStill, p.Mixer->Name, t.Written,
        t.Shown);
  }
  const TAlarmTexts foam = Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Пена"));
  Set(p.PanelState.FoamIndicator, &p, TAlarmKind::Foam, QStringLiteral("foam"), foam.Written,
      foam.Shown);
  const TAlarmTexts log =
      Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Не удалось записать протокол %1"),
            {QFileInfo(p.ProtocolFileName).fileName()});
  Set(p.LogWriteFailed, &p, TAlarmKind::WriteFailed, p.ProtocolFileName, log.Written, log.Shown);
}

void TAlarms::CheckDosing(TVortaProcess& p, int channel, double now) {
  const auto ch = static_cast<std::size_t>(channel);
  // Judged only in the cycle in which the regulator ran.
  if (p.CtrlCounter[ch] != 0) return;
  TDoseRun& run = p.AlarmTrack.Dose[ch];
  const QString source = QString::number(ch);
  const double v = p.CurrentValue[ch];
  const double deviation = std::abs(p.Setpoint[ch] - v);
  std::int32_t direction = 0;
  if (IsControlledMode(p.Mode)) {
    switch (p.CtrlStatus[ch]) {
      case 0:
        if (v > p.Setpoint[ch] && p.CtrlOutDown[ch] != 0) direction = -1;
        if (v < p.Setpoint[ch] && p.CtrlOutUp[ch] != 0) direction = 1;
        break;
      case 4:  // beyond the control limits, a spike or an invalid reading: no
      case 5:  // dose this time, and no sign that the doses worked either
      case 7:
      case kStatusInvalidReading:
        return;
      default:
        break;
    }
  }
  const TAlarmSettings& s = p.AlarmSettings;
  // A zone of 0 would count every rounding step as progress.
  const double zone = std::max(p.DeadZone[ch], 1e-6);
  if (direction == 0 || deviation <= s.DoseDeadZones * zone || run.Direction != direction ||
      deviation <= run.Deviation - zone) {
    run = direction == 0 ? TDoseRun{} : TDoseRun{direction, now, deviation};
    Set(false, &p, TAlarmKind::DoseNoEffect, source, {});
    return;
  }
  if ((now - run.Since) * 1440.0 < s.DoseWindow) return;
  const std::int16_t out = direction > 0 ? p.CtrlOutUp[ch] : p.CtrlOutDown[ch];
  const QString output = out >= 1 && out <= 12 ? p.Channels[static_cast<std::size_t>(out)].ChName
                                               : QString::number(out);
  const TAlarmTexts t = Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Дозирование без эффекта: %1, %2"),
                              {p.AssignName[ch], output.trimmed()});
  Set(true, &p, TAlarmKind::DoseNoEffect, source, t.Written, t.Shown);
}

void TAlarms::CheckFiles(const TProgramState& program, const TVortaProcessList& processes) {
  // Configuration files whose write failed: each alarm belongs to its vessel
  // when it is a process file, otherwise to the program.
  auto owner = [&processes](const QString& file) -> const TVortaProcess* {
    for (const auto& p : processes) {
      if (p->IniFileName == file) return p.get();
    }
    return nullptr;
  };
  // Keys first: clearing trims the list under the loop.
  std::vector<std::pair<std::int32_t, QString>> written;
  for (const TAlarm& a : list_) {
    if (a.Active() && a.Kind == TAlarmKind::WriteFailed &&
        a.Source.endsWith(QLatin1String(".ini")) && !program.FailedWrites.contains(a.Source)) {
      written.emplace_back(a.Vessel, a.Source);
    }
  }
  for (const auto& [vessel, file] : written) Clear(vessel, TAlarmKind::WriteFailed, file);
  for (const QString& file : program.FailedWrites) {
    const TAlarmTexts t = Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Не удалось записать файл %1"),
                                {QFileInfo(file).fileName()});
    Set(true, owner(file), TAlarmKind::WriteFailed, file, t.Written, t.Shown);
  }
  if (env_.Journal != nullptr) {
    const TAlarmTexts t = Texts(QT_TRANSLATE_NOOP("vorta::Alarms", "Не удалось записать журнал %1"),
                                {QFileInfo(env_.Journal->Path()).fileName()});
    Set(env_.Journal->Failing(), nullptr, TAlarmKind::WriteFailed, env_.Journal->Path(), t.Written,
        t.Shown);
  }
}

void TAlarms::RefreshPanels() {
  if (env_.Processes == nullptr) return;
  for (const auto& p : *env_.Processes) {
    ShowOnPanel(*p);
    if (p->Panel) p->Panel->PanelStateChanged();
  }
}

void TAlarms::ShowOnPanel(TVortaProcess& p) const {
  TPanelState& s = p.PanelState;
  const TAlarm* newest = nullptr;
  QStringList all;
  bool unacknowledged = false;
  for (const TAlarm& a : list_) {
    if (!a.Active() || !SameVessel(a, p)) continue;
    newest = &a;
    all << a.Shown();
    unacknowledged = unacknowledged || a.AckBy.isEmpty();
  }
  if (newest == nullptr) {
    s.AlarmText.clear();
    s.AlarmDetails.clear();
    s.AlarmColor = -1;
    return;
  }
  s.AlarmText = QCoreApplication::translate("vorta::Alarms", "ТРЕВОГА: %1").arg(newest->Shown());
  if (all.size() > 1) s.AlarmText += QStringLiteral(" (+%1)").arg(all.size() - 1);
  s.AlarmDetails = all.join(u'\n');
  s.AlarmColor = unacknowledged ? kClRed : kClOrange;
}

}  // namespace vorta
