#pragma once
// The one door for every change of a vessel: the panel's windows, vorta ctl,
// run plans and the browser all call these. Each function checks its input
// with the one rule for that kind of change, applies it, journals it with the
// caller's account and source, marks it for write-back and answers with what
// was done or why not. The Check forms run the same checks and change
// nothing, so that a plan can be refused before it starts.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

#include "commands/ControlParams.h"
#include "journal/Journal.h"

namespace vorta {

class TAlarms;
class TDriveParams;
class TFillControl;
class TVortaProcess;
struct TVortaEnv;

// Who asks: the journal's source and the account it names.
struct TCaller {
  TJournalSource Source = TJournalSource::Panel;
  QString User;  // empty: the account the program runs under

  static TCaller Panel() { return {TJournalSource::Panel, QString()}; }
  static TCaller Command(const QString& user) { return {TJournalSource::Command, user}; }
  static TCaller Plan(const QString& user) { return {TJournalSource::Plan, user}; }
  static TCaller Web(const QString& user) { return {TJournalSource::Web, user}; }
};

// The answer every caller can show: done and what was done, or refused and
// why, with the field at fault when one is to blame.
struct TCommandResult {
  bool Done = false;
  QString Text;
  // The field at fault: a setpoint's channel ("1".."4"), a control
  // parameter's label (CtrlFieldName), "period" or "on" of a pulse
  // generator; empty when the refusal is not about one field.
  QString Field;
  // How many things a done change concerned (the alarms acknowledged).
  int Count = 0;

  explicit operator bool() const { return Done; }
  static TCommandResult Ok(const QString& text) { return {true, text, QString(), 0}; }
  static TCommandResult Refused(const QString& why, const QString& field = QString()) {
    return {false, why, field, 0};
  }
};

// The one reading of a decimal number typed by a person or a script: a
// point or a single comma before the decimals, whatever the locale.
std::optional<double> ReadDecimal(const QString& text);

// Mode 0..3 (TVesselMode).
TCommandResult CheckMode(const TVortaProcess& p, int mode);
TCommandResult SetMode(TVortaProcess& p, const TCaller& caller, int mode);

// What a setpoint edit changes: the setpoint or the linear adjustment.
enum class TSetKind { Setpoint, LinearAdjustment };
// One channel (1..4). A setpoint must lie within the channel's measuring
// range when the configuration gives one.
TCommandResult CheckSetpoint(const TVortaProcess& p, int channel, const QString& text,
                             TSetKind kind = TSetKind::Setpoint);
TCommandResult SetSetpoint(TVortaProcess& p, const TCaller& caller, int channel,
                           const QString& text, TSetKind kind = TSetKind::Setpoint);
// The four channels at once, as the setpoints dialog's OK stores them:
// nothing is stored when one of them is refused.
using TSetpointTexts = std::array<QString, 4>;  // channels 1..4 at [0..3]
TCommandResult CheckSetpoints(const TVortaProcess& p, const TSetpointTexts& texts, TSetKind kind);
TCommandResult SetSetpoints(TVortaProcess& p, const TCaller& caller, const TSetpointTexts& texts,
                            TSetKind kind);

// Every control parameter of one entry (1..4 a channel, 5 the common one),
// as the control parameters dialog holds them. Regulation left off switches
// the regulation outputs off when the panel's OK says so, or when the change
// turns it off; a change from elsewhere that leaves it off touches no output.
TCommandResult CheckControlParams(const TVortaProcess& p, int entry, const TCtrlFields& fields);
TCommandResult SetControlParams(TVortaProcess& p, const TCaller& caller, int entry,
                                const TCtrlFields& fields);

// The control parameter a refusal's Field names; null for none.
TCtrlText CtrlFieldNamed(const QString& field);
// The foam sensitivity's spin button: the level 0..2 one step up or down,
// stored at once; the answer's text is the level's name.
TCommandResult StepFoamLevel(TVortaProcess& p, const TCaller& caller, bool up);

// The calibration dialog's "Сохранить": the channel's (1..4) two points
// from the working copy, the linear adjustment cleared.
TCommandResult CheckCalibration(const TVortaProcess& p, int channel);
TCommandResult SaveCalibration(TVortaProcess& p, const TCaller& caller, int channel);

// The stirrer: a speed code 1..255, a speed in rpm (turned into its code),
// one code step (wrapping 1 <-> 255), start and stop.
TCommandResult CheckStirrerCode(const TVortaProcess& p, int code);
TCommandResult SetStirrerCode(TVortaProcess& p, const TCaller& caller, int code);
TCommandResult CheckStirrerRpm(const TVortaProcess& p, const QString& rpm);
TCommandResult SetStirrerRpm(TVortaProcess& p, const TCaller& caller, const QString& rpm);
TCommandResult StepStirrer(TVortaProcess& p, const TCaller& caller, bool up);
TCommandResult CheckStirrerRun(const TVortaProcess& p);
TCommandResult StartStirrer(TVortaProcess& p, const TCaller& caller);
TCommandResult StopStirrer(TVortaProcess& p, const TCaller& caller);

// The feed (Epp) and medium (Med) pulse generators: period and on-time in
// whole seconds from 0 (the generators count 2-s ticks, so an odd second is
// halved away), the on-time no longer than the period.
enum class TPulseKind { Feed, Medium };
TCommandResult CheckPulse(const TVortaProcess& p, TPulseKind kind, const QString& periodSeconds,
                          const QString& onSeconds);
TCommandResult SetPulse(TVortaProcess& p, const TCaller& caller, TPulseKind kind,
                        const QString& periodSeconds, const QString& onSeconds);

// The light: on for its configured time.
TCommandResult CheckLight(const TVortaProcess& p);
TCommandResult SwitchLight(TVortaProcess& p, const TCaller& caller);

// Manual output button k (1..7): its output to the opposite of what it shows.
TCommandResult CheckManualOutput(const TVortaProcess& p, int button);
TCommandResult ToggleManualOutput(TVortaProcess& p, const TCaller& caller, int button);

// The drive parameters window's "Записать": one page's texts (in the page's
// order) into the drive's registers through its model, one record per
// register changed. A text that is no integer in 0..65535 stops the write
// there; the registers before it have been written.
TCommandResult WriteDriveParams(TVortaProcess& p, const TCaller& caller, TDriveParams& params,
                                int page, const QStringList& texts);

// The fill window's "Пуск"/"Стоп": starts the run on the ticked vessels, or
// stops it once the dose under way is finished.
TCommandResult StartStopFill(TFillControl& fill, const TCaller& caller);

// The program's elapsed fermentation clock (the status window's "Старт" and
// "Стоп"): a start runs it from zero, also while it runs; a stop holds it.
TCommandResult StartElapsedClock(TVortaEnv& env, const TCaller& caller);
TCommandResult StopElapsedClock(TVortaEnv& env, const TCaller& caller);

// The data log period: 1, 2, 5, 10 or 15 minutes.
TCommandResult CheckLogPeriod(const TVortaProcess& p, int minutes);
TCommandResult SetLogPeriod(TVortaProcess& p, const TCaller& caller, int minutes);

// Acknowledging alarms: one by its id, a vessel's, or all. Acknowledging
// nothing is done, not refused: the list may have moved on.
TCommandResult CheckAcknowledge(const TAlarms& alarms, std::int64_t id);
TCommandResult AcknowledgeAlarm(TAlarms& alarms, const TCaller& caller, std::int64_t id);
TCommandResult AcknowledgeVessel(TAlarms& alarms, const TCaller& caller, std::int32_t vessel);
TCommandResult AcknowledgeAll(TAlarms& alarms, const TCaller& caller);

// The account a caller's records name.
QString CallerUser(const TCaller& caller);

}  // namespace vorta
