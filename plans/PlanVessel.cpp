#include "plans/PlanVessel.h"

#include "commands/Commands.h"
#include "commands/ControlParams.h"
#include "commands/ParamKeys.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

const char* const kModeKeys[] = {"uncontrolled", "batch", "chemostat", "turbidostat"};

std::optional<int> ModeOf(const TVortaProcess& p, const QString& text) {
  bool ok = false;
  const int number = text.toInt(&ok);
  if (ok) return number >= 0 && number <= 3 ? std::optional<int>(number) : std::nullopt;
  for (int m = 0; m < 4; ++m) {
    if (text.compare(QLatin1String(kModeKeys[m]), Qt::CaseInsensitive) == 0 ||
        text.compare(p.ModeName[static_cast<size_t>(m)], Qt::CaseInsensitive) == 0) {
      return m;
    }
  }
  return std::nullopt;
}

// The entry's fields with the plan's keys put in; `channel` names the entry.
std::optional<std::pair<int, TCtrlFields>> ParamFields(const TVortaProcess& p, const TPlanStep& s,
                                                       QString* why) {
  int entry = 0;
  for (const auto& [key, value] : s.Params) {
    if (key.compare(QLatin1String("channel"), Qt::CaseInsensitive) == 0)
      entry = PlanChannelOf(value);
  }
  if (entry == 0) {
    *why = QStringLiteral("params: нужен channel (pH, t, pO2, eH)");
    return std::nullopt;
  }
  // The others stay exactly as held: the dialog's rounding is not a change.
  TCtrlFields f = ExactCtrlFields(p, entry);
  for (const auto& [key, value] : s.Params) {
    if (key.compare(QLatin1String("channel"), Qt::CaseInsensitive) == 0) continue;
    const bool enable = key.compare(QLatin1String("enable"), Qt::CaseInsensitive) == 0;
    const TParamKey* k = FindParamKey(enable ? QStringLiteral("regulation") : key);
    if (k == nullptr || !k->PerChannel) {
      *why = QStringLiteral("params: неизвестный ключ «%1»; ключи: channel, enable, %2")
                 .arg(key, ChannelParamKeys().join(QStringLiteral(", ")));
      return std::nullopt;
    }
    if (const auto problem = SetParamValue(f, *k, value)) {
      *why = QStringLiteral("params: ") + *problem;
      return std::nullopt;
    }
  }
  return std::make_pair(entry, f);
}

QString Seconds(std::int64_t ms) {
  return QString::number(ms / 1000);
}

TPulseKind PulseOf(const TPlanStep& s) {
  return s.Generator == TPlanGenerator::Feed ? TPulseKind::Feed : TPulseKind::Medium;
}

QString SetpointText(double value) {
  return QString::number(value, 'f', 2);
}

// The layer's answer for one step, checked (`apply` false) or carried out.
TCommandResult Act(TVortaProcess* p, const TVortaProcess& cp, const TPlanStep& s, double value,
                   const TCaller* caller) {
  switch (s.Kind) {
    case TPlanStepKind::Setpoint:
    case TPlanStepKind::Ramp:
      return p ? SetSetpoint(*p, *caller, s.Channel, SetpointText(value))
               : CheckSetpoint(cp, s.Channel, SetpointText(value));
    case TPlanStepKind::Mode: {
      const auto mode = ModeOf(cp, s.Text);
      if (!mode) {
        return TCommandResult::Refused(
            QStringLiteral("неизвестный режим «%1»; режимы: uncontrolled, "
                           "batch, chemostat, turbidostat")
                .arg(s.Text));
      }
      return p ? SetMode(*p, *caller, *mode) : CheckMode(cp, *mode);
    }
    case TPlanStepKind::Params: {
      QString why;
      const auto fields = ParamFields(cp, s, &why);
      if (!fields) return TCommandResult::Refused(why);
      return p ? SetControlParams(*p, *caller, fields->first, fields->second)
               : CheckControlParams(cp, fields->first, fields->second);
    }
    case TPlanStepKind::Pulse: {
      const QString period =
          s.On ? Seconds(s.PeriodMs) : Seconds(s.PeriodMs > 0 ? s.PeriodMs : 2000);
      const QString on = s.On ? Seconds(s.OnMs) : QStringLiteral("0");
      return p ? SetPulse(*p, *caller, PulseOf(s), period, on)
               : CheckPulse(cp, PulseOf(s), period, on);
    }
    case TPlanStepKind::Stirrer:
      return p ? SetStirrerRpm(*p, *caller, s.Text) : CheckStirrerRpm(cp, s.Text);
    case TPlanStepKind::Light:
      if (!s.On) {
        return TCommandResult::Refused(
            QStringLiteral("light: off не бывает — свет гаснет сам по истечении своего времени"));
      }
      return p ? SwitchLight(*p, *caller) : CheckLight(cp);
    default:
      return TCommandResult::Ok(QString());
  }
}

void CheckSteps(const std::vector<TPlanStep>& steps, const TVortaProcess& p,
                std::vector<TPlanError>* errors) {
  for (const TPlanStep& s : steps) {
    if (s.Kind == TPlanStepKind::Repeat) {
      CheckSteps(s.Body, p, errors);
      continue;
    }
    const TCommandResult r = Act(nullptr, p, s, s.Value, nullptr);
    if (!r.Done) errors->push_back({s.ValueLine, s.ValueColumn, r.Text});
  }
}

}  // namespace

double TPlanVessel::Reading(int channel) const {
  return p_.Channel[static_cast<size_t>(channel)].Value;
}

double TPlanVessel::Setpoint(int channel) const {
  return p_.Channel[static_cast<size_t>(channel)].Config.Setpoint;
}

double TPlanVessel::ElapsedSeconds() const {
  return p_.Env.Program.EftRunning ? p_.Env.Program.EftSeconds : 0;
}

TPlanApplied TPlanVessel::Apply(const TPlanStep& step, double value, const QString& where) {
  if (step.Kind == TPlanStepKind::Note) {
    Record(QStringLiteral("%1: %2").arg(where, step.Text));
    return {true, step.Text};
  }
  const TCaller caller = TCaller::Plan(where);
  const TCommandResult r = Act(&p_, p_, step, value, &caller);
  return {r.Done, r.Text};
}

void TPlanVessel::RaiseAlarm(const QString& text, const QString& where) {
  if (p_.Env.Alarms != nullptr) {
    p_.Env.Alarms->Raise(p_.Config.NumProcess, p_.Caption(), TAlarmKind::Plan, where, text);
  } else {
    Record(QStringLiteral("%1: тревога: %2").arg(where, text));
  }
}

void TPlanVessel::Record(const QString& text) {
  if (p_.Env.Journal == nullptr) return;
  TJournalEntry e;
  e.Vessel = p_.Config.NumProcess;
  e.VesselName = p_.Caption();
  e.Kind = TJournalKind::Change;
  e.Subject = QStringLiteral("План");
  e.NewValue = text;
  e.Source = TJournalSource::Plan;
  p_.Env.Journal->Record(e);
}

std::vector<TPlanError> CheckPlan(const TPlan& plan, const TVortaProcess& p) {
  std::vector<TPlanError> errors;
  CheckSteps(plan.Steps, p, &errors);
  return errors;
}

}  // namespace vorta
