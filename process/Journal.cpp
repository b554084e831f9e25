// The journal's writer: one flushed append per record, the file read-only
// between writes like the data logs.

#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <optional>

#include "platform/FileAttributes.h"
#include "platform/Messages.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"
#include "process/Journal.h"
#include "process/JournalFormat.h"

namespace vorta {

namespace {

QString KindText(TJournalKind kind) {
  switch (kind) {
    case TJournalKind::Change:
      return QStringLiteral("Change");
    case TJournalKind::Alarm:
      return QStringLiteral("Alarm");
    case TJournalKind::AlarmCleared:
      return QStringLiteral("AlarmCleared");
    case TJournalKind::Acknowledged:
      return QStringLiteral("Acknowledged");
    case TJournalKind::Program:
      return QStringLiteral("Program");
  }
  return {};
}

QString SourceText(TJournalSource source) {
  switch (source) {
    case TJournalSource::Menu:
      return QStringLiteral("Menu");
    case TJournalSource::Dialog:
      return QStringLiteral("Dialog");
    case TJournalSource::Button:
      return QStringLiteral("Button");
    case TJournalSource::StartUp:
      return QStringLiteral("StartUp");
    case TJournalSource::File:
      return QStringLiteral("File");
    case TJournalSource::Engine:
      return QStringLiteral("Engine");
  }
  return {};
}

QString OsUser() {
  for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
    const QString user = qEnvironmentVariable(name);
    if (!user.isEmpty()) return user;
  }
  return {};
}

// Local time with its offset written out, so that records stay comparable
// across a change of daylight-saving time.
QString StampText(double now) {
  const QDateTime local = FromSystemDateTime(now);
  return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

struct TTail {
  QString LastChain;  // of the last whole record; empty when there is none
  bool EndsWithLineEnd = true;
};

// Reads backwards from the end until the last whole record is found or the
// file's start is reached; a record is a few hundred bytes.
std::optional<TTail> ReadTail(QFile& f) {
  const qint64 size = f.size();
  TTail tail;
  qint64 chunk = 4096;
  while (true) {
    const qint64 from = std::max<qint64>(0, size - chunk);
    if (!f.seek(from)) return std::nullopt;
    QByteArray bytes = f.read(size - from);
    if (bytes.size() != size - from) return std::nullopt;
    tail.EndsWithLineEnd = bytes.endsWith('\n');
    QList<QByteArray> lines = bytes.split('\n');
    // The unterminated last piece (or the empty one after the final line
    // end) is not a whole record; nor is the first piece when cut by `from`.
    lines.removeLast();
    if (from > 0 && !lines.isEmpty()) lines.removeFirst();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
      QByteArray line = *it;
      if (line.endsWith('\r')) line.chop(1);
      QString columns;
      QString chain;
      if (SplitJournalLine(QString::fromUtf8(line), &columns, &chain)) {
        tail.LastChain = chain;
        return tail;
      }
    }
    if (from == 0) return tail;
    chunk *= 4;
  }
}

}  // namespace

TJournal::TJournal(QString path, TTimerService& time)
    : path_(std::move(path)), time_(time), user_(OsUser()) {}

bool TJournal::Open() {
  opened_ = false;
  tornTail_ = false;
  needLineEnd_ = false;
  problem_.clear();
  lastChain_ = JournalSeed();
  QFile f(path_);
  if (!FileExists(path_) || QFile(path_).size() == 0) {
    SetReadOnly(path_, false);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
      problem_ = QStringLiteral("Не удалось создать журнал ") + path_ + QStringLiteral(": ") +
                 f.errorString();
      return false;
    }
    const QByteArray header = (JournalHeaderLine() + QStringLiteral("\r\n")).toUtf8();
    const bool ok = f.write(header) == header.size() && f.flush();
    if (!ok) {
      problem_ = QStringLiteral("Не удалось создать журнал ") + path_ + QStringLiteral(": ") +
                 f.errorString();
    }
    f.close();
    SetReadOnly(path_, true);
    opened_ = ok;
    return ok;
  }
  if (!f.open(QIODevice::ReadOnly)) {
    problem_ = QStringLiteral("Не удалось прочитать журнал ") + path_ + QStringLiteral(": ") +
               f.errorString();
    return false;
  }
  const std::optional<TTail> tail = ReadTail(f);
  if (!tail) {
    problem_ = QStringLiteral("Не удалось прочитать журнал ") + path_ + QStringLiteral(": ") +
               f.errorString();
    return false;
  }
  if (!tail->LastChain.isEmpty()) lastChain_ = tail->LastChain;
  if (!tail->EndsWithLineEnd) {
    tornTail_ = true;
    needLineEnd_ = true;
    problem_ = QStringLiteral("Последняя запись журнала ") + path_ +
               QStringLiteral(" оборвана (запись прервана); она оставлена как есть.");
  }
  // A kill during an append leaves the file writable.
  if (!IsReadOnly(path_)) SetReadOnly(path_, true);
  opened_ = true;
  return true;
}

bool TJournal::Record(const TJournalEntry& entry) {
  if (!opened_ || !FileExists(path_)) Open();
  QStringList columns;
  columns << StampText(time_.Now()) << user_
          << (entry.Vessel != 0 ? QString::number(entry.Vessel) : QString()) << entry.VesselName
          << KindText(entry.Kind) << entry.Subject << entry.OldValue << entry.NewValue
          << SourceText(entry.Source);
  for (QString& c : columns) c = EscapeJournalField(c);
  const QString body = columns.join(u'\t');
  const QString chain = JournalChain(lastChain_, body);
  const QString line = body + u'\t' + chain;
  QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
  if (needLineEnd_) bytes.prepend("\r\n");

  QString error;
  bool ok = opened_;
  if (!ok) {
    error = problem_;
  } else {
    SetReadOnly(path_, false);
    QFile f(path_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
      ok = false;
      error = f.errorString();
    } else {
      const qint64 before = f.size();
      ok = f.write(bytes) == bytes.size() && f.flush();
      if (!ok) {
        error = f.errorString();
        // Never half a record: a short write is cut back to where it began.
        f.resize(before);
      }
    }
    SetReadOnly(path_, true);
  }

  if (ok) {
    lastChain_ = chain;
    needLineEnd_ = false;
    if (failing_) {
      failing_ = false;
      problem_.clear();
      if (OnWriteRestored) OnWriteRestored();
    }
    if (OnAppended) OnAppended(entry, line);
    return true;
  }
  problem_ = QStringLiteral("Не удалось записать в журнал ") + path_ + QStringLiteral(": ") + error;
  if (!failing_) {
    // Set first: a hook that records the failure must not report it again.
    failing_ = true;
    if (Messages != nullptr) Messages->ShowError(problem_);
    if (OnWriteFailed) OnWriteFailed(problem_);
  }
  return false;
}

void TJournal::Change(std::int32_t vessel, const QString& vesselName, const QString& subject,
                      const QString& oldValue, const QString& newValue, TJournalSource source) {
  if (oldValue == newValue) return;
  TJournalEntry e;
  e.Vessel = vessel;
  e.VesselName = vesselName;
  e.Kind = TJournalKind::Change;
  e.Subject = subject;
  e.OldValue = oldValue;
  e.NewValue = newValue;
  e.Source = source;
  Record(e);
}

}  // namespace vorta
