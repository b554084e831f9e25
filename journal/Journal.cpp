// The journal's writer: one flushed append per record, the file read-only
// between writes like the data logs.

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QtGlobal>
#include <vector>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include "journal/Journal.h"
#include "journal/JournalFormat.h"
#include "platform/FileAttributes.h"
#include "platform/Messages.h"
#include "platform/RealTimerService.h"
#include "platform/SafeFile.h"
#include "platform/TimerService.h"

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
    case TJournalSource::Command:
      return QStringLiteral("Command");
    case TJournalSource::Panel:
      return QStringLiteral("Panel");
    case TJournalSource::Plan:
      return QStringLiteral("Plan");
    case TJournalSource::Web:
      return QStringLiteral("Web");
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

QString TLostRecords::Span() const {
  return LocalTimeWithOffsetAt(First) + QStringLiteral(" — ") + LocalTimeWithOffsetAt(Last);
}

TJournal::TJournal(QString path, TTimerService& time)
    : path_(std::move(path)), time_(time), user_(OperatorName()) {}

TAppendRules TJournal::Rules() {
  TAppendRules rules;
  rules.ReadOnlyBetween = true;
  rules.Identity = &identity_;
  return rules;
}

bool TJournal::Open() {
  opened_ = false;
  tornTail_ = false;
  needLineEnd_ = false;
  tornEndsWithCr_ = false;
  cutLines_ = 0;
  problem_.clear();
  lastChain_ = JournalSeed();
  if (const QString special = NotARegularFile(path_); !special.isEmpty()) {
    problem_ =
        QCoreApplication::translate("vorta::Journal", "Не удалось открыть журнал ") + special;
    return false;
  }
  // A file that is not there (or went) starts the file identity afresh.
  identity_ = {};
  sizeAtOpen_ = FileExists(path_) ? QFile(path_).size() : 0;
  if (sizeAtOpen_ == 0) {
    QString error;
    const bool ok =
        AppendAt(path_, Folder.get(), (JournalHeaderLine() + QStringLiteral("\r\n")).toUtf8(),
                 Rules(), &error);
    if (!ok)
      problem_ = QCoreApplication::translate("vorta::Journal", "Не удалось создать журнал ") +
                 path_ + QStringLiteral(": ") + error;
    opened_ = ok;
    return ok;
  }
  // Appending nothing takes the file as the journal's (never a link, a hard
  // link or another user's) and puts its read-only attribute back: a kill
  // during an append leaves it writable.
  if (QString error; !AppendAt(path_, Folder.get(), QByteArray(), Rules(), &error)) {
    problem_ = QCoreApplication::translate("vorta::Journal", "Не удалось открыть журнал ") + path_ +
               QStringLiteral(": ") + error;
    return false;
  }
  // The chain goes on from the last whole record; cut lines after it stay.
  QString torn;
  const auto takeChain = [this](const QString& line) {
    QString columns;
    QString chain;
    if (!SplitJournalLine(line, &columns, &chain)) return false;
    lastChain_ = chain;
    return true;
  };
  // Lines a kill cut and no start has noted yet: the last start was killed
  // while it closed an earlier cut line.
  int unnoted = 0;
  const auto visit = [&](const QString& line) {
    if (takeChain(line) || line == JournalHeaderLine()) return false;
    ++unnoted;
    return true;
  };
  if (!ReadJournalBackwards(path_, visit, &torn)) {
    problem_ =
        QCoreApplication::translate("vorta::Journal", "Не удалось прочитать журнал ") + path_;
    return false;
  }
  if (!torn.isEmpty()) {
    // Cut only after its chain field, the line is a whole record without its
    // line end: the next append closes it and chains on from it.
    tornEndsWithCr_ = torn.endsWith(u'\r');
    if (tornEndsWithCr_) torn.chop(1);
    const bool whole = unnoted == 0 && takeChain(torn);
    cutLines_ = unnoted + (whole ? 0 : 1);
    tornTail_ = true;
    needLineEnd_ = true;
    // Said to the operator in the chosen language, recorded in Russian.
    const char* const note = QT_TRANSLATE_NOOP(
        "vorta::Journal",
        "Последняя запись журнала %1 оборвана (запись прервана); она оставлена как есть.");
    problem_ = QCoreApplication::translate("vorta::Journal", note).arg(path_);
    tornNote_ = QString::fromUtf8(note).arg(path_);
  }
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
  // The instant, not the local date-time: in the hour autumn repeats only
  // the instant knows its offset.
  const QString stamp = LocalTimeWithOffsetAt(time_.UtcMs());
  // What goes into this one write: the note on a cut line before it, the
  // count of records lost before it, and the record itself.
  std::vector<TJournalEntry> entries;
  if (needLineEnd_) {
    TJournalEntry torn;
    torn.Kind = TJournalKind::Program;
    torn.Subject = kJournalTornSubject;
    torn.OldValue = QString::number(cutLines_);
    torn.NewValue = tornNote_;
    torn.Source = TJournalSource::StartUp;
    entries.push_back(torn);
  }
  if (lost_.Count > 0) {
    TJournalEntry lost;
    lost.Kind = TJournalKind::Program;
    lost.Subject = kJournalLostSubject;
    lost.OldValue = lost_.Span();
    lost.NewValue = QString::number(lost_.Count);
    lost.Source = TJournalSource::Engine;
    entries.push_back(lost);
  }
  entries.push_back(entry);
  if (actor_) entries.back().Source = actor_->Source;

  QByteArray bytes;
  if (needLineEnd_) bytes = tornEndsWithCr_ ? "\n" : "\r\n";
  QString chain = lastChain_;
  QStringList lines;
  for (const TJournalEntry& e : entries) {
    QStringList columns;
    const bool acted = actor_ && &e == &entries.back();
    columns << stamp << (acted ? actor_->User : user_)
            << (e.Vessel != 0 ? QString::number(e.Vessel) : QString()) << e.VesselName
            << JournalKindText(e.Kind) << e.Subject << e.OldValue << e.NewValue
            << SourceText(e.Source);
    for (QString& c : columns) c = EscapeJournalField(c);
    const QString body = columns.join(u'\t');
    chain = JournalChain(chain, body);
    lines << body + u'\t' + chain;
    bytes += (lines.last() + QStringLiteral("\r\n")).toUtf8();
  }

  QString error;
  bool ok = opened_;
  if (ok) {
    ok = AppendAt(path_, Folder.get(), bytes, Rules(), &error);
  }

  if (ok) {
    lastChain_ = chain;
    needLineEnd_ = false;
    lost_ = {};
    if (failing_) {
      failing_ = false;
      problem_.clear();
      if (OnWriteRestored) OnWriteRestored();
    }
    if (OnAppended) {
      for (size_t i = 0; i < entries.size(); ++i)
        OnAppended(entries[i], lines[static_cast<qsizetype>(i)]);
    }
    return true;
  }
  lost_.Add(time_.UtcMs());
  // Not opened: Open() has said why.
  if (opened_) {
    problem_ = QCoreApplication::translate("vorta::Journal", "Не удалось записать в журнал ") +
               path_ + QStringLiteral(": ") + error;
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
