#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>

#include <cerrno>
#include <cstring>

#include "FileSystemFaults.h"
#include "JournalRows.h"
#include "journal/JournalFormat.h"
#include "platform/FileAttributes.h"
#include "process/DataLog.h"
#include "process/OutputChannels.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

// The attribute itself: the "user" bits follow the current user, and the
// tests may run as root, who can write anything.
bool NoWriteBits(const QString& path) {
  return (QFile::permissions(path) &
          (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)) == 0;
}

class DataLogTest : public ProcessFixture {
 protected:
  QStringList Lines(const TVortaProcess& p) {
    QFile f(p.ProtocolFileName);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
  }
};

TEST_F(DataLogTest, RowFieldsAndFormats) {
  TVortaProcess& p = AddProcess(1);
  const double avg[] = {7.5, 123.456, 0, 1.5}, setpoint[] = {7, 37, 30, -100};
  for (size_t ch = 1; ch <= 4; ++ch) {
    p.Channel[ch].Minute.Avg = avg[ch - 1];
    p.Channel[ch].Config.Setpoint = setpoint[ch - 1];
  }
  p.OutputTicks[1] = 50;  // 2 s
  p.OutputTicks[3] = 25;
  p.Config.kdurwind = 1.5;
  p.MixerRpm = 300;
  p.Mode = TVesselMode::Chemostat;
  const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 7));
  const QStringList f = LogRowText(p, when, QLocale(QLocale::Russian)).split(u'\t');
  ASSERT_EQ(f.size(), 22);
  EXPECT_EQ(f[0], QStringLiteral("06.12."));
  EXPECT_EQ(f[1], QStringLiteral("9:5:7"));
  EXPECT_EQ(f[2], QStringLiteral("7.50"));
  EXPECT_EQ(f[3], QStringLiteral("7.00"));
  EXPECT_EQ(f[4], QStringLiteral("123.46"));
  EXPECT_EQ(f[6], QStringLiteral("0.00"));
  EXPECT_EQ(f[8], QStringLiteral("1.50"));
  EXPECT_EQ(f[9], QStringLiteral("-100.00"));
  EXPECT_EQ(f[10], QStringLiteral("3.00"));
  EXPECT_EQ(f[11], QStringLiteral("0.00"));
  EXPECT_EQ(f[12], QStringLiteral("1.50"));
  EXPECT_EQ(f[17], QStringLiteral("300"));
  EXPECT_EQ(f[18], QString());  // no drive: current and status empty
  EXPECT_EQ(f[19], QString());
  EXPECT_EQ(f[20], QStringLiteral("Net   "));
  EXPECT_EQ(f[21], QStringLiteral("Chemo"));
  // The header names the same fields in the same places.
  const QStringList header = LogHeaderLine(p).split(u'\t');
  ASSERT_EQ(header.size(), f.size());
  EXPECT_EQ(header[9], QStringLiteral("SeteH"));
  EXPECT_EQ(header[17], QStringLiteral("MixRpm"));
  EXPECT_EQ(header[21], QStringLiteral("Mode"));
  p.Mode = VesselMode(11);
  EXPECT_TRUE(LogRowText(p, when, QLocale::c()).endsWith(QStringLiteral("\tUnctr")));
}

TEST_F(DataLogTest, RowIsAppendedReadOnlyAfterAndCountersCleared) {
  TVortaProcess& p = AddProcess(1);
  ASSERT_TRUE(NoWriteBits(p.ProtocolFileName));
  p.OutputTicks[2] = 100;
  WriteLogRow(p);
  WriteLogRow(p);
  const QStringList lines = Lines(p);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Date\tTime\tpH")));
  EXPECT_EQ(lines[1].split(u'\t')[11], QStringLiteral("4.00"));
  EXPECT_EQ(lines[2].split(u'\t')[11], QStringLiteral("0.00"));
  EXPECT_TRUE(NoWriteBits(p.ProtocolFileName));
  EXPECT_EQ(p.OutputTicks[2], 0U);
  EXPECT_TRUE(messages_.Errors.isEmpty());
}

TEST_F(DataLogTest, DeletedLogIsRecreatedWithItsHeader) {
  TVortaProcess& p = AddProcess(1);
  WriteLogRow(p);
  SetReadOnly(p.ProtocolFileName, false);
  ASSERT_TRUE(QFile::remove(p.ProtocolFileName));
  WriteLogRow(p);
  const QStringList lines = Lines(p);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Date\t")));
  EXPECT_TRUE(messages_.Errors.isEmpty());
}

TEST_F(DataLogTest, UnwritableLogIsReportedOncePerEpisodeAndRecovers) {
  TVortaProcess& p = AddProcess(1);
  const QString good = p.ProtocolFileName;
  // A folder that has gone: nothing can be created there.
  p.ProtocolFileName = dir_.filePath(QStringLiteral("gone/Protocol1.txt"));
  p.OutputTicks[1] = 77;
  WriteLogRow(p);
  WriteLogRow(p);
  WriteLogRow(p);
  EXPECT_EQ(messages_.Errors.size(), 1);
  EXPECT_EQ(p.OutputTicks[1], 0U);  // reset all the same

  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("gone")));
  WriteLogRow(p);
  EXPECT_EQ(Lines(p).size(), 2);
  EXPECT_FALSE(p.LogWriteFailed);

  // A new episode is reported again.
  p.ProtocolFileName = dir_.filePath(QStringLiteral("missing/x.txt"));
  WriteLogRow(p);
  EXPECT_EQ(messages_.Errors.size(), 2);
  p.ProtocolFileName = good;
}

TEST_F(DataLogTest, PeriodOfFiveMinutesWritesEveryFifthMinuteWithAllDoses) {
  TVortaProcess& p = AddProcess(1);
  p.Config.ProtocolPeriodmin = 5;  // as the protocol menu sets it
  SetOutput(p, 1, true);           // on the whole time: 25 ticks a second
  StartCycles();
  for (int minute = 1; minute <= 10; ++minute) {
    time_.AdvanceBy(60'000);
    const int rows = static_cast<int>(Lines(p).size()) - 1;
    EXPECT_EQ(rows, minute / 5) << minute;
  }
  const QStringList lines = Lines(p);
  ASSERT_EQ(lines.size(), 3);
  // Five minutes of output 1: 300 s (the first 40-ms tick is at 40 ms).
  EXPECT_EQ(lines[1].split(u'\t')[10], QStringLiteral("300.00"));
  EXPECT_EQ(lines[2].split(u'\t')[10], QStringLiteral("300.00"));
}

TEST_F(DataLogTest, LogLeftWritableByAKillIsReadOnlyAgainAtTheNextStart) {
  AddProcess(1);
  const QString log = list_.ProcessAt(0)->ProtocolFileName;
  list_.Clear();
  ASSERT_TRUE(SetReadOnly(log, false));  // killed between the two attribute changes
  AddProcessFromExistingFile(1);
  EXPECT_TRUE(NoWriteBits(log));
}

TEST_F(DataLogTest, ModeRestoreReadsOnlyTheTailOfAHugeLog) {
  WriteFile(QStringLiteral("proc1.ini"), ProcessIni(1, {}).replace("sucsesful=Y", "sucsesful=N"));
  {
    // 300 MB without a line end (sparse), then one row: the last line is the row.
    QFile log(dir_.filePath(QStringLiteral("Protocol1.txt")));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    ASSERT_TRUE(log.resize(300LL << 20));
    ASSERT_TRUE(log.seek(300LL << 20));
    log.write("\r\n06.12.\t1:2:3\t 7.00\tNet   \tButch\r\n");
  }
  QElapsedTimer clock;
  clock.start();
  const TVortaProcess& p = AddProcessFromExistingFile(1);
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_EQ(p.Mode, TVesselMode::Batch);
  EXPECT_EQ(ReadLastLogLine(p.ProtocolFileName),
            QStringLiteral("06.12.\t1:2:3\t 7.00\tNet   \tButch"));
  // A last line longer than any row gives no mode, without reading it whole.
  QFile log(p.ProtocolFileName);
  SetReadOnly(log.fileName(), false);
  ASSERT_TRUE(log.open(QIODevice::Append));
  log.write(QByteArray(1 << 20, 'x') + "Chemo");
  log.close();
  EXPECT_EQ(ReadLastLogLine(log.fileName()), QString());
}

TEST_F(DataLogTest, RowCutByAKillIsClosedAndTheModeComesFromTheLastWholeRow) {
  const QString path = dir_.filePath(QStringLiteral("Protocol1.txt"));
  for (const QByteArray& cut :
       {QByteArray("06.12.\t1:3:0\t 7.0"), QByteArray("06.12.\t1:3:0\tChemo\r")}) {
    const QByteArray before = "Date\tTime\tMode\r\n06.12.\t1:2:0\tNet   \tChemo\r\n" + cut;
    {
      QFile log(path);
      SetReadOnly(path, false);
      ASSERT_TRUE(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
      log.write(before);
    }
    list_.Clear();  // an orderly end: the file is made abnormal again below
    WriteFile(QStringLiteral("proc1.ini"), ProcessIni(1, {}).replace("sucsesful=Y", "sucsesful=N"));
    TVortaProcess& p = AddProcessFromExistingFile(1);
    EXPECT_EQ(p.Mode, TVesselMode::Chemostat);
    // Only the missing line end is added: CR LF, or the LF after a CR.
    QFile log(path);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), before + (cut.endsWith('\r') ? "\n" : "\r\n"));
    WriteLogRow(p);
    EXPECT_TRUE(Lines(p).last().endsWith(QStringLiteral("Chemo"))) << Lines(p).last().toStdString();
    EXPECT_EQ(Lines(p).size(), 4);
  }
}

TEST_F(DataLogTest, FullDiskLeavesNoPartOfARowAndTheLostRowsAreJournalled) {
  test::TSmallFileSystem fs("256k");
  if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << fs.Error().toStdString();
  const test::TJournalOnEnv journal(env_, dir_.path() + u'/');
  TVortaProcess& p = AddProcess(1);
  const QString good = p.ProtocolFileName;
  p.ProtocolFileName = fs.Path() + "log.txt";
  WriteLogRow(p);
  ASSERT_TRUE(fs.Fill());
  int written = 1;
  for (; written < 200 && !p.LogWriteFailed; ++written) WriteLogRow(p);
  ASSERT_TRUE(p.LogWriteFailed);
  WriteLogRow(p);
  QFile log(p.ProtocolFileName);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().endsWith("\r\n"));
  ASSERT_EQ(messages_.Errors.size(), 1);
  EXPECT_TRUE(messages_.Errors[0].contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
      << messages_.Errors[0].toStdString();

  ASSERT_TRUE(QFile::remove(fs.Path() + "filler"));
  time_.AdvanceBy(60'000);
  WriteLogRow(p);
  EXPECT_FALSE(p.LogWriteFailed);
  const QList<QByteArray> last = test::JournalLastLines(dir_.filePath("VortaJournal.txt"), 1);
  ASSERT_EQ(last.size(), 1);
  const auto note = ParseJournalLine(QString::fromUtf8(last[0]));
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->Subject, kLogRowsLostSubject);
  EXPECT_EQ(note->NewValue, QStringLiteral("2"));
  p.ProtocolFileName = good;
}

}  // namespace
}  // namespace vorta::testing
