#pragma once
// The words of `vorta ctl` commands: vessels, channels, modes, switches and
// the control parameters' keys, each read in one place whatever its case.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "commands/ControlParams.h"

namespace vorta {

class TMainForm;
class TVortaProcess;

inline constexpr int kCommonEntry = 5;  // the control parameters' common entry

// "pH", "t°C", "pO2", "eH" by channel 1..4; "common" for the common entry.
QString ChannelName(int channel);
// 1..4 from a channel's name or number (pH, t, tc, t°c, po2, eh, 1..4); with
// common, also 5 from "common" or "5".
std::optional<int> ParseChannel(const QString& text, bool common = false);
std::optional<int> ParseMode(const TVortaProcess& p, const QString& text);
// on/off, 1/0, yes/no.
std::optional<bool> ParseSwitch(const QString& text);

TVortaProcess* FindVessel(TMainForm& form, const QString& text);
QString VesselList(TMainForm& form);

// The mode keys a caller may type, by mode number.
QString ModeKey(int mode);

// A control parameter a caller names: a text field or a switch of the
// control parameters dialog, per channel ("Стандарт") or for the vessel.
struct TParamKey {
  const char* Key;
  TCtrlText Text = nullptr;
  bool TCtrlFields::*Switch = nullptr;
  bool PerChannel = false;
};
const TParamKey* FindParamKey(const QString& key);
QStringList ParamKeys();
// The fields of the entry with each real as exactly as it is held, so that
// a change of one key leaves the others as they were.
TCtrlFields ExactCtrlFields(const TVortaProcess& p, int entry);
// A key's value as `params` shows it and takes it back.
QString ParamValue(const TCtrlFields& f, const TParamKey& key);
// Stores the typed value into the fields; the reason when it cannot.
std::optional<QString> SetParamValue(TCtrlFields& f, const TParamKey& key, const QString& value);

// `journal` words: -n N, --since TIME, --vessel N.
struct TJournalWords {
  int Count = 20;
  std::optional<QDateTime> Since;
  std::optional<int> Vessel;
};
// TIME: an ISO date or date-time, a time of day (today's, or yesterday's
// when it is still to come), or an age (30m, 12h, 2d).
std::optional<TJournalWords> ParseJournalWords(const QStringList& words, QString* problem);

}  // namespace vorta
