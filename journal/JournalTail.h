#pragma once
// The journal's last records, read from the end and checked as they are read:
// each record's chain field against the record before it, so that a reader
// who asks for the morning's records learns when those do not match.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "journal/JournalFormat.h"

namespace vorta {

struct TJournalTailQuery {
  int Count = 20;                      // the records wanted, the newest
  std::optional<QDateTime> Since;      // none older than this
  std::optional<std::int32_t> Vessel;  // only this vessel's records
};

struct TJournalTail {
  bool Readable = true;
  std::vector<TJournalLine> Records;  // oldest first
  int LinksChecked = 0;               // records whose link to the one before was checked
  // The first record (newest first) whose chain field does not follow from
  // the record before it: its time and subject; empty when all match.
  QString BrokenAt;
  bool TornTail = false;  // the file ends with a line cut by a kill
};

// Reads back from the end until Count records pass the filter (or the first
// record older than Since), then checks one record further, so that the
// oldest one shown is linked to its predecessor too.
TJournalTail ReadJournalTail(const QString& path, const TJournalTailQuery& query);

}  // namespace vorta
