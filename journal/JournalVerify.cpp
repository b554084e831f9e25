#include <QFile>
#include <QList>

#include "platform/SafeFile.h"
#include "journal/Journal.h"
#include "journal/JournalFormat.h"
#include "journal/JournalVerify.h"

namespace vorta {

namespace {

bool Matches(const QString& line, const QString& previousChain, QString* chain) {
  QString columns;
  return SplitJournalLine(line, &columns, chain) && JournalChain(previousChain, columns) == *chain;
}

// The number of cut lines a start's note says it closed; -1 for any other
// record. Notes written before the count was kept close one line.
qsizetype CutLinesNoted(const QString& line) {
  const std::optional<TJournalLine> r = ParseJournalLine(line);
  if (!r || r->Kind != JournalKindText(TJournalKind::Program) ||
      r->Subject != kJournalTornSubject) {
    return -1;
  }
  if (r->OldValue.isEmpty()) return 1;
  bool ok = false;
  const int count = r->OldValue.toInt(&ok);
  return ok ? count : -1;
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
  if (!NotARegularFile(path).isEmpty()) {
    check.Status = TJournalCheck::TStatus::Unreadable;
    return check;
  }
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
    // Line ends are not part of the chain; an older writer closed a line cut
    // between CR and LF with a second CR.
    while (r.endsWith('\r')) r.chop(1);
    lines << QString::fromUtf8(r);
  }
  if (lines.isEmpty() || lines.first() != JournalHeaderLine()) {
    check.Status = TJournalCheck::TStatus::NotAJournal;
    check.Line = 1;
    return check;
  }

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
    // Lines cut short by kills are stepped over only where a later start
    // closed them: the record right after them is that start's note, which
    // chains on from the record before them and counts them.
    qsizetype next = i;
    while (next < end && !Matches(lines[next], previous, &chain)) ++next;
    // Cut lines followed only by a torn tail: the next start notes them all.
    if (next == end && tornTail) break;
    if (next == end || CutLinesNoted(lines[next]) != next - i) {
      check.Status = TJournalCheck::TStatus::Broken;
      check.Line = static_cast<int>(i + 1);
      return check;
    }
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
