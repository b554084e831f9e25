#include "journal/JournalTail.h"

#include <algorithm>

#include "journal/Journal.h"

namespace vorta {

namespace {

// A whole record as it lies in the file, for its link to the one before.
struct TRecordLink {
  QString Columns;
  QString Chain;
  TJournalLine Line;
};

// The number of cut lines the start's note in `r` says it closed; -1 when
// `r` is no such note.
qsizetype CutLinesClosed(const TJournalLine& r) {
  if (r.Kind != JournalKindText(TJournalKind::Program) || r.Subject != kJournalTornSubject) {
    return -1;
  }
  if (r.OldValue.isEmpty()) return 1;
  bool ok = false;
  const int count = r.OldValue.toInt(&ok);
  return ok ? count : -1;
}

}  // namespace

TJournalTail ReadJournalTail(const QString& path, const TJournalTailQuery& query) {
  TJournalTail tail;
  std::optional<TRecordLink> newer;  // the record after the line now read
  qsizetype cut = 0;                 // lines between it and the line now read that are no record
  bool enough = false;
  const auto link = [&](const QString& previousChain) {
    if (!newer) return;
    ++tail.LinksChecked;
    const bool steppedOver = cut == 0 || CutLinesClosed(newer->Line) == cut;
    if (tail.BrokenAt.isEmpty() &&
        (!steppedOver || JournalChain(previousChain, newer->Columns) != newer->Chain)) {
      tail.BrokenAt = newer->Line.Time + QStringLiteral(" ") + newer->Line.Subject;
    }
  };
  const auto visit = [&](const QString& line) {
    if (line == JournalHeaderLine()) {
      link(JournalSeed());
      return false;
    }
    TRecordLink record;
    const std::optional<TJournalLine> parsed = ParseJournalLine(line);
    if (!parsed || !SplitJournalLine(line, &record.Columns, &record.Chain)) {
      ++cut;
      return true;
    }
    record.Line = *parsed;
    link(record.Chain);
    if (enough) return false;
    cut = 0;
    const QDateTime time = QDateTime::fromString(record.Line.Time, Qt::ISODate);
    // The record before the first one shown was read only for its link.
    if (query.Since && time.isValid() && time < *query.Since) return false;
    if (!query.Vessel || record.Line.Vessel.toInt() == *query.Vessel) {
      tail.Records.push_back(record.Line);
      enough = static_cast<int>(tail.Records.size()) >= query.Count;
    }
    newer = std::move(record);
    return true;
  };
  QString torn;
  tail.Readable = ReadJournalBackwards(path, visit, &torn);
  tail.TornTail = !torn.isEmpty();
  std::reverse(tail.Records.begin(), tail.Records.end());
  return tail;
}

}  // namespace vorta
