#pragma once
// The words of `vorta ctl` commands: vessels, channels, modes, switches and
// the control parameters' keys, each read in one place whatever its case.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "commands/ParamKeys.h"

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

TVortaProcess* FindVessel(TMainForm& form, const QString& text);
QString VesselList(TMainForm& form);

// The mode keys a caller may type, by mode number.
QString ModeKey(int mode);

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
