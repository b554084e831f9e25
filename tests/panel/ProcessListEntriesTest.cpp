#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "HeadlessFormFixture.h"
#include "panel/ProcessListEntries.h"
#include "platform/ProfileFile.h"

using namespace vorta;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  f.write(bytes);
}

// The program's start on a folder of the test's own.
class ProcessListStart : public test::THeadlessFormFixture {};

}  // namespace

// Each wrong entry once wrote INI sections into a file that is not a process
// file, or ran one vessel twice.
TEST(ProcessListEntries, refusesEveryFileThatIsNotAProcessFileOfTheFolderOnce) {
  QTemporaryDir root;
  const QString folder = root.filePath("prog") + u'/';
  ASSERT_TRUE(QDir().mkpath(folder + "sub"));
  Write(root.filePath("outside.ini"), "[Port]\r\nNumProcess=9\r\n");
  ASSERT_TRUE(QFile::link(root.filePath("outside.ini"), folder + "link.ini"));
  Write(folder + "VortaCAN.ini", "[CANAdapter]\r\nType=QTR4\r\n");
  Write(folder + "p1.ini", "[Port]\r\nNumProcess=1\r\nProtocolname=Protocol1.txt\r\n");
  Write(folder + "sub/p2.ini", "[port]\r\nNumProcess=2\r\n");
  Write(folder + "Protocol1.txt", "Date\tTime\tpH\r\n06.12.2026\t10:00:00\t7.00\tUnctr\r\n");
  Write(folder + "Protocol.txt", "Date\tTime\tpH\r\n");  // the default log of sub/p2.ini
  Write(folder + "notes.txt", "just text\r\n");
  Write(folder + "VortaJournal.txt", "[Port]\r\n");  // even one that looks like a process file
  Write(folder + "Vorta.ini",
        "[Processes]\r\nProtocol1.txt=1\r\np1.ini=1\r\nVortaCAN.ini=1\r\nVorta.ini=1\r\n"
        "../outside.ini=1\r\nlink.ini=1\r\n./p1.ini=1\r\nsub/p2.ini=1\r\nsub/../p1.ini=1\r\n"
        "notes.txt=1\r\nProtocol.txt=1\r\nmissing.ini=1\r\nVortaJournal.txt=1\r\n");
  const TProfileFile main(folder + "Vorta.ini");
  test::TRecordingMessages messages;

  EXPECT_EQ(ProcessFilesToLoad(main, folder, messages), (QStringList{"p1.ini", "sub/p2.ini"}));

  const QStringList& e = messages.Errors;
  ASSERT_EQ(e.size(), 10) << e.join('\n').toStdString();
  EXPECT_TRUE(e[0].contains("Protocol1.txt") && e[0].contains("журнал данных"));
  EXPECT_TRUE(e[1].contains("VortaCAN.ini") && e[1].contains("файл самой программы"));
  EXPECT_TRUE(e[2].contains("Vorta.ini") && e[2].contains("файл самой программы"));
  EXPECT_TRUE(e[3].contains("../outside.ini") && e[3].contains("вне папки программы"));
  EXPECT_TRUE(e[4].contains("link.ini") && e[4].contains("вне папки программы"));
  EXPECT_TRUE(e[5].contains("./p1.ini") && e[5].contains("повторно"));
  EXPECT_TRUE(e[6].contains("sub/../p1.ini") && e[6].contains("повторно"));
  EXPECT_TRUE(e[7].contains("notes.txt") && e[7].contains("[Port]"));
  EXPECT_TRUE(e[8].contains("Protocol.txt") && e[8].contains("журнал данных"));
  EXPECT_TRUE(e[9].contains("VortaJournal.txt") && e[9].contains("файл самой программы"));
}

// At start: the list runs each vessel once, and the main configuration's
// numbers are taken as its process files' are.
TEST_F(ProcessListStart, startUpRunsAListedFileOnceAndReportsMainConfigurationNumbers) {
  test::TProgramFolder folder;
  folder.Write("Vorta.ini",
               "[Processes]\r\np1.ini=1\r\n./p1.ini=1\r\n[Podpitka]\r\nFazaPeriod=NaN\r\n"
               "DozeCount=99999999999\r\n[WARMCTRL]\r\nIndexWater=70000\r\n");
  folder.Write("p1.ini", "[Port]\r\nNumProcess=1\r\n");
  THeadlessMainWindow window;
  TCANService dm{time, TAdapterFactory{}};
  TMainForm form(TMainForm::TDeps{time, messages, windows, window, dm}, folder.Path());

  ASSERT_EQ(form.Start(), TMainForm::TStartResult::Running);
  EXPECT_EQ(form.Processes().Count(), 1);
  EXPECT_TRUE(messages.Errors.join('\n').contains("./p1.ini"));
  EXPECT_EQ(form.DozeCount, 10);
  EXPECT_EQ(form.FillPhaseTimer().Interval(), 120);
  EXPECT_EQ(form.Processes().ProcessAt(0)->CtrlOutUp[2], 8);
  const QStringList reports = messages.Infos.filter("Vorta.ini");
  ASSERT_EQ(reports.size(), 1) << messages.Infos.join('\n').toStdString();
  for (const char* line : {"FazaPeriod=NaN", "DozeCount=99999999999", "IndexWater=70000"}) {
    EXPECT_TRUE(reports[0].contains(line)) << line;
  }
}
