#pragma once
// Checks a journal's chain from its first record to its last.

#include <QString>

namespace vorta {

struct TJournalCheck {
  enum class TStatus {
    Ok,           // every record matches its chain
    TornTail,     // every whole record matches; the last line was cut by a kill
    Broken,       // a record does not match: changed, deleted or inserted lines
    NotAJournal,  // no journal header
    Unreadable,
  };
  TStatus Status = TStatus::Ok;
  int Records = 0;    // whole records that matched, up to the first mismatch
  int Line = 0;       // 1-based: the first line that does not match, or the torn one
  int TornLines = 0;  // cut lines that a later start closed; the chain steps over them

  // One line for the command line: the records and "OK", or what is wrong where.
  [[nodiscard]] QString Text() const;
};

TJournalCheck VerifyJournal(const QString& path);

}  // namespace vorta
