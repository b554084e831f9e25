// Which vessels the program's start runs from its list, and what it refuses.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "HeadlessFormFixture.h"

using namespace vorta;

namespace {

// The program's start on a folder of the test's own.
class ProcessListStart : public test::THeadlessFormFixture {};

}  // namespace

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
