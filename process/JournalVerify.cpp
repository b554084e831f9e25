#include <QFile>
#include <QList>

#include "process/JournalFormat.h"
#include "process/JournalVerify.h"

namespace vorta {

namespace {

bool Matches(const QString& line, const QString& previousChain, QString* chain) {
  QString columns;
  return SplitJournalLine(line, &columns, chain) && JournalChain(previousChain, columns) == *chain;
}

}  // namespace

QString TJournalCheck::Text() const {
  const QString records = QStringLiteral("%1 records").arg(Records);
  switch (Status) {
    case TStatus::Ok:
      return TornLines == 0 ? records + QStringLiteral(", OK")
                            : records + QStringLiteral(
                                            ", OK (%1 line(s) cut by a kill and closed by a "
                                            "later start)")
                                            .arg(TornLines);
    case TStatus::TornTail:
      return records + QStringLiteral(
                           " match; line %1: torn tail (the last write was "
                           "interrupted; no record after it)")
                           .arg(Line);
    case TStatus::Broken:
      return records + QStringLiteral(" match; line %1: does not match the chain").arg(Line);
    case TStatus::NotAJournal:
      return QStringLiteral("line 1: not a journal header");
    case TStatus::Unreadable:
      return QStringLiteral("cannot read the file");
  }
  return {};
}

TJournalCheck VerifyJournal(const QString& path) {
  TJournalCheck check;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    check.Status = TJournalCheck::TStatus::Unreadable;
    return check;
  }
  QList<QByteArray> raw = f.readAll().split('\n');
  // The piece after the final line end: empty, or a line a kill cut short.
  const bool tornTail = !raw.last().isEmpty();
  if (!tornTail) raw.removeLast();
  QStringList lines;
  lines.reserve(raw.size());
  for (QByteArray& r : raw) {
    if (r.endsWith('\r')) r.chop(1);
    lines << QString::fromUtf8(r);
  }
  if (lines.isEmpty() || lines.first() != JournalHeaderLine()) {
    check.Status = TJournalCheck::TStatus::NotAJournal;
    check.Line = 1;
    return check;
  }

  const auto whole = [&lines](qsizetype i) {
    QString columns;
    QString chain;
    return SplitJournalLine(lines[i], &columns, &chain);
  };
  const qsizetype end = tornTail ? lines.size() - 1 : lines.size();
  QString previous = JournalSeed();
  qsizetype i = 1;
  while (i < end) {
    QString chain;
    if (Matches(lines[i], previous, &chain)) {
      previous = chain;
      ++check.Records;
      ++i;
      continue;
    }
    // Lines cut short by kills and closed by later starts: none is a whole
    // record, and the record after them chains on from the one before them.
    qsizetype next = i;
    while (next < end && !whole(next)) ++next;
    if (next == i || (next < end && !Matches(lines[next], previous, &chain))) {
      check.Status = TJournalCheck::TStatus::Broken;
      check.Line = static_cast<int>(i + 1);
      return check;
    }
    if (next == end) break;  // nothing whole after them: a torn tail, or cut lines at the end
    check.TornLines += static_cast<int>(next - i);
    i = next;
  }
  if (i < lines.size()) {
    check.Status = TJournalCheck::TStatus::TornTail;
    check.Line = static_cast<int>(i + 1);
  }
  return check;
}

}  // namespace vorta
