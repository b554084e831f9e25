// The journal's chain as written, as checked, and as a kill and a failing
// disk leave it; the program's own start and end records.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include "FileSystemFaults.h"
#include "JournalRows.h"
#include "ProgramFolder.h"
#include "RecordingMessages.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "journal/JournalFormat.h"
#include "journal/JournalSession.h"
#include "journal/JournalTail.h"
#include "journal/JournalVerify.h"
#include "platform/FileAttributes.h"
#include "platform/RealTimerService.h"
#include "platform/VirtualTimerService.h"

namespace {

using vorta::TJournal;
using vorta::TJournalCheck;
using vorta::TJournalEntry;
using vorta::TJournalKind;
using vorta::TJournalSource;
using Status = vorta::TJournalCheck::TStatus;

class JournalTest : public ::testing::Test {
 protected:
  [[nodiscard]] QString Path() const { return folder.File("VortaJournal.txt"); }

  void RecordN(TJournal& journal, int n) {
    for (int i = 0; i < n; ++i) {
      TJournalEntry e;
      e.Vessel = 1;
      e.VesselName = QStringLiteral("Ферментёр 1");
      e.Subject = QStringLiteral("[pH] Setpoint");
      e.OldValue = QString::number(i);
      e.NewValue = QString::number(i + 1);
      ASSERT_TRUE(journal.Record(e)) << journal.Problem().toStdString();
    }
  }
  // The file as the tampering or the kill leaves it (the writer keeps it read-only).
  void Overwrite(const QByteArray& bytes) {
    vorta::SetReadOnly(Path(), false);
    folder.Write("VortaJournal.txt", bytes);
  }
  [[nodiscard]] QList<QByteArray> Lines() const {
    return folder.Read("VortaJournal.txt").split('\n');
  }

  vorta::test::TProgramFolder folder;
  vorta::TVirtualTimerService time;
};

TEST_F(JournalTest, recordsChainAcrossReopenAndFieldsStayOneLine) {
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    RecordN(journal, 2);
    // A value with a tab, a line end and a backslash stays one record.
    journal.Change(2, QStringLiteral("B"), QStringLiteral("Note"), QStringLiteral("a\tb"),
                   QStringLiteral("c\r\nd\\"), TJournalSource::Dialog);
    // Unchanged values are not a change.
    journal.Change(2, QStringLiteral("B"), QStringLiteral("Note"), QStringLiteral("x"),
                   QStringLiteral("x"), TJournalSource::Dialog);
    // A last record longer than the chunks the tail is read back in.
    journal.Change(2, QStringLiteral("B"), QStringLiteral("Note"), QString(),
                   QString(150'000, u'z'), TJournalSource::Dialog);
  }
  TJournal reopened(Path(), time);
  ASSERT_TRUE(reopened.Open());
  EXPECT_FALSE(reopened.TornTail());
  RecordN(reopened, 1);

  const TJournalCheck check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::Ok) << check.Text().toStdString();
  EXPECT_EQ(check.Records, 5);
  const QList<QByteArray> lines = Lines();
  ASSERT_EQ(lines.size(), 7);  // header, five records, nothing after the last line end
  EXPECT_TRUE(lines[0].endsWith("\r"));
  const auto note = vorta::ParseJournalLine(QString::fromUtf8(lines[3].chopped(1)));
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->OldValue, QStringLiteral("a\tb"));
  EXPECT_EQ(note->NewValue, QStringLiteral("c\r\nd\\"));
  EXPECT_EQ(note->Source, QStringLiteral("Dialog"));
  // Local time with its offset, to the second.
  EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)"))
                  .match(note->Time)
                  .hasMatch())
      << note->Time.toStdString();
  EXPECT_FALSE(note->User.isEmpty());
}

TEST_F(JournalTest, verifierFindsTamperedByteAndDeletedLine) {
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    RecordN(journal, 4);
  }
  const QByteArray original = folder.Read("VortaJournal.txt");

  // Record 2 (line 3) with one value changed: 1 -> 7.
  QList<QByteArray> lines = original.split('\n');
  lines[2].replace("\t1\t2\t", "\t7\t2\t");
  Overwrite(lines.join('\n'));
  TJournalCheck check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::Broken);
  EXPECT_EQ(check.Line, 3);
  EXPECT_EQ(check.Records, 1);

  // Record 2 removed: record 3 no longer follows from what is before it.
  lines = original.split('\n');
  lines.removeAt(2);
  Overwrite(lines.join('\n'));
  check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::Broken);
  EXPECT_EQ(check.Line, 3);

  // A record's chain field cut to look like a kill's leftover is no excuse.
  lines = original.split('\n');
  lines[2].chop(20);
  Overwrite(lines.join('\n'));
  check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::Broken);
  EXPECT_EQ(check.Line, 3);
}

// The last records as `vorta ctl journal` reads them: filtered, and each one
// read checked against the one before it, across a cut line a start closed.
TEST_F(JournalTest, tailReadsTheLastRecordsAndFindsAChangedOne) {
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    RecordN(journal, 3);
  }
  Overwrite(folder.Read("VortaJournal.txt") + "2026-12-07T09:05\tcut");
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    RecordN(journal, 2);
    TJournalEntry other;
    other.Vessel = 2;
    other.Subject = QStringLiteral("[Mode] mode");
    ASSERT_TRUE(journal.Record(other));
  }
  vorta::TJournalTailQuery query;
  query.Count = 2;
  query.Vessel = 1;
  vorta::TJournalTail tail = vorta::ReadJournalTail(Path(), query);
  ASSERT_EQ(tail.Records.size(), 2u);
  EXPECT_EQ(tail.Records[0].OldValue, "0");  // oldest first
  EXPECT_EQ(tail.Records[1].OldValue, "1");
  EXPECT_TRUE(tail.BrokenAt.isEmpty()) << tail.BrokenAt.toStdString();

  query.Count = 100;
  query.Vessel.reset();
  tail = vorta::ReadJournalTail(Path(), query);
  EXPECT_EQ(tail.Records.size(), 7u);  // 3, the note on the cut line, 2, and vessel 2's
  EXPECT_TRUE(tail.BrokenAt.isEmpty()) << tail.BrokenAt.toStdString();
  EXPECT_EQ(tail.LinksChecked, 7);

  // Record 2's value changed by hand: its link no longer holds, and a
  // reader of the records after it only is told too (its successor's link).
  QList<QByteArray> lines = folder.Read("VortaJournal.txt").split('\n');
  lines[2].replace("\t1\t2\t", "\t7\t2\t");
  Overwrite(lines.join('\n'));
  tail = vorta::ReadJournalTail(Path(), query);
  EXPECT_FALSE(tail.BrokenAt.isEmpty());
  query.Count = 5;
  tail = vorta::ReadJournalTail(Path(), query);
  EXPECT_TRUE(tail.BrokenAt.isEmpty());  // the five newest and their predecessor hold
  query.Count = 6;
  tail = vorta::ReadJournalTail(Path(), query);
  EXPECT_FALSE(tail.BrokenAt.isEmpty());
}

TEST_F(JournalTest, tornLastLineFoundAtOpenKeptAndSteppedOverByTheChain) {
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    RecordN(journal, 2);
  }
  // Killed during a write, then again during the next start's first write.
  const QByteArray torn = "2026-12-07T09:00:00+00:00\troot\t1\tFerm\r\n2026-12-07T09:05";
  Overwrite(folder.Read("VortaJournal.txt") + torn);

  TJournalCheck check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::TornTail) << check.Text().toStdString();
  EXPECT_EQ(check.Line, 4);
  EXPECT_EQ(check.Records, 2);

  TJournal journal(Path(), time);
  ASSERT_TRUE(journal.Open());
  EXPECT_TRUE(journal.TornTail());
  EXPECT_FALSE(journal.Problem().isEmpty());
  RecordN(journal, 1);

  // The cut lines stay as they were, closed; the note on them (which counts
  // both) and the new record chain on from record 2.
  EXPECT_TRUE(folder.Read("VortaJournal.txt").contains(torn + "\r\n"));
  check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::Ok) << check.Text().toStdString();
  EXPECT_EQ(check.Records, 4);
  EXPECT_EQ(check.TornLines, 2);
}

TEST_F(JournalTest, onlyACutLineNotedByTheNextStartIsSteppedOver) {
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    RecordN(journal, 3);
  }
  const QByteArray original = folder.Read("VortaJournal.txt");
  const QList<QByteArray> lines = original.split('\n');
  const auto insertAfterRecord1 = [&](const QByteArray& line) {
    QList<QByteArray> changed = lines;
    changed.insert(2, line + "\r");
    Overwrite(changed.join('\n'));
    return vorta::VerifyJournal(Path());
  };
  // Lines that are not records, put between two records by hand.
  QByteArray fake = lines[2];
  fake.chop(30);  // a record whose chain is too short to check
  for (const QByteArray& inserted :
       {QByteArray("inserted by hand"), fake, QByteArray(1 << 20, 'x')}) {
    const TJournalCheck check = insertAfterRecord1(inserted);
    EXPECT_EQ(check.Status, Status::Broken) << check.Text().toStdString();
    EXPECT_EQ(check.Line, 3);
  }

  // Cut between CR and LF: closing it adds only the LF, and the record that
  // was whole but for its line end is simply the next record.
  Overwrite(original.chopped(1));
  {
    TJournal journal(Path(), time);
    ASSERT_TRUE(journal.Open());
    EXPECT_TRUE(journal.TornTail());
    RecordN(journal, 1);
  }
  EXPECT_TRUE(folder.Read("VortaJournal.txt").startsWith(original));
  const TJournalCheck check = vorta::VerifyJournal(Path());
  EXPECT_EQ(check.Status, Status::Ok) << check.Text().toStdString();
  EXPECT_EQ(check.TornLines, 0);
  EXPECT_EQ(check.Records, 5);
}

TEST_F(JournalTest, fullDiskLeavesNoPartOfARecordAndTheLostOnesAreCounted) {
  vorta::test::TSmallFileSystem fs("256k");
  if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << fs.Error().toStdString();
  const QString path = fs.Path() + "VortaJournal.txt";
  vorta::test::TRecordingMessages messages;
  TJournal journal(path, time);
  journal.Messages = &messages;
  ASSERT_TRUE(journal.Open());
  ASSERT_TRUE(fs.Fill());
  // The file's last page still takes a few records; then one fits only in part.
  TJournalEntry e;
  e.Subject = QString(100, u's');
  int written = 0;
  while (journal.Record(e)) ++written;
  ASSERT_GT(written, 0);
  EXPECT_FALSE(journal.Record(e));
  EXPECT_FALSE(journal.Record(e));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().endsWith("\r\n"));
  file.close();
  ASSERT_EQ(messages.Errors.size(), 1);
  EXPECT_TRUE(messages.Errors[0].contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
      << messages.Errors[0].toStdString();

  ASSERT_TRUE(QFile::remove(fs.Path() + "filler"));
  ASSERT_TRUE(journal.Record(e));
  const TJournalCheck check = vorta::VerifyJournal(path);
  EXPECT_EQ(check.Status, Status::Ok) << check.Text().toStdString();
  EXPECT_EQ(check.Records, written + 2);  // the note on the three lost, then the record
  const auto note =
      vorta::ParseJournalLine(QString::fromUtf8(vorta::test::JournalLastLines(path, 2).first()));
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->Subject, vorta::kJournalLostSubject);
  EXPECT_EQ(note->NewValue, QStringLiteral("3"));
}

TEST_F(JournalTest, failedWriteReportedOnceAndItsEndOnce) {
  // A folder that is not there yet: every write fails until it is made.
  const QString path = folder.File("later/VortaJournal.txt");
  TJournal journal(path, time);
  int failed = 0;
  int restored = 0;
  journal.OnWriteFailed = [&](const QString&) { ++failed; };
  journal.OnWriteRestored = [&] { ++restored; };
  EXPECT_FALSE(journal.Open());
  TJournalEntry e;
  EXPECT_FALSE(journal.Record(e));
  EXPECT_FALSE(journal.Record(e));
  EXPECT_EQ(failed, 1);
  EXPECT_TRUE(journal.Failing());

  ASSERT_TRUE(QDir(folder.Path()).mkdir(QStringLiteral("later")));
  EXPECT_TRUE(journal.Record(e));
  EXPECT_TRUE(journal.Record(e));
  EXPECT_EQ(restored, 1);
  EXPECT_EQ(failed, 1);

  // Deleted while running: a new file, chained from the seed, that says so.
  ASSERT_TRUE(QFile::remove(path));
  EXPECT_TRUE(journal.Record(e));
  const TJournalCheck check = vorta::VerifyJournal(path);
  EXPECT_EQ(check.Status, Status::Ok);
  EXPECT_EQ(check.Records, 2);
}

TEST_F(JournalTest, startFindsMissingEndAndChangedConfigurationFile) {
  const QStringList files{QStringLiteral("Vorta.ini"), QStringLiteral("P1.ini")};
  folder.Write("Vorta.ini", "[Processes]\r\nP1.ini=1\r\n");
  folder.Write("P1.ini", "[Port]\r\n");
  TJournal journal(Path(), time);
  ASSERT_TRUE(journal.Open());

  vorta::TJournalStart start = vorta::RecordProgramStart(journal, "1", folder.Path(), files);
  EXPECT_FALSE(start.AbnormalEnd);  // a new journal has no run before it
  vorta::RecordConfigHashes(journal, folder.Path(), files);
  // Killed here: no end record.
  start = vorta::RecordProgramStart(journal, "1", folder.Path(), files);
  EXPECT_TRUE(start.AbnormalEnd);
  EXPECT_TRUE(start.ChangedFiles.isEmpty());
  vorta::RecordConfigHashes(journal, folder.Path(), files);
  vorta::RecordProgramEnd(journal);

  folder.Write("P1.ini", "[Port]\r\nNumProcess=2\r\n");
  start = vorta::RecordProgramStart(journal, "1", folder.Path(), files);
  EXPECT_FALSE(start.AbnormalEnd);
  EXPECT_EQ(start.ChangedFiles, QStringList{QStringLiteral("P1.ini")});
  EXPECT_EQ(vorta::VerifyJournal(Path()).Status, Status::Ok);

  // Killed before its start record was written: the next start does not
  // note the same abnormal end or the same changed file again.
  vorta::RecordConfigHashes(journal, folder.Path(), files);
  folder.Write("P1.ini", "[Port]\r\nNumProcess=3\r\n");
  const QByteArray beforeKilledStart = folder.Read("VortaJournal.txt");
  start = vorta::RecordProgramStart(journal, "1", folder.Path(), files);
  EXPECT_TRUE(start.AbnormalEnd);
  // Its last record (the start) never reached the file.
  const QByteArray killed = folder.Read("VortaJournal.txt");
  Overwrite(killed.left(killed.lastIndexOf("\r\n", killed.size() - 3) + 2));
  TJournal again(Path(), time);
  ASSERT_TRUE(again.Open());
  start = vorta::RecordProgramStart(again, "1", folder.Path(), files);
  EXPECT_FALSE(start.AbnormalEnd);
  EXPECT_TRUE(start.ChangedFiles.isEmpty());
  EXPECT_EQ(folder.Read("VortaJournal.txt").count(vorta::kJournalAbnormalEndSubject.toUtf8()),
            beforeKilledStart.count(vorta::kJournalAbnormalEndSubject.toUtf8()) + 1);
}

}  // namespace

namespace {

// A clock at one chosen instant: the local date-time alone (Now) is the same
// for both passes through the hour autumn repeats.
class TFixedClock final : public vorta::TTimerService {
 public:
  [[nodiscard]] double Now() const override { return now; }
  [[nodiscard]] std::int64_t UtcMs() const override { return utc.toMSecsSinceEpoch(); }
  [[nodiscard]] std::int64_t MonotonicMs() const override { return 0; }
  void ProcessMessages() override {}
  std::unique_ptr<vorta::TTimer> CreateTimer(int /*intervalMs*/) override { return nullptr; }

  double now = 0;
  QDateTime utc;
};

}  // namespace

TEST_F(JournalTest, stampsInTheRepeatedAutumnHourCarryTheOffsetOfTheirInstant) {
  const bool hadTz = qEnvironmentVariableIsSet("TZ");
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  ::tzset();
  TFixedClock clock;
  clock.now = vorta::ToSystemDateTime(QDateTime(QDate(2026, 10, 25), QTime(2, 30), Qt::LocalTime));
  TJournal* journal = nullptr;
  TJournal file(Path(), clock);
  ASSERT_TRUE(file.Open());
  journal = &file;
  vorta::TAlarms alarms(clock, journal);
  QStringList stamps;
  for (const int utcHour : {0, 1}) {  // 02:30 summer time, then 02:30 winter time
    clock.utc = QDateTime(QDate(2026, 10, 25), QTime(utcHour, 30), Qt::UTC);
    RecordN(file, 1);
    alarms.Raise(utcHour + 1, QString(), vorta::TAlarmKind::Foam, QString(), QStringLiteral("t"));
    stamps << vorta::EventStamp(alarms.List().back(), vorta::TAlarmEvent::Raised);
  }
  const QList<QByteArray> lines = Lines();
  for (int i : {1, 3}) stamps << QString::fromUtf8(lines[i].left(25));  // record, alarm, record…
  // Records lost in the summer pass are dated by their instant too.
  clock.utc = QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC);
  TJournal later(folder.File("later/VortaJournal.txt"), clock);
  EXPECT_FALSE(later.Open());
  EXPECT_FALSE(later.Record(TJournalEntry{}));
  ASSERT_TRUE(QDir(folder.Path()).mkdir(QStringLiteral("later")));
  clock.utc = clock.utc.addSecs(3600);  // told in the winter pass
  ASSERT_TRUE(later.Record(TJournalEntry{}));
  const auto lost = vorta::ParseJournalLine(QString::fromUtf8(
      vorta::test::JournalLastLines(folder.File("later/VortaJournal.txt"), 2).first()));
  ASSERT_TRUE(lost.has_value());
  stamps << lost->OldValue;
  if (hadTz) {
    qputenv("TZ", oldTz);
  } else {
    qunsetenv("TZ");
  }
  ::tzset();
  EXPECT_EQ(stamps, (QStringList{"2026-10-25T02:30:00+02:00", "2026-10-25T02:30:00+01:00",
                                 "2026-10-25T02:30:00+02:00", "2026-10-25T02:30:00+01:00",
                                 "2026-10-25T02:30:00+02:00 — 2026-10-25T02:30:00+02:00"}));
}
