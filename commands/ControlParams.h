#pragma once
// The control parameters dialog's work on the process record: what its
// controls show, what OK stores, the spin buttons and the foam level. The
// window (dialogs/ControlParamsDialog.h) only mirrors these texts.

#include <QString>
#include <cstdint>
#include <optional>

#include "journal/Journal.h"

namespace vorta {

class TVortaProcess;

// Outputs 12..16 (foam sensitivity, pump power and type, heartbeat) stay on
// when the regulation of a channel is switched off.
inline constexpr std::uint16_t kCtrlKeepMask = 0xF800;

// Selector 1..4 opens the channel variant; anything else the common one.
bool IsChannelVariant(int selector);
// Entry of the per-channel arrays the "Стандарт" page edits: the channel, or
// the common entry 5.
int CtrlEntry(int selector);
QString CtrlCaption(const TVortaProcess& p, int selector);

// Texts and ticks of every control on every page, visible or not.
struct TCtrlFields {
  // "Стандарт"
  QString Period, Low, High, DeadZone, GainUp, GainDown;
  bool Enable = false;
  // "Таймеры" (seconds)
  QString EppChName, EppPeriod, EppWork;
  bool EppExist = false;
  QString MedChName, MedPeriod, MedWork;
  bool MedExist = false;
  // "Спец. pO"
  bool Po2Motor = false;
  QString Po2Period, Po2Right, Po2Left, Po2Koef;
  // "Нагрев"
  bool Water = false;
  // "Пена"
  QString FoamLevelText;
  bool FoamExist = false;
  // "События"
  QString Ev1ChName, Ev1Hours, Ev1Minutes, Ev1Work;
  bool Ev1Exist = false, Ev1Aperiod = false;
  QString Ev2ChName, Ev2Hours, Ev2Minutes, Ev2Work;
  bool Ev2Exist = false, Ev2Aperiod = false;
};

using TCtrlText = QString TCtrlFields::*;

// Labels of the numeric edits, as the dialog shows them with their page.
QString CtrlFieldName(TCtrlText field);

TCtrlFields ReadCtrlFields(const TVortaProcess& p, int entry);

// A field whose text could not be stored: which one and why.
struct TCtrlFieldError {
  TCtrlText Field = nullptr;
  QString Message;
};

// OK: every field of every page into the process, in the dialog's order
// (heating, "Стандарт", regulation switch, timers, events, pO2, foam,
// the write-back of the control parameters). A text that cannot be stored stores nothing at all and
// names the field.
// outputsOff: regulation left off (not ticked) switches outputs 1..11 off (and the
// manual buttons' states), as the dialog's OK does.
std::optional<TCtrlFieldError> ApplyCtrlFields(TVortaProcess& p, int entry,
                                               const TCtrlFields& fields,
                                               TJournalSource source = TJournalSource::Dialog,
                                               bool outputsOff = true);
// The first field ApplyCtrlFields would refuse, without storing anything.
std::optional<TCtrlFieldError> CheckCtrlFields(const TVortaProcess& p, const TCtrlFields& fields);

// A whole number of seconds made even: halved toward zero, then doubled.
std::int64_t MakeEven(std::int64_t value);

// Timer spin buttons act on the text: up adds 2 while the number is below
// the bound, down subtracts 2 while it is above 0. No change for a text that
// is not a whole number.
std::optional<QString> SpinTimerText(const QString& text, std::int32_t bound, bool up);

// Foam sensitivity text of a level 0..2; nothing for any other level.
std::optional<QString> FoamLevelName(std::int32_t level);
// The foam spin button changes Spumelevel at once; the new text, or nothing
// when the level is outside 0..2.
std::optional<QString> FoamLevelStep(TVortaProcess& p, bool up,
                                     TJournalSource source = TJournalSource::Dialog);

}  // namespace vorta
