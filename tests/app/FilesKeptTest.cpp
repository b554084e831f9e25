// The controller never destroys a configuration file it could not write or
// read, and cleans only its own leftovers.

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QProcess>

#include "Fifo.h"
#include "FileSystemFaults.h"
#include "HeadlessFormFixture.h"

using namespace vorta;

namespace {

const QByteArray kMain =
    "[Processes]\r\nfirst.ini=1\r\nsecond.ini=1\r\n[Podpitka]\r\nDozeCount=7\r\n"
    "[WARMCTRL]\r\nDefWarm=1\r\n";

QByteArray ProcessFile(int n) {
  QByteArray text = "; vessel " + QByteArray::number(n) +
                    "\r\n[Port]\r\nNumProcess=" + QByteArray::number(n) + "\r\nProtocolname=log" +
                    QByteArray::number(n) + ".txt\r\n[Terminate]\r\nsucsesful=Y\r\n";
  // About the size of a real process file.
  for (int i = 0; text.size() < 2700; ++i) text += "[S" + QByteArray::number(i) + "]\r\nk=1\r\n";
  return text;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  f.write(bytes);
}

class FilesKeptTest : public test::THeadlessFormFixture {
 protected:
  // Starts the controller on the folder, runs it for a few minutes and shuts
  // it down in order.
  void RunAndShutDown(const QString& path, int expectedProcesses) {
    THeadlessMainWindow window;
    TCANService dm{time, TAdapterFactory{}};
    TMainForm form(TMainForm::TDeps{time, messages, windows, window, dm}, path);
    ASSERT_EQ(form.Start(), TMainForm::TStartResult::Running);
    EXPECT_EQ(form.Processes().Count(), expectedProcesses);
    time.AdvanceBy(180'000);
    form.Program().ShutdownRequested = true;
    time.AdvanceBy(40);
    ASSERT_TRUE(form.Closed());
  }

  [[nodiscard]] int ErrorsNaming(const QString& path) const {
    int n = 0;
    for (const QString& e : messages.Errors) n += e.contains(path) ? 1 : 0;
    return n;
  }
};

}  // namespace

TEST_F(FilesKeptTest, fullDiskLeavesEveryConfigurationFileAndReportsEachOnce) {
  test::TSmallFileSystem fs("512k");
  if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << fs.Error().toStdString();
  const QString first = fs.Path() + "first.ini";
  const QString second = fs.Path() + "second.ini";
  WriteFile(fs.Path() + "Vorta.ini", kMain);
  WriteFile(first, ProcessFile(1));
  WriteFile(second, ProcessFile(2));
  ASSERT_TRUE(fs.Fill());

  RunAndShutDown(fs.Path(), 2);

  EXPECT_EQ(ReadFile(fs.Path() + "Vorta.ini"), kMain);
  EXPECT_EQ(ReadFile(first), ProcessFile(1));
  EXPECT_EQ(ReadFile(second), ProcessFile(2));
  // Written at the start (end-of-run mark) and at the end: told once each.
  EXPECT_EQ(ErrorsNaming(first), 1) << messages.Errors.join('\n').toStdString();
  EXPECT_EQ(ErrorsNaming(second), 1);
}

TEST_F(FilesKeptTest, unreadableFilesAreReportedAndNeverWrittenBack) {
  test::TProgramFolder folder;
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", ProcessFile(1));
  folder.Write("second.ini", ProcessFile(2));
  ASSERT_TRUE(test::TUnprivilegedFiles::MakeWriteOnly(folder.Path(), folder.File("first.ini")));
  {
    test::TUnprivilegedFiles user;
    RunAndShutDown(folder.Path(), 1);  // the vessel whose file cannot be read is not started
  }
  ASSERT_EQ(ErrorsNaming(folder.File("first.ini")), 1) << messages.Errors.join('\n').toStdString();
  EXPECT_TRUE(messages.Errors.filter(folder.File("first.ini"))[0].contains("не удалось прочитать"));
  ASSERT_TRUE(QFile::setPermissions(folder.File("first.ini"), QFile::ReadOwner));
  EXPECT_EQ(folder.Read("first.ini"), ProcessFile(1));

  // Vorta.ini unreadable: no vessel starts and nothing is written back
  // (its DozeCount would otherwise come back as the default 10).
  messages.Errors.clear();
  ASSERT_TRUE(test::TUnprivilegedFiles::MakeWriteOnly(folder.Path(), folder.File("Vorta.ini")));
  {
    test::TUnprivilegedFiles user;
    RunAndShutDown(folder.Path(), 0);
  }
  EXPECT_EQ(ErrorsNaming(folder.File("Vorta.ini")), 1) << messages.Errors.join('\n').toStdString();
  ASSERT_TRUE(QFile::setPermissions(folder.File("Vorta.ini"), QFile::ReadOwner));
  EXPECT_EQ(folder.Read("Vorta.ini"), kMain);
}

// A FIFO in a configuration file's place once held the start in open() for
// ever; it is refused with a message naming it, and stays as it was.
TEST_F(FilesKeptTest, fifoInPlaceOfAConfigurationFileIsRefusedWithoutWaiting) {
  test::TProgramFolder folder;
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", ProcessFile(1));
  for (const char* name : {"second.ini", "VortaCAN.ini"})
    ASSERT_TRUE(test::MakeFifo(folder.File(name)));
  {
    const test::TFifoWatchdog watchdog({folder.File("second.ini"), folder.File("VortaCAN.ini")});
    RunAndShutDown(folder.Path(), 1);
    EXPECT_FALSE(watchdog.Fired());
  }
  for (const char* name : {"second.ini", "VortaCAN.ini"}) {
    EXPECT_TRUE(test::IsFifo(folder.File(name))) << name;
    EXPECT_EQ(ErrorsNaming(folder.File(name)), 1) << messages.Errors.join('\n').toStdString();
  }

  // In place of Vorta.ini: no vessel starts, and the pipe is not replaced.
  messages.Errors.clear();
  ASSERT_TRUE(QFile::remove(folder.File("Vorta.ini")));
  ASSERT_TRUE(test::MakeFifo(folder.File("Vorta.ini")));
  {
    const test::TFifoWatchdog watchdog(
        {folder.File("Vorta.ini"), folder.File("second.ini"), folder.File("VortaCAN.ini")});
    RunAndShutDown(folder.Path(), 0);
    EXPECT_FALSE(watchdog.Fired());
  }
  EXPECT_TRUE(test::IsFifo(folder.File("Vorta.ini")));
  EXPECT_EQ(ErrorsNaming(folder.File("Vorta.ini")), 1) << messages.Errors.join('\n').toStdString();
}

// An installed program keeps its event log in the program folder; opening a
// FIFO there for appending once held the start for ever.
TEST_F(FilesKeptTest, installedProgramRefusesAFifoInPlaceOfItsEventLog) {
  test::TProgramFolder folder;
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", ProcessFile(1));
  ASSERT_TRUE(test::MakeFifo(folder.File("Vorta.log")));
  // The program as installed: run from a folder named bin.
  ASSERT_TRUE(QDir().mkpath(folder.File("bin")));
  const QString exe = folder.File("bin/vorta");
  ASSERT_TRUE(QFile::copy(VORTA_BIN, exe));
  QProcess vorta;
  vorta.start(exe, {"--folder", folder.Path(), "--fast-forward", "0.001"});
  const bool ended = vorta.waitForFinished(30'000);
  if (!ended) vorta.kill();
  ASSERT_TRUE(ended) << "the program hung";
  const QString errors = QString::fromLocal8Bit(vorta.readAllStandardError());
  EXPECT_EQ(vorta.exitCode(), 0) << errors.toStdString();
  EXPECT_TRUE(errors.contains(folder.File("Vorta.log") + ": не обычный файл"))
      << errors.toStdString();
  EXPECT_TRUE(test::IsFifo(folder.File("Vorta.log")));
}

TEST_F(FilesKeptTest, startRemovesOnlyStaleTemporariesOfItsOwnFiles) {
  test::TProgramFolder folder;
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", ProcessFile(1));
  // Saves killed between their temporary file and the rename left
  // "<file>.<six letters>"; the others are not the program's leftovers.
  const QStringList killed = {"first.ini.qWeRtY", "Vorta.ini.AbcDef", "second.ini.zzYYxx"};
  const QStringList others = {"other.txt.Ab12Cd", "first.ini.Ab12C", "first.ini.bak",
                              "first.ini.Newer1"};
  const QDateTime now = QDateTime::currentDateTimeUtc();
  for (const QString& name : others + killed) {
    folder.Write(name, "x");
    // "Newer1" was made by a copy that started after this one.
    const QDateTime stamp = now.addSecs(name.endsWith("Newer1") ? 3600 : -3600);
    QFile f(folder.File(name));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
  }

  THeadlessMainWindow window;
  TCANService dm{time, TAdapterFactory{}};
  TMainForm form(TMainForm::TDeps{time, messages, windows, window, dm}, folder.Path());
  ASSERT_EQ(form.Start(), TMainForm::TStartResult::Running);

  // second.ini is listed, though the file itself is missing.
  for (const QString& name : killed) EXPECT_FALSE(folder.Exists(name)) << name.toStdString();
  for (const char* kept : {"other.txt.Ab12Cd", "first.ini.Ab12C", "first.ini.bak",
                           "first.ini.Newer1", "first.ini", "Vorta.ini"}) {
    EXPECT_TRUE(folder.Exists(kept)) << kept;
  }
}
