#pragma once
// An operator's changes to a vessel, field by field, into the folder's
// journal. The engine functions the windows call use these, so a change is
// recorded the same way whichever window made it.

#include <QString>
#include <cstddef>
#include <utility>
#include <vector>

#include "journal/Journal.h"

namespace vorta {

class TVortaProcess;
struct TVortaEnv;

// One field of the vessel; nothing without a journal or when old == new.
void RecordChange(const TVortaProcess& p, const QString& subject, const QString& oldValue,
                  const QString& newValue, TJournalSource source);
// One program-wide setting (the vessel columns stay empty).
void RecordProgramChange(const TVortaEnv& env, const QString& subject, const QString& oldValue,
                         const QString& newValue, TJournalSource source);

// "[pH] #1 Уставка": a key of channel n's section (1..4, or the common entry
// 5), which is read by position, and what the operator knows it as.
QString ChannelKey(const TVortaProcess& p, std::size_t n, int position, const QString& what);
// The same for the channel's regulation section, "[CtrlpH] #5 …".
QString CtrlKey(const TVortaProcess& p, std::size_t n, int position, const QString& what);

// "вкл" / "выкл".
QString OnOffText(bool on);

// Subjects with their values, taken before and after a group of fields is
// stored: every pair whose value differs is one record.
using TFieldTexts = std::vector<std::pair<QString, QString>>;
void RecordChangedFields(const TVortaProcess& p, const TFieldTexts& before,
                         const TFieldTexts& after, TJournalSource source);

}  // namespace vorta
