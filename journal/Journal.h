#pragma once
// The folder's journal ("VortaJournal.txt"): who changed what and when, the
// alarms and the program's starts and ends. Append-only and tamper-evident:
// each record's chain field is the SHA-256 over the previous record's chain
// field and this record's other columns, so a changed byte or a deleted line
// breaks the chain from there on.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/FolderFiles.h"

namespace vorta {

class TTimerService;
class IMessageSink;

enum class TJournalKind { Change, Alarm, AlarmCleared, Acknowledged, Program };
// Who made a change. Panel, Command, Plan and Web are the callers of the
// command layer; Menu, Dialog and Button are what older journals name the
// panel's parts by, and stay readable.
enum class TJournalSource {
  Menu,
  Dialog,
  Button,
  StartUp,
  File,
  Engine,
  Command,
  Panel,
  Plan,
  Web
};

struct TJournalEntry {
  std::int32_t Vessel = 0;  // NumProcess; 0 for the program as a whole
  QString VesselName;       // empty for the program
  TJournalKind Kind = TJournalKind::Change;
  QString Subject;  // what changed, e.g. "[pH] Setpoint" or an alarm's name
  QString OldValue;
  QString NewValue;
  TJournalSource Source = TJournalSource::Menu;
};

// The kind column's text.
QString JournalKindText(TJournalKind kind);

// The account the program runs under: the journal's user column and who
// acknowledged an alarm.
QString OperatorName();

// Records that could not be written during one episode of failed writes:
// how many, and the time of the first and the last (system date-time).
struct TLostRecords {
  int Count = 0;
  // Instants (ms since 1970 UTC): in the hour autumn repeats only they tell
  // the offset in force when the records were lost.
  std::int64_t First = 0;
  std::int64_t Last = 0;
  void Add(std::int64_t now) {
    if (Count++ == 0) First = now;
    Last = now;
  }
  void Add(double) = delete;  // a local date-time: no instant
  // "<first> — <last>", local times with their offset.
  [[nodiscard]] QString Span() const;
};

// Subjects of the records the journal writes about itself and the data logs.
// A cut line is always followed by the torn-record note, whose old value is
// the number of cut lines it closes; the verifier steps over them only there.
inline const QString kJournalTornSubject = QStringLiteral("Оборванная запись журнала");
inline const QString kJournalLostSubject = QStringLiteral("Потеряны записи журнала");
inline const QString kLogRowsLostSubject = QStringLiteral("Потеряны строки протокола");

// The journal's file name in the program folder.
inline const QString kJournalFileName = QStringLiteral("VortaJournal.txt");

class TJournal {
 public:
  // The line as written (without its line end) and the entry it came from.
  using TAppendHook = std::function<void(const TJournalEntry& entry, const QString& line)>;

  // path: the journal file; time: the clock the records are stamped with.
  TJournal(QString path, TTimerService& time);

  // Opens or creates the file (header row first) and reads the chain's last
  // link from its tail. A torn last line is reported once through Problem()
  // and left in place; the chain continues from the last whole record, and
  // the next append closes the cut line and says so in a record first.
  bool Open();
  // One write of the whole record; false (and Problem() says why) when it
  // failed, and nothing of it stays in the file. The first record written
  // after failed ones is preceded by one that counts those lost.
  bool Record(const TJournalEntry& entry);
  // Shortcut for a field an operator changed; nothing is written when the
  // old and new texts are equal.
  void Change(std::int32_t vessel, const QString& vesselName, const QString& subject,
              const QString& oldValue, const QString& newValue, TJournalSource source);

  [[nodiscard]] const QString& Path() const { return path_; }
  // The file's length when Open() found it: where this run's records begin.
  [[nodiscard]] qint64 SizeAtOpen() const { return sizeAtOpen_; }
  [[nodiscard]] const QString& Problem() const { return problem_; }
  // Open() found a last line without its line end (a kill during a write).
  [[nodiscard]] bool TornTail() const { return tornTail_; }
  // True from a failed write until the next one that succeeds.
  [[nodiscard]] bool Failing() const { return failing_; }

  // Who is behind the records written while it is set: a command from
  // another process names its caller and the source "Command", whatever the
  // engine function it went through would say.
  struct TActor {
    QString User;
    TJournalSource Source = TJournalSource::Command;
  };
  void SetActor(std::optional<TActor> actor) { actor_ = std::move(actor); }

  TAppendHook OnAppended;
  // The first failed write of an episode (the reason), and the first write
  // that succeeded after it; each is called once per episode.
  std::function<void(const QString& problem)> OnWriteFailed;
  std::function<void()> OnWriteRestored;
  // Where the first failed write of an episode is reported; none when null.
  IMessageSink* Messages = nullptr;
  // The program folder, when the journal lies in it: opened relative to it.
  std::shared_ptr<const TFolderFd> Folder;

 private:
  [[nodiscard]] TAppendRules Rules();

  QString path_;
  TTimerService& time_;
  QString lastChain_;
  QString problem_;
  QString user_;
  TFileIdentity identity_;  // the file the records go to
  qint64 sizeAtOpen_ = 0;
  bool opened_ = false;
  bool tornTail_ = false;
  bool needLineEnd_ = false;     // the torn line is closed by the next append
  bool tornEndsWithCr_ = false;  // cut between CR and LF: only the LF is missing
  int cutLines_ = 0;             // cut lines before the last whole record
  QString tornNote_;
  bool failing_ = false;
  TLostRecords lost_;
  std::optional<TActor> actor_;
};

}  // namespace vorta
