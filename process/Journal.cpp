// The journal's writer: one flushed append per record, the file read-only
// between writes like the data logs.

#include <QFile>
#include <QStringList>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include "platform/FileAttributes.h"
#include "platform/Messages.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"
#include "process/Journal.h"
#include "process/JournalFormat.h"

namespace vorta {

namespace {

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

}  // namespace

QString JournalKindText(TJournalKind kind) {
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

// The account the program runs under; the environment can be emptied or
// changed, the process's user id cannot.
QString OperatorName() {
#ifdef Q_OS_UNIX
  if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
#endif
  for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
    QString user = qEnvironmentVariable(name);
    if (!user.isEmpty()) return user;
  }
  return QStringLiteral("?");
}

TJournal::TJournal(QString path, TTimerService& time)
    : path_(std::move(path)), time_(time), user_(OperatorName()) {}

bool TJournal::Open() {
  opened_ = false;
  tornTail_ = false;
  needLineEnd_ = false;
  problem_.clear();
  lastChain_ = JournalSeed();
  sizeAtOpen_ = FileExists(path_) ? QFile(path_).size() : 0;
  if (sizeAtOpen_ == 0) {
    QFile f(path_);
    SetReadOnly(path_, false);
    const QByteArray header = (JournalHeaderLine() + QStringLiteral("\r\n")).toUtf8();
    const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Append) &&
                    f.write(header) == header.size() && f.flush();
    if (!ok) {
      problem_ = QStringLiteral("Не удалось создать журнал ") + path_ + QStringLiteral(": ") +
                 f.errorString();
    }
    f.close();
    SetReadOnly(path_, true);
    opened_ = ok;
    return ok;
  }
  // The chain goes on from the last whole record; a torn line after it stays.
  QString torn;
  const auto takeChain = [this](const QString& line) {
    QString columns;
    QString chain;
    if (!SplitJournalLine(line, &columns, &chain)) return false;
    lastChain_ = chain;
    return true;
  };
  if (!ReadJournalBackwards(
          path_, [&takeChain](const QString& line) { return !takeChain(line); }, &torn)) {
    problem_ = QStringLiteral("Не удалось прочитать журнал ") + path_;
    return false;
  }
  if (!torn.isEmpty()) {
    // Cut only after its chain field, the line is a whole record without its
    // line end: the next append closes it and chains on from it.
    if (torn.endsWith(u'\r')) torn.chop(1);
    takeChain(torn);
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
  const bool vanished = opened_ && !FileExists(path_);
  if (!opened_ || vanished) Open();
  if (vanished && opened_) {
    // Deleted or moved away while running: the new file says so first.
    TJournalEntry gone;
    gone.Kind = TJournalKind::Program;
    gone.Subject = QStringLiteral("Журнал начат заново");
    gone.NewValue = QStringLiteral("прежний файл исчез");
    gone.Source = TJournalSource::Engine;
    Record(gone);
  }
  QStringList columns;
  columns << LocalTimeWithOffset(time_.Now()) << user_
          << (entry.Vessel != 0 ? QString::number(entry.Vessel) : QString()) << entry.VesselName
          << JournalKindText(entry.Kind) << entry.Subject << entry.OldValue << entry.NewValue
          << SourceText(entry.Source);
  for (QString& c : columns) c = EscapeJournalField(c);
  const QString body = columns.join(u'\t');
  const QString chain = JournalChain(lastChain_, body);
  const QString line = body + u'\t' + chain;
  QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
  if (needLineEnd_) bytes.prepend("\r\n");

  QString error;
  bool ok = opened_;
  if (ok) {
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
  // Not opened: Open() has said why.
  if (opened_) {
    problem_ =
        QStringLiteral("Не удалось записать в журнал ") + path_ + QStringLiteral(": ") + error;
  }
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
