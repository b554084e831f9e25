#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Fifo.h"
#include "HeadlessFormFixture.h"
#include "process/ProcessListEntries.h"
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

  ASSERT_EQ(messages.Errors.size(), 1) << messages.Errors.join('\n').toStdString();
  const QStringList e = messages.Errors[0].split('\n').mid(1);
  ASSERT_EQ(e.size(), 10) << messages.Errors[0].toStdString();
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
               "DozeCount=99999999999\r\n");
  folder.Write("p1.ini", "[Port]\r\nNumProcess=1\r\n");
  THeadlessMainWindow window;
  TCANService dm{time, TAdapterFactory{}};
  TMainForm form(TMainForm::TDeps{time, messages, windows, window, dm}, folder.Path());

  ASSERT_EQ(form.Start(), TMainForm::TStartResult::Running);
  EXPECT_EQ(form.Processes().Count(), 1);
  EXPECT_TRUE(messages.Errors.join('\n').contains("./p1.ini"));
  EXPECT_EQ(form.DozeCount, 10);
  EXPECT_EQ(form.FillPhaseTimer().Interval(), 120);
  EXPECT_EQ(form.Processes().ProcessAt(0)->Channel[2].Config.CtrlOutUp, 8);
  const QStringList reports = messages.Infos.filter("Vorta.ini");
  ASSERT_EQ(reports.size(), 1) << messages.Infos.join('\n').toStdString();
  for (const char* line : {"FazaPeriod=NaN", "DozeCount=99999999999"}) {
    EXPECT_TRUE(reports[0].contains(line)) << line;
  }
}

// Thousands of wrong entries once gave as many message boxes, and a FIFO
// listed as a process file held the start for ever.
TEST(ProcessListEntries, refusalsComeAsOneMessageShowingTheFirstTenAndAFifoIsNeverOpened) {
  QTemporaryDir root;
  const QString folder = root.path() + u'/';
  ASSERT_TRUE(test::MakeFifo(folder + "fifo.ini"));
  QByteArray list = "[Processes]\r\nfifo.ini=1\r\n";
  for (int i = 0; i < 12; ++i) {
    Write(folder + QString("n%1.txt").arg(i), "text\r\n");
    list += "n" + QByteArray::number(i) + ".txt=1\r\n";
  }
  Write(folder + "Vorta.ini", list);
  const TProfileFile main(folder + "Vorta.ini");
  test::TRecordingMessages messages;
  const test::TFifoWatchdog watchdog({folder + "fifo.ini"});

  EXPECT_TRUE(ProcessFilesToLoad(main, folder, messages).isEmpty());

  EXPECT_FALSE(watchdog.Fired());
  ASSERT_EQ(messages.Errors.size(), 1) << messages.Errors.join('\n').toStdString();
  const QStringList lines = messages.Errors[0].split('\n');
  ASSERT_EQ(lines.size(), 12) << messages.Errors[0].toStdString();
  EXPECT_TRUE(lines[0].contains("(13)")) << messages.Errors[0].toStdString();
  EXPECT_TRUE(lines[1].contains("fifo.ini") && lines[1].contains("именованный канал"));
  EXPECT_TRUE(lines[10].startsWith("n8.txt"));
  EXPECT_TRUE(lines[11].contains("ещё 3"));
}

// A data log named as it stood once got rows appended to the program's own
// files, another vessel's files or files outside the folder; two vessels on
// one log interleaved their rows.
TEST_F(ProcessListStart, aVesselWhoseDataLogIsNotItsOwnFileOfTheFolderDoesNotStart) {
  test::TProgramFolder folder;
  test::TProgramFolder elsewhere;
  const QString away = QFileInfo(elsewhere.Path()).dir().dirName();
  ASSERT_TRUE(QFile::link(elsewhere.Path(), folder.File("away")));
  ASSERT_TRUE(QFile::link(elsewhere.File("new.txt"), folder.File("dangling.txt")));
  const QByteArray main =
      "[Processes]\r\na.ini=1\r\nb.ini=1\r\nc.ini=1\r\nd.ini=1\r\ne.ini=1\r\nf.ini=1\r\n"
      "g.ini=1\r\nh.ini=1\r\ni.ini=1\r\nj.ini=1\r\nk.ini=1\r\np.ini=0\r\n"
      "[MQTT]\r\nPasswordFile=secret\r\n";
  folder.Write("Vorta.ini", main);
  folder.Write("VortaCAN.ini", "[CANAdapter]\r\n");
  folder.Write("secret", "pw\r\n");
  const std::pair<const char*, QString> logs[] = {{"a", "Vorta.ini"},
                                                  {"b", "VortaCAN.ini"},
                                                  {"c", "p.ini"},
                                                  {"d", "../" + away + "/out.txt"},
                                                  {"e", "away/out.txt"},
                                                  {"f", "dangling.txt"},
                                                  {"g", "VortaJournal.txt"},
                                                  {"h", "VortaMqtt.offsets"},
                                                  {"i", "log.txt"},
                                                  {"j", "./log.txt"},
                                                  {"k", "secret"},
                                                  {"p", "p.txt"}};
  const auto processFile = [](const QString& log) {
    return "[Port]\r\nNumProcess=1\r\nProtocolname=" + log.toUtf8() +
           "\r\n[Terminate]\r\nsucsesful=Y\r\n";
  };
  for (const auto& [name, log] : logs) folder.Write(QString(name) + ".ini", processFile(log));
  THeadlessMainWindow window;
  TCANService dm{time, TAdapterFactory{}};
  TMainForm form(TMainForm::TDeps{time, messages, windows, window, dm}, folder.Path());

  ASSERT_EQ(form.Start(), TMainForm::TStartResult::Running);

  ASSERT_EQ(form.Processes().Count(), 1);
  EXPECT_EQ(form.Processes().ProcessAt(0)->IniFileName, folder.File("i.ini"));
  const QStringList refusals = messages.Errors.filter("[Processes]");
  ASSERT_EQ(refusals.size(), 1) << messages.Errors.join('\n').toStdString();
  const QStringList lines = refusals[0].split('\n').mid(1);
  ASSERT_EQ(lines.size(), 10) << refusals[0].toStdString();
  const char* reasons[] = {"самой программы", "самой программы", "файл процесса",
                           "вне папки",       "вне папки",       "вне папки",
                           "самой программы", "самой программы", "уже ведёт процесс i.ini",
                           "самой программы"};
  int n = 0;
  for (const auto& [name, log] : logs) {
    const QString file = QString(name) + ".ini";
    if (file == "i.ini" || file == "p.ini") continue;
    EXPECT_TRUE(lines[n].startsWith(file + ", [Port] Protocolname=" + log) &&
                lines[n].contains(reasons[n]))
        << lines[n].toStdString();
    EXPECT_EQ(folder.Read(file), processFile(log)) << "written: " << file.toStdString();
    ++n;
  }
  EXPECT_EQ(folder.Read("Vorta.ini"), main);
  EXPECT_EQ(folder.Read("VortaCAN.ini"), "[CANAdapter]\r\n");
  EXPECT_EQ(folder.Read("secret"), "pw\r\n");
  EXPECT_EQ(QDir(elsewhere.Path()).entryList(QDir::Files), QStringList());
}
