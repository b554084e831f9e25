#include "commands/Commands.h"

#include <QCoreApplication>
#include <limits>

#include "commands/Calibration.h"
#include "commands/DriveParams.h"
#include "commands/FillRun.h"
#include "commands/JournalChanges.h"
#include "commands/MixerWindowLogic.h"
#include "commands/PanelActions.h"
#include "commands/StatusClock.h"
#include "journal/Alarms.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("vorta::Commands", text);
}

// The records written while a change runs name its caller, whatever the
// engine function below would name.
class TCallerScope {
 public:
  TCallerScope(TJournal* journal, const TCaller& caller) : journal_(journal) {
    if (journal_ != nullptr)
      journal_->SetActor(TJournal::TActor{CallerUser(caller), caller.Source});
  }
  ~TCallerScope() {
    if (journal_ != nullptr) journal_->SetActor(std::nullopt);
  }
  TCallerScope(const TCallerScope&) = delete;
  TCallerScope& operator=(const TCallerScope&) = delete;

 private:
  TJournal* journal_;
};

const char* const kChannelNames[] = {"", "pH", "t°C", "pO2", "eH"};

QString ChannelText(int channel) {
  return QString::fromUtf8(kChannelNames[channel]);
}

QString SetKindName(TSetKind kind) {
  return kind == TSetKind::LinearAdjustment
             ? Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Линейная подстройка"))
             : Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Уставка"));
}

double TChannelConfig::*SetField(TSetKind kind) {
  return kind == TSetKind::LinearAdjustment ? &TChannelConfig::LinAdjust
                                            : &TChannelConfig::Setpoint;
}

// The value a setpoint text stands for, or why it cannot be taken.
TCommandResult ReadSetValue(const TVortaProcess& p, int channel, const QString& text, TSetKind kind,
                            double* value) {
  const QString field = QString::number(channel);
  if (channel < 1 || channel > 4) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Нет канала %1; каналы: 1..4")).arg(channel),
        field);
  }
  const std::optional<double> v = ReadDecimal(text);
  if (!v) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1 %2: «%3» — не число"))
            .arg(SetKindName(kind), ChannelText(channel), text),
        field);
  }
  const TChannelConfig& c = p.Channel[static_cast<size_t>(channel)].Config;
  // A linear adjustment is a correction with no range of its own.
  if (kind == TSetKind::Setpoint && c.MinValue < c.MaxValue &&
      (*v < c.MinValue || *v > c.MaxValue)) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands",
                             "Уставка %1 %2 вне пределов измерения канала: %3..%4"))
            .arg(ChannelText(channel), FormatFixed(*v, 2), FormatFixed(c.MinValue, 2),
                 FormatFixed(c.MaxValue, 2)),
        field);
  }
  *value = *v;
  return TCommandResult::Ok(QString());
}

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Seconds of a pulse generator: whole, 0..max; an odd second is halved
// away with the tick it does not fill.
TCommandResult ReadPulseSeconds(const QString& text, const QString& field, const QString& what,
                                std::int64_t* seconds) {
  const std::optional<std::int64_t> v = TryParseInt(text);
  if (!v || *v < 0 || *v > kInt32Max) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: «%2» — не целое число секунд от 0"))
            .arg(what, text),
        field);
  }
  *seconds = *v;
  return TCommandResult::Ok(QString());
}

QString PulseName(TPulseKind kind) {
  return kind == TPulseKind::Feed ? Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Подпитка"))
                                  : Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Среда"));
}

TCommandResult ReadPulse(TPulseKind kind, const QString& periodText, const QString& onText,
                         std::int64_t* period, std::int64_t* on) {
  const QString name = PulseName(kind);
  if (auto r =
          ReadPulseSeconds(periodText, QStringLiteral("period"),
                           name + Tr(QT_TRANSLATE_NOOP("vorta::Commands", ", период")), period);
      !r) {
    return r;
  }
  if (auto r = ReadPulseSeconds(onText, QStringLiteral("on"),
                                name + Tr(QT_TRANSLATE_NOOP("vorta::Commands", ", работа")), on);
      !r) {
    return r;
  }
  if (*on / 2 > *period / 2) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: работа %2 с дольше периода %3 с"))
            .arg(name)
            .arg(*on)
            .arg(*period),
        QStringLiteral("on"));
  }
  return TCommandResult::Ok(QString());
}

// The dialog's fields for the pulse generator's period and on-time.
struct TPulseFields {
  TCtrlText Period;
  TCtrlText Work;
};
TPulseFields PulseFields(TPulseKind kind) {
  return kind == TPulseKind::Feed ? TPulseFields{&TCtrlFields::EppPeriod, &TCtrlFields::EppWork}
                                  : TPulseFields{&TCtrlFields::MedPeriod, &TCtrlFields::MedWork};
}

TCommandResult NoMixer(const TVortaProcess& p) {
  return TCommandResult::Refused(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: миксер не задан")).arg(p.Caption()));
}

}  // namespace

QString CallerUser(const TCaller& caller) {
  return caller.User.isEmpty() ? OperatorName() : caller.User;
}

std::optional<double> ReadDecimal(const QString& text) {
  return TryParseConfigReal(text);
}

TCommandResult CheckMode(const TVortaProcess& p, int mode) {
  (void)p;
  if (mode < 0 || mode > 3) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Нет режима %1; режимы: 0..3")).arg(mode));
  }
  return TCommandResult::Ok(QString());
}

TCommandResult SetMode(TVortaProcess& p, const TCaller& caller, int mode) {
  if (auto r = CheckMode(p, mode); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  ChangeMode(p, mode, caller.Source);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: режим %2"))
                                .arg(p.Caption(), p.ModeName[static_cast<size_t>(mode)]));
}

TCommandResult CheckSetpoint(const TVortaProcess& p, int channel, const QString& text,
                             TSetKind kind) {
  double value = 0;
  return ReadSetValue(p, channel, text, kind, &value);
}

TCommandResult SetSetpoint(TVortaProcess& p, const TCaller& caller, int channel,
                           const QString& text, TSetKind kind) {
  if (channel < 1 || channel > 4) return CheckSetpoint(p, channel, text, kind);
  double value = 0;
  if (auto r = ReadSetValue(p, channel, text, kind, &value); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  const double before = p.Channel[static_cast<size_t>(channel)].Config.*SetField(kind);
  RecordChange(
      p,
      ChannelKey(p, static_cast<size_t>(channel), kind == TSetKind::LinearAdjustment ? 2 : 1,
                 kind == TSetKind::LinearAdjustment ? QStringLiteral("Линейная подстройка")
                                                    : QStringLiteral("Уставка")),
      FormatFixed(before, 2), FormatFixed(value, 2), caller.Source);
  p.Channel[static_cast<size_t>(channel)].Config.*SetField(kind) = value;
  p.SaveRequest.Add(kind == TSetKind::LinearAdjustment ? TWriteBackGroup::LinearAdjustment
                                                       : TWriteBackGroup::Setpoints);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: %2 %3 = %4"))
                                .arg(p.Caption(), SetKindName(kind).toLower(), ChannelText(channel),
                                     FormatFixed(value, 2)));
}

TCommandResult CheckSetpoints(const TVortaProcess& p, const TSetpointTexts& texts, TSetKind kind) {
  for (size_t k = 0; k < 4; ++k) {
    const double shown = p.Channel[k + 1].Config.*SetField(kind);
    double value = 0;
    auto r = ReadSetValue(p, static_cast<int>(k) + 1, texts[k], kind, &value);
    // A value left as the dialog showed it is not a change, even when it
    // lies outside a range configured after it was set.
    if (!r && !(ReadDecimal(texts[k]) && texts[k].trimmed() == FormatFixed(shown, 2))) return r;
  }
  return TCommandResult::Ok(QString());
}

TCommandResult SetSetpoints(TVortaProcess& p, const TCaller& caller, const TSetpointTexts& texts,
                            TSetKind kind) {
  if (auto r = CheckSetpoints(p, texts, kind); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  double TChannelConfig::*const target = SetField(kind);
  const QString what = kind == TSetKind::LinearAdjustment ? QStringLiteral("Линейная подстройка")
                                                          : QStringLiteral("Уставка");
  for (size_t k = 0; k < 4; ++k) {
    const double value = *ReadDecimal(texts[k]);
    // As the file will hold them, so that an unchanged value is no change.
    RecordChange(p, ChannelKey(p, k + 1, kind == TSetKind::LinearAdjustment ? 2 : 1, what),
                 FormatFixed(p.Channel[k + 1].Config.*target, 2), FormatFixed(value, 2),
                 caller.Source);
    p.Channel[k + 1].Config.*target = value;
  }
  p.SaveRequest.Add(kind == TSetKind::LinearAdjustment ? TWriteBackGroup::LinearAdjustment
                                                       : TWriteBackGroup::Setpoints);
  return TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: %2 сохранены"))
          .arg(p.Caption(), kind == TSetKind::LinearAdjustment
                                ? Tr(QT_TRANSLATE_NOOP("vorta::Commands", "линейная подстройка"))
                                : Tr(QT_TRANSLATE_NOOP("vorta::Commands", "уставки"))));
}

TCommandResult CheckControlParams(const TVortaProcess& p, int entry, const TCtrlFields& fields) {
  if (entry < 1 || entry > 5) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Нет канала %1; каналы: 1..4, 5 — общие"))
            .arg(entry));
  }
  if (auto error = CheckCtrlFields(p, fields)) {
    return TCommandResult::Refused(error->Message, CtrlFieldName(error->Field));
  }
  // The pulse generators' rule, for what this change alters: a value the
  // file gave stays as it is until someone changes it.
  const TCtrlFields shown = ReadCtrlFields(p, entry);
  for (const TPulseKind kind : {TPulseKind::Feed, TPulseKind::Medium}) {
    const TPulseFields f = PulseFields(kind);
    if (fields.*f.Period == shown.*f.Period && fields.*f.Work == shown.*f.Work) continue;
    std::int64_t period = 0;
    std::int64_t on = 0;
    if (auto r = ReadPulse(kind, fields.*f.Period, fields.*f.Work, &period, &on); !r) {
      r.Field = CtrlFieldName(r.Field == QLatin1String("on") ? f.Work : f.Period);
      return r;
    }
  }
  return TCommandResult::Ok(QString());
}

TCommandResult SetControlParams(TVortaProcess& p, const TCaller& caller, int entry,
                                const TCtrlFields& fields) {
  if (auto r = CheckControlParams(p, entry, fields); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  // The dialog's OK with the tick cleared means "regulation off, outputs
  // off"; a command that only changes other keys of a channel whose
  // regulation is already off must not switch manual outputs.
  const bool wasOn = p.Channel[static_cast<size_t>(entry)].Config.CtrlEnable == 1;
  const bool outputsOff = !fields.Enable && (caller.Source == TJournalSource::Panel || wasOn);
  if (auto error = ApplyCtrlFields(p, entry, fields, caller.Source, outputsOff)) {
    return TCommandResult::Refused(error->Message, CtrlFieldName(error->Field));
  }
  return TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: параметры управления сохранены"))
          .arg(p.Caption()));
}

TCtrlText CtrlFieldNamed(const QString& field) {
  const TCtrlText all[] = {
      &TCtrlFields::Period,     &TCtrlFields::Low,       &TCtrlFields::High,
      &TCtrlFields::DeadZone,   &TCtrlFields::GainUp,    &TCtrlFields::GainDown,
      &TCtrlFields::EppPeriod,  &TCtrlFields::EppWork,   &TCtrlFields::MedPeriod,
      &TCtrlFields::MedWork,    &TCtrlFields::Po2Period, &TCtrlFields::Po2Right,
      &TCtrlFields::Po2Left,    &TCtrlFields::Po2Koef,   &TCtrlFields::Ev1Hours,
      &TCtrlFields::Ev1Minutes, &TCtrlFields::Ev2Hours,  &TCtrlFields::Ev2Minutes};
  for (const TCtrlText f : all) {
    if (!field.isEmpty() && CtrlFieldName(f) == field) return f;
  }
  return nullptr;
}

TCommandResult StepFoamLevel(TVortaProcess& p, const TCaller& caller, bool up) {
  const TCallerScope scope(p.Env.Journal, caller);
  const std::optional<QString> name = FoamLevelStep(p, up, caller.Source);
  if (!name)
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Чувствительность пены уже на пределе")));
  // The level stays whether or not the dialog's OK follows.
  p.SaveRequest.Add(TWriteBackGroup::ControlParameters);
  return TCommandResult::Ok(*name);
}

TCommandResult CheckCalibration(const TVortaProcess& p, int channel) {
  (void)p;
  if (channel < 1 || channel > 4) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Нет канала %1; каналы: 1..4")).arg(channel));
  }
  return TCommandResult::Ok(QString());
}

TCommandResult SaveCalibration(TVortaProcess& p, const TCaller& caller, int channel) {
  if (auto r = CheckCalibration(p, channel); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  CalibrSave(p, channel, caller.Source);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: калибровка %2 сохранена"))
                                .arg(p.Caption(), ChannelText(channel)));
}

TCommandResult CheckStirrerCode(const TVortaProcess& p, int code) {
  if (p.Mixer == nullptr) return NoMixer(p);
  if (code < 1 || code > 255) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Код скорости %1 вне пределов 1..255")).arg(code));
  }
  return TCommandResult::Ok(QString());
}

TCommandResult SetStirrerCode(TVortaProcess& p, const TCaller& caller, int code) {
  if (auto r = CheckStirrerCode(p, code); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  SetMixCode(p, static_cast<std::uint16_t>(code));
  return TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: скорость мешалки %2 об/мин (код %3)"))
          .arg(p.Caption(), FormatFixed(RpmForMixCode(p, code), 0))
          .arg(code));
}

namespace {
TCommandResult ReadRpm(const TVortaProcess& p, const QString& rpm, int* code) {
  if (p.Mixer == nullptr) return NoMixer(p);
  const std::optional<double> value = ReadDecimal(rpm);
  if (!value)
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "«%1» — не скорость в об/мин")).arg(rpm));
  const std::optional<int> c = MixCodeForRpm(p, *value);
  if (!c)
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: у мешалки нет шкалы скорости"))
            .arg(p.Caption()));
  if (*c < 1 || *c > 255) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Скорость %1 об/мин вне пределов мешалки: %2..%3"))
            .arg(rpm, FormatFixed(RpmForMixCode(p, 1), 0), FormatFixed(RpmForMixCode(p, 255), 0)));
  }
  *code = *c;
  return TCommandResult::Ok(QString());
}
}  // namespace

TCommandResult CheckStirrerRpm(const TVortaProcess& p, const QString& rpm) {
  int code = 0;
  return ReadRpm(p, rpm, &code);
}

TCommandResult SetStirrerRpm(TVortaProcess& p, const TCaller& caller, const QString& rpm) {
  int code = 0;
  if (auto r = ReadRpm(p, rpm, &code); !r) return r;
  return SetStirrerCode(p, caller, code);
}

TCommandResult StepStirrer(TVortaProcess& p, const TCaller& caller, bool up) {
  const TCallerScope scope(p.Env.Journal, caller);
  if (up) {
    MixSpinUp(p);
  } else {
    MixSpinDown(p);
  }
  p.SaveRequest.Add(TWriteBackGroup::MixerCode);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: код скорости мешалки %2"))
                                .arg(p.Caption())
                                .arg(p.MixCode));
}

TCommandResult CheckStirrerRun(const TVortaProcess& p) {
  if (p.Mixer == nullptr) return NoMixer(p);
  return TCommandResult::Ok(QString());
}

TCommandResult StartStirrer(TVortaProcess& p, const TCaller& caller) {
  if (auto r = CheckStirrerRun(p); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  StartMixerClick(p);
  return TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: мешалка запущена")).arg(p.Caption()));
}

TCommandResult StopStirrer(TVortaProcess& p, const TCaller& caller) {
  if (auto r = CheckStirrerRun(p); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  StopMixerClick(p);
  return TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: мешалка остановлена")).arg(p.Caption()));
}

TCommandResult CheckPulse(const TVortaProcess& p, TPulseKind kind, const QString& periodSeconds,
                          const QString& onSeconds) {
  (void)p;
  std::int64_t period = 0;
  std::int64_t on = 0;
  return ReadPulse(kind, periodSeconds, onSeconds, &period, &on);
}

TCommandResult SetPulse(TVortaProcess& p, const TCaller& caller, TPulseKind kind,
                        const QString& periodSeconds, const QString& onSeconds) {
  std::int64_t period = 0;
  std::int64_t on = 0;
  if (auto r = ReadPulse(kind, periodSeconds, onSeconds, &period, &on); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  TPulseGenerator& g = kind == TPulseKind::Feed ? p.Epp : p.Med;
  const char* section = kind == TPulseKind::Feed ? "Epp" : "Med";
  const char* periodKey = kind == TPulseKind::Feed ? "eppperiod" : "medperiod";
  const char* workKey = kind == TPulseKind::Feed ? "eppact" : "medact";
  const auto key = [section](const char* name) {
    return QStringLiteral("[%1] %2").arg(QLatin1String(section), QLatin1String(name));
  };
  const auto periodTicks = static_cast<std::int32_t>(period / 2);
  const auto workTicks = static_cast<std::int32_t>(on / 2);
  RecordChange(p, key(periodKey), QString::number(g.Period), QString::number(periodTicks),
               caller.Source);
  RecordChange(p, key(workKey), QString::number(g.Work), QString::number(workTicks), caller.Source);
  // An on-time switches the generator on, none switches it off: a feed set
  // on a generator that does not run would dose nothing and say it did.
  const std::int16_t exist = on > 0 ? 1 : 0;
  RecordChange(p, key(kind == TPulseKind::Feed ? "eppexist" : "medexist"), QString::number(g.Exist),
               QString::number(exist), caller.Source);
  if (exist == 0 && g.Exist == 1 && g.Ch != 0) SetOutput(p, g.Ch, false);
  g.Period = periodTicks;
  g.Work = workTicks;
  g.Exist = exist;
  g.Count = 0;
  p.SaveRequest.Add(TWriteBackGroup::ControlParameters);
  return TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: %2 — период %3 с, работа %4 с"))
          .arg(p.Caption(), PulseName(kind))
          .arg(period)
          .arg(on));
}

TCommandResult CheckLight(const TVortaProcess& p) {
  if (p.Config.LightCh < 1 || p.Config.LightCh > 16) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: выход света не задан")).arg(p.Caption()));
  }
  return TCommandResult::Ok(QString());
}

TCommandResult SwitchLight(TVortaProcess& p, const TCaller& caller) {
  if (auto r = CheckLight(p); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  LightButtonClick(p);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: свет включён на %2 с"))
                                .arg(p.Caption())
                                .arg(static_cast<int>(p.Config.LightTime) * 2));
}

TCommandResult CheckManualOutput(const TVortaProcess& p, int button) {
  (void)p;
  if (button < 1 || button > kManualButtons) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Нет кнопки выхода %1; кнопки: 1..%2"))
            .arg(button)
            .arg(kManualButtons));
  }
  return TCommandResult::Ok(QString());
}

TCommandResult ToggleManualOutput(TVortaProcess& p, const TCaller& caller, int button) {
  if (auto r = CheckManualOutput(p, button); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  ManualButtonClick(p, button);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: выход %2 %3"))
                                .arg(p.Caption())
                                .arg(ManualButtonOutput(p, button))
                                .arg(p.ManualState[static_cast<size_t>(button)] != 0
                                         ? Tr(QT_TRANSLATE_NOOP("vorta::Commands", "включён"))
                                         : Tr(QT_TRANSLATE_NOOP("vorta::Commands", "выключен"))));
}

TCommandResult WriteDriveParams(TVortaProcess& p, const TCaller& caller, TDriveParams& params,
                                int page, const QStringList& texts) {
  if (ConfigurableDrive(p.Mixer) == nullptr) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: привод без регистров параметров"))
            .arg(p.Caption()));
  }
  const TCallerScope scope(p.Env.Journal, caller);
  params.Process = &p;
  QString refusal;
  const int written = params.WritePage(page, texts, &refusal);
  if (!refusal.isEmpty()) return TCommandResult::Refused(refusal);
  TCommandResult done = TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: записано регистров привода: %2"))
          .arg(p.Caption())
          .arg(written));
  done.Count = written;
  return done;
}

TCommandResult StartStopFill(TFillControl& fill, const TCaller& caller) {
  const TCallerScope scope(fill.Journal(), caller);
  const bool wasRunning = fill.FillRunning;
  // fill may be gone once a stop returns: only what was read before is used.
  if (!fill.StartStopClick()) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Подпитка не запущена")));
  }
  return TCommandResult::Ok(wasRunning
                                ? Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Подпитка остановлена"))
                                : Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Подпитка запущена")));
}

TCommandResult StartElapsedClock(TVortaEnv& env, const TCaller& caller) {
  const TCallerScope scope(env.Journal, caller);
  StartElapsedClock(env, env.Time.Now());
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Часы процесса идут с нуля")));
}

TCommandResult StopElapsedClock(TVortaEnv& env, const TCaller& caller) {
  const TCallerScope scope(env.Journal, caller);
  StopElapsedClock(env, env.Time.Now());
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Часы процесса остановлены")));
}

TCommandResult CheckLogPeriod(const TVortaProcess& p, int minutes) {
  (void)p;
  for (const int allowed : {1, 2, 5, 10, 15}) {
    if (minutes == allowed) return TCommandResult::Ok(QString());
  }
  return TCommandResult::Refused(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands",
                           "Период протокола %1 мин не предусмотрен: 1, 2, 5, 10 или 15"))
          .arg(minutes));
}

TCommandResult SetLogPeriod(TVortaProcess& p, const TCaller& caller, int minutes) {
  if (auto r = CheckLogPeriod(p, minutes); !r) return r;
  const TCallerScope scope(p.Env.Journal, caller);
  ChangeProtocolPeriod(p, minutes);
  return TCommandResult::Ok(Tr(QT_TRANSLATE_NOOP("vorta::Commands", "%1: период протокола %2 мин"))
                                .arg(p.Caption())
                                .arg(minutes));
}

TCommandResult CheckAcknowledge(const TAlarms& alarms, std::int64_t id) {
  const auto& list = alarms.List();
  if (std::none_of(list.begin(), list.end(), [id](const TAlarm& a) { return a.Id == id; })) {
    return TCommandResult::Refused(
        Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Нет тревоги #%1")).arg(id));
  }
  return TCommandResult::Ok(QString());
}

namespace {
TCommandResult Acknowledged(int count) {
  TCommandResult r = TCommandResult::Ok(
      Tr(QT_TRANSLATE_NOOP("vorta::Commands", "Квитировано тревог: %1")).arg(count));
  r.Count = count;
  return r;
}
}  // namespace

TCommandResult AcknowledgeAlarm(TAlarms& alarms, const TCaller& caller, std::int64_t id) {
  if (auto r = CheckAcknowledge(alarms, id); !r) return r;
  const TCallerScope scope(alarms.Journal(), caller);
  return Acknowledged(alarms.Acknowledge(id, CallerUser(caller)) ? 1 : 0);
}

TCommandResult AcknowledgeVessel(TAlarms& alarms, const TCaller& caller, std::int32_t vessel) {
  const TCallerScope scope(alarms.Journal(), caller);
  std::vector<std::int64_t> ids;
  for (const TAlarm& a : alarms.List()) {
    if (a.Vessel == vessel && a.AckBy.isEmpty()) ids.push_back(a.Id);
  }
  int count = 0;
  for (const std::int64_t id : ids) count += alarms.Acknowledge(id, CallerUser(caller)) ? 1 : 0;
  return Acknowledged(count);
}

TCommandResult AcknowledgeAll(TAlarms& alarms, const TCaller& caller) {
  const TCallerScope scope(alarms.Journal(), caller);
  return Acknowledged(alarms.AcknowledgeAll(CallerUser(caller)));
}

}  // namespace vorta
