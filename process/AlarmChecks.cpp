#include "process/AlarmChecks.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "devices/CANDevice.h"
#include "devices/CANMixer.h"
#include "devices/IoModule.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/TimerService.h"
#include "process/MixerControl.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

constexpr std::int32_t kClRed = 0x0000FF;
constexpr std::int32_t kClOrange = 0x0080FF;

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

// Whether a condition has held for `seconds`; keeps since when in `since`.
bool HeldFor(TSince& since, bool holds, std::int64_t nowMs, std::int32_t seconds) {
  if (!holds) {
    since.reset();
    return false;
  }
  if (!since) since = nowMs;
  return nowMs - *since >= std::int64_t{seconds} * 1000;
}

// The checks' source keys of channels 1..4, made once.
const QString& ChannelSource(std::size_t ch) {
  static const std::array<QString, 5> sources{QString(), QStringLiteral("1"), QStringLiteral("2"),
                                              QStringLiteral("3"), QStringLiteral("4")};
  return sources[ch];
}

bool SameVessel(const TAlarm& a, const TVortaProcess& p) {
  return a.Vessel == 0 || (a.Vessel == p.Config.NumProcess && a.VesselName == p.Caption());
}

}  // namespace

TAlarmChecks::TAlarmChecks(TVortaEnv& env, TAlarms& alarms) : env_(env), alarms_(alarms) {
  alarms_.OnAcknowledged = [this] { RefreshPanels(); };
}

TAlarmChecks::~TAlarmChecks() {
  alarms_.OnAcknowledged = nullptr;
}

template <typename Args>
void TAlarmChecks::Set(bool on, const TVortaProcess* p, TAlarmKind kind, const QString& source,
                       const char* text, const Args& args) {
  const std::int32_t vessel = p != nullptr ? p->Config.NumProcess : 0;
  if (!on) {
    alarms_.Clear(vessel, kind, source);
    return;
  }
  // Worded (arguments formatted, text translated) only for a new alarm:
  // every check runs every 2 s and almost never raises.
  TAlarmTexts t;
  QString vesselName;  // formatted from its pattern: only for a new alarm too
  if (alarms_.Find(vessel, kind, source) == nullptr) {
    t = Texts(text, args());
    if (p != nullptr) vesselName = p->Caption();
  }
  alarms_.Raise(vessel, vesselName, kind, source, t.Written, t.Shown);
}

void TAlarmChecks::Set(bool on, const TVortaProcess* p, TAlarmKind kind, const QString& source,
                       const char* text) {
  Set(on, p, kind, source, text, [] { return QStringList(); });
}

void TAlarmChecks::Evaluate(const TVortaProcessList& processes) {
  if (!firstCheck_) firstCheck_ = env_.Time.MonotonicMs();
  for (const auto& p : processes) CheckVessel(*p);
  CheckFiles(env_.Program, processes);
  for (const auto& p : processes) ShowOnPanel(*p);
}

void TAlarmChecks::CheckVessel(TVortaProcess& p) {
  // Durations on the monotonic clock: a clock change is not an event.
  const std::int64_t now = env_.Time.MonotonicMs();
  const TAlarmSettings& s = p.AlarmSettings;
  TAlarmTrack& t = p.AlarmTrack;
  bool boardOK = p.Board != nullptr;
  for (TCANDevice* d : {static_cast<TCANDevice*>(p.Board), static_cast<TCANDevice*>(p.Mixer)}) {
    if (d == nullptr) continue;
    // A device never heard from gets its link timeout from the first check.
    const bool lost = !d->LinkOK() && (d->LastReceiveMs.has_value() ||
                                       now - *firstCheck_ >= std::int64_t{d->LinkTimeout} * 1000);
    if (lost && d == p.Board) boardOK = false;
    Set(lost, &p, TAlarmKind::LinkLost, d->Name,
        QT_TRANSLATE_NOOP("vorta::Alarms", "Нет связи: %1"),
        [d] { return QStringList{DeviceText(*d)}; });
  }

  const bool controlled = IsControlledMode(p.Mode);
  for (std::size_t ch = 1; ch <= 4; ++ch) {
    const QString& source = ChannelSource(ch);
    const QString& name = p.Config.AssignName[ch];
    // Without the module the readings are old, not wrong: its own alarm says so.
    if (boardOK) {
      const bool watched =
          p.Channel[ch].Config.CtrlEnable != 0 || (ch == 3 && p.Config.po2ctrlmotor != 0);
      const bool invalid = watched && p.Channel[ch].ReadingInvalid != 0;
      const bool raise = HeldFor(t.InvalidSince[ch], invalid, now, s.ReadingGrace);
      if (raise || !invalid) {
        Set(raise, &p, TAlarmKind::ReadingInvalid, source,
            QT_TRANSLATE_NOOP("vorta::Alarms", "Недостоверное измерение %1"),
            [&name] { return QStringList{name}; });
      }
    }

    const double v = p.Channel[ch].Value;
    const bool regulated =
        controlled && p.Channel[ch].Config.CtrlEnable != 0 &&
        p.Channel[ch].Config.CtrlModes[static_cast<std::size_t>(ModeIndex(p.Mode))] != 0;
    const bool outside = regulated && p.Channel[ch].ReadingInvalid == 0 &&
                         (v < p.Channel[ch].Config.CtrlLow || v > p.Channel[ch].Config.CtrlHigh);
    const bool raise = HeldFor(t.OutsideSince[ch], outside, now, s.LimitGrace);
    if (raise || !outside) {
      Set(raise, &p, TAlarmKind::OutsideLimits, source,
          QT_TRANSLATE_NOOP("vorta::Alarms", "%1 = %2 вне пределов %3…%4"), [&, v, ch] {
            const TChannelConfig& c = p.Channel[ch].Config;
            return QStringList{name, QString::number(v, 'f', 2), QString::number(c.CtrlLow, 'f', 2),
                               QString::number(c.CtrlHigh, 'f', 2)};
          });
    }
    CheckDosing(p, static_cast<int>(ch), now);
  }

  if (p.Mixer != nullptr) {
    Set(StirrerStandsStill(p, now), &p, TAlarmKind::StirrerStill, p.Mixer->Name,
        QT_TRANSLATE_NOOP("vorta::Alarms", "Миксер стоит: %1"),
        [&p] { return QStringList{DeviceText(*p.Mixer)}; });
  }
  Set(p.PanelState.FoamIndicator, &p, TAlarmKind::Foam, QStringLiteral("foam"),
      QT_TRANSLATE_NOOP("vorta::Alarms", "Пена"));
  Set(p.LogWriteFailed, &p, TAlarmKind::WriteFailed, p.ProtocolFileName,
      QT_TRANSLATE_NOOP("vorta::Alarms", "Не удалось записать протокол %1"),
      [&p] { return QStringList{QFileInfo(p.ProtocolFileName).fileName()}; });
}

void TAlarmChecks::CheckDosing(TVortaProcess& p, int channel, std::int64_t now) {
  const auto ch = static_cast<std::size_t>(channel);
  // Judged only in the cycle in which the regulator ran.
  if (p.Channel[ch].CtrlCounter != 0) return;
  TDoseRun& run = p.AlarmTrack.Dose[ch];
  const QString& source = ChannelSource(ch);
  const double v = p.Channel[ch].Value;
  const double deviation = std::abs(p.Channel[ch].Config.Setpoint - v);
  std::int32_t direction = 0;
  if (IsControlledMode(p.Mode)) {
    switch (p.Channel[ch].Status) {
      case TRegulationStatus::Normal:
        if (v > p.Channel[ch].Config.Setpoint && p.Channel[ch].Config.CtrlOutDown != 0)
          direction = -1;
        if (v < p.Channel[ch].Config.Setpoint && p.Channel[ch].Config.CtrlOutUp != 0) direction = 1;
        break;
      // Beyond the control limits, a spike or an invalid reading: no dose
      // this time, and no sign that the doses worked either.
      case TRegulationStatus::AboveHigh:
      case TRegulationStatus::BelowLow:
      case TRegulationStatus::Spike:
      case TRegulationStatus::InvalidReading:
      case TRegulationStatus::ModuleSilent:
        return;
      default:
        break;
    }
  }
  const TAlarmSettings& s = p.AlarmSettings;
  // A zone of 0 would count every rounding step as progress.
  const double zone = std::max(p.Channel[ch].Config.DeadZone, 1e-6);
  if (direction == 0 || deviation <= s.DoseDeadZones * zone || run.Direction != direction ||
      deviation <= run.Deviation - zone) {
    run = direction == 0 ? TDoseRun{} : TDoseRun{direction, now, deviation};
    Set(false, &p, TAlarmKind::DoseNoEffect, source, nullptr);
    return;
  }
  if (now - run.Since < std::int64_t{s.DoseWindow} * 60'000) return;
  const std::int16_t out =
      direction > 0 ? p.Channel[ch].Config.CtrlOutUp : p.Channel[ch].Config.CtrlOutDown;
  Set(true, &p, TAlarmKind::DoseNoEffect, source,
      QT_TRANSLATE_NOOP("vorta::Alarms", "Дозирование без эффекта: %1, %2"), [&p, ch, out] {
        const QString output = out >= 1 && out <= 12
                                   ? p.OutputChannels[static_cast<std::size_t>(out)].ChName
                                   : QString::number(out);
        return QStringList{p.Config.AssignName[ch], output.trimmed()};
      });
}

void TAlarmChecks::CheckFiles(const TProgramState& program, const TVortaProcessList& processes) {
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
  for (const TAlarm& a : alarms_.List()) {
    if (a.Active() && a.Kind == TAlarmKind::WriteFailed &&
        a.Source.endsWith(QLatin1String(".ini")) && !program.FailedWrites.contains(a.Source)) {
      written.emplace_back(a.Vessel, a.Source);
    }
  }
  for (const auto& [vessel, file] : written) alarms_.Clear(vessel, TAlarmKind::WriteFailed, file);
  for (const QString& file : program.FailedWrites) {
    Set(true, owner(file), TAlarmKind::WriteFailed, file,
        QT_TRANSLATE_NOOP("vorta::Alarms", "Не удалось записать файл %1"),
        [&file] { return QStringList{QFileInfo(file).fileName()}; });
  }
  if (env_.Journal != nullptr) {
    Set(env_.Journal->Failing(), nullptr, TAlarmKind::WriteFailed, env_.Journal->Path(),
        QT_TRANSLATE_NOOP("vorta::Alarms", "Не удалось записать журнал %1"),
        [this] { return QStringList{QFileInfo(env_.Journal->Path()).fileName()}; });
  }
}

void TAlarmChecks::RefreshPanels() {
  if (env_.Processes == nullptr) return;
  for (const auto& p : *env_.Processes) {
    ShowOnPanel(*p);
    if (p->Panel) p->Panel->PanelStateChanged();
  }
}

void TAlarmChecks::ShowOnPanel(TVortaProcess& p) const {
  TPanelState& s = p.PanelState;
  // The texts change only with the list: a raise, a clear or an acknowledgement.
  if (s.AlarmRevisionShown == alarms_.Revision()) return;
  s.AlarmRevisionShown = alarms_.Revision();
  const TAlarm* newest = nullptr;
  QStringList all;
  bool unacknowledged = false;
  for (const TAlarm& a : alarms_.List()) {
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
