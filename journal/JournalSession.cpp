#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>

#include "platform/SafeFile.h"
#include "journal/Journal.h"
#include "journal/JournalFormat.h"
#include "journal/JournalSession.h"

namespace vorta {

namespace {

// A file that is not there, in the hash list.
const QString kAbsent = QStringLiteral("-");

// 64 bits of the SHA-256 say whether a file changed; the chain, not this,
// guards the journal itself.
QString ContentHash(const QString& path) {
  // A FIFO in a file's place would block the open for ever.
  if (!NotARegularFile(path).isEmpty()) return kAbsent;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return kAbsent;
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&f)) return kAbsent;
  return QString::fromLatin1(hash.result().toHex().left(16));
}

QMap<QString, QString> Hashes(const QString& folder, const QStringList& files) {
  QMap<QString, QString> out;
  for (const QString& name : files) out.insert(name, ContentHash(QDir(folder).filePath(name)));
  return out;
}

// "name=hash" a line each: names may hold any other character.
QString HashListText(const QMap<QString, QString>& hashes) {
  QStringList lines;
  for (auto it = hashes.cbegin(); it != hashes.cend(); ++it) lines << it.key() + u'=' + it.value();
  return lines.join(u'\n');
}

QMap<QString, QString> ParseHashList(const QString& text) {
  QMap<QString, QString> out;
  for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
    const qsizetype eq = line.lastIndexOf(u'=');
    if (eq > 0) out.insert(line.left(eq), line.mid(eq + 1));
  }
  return out;
}

TJournalEntry ProgramEntry(const QString& subject, const QString& oldValue, const QString& newValue,
                           TJournalSource source) {
  TJournalEntry e;
  e.Kind = TJournalKind::Program;
  e.Subject = subject;
  e.OldValue = oldValue;
  e.NewValue = newValue;
  e.Source = source;
  return e;
}

// What the journal's tail says about the previous run.
struct TPreviousRun {
  QString LastTime;    // of the journal's last whole record
  QString LastMarker;  // start, end or abnormal-end subject, whichever came last
  QString MarkerTime;
  bool HashesFound = false;  // the last hash list of the journal
  QMap<QString, QString> Hashes;
};

TPreviousRun ReadPreviousRun(const QString& path) {
  TPreviousRun run;
  // Changed files noted after the last hash list (by a start killed before it
  // wrote its own): the newest note of each file wins.
  QMap<QString, QString> notedLater;
  ReadJournalBackwards(path, [&](const QString& line) {
    const std::optional<TJournalLine> r = ParseJournalLine(line);
    if (!r || r->Time == QLatin1String("Time")) return true;
    if (run.LastTime.isEmpty()) run.LastTime = r->Time;
    if (r->Kind == JournalKindText(TJournalKind::Program)) {
      // An abnormal end already noted is not noted again by the next start,
      // even when the start that noted it was killed before its own record.
      if (run.LastMarker.isEmpty() &&
          (r->Subject == kJournalStartSubject || r->Subject == kJournalEndSubject ||
           r->Subject == kJournalAbnormalEndSubject)) {
        run.LastMarker = r->Subject;
        run.MarkerTime = r->Time;
      }
      if (!run.HashesFound && r->Subject == kJournalHashesSubject) {
        run.HashesFound = true;
        run.Hashes = ParseHashList(r->NewValue);
        for (auto [name, hash] : notedLater.asKeyValueRange()) run.Hashes.insert(name, hash);
      }
    } else if (!run.HashesFound && r->Source == QLatin1String("File") &&
               r->Kind == JournalKindText(TJournalKind::Change) &&
               !notedLater.contains(r->Subject)) {
      notedLater.insert(r->Subject, r->NewValue);
    }
    return run.LastMarker.isEmpty() || !run.HashesFound;
  });
  return run;
}

}  // namespace

TJournalStart RecordProgramStart(TJournal& journal, const QString& version, const QString& folder,
                                 const QStringList& files) {
  TJournalStart result;
  const TPreviousRun previous = ReadPreviousRun(journal.Path());
  if (previous.LastMarker == kJournalStartSubject) {
    result.AbnormalEnd = true;
    // The run's start and its last record: it ended somewhere after that.
    journal.Record(ProgramEntry(kJournalAbnormalEndSubject, previous.MarkerTime, previous.LastTime,
                                TJournalSource::StartUp));
  }
  if (previous.HashesFound) {
    for (auto [name, hash] : Hashes(folder, files).asKeyValueRange()) {
      const QString before = previous.Hashes.value(name, kAbsent);
      if (before == hash) continue;
      result.ChangedFiles << name;
      journal.Change(0, QString(), name, before, hash, TJournalSource::File);
    }
  }
  journal.Record(ProgramEntry(kJournalStartSubject, QString(),
                              QStringLiteral("версия %1, папка %2").arg(version, folder),
                              TJournalSource::StartUp));
  return result;
}

void RecordConfigHashes(TJournal& journal, const QString& folder, const QStringList& files) {
  journal.Record(ProgramEntry(kJournalHashesSubject, QString(), HashListText(Hashes(folder, files)),
                              TJournalSource::File));
}

void RecordProgramEnd(TJournal& journal, bool modesKept) {
  journal.Record(ProgramEntry(kJournalEndSubject, QString(),
                              modesKept ? kJournalEndFromOutside : kJournalEndByOperator,
                              TJournalSource::Engine));
}

}  // namespace vorta
