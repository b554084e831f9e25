// The program as a user starts it: two copies on one folder, a signal to stop.

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <csignal>
#include <tuple>

#include "FileSystemFaults.h"
#include "JournalRows.h"
#include "ProgramFolder.h"
#include "ProgramProcess.h"
#include "app/FolderClaim.h"
#include "journal/JournalFormat.h"

namespace {

class ProgramRunTest : public ::testing::Test {
 protected:
  void SetUp() override { env = vorta::test::HeadlessProgramEnvironment(runtime.Path()); }

  void Start(QProcess& p, const QStringList& extra = {}) {
    p.setProcessEnvironment(env);
    p.start(VORTA_BIN, QStringList{"--folder", folder.Path()} + extra);
    ASSERT_TRUE(p.waitForStarted(5000));
  }

  vorta::test::TProgramFolder folder;
  vorta::test::TProgramFolder runtime;
  QProcessEnvironment env;
};

}  // namespace

TEST_F(ProgramRunTest, oneCopyPerFolderWhateverTheUserAndASignalKeepsTheModes) {
  folder.Write("Vorta.ini", "[Processes]\r\np.ini=1\r\n");
  folder.Write("p.ini",
               "[Port]\r\nNameProcess=P\r\nNumProcess=1\r\n[Terminate]\r\nsucsesful=Y\r\n");
  QProcess first;
  Start(first);
  // Wait until the first copy has loaded its vessel (the mark turns N).
  for (int i = 0; i < 100 && !folder.Read("p.ini").contains("sucsesful=N"); ++i) {
    first.waitForFinished(50);
  }
  ASSERT_TRUE(folder.Read("p.ini").contains("sucsesful=N"));
  const QByteArray processFile = folder.Read("p.ini");
  const QByteArray journal = folder.Read("VortaJournal.txt");

  // The same user: the first copy is asked to come to the front.
  QProcess second;
  Start(second);
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(second.readAllStandardError().contains("already running"));

  // Another user, through a symbolic link, with a /tmp of its own: refused
  // before it touches anything, and told who runs the folder.
  if (::geteuid() == 0) {
    vorta::test::TProgramFolder links;
    ASSERT_TRUE(QFile::link(folder.Path(), links.File("lab")));
    ASSERT_TRUE(QFile::setPermissions(
        folder.Path(), QFile::permissions(folder.Path()) | QFile::ExeOther | QFile::ReadOther));
    ASSERT_TRUE(QFile::setPermissions(
        links.Path(), QFile::permissions(links.Path()) | QFile::ExeOther | QFile::ReadOther));
    QProcess other;
    other.setProcessEnvironment(env);
    other.start("runuser",
                {"-u", "nobody", "--", VORTA_BIN, "--headless", "--folder", links.File("lab")});
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_EQ(other.exitCode(), 5);
    EXPECT_TRUE(QString::fromLocal8Bit(other.readAllStandardError())
                    .contains(QStringLiteral("PID %1").arg(first.processId())));
  }
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(folder.Read("p.ini"), processFile);
  EXPECT_EQ(folder.Read("VortaJournal.txt"), journal);

  // The service manager's stop: in order, but the vessel keeps its mode.
  ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
  ASSERT_TRUE(first.waitForFinished(10000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_TRUE(folder.Read("p.ini").contains("sucsesful=N"));
  EXPECT_TRUE(folder.Read("p.ini").contains("KeptMode=0"));
  EXPECT_TRUE(folder.Read("Vorta.ini").contains("DozeCount=10"));
  QProcess verify;
  Start(verify, {"--verify-journal"});
  ASSERT_TRUE(verify.waitForFinished(10000));
  EXPECT_EQ(verify.exitCode(), 0) << verify.readAllStandardOutput().toStdString();
  EXPECT_FALSE(folder.Read("VortaJournal.txt").contains("Аварийное завершение"));

  // A killed copy's lock goes with it: the next start is not refused.
  QProcess killed;
  Start(killed);
  for (int i = 0; i < 100 && !folder.Exists("Vorta.ctl"); ++i) killed.waitForFinished(50);
  ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
  ASSERT_TRUE(killed.waitForFinished(10000));
  QProcess next;
  Start(next);
  EXPECT_FALSE(next.waitForFinished(1500)) << next.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(next.processId()), SIGTERM);
  ASSERT_TRUE(next.waitForFinished(10000));
  EXPECT_EQ(next.exitCode(), 0);
}

TEST_F(ProgramRunTest, ctlOperatesTheRunningCopyThroughTheEngineAndRefusesBadInput) {
  const QString demo = folder.File("demo");
  QProcess prepare;
  Start(prepare, {"--demo", "--folder", demo, "--prepare"});
  ASSERT_TRUE(prepare.waitForFinished(10000));
  ASSERT_EQ(prepare.exitCode(), 0);
  EXPECT_FALSE(QFile::exists(demo + "/Protocol1.txt"));  // nothing ran

  QProcess copy;
  Start(copy, {"--folder", demo, "--headless"});
  for (int i = 0; i < 100 && !QFile::exists(demo + "/Vorta.ctl"); ++i) copy.waitForFinished(50);
  const auto ctl = [&](const QStringList& words, QString* out = nullptr, const QString& user = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    const QStringList args = QStringList{"ctl", "--folder", demo} + words;
    if (user.isEmpty()) {
      p.start(VORTA_BIN, args);
    } else {
      p.start("runuser", QStringList{"-u", user, "--", VORTA_BIN} + args);
    }
    EXPECT_TRUE(p.waitForFinished(10000));
    if (out != nullptr) {
      *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    }
    return p.exitCode();
  };
  QString out;
  // Every answer in one shape: the version, the time, the words, the exit
  // code, and the result (or the error).
  const auto json = [&ctl](const QStringList& words, int exit) {
    QString text;
    EXPECT_EQ(ctl(QStringList{"--json"} + words, &text), exit) << text.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    EXPECT_EQ(o["version"].toInt(), 1) << text.toStdString();
    EXPECT_TRUE(QDateTime::fromString(o["time"].toString(), Qt::ISODate).isValid());
    EXPECT_EQ(o["command"].toArray().size(), words.size());
    EXPECT_EQ(o["exit"].toInt(-1), exit);
    EXPECT_EQ(o["ok"].toBool(), exit == 0);
    EXPECT_EQ(o.contains("error"), exit != 0);
    return exit == 0 ? o["result"] : o["error"];
  };
  EXPECT_EQ(json({"status"}, 0)["vessels"].toArray().size(), 4);
  // The socket: read and write for its owner and the folder's group, nothing
  // else, and no private directory left from making it.
  struct stat socket {};
  ASSERT_EQ(::lstat(QFile::encodeName(demo + "/Vorta.ctl").constData(), &socket), 0);
  EXPECT_TRUE(S_ISSOCK(socket.st_mode));
  EXPECT_EQ(socket.st_mode & 07777, 0660u);
  EXPECT_EQ(QDir(demo).entryList({".Vorta.ctl.*"}, QDir::AllEntries | QDir::Hidden), QStringList());
  {  // a folder given relative to the working folder
    QProcess relative;
    relative.setProcessEnvironment(env);
    relative.setWorkingDirectory(folder.Path());
    relative.start(VORTA_BIN, {"ctl", "--folder", "demo", "status"});
    ASSERT_TRUE(relative.waitForFinished(10000));
    EXPECT_EQ(relative.exitCode(), 0) << relative.readAllStandardError().toStdString();
  }
  EXPECT_EQ(ctl({"status"}, &out), 0);
  EXPECT_TRUE(out.contains(QStringLiteral("Ферментёр 4"))) << out.toStdString();

  const auto journal = [&demo] {
    QFile f(demo + "/VortaJournal.txt");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  const QByteArray before = journal();
  for (const QStringList& bad :
       {QStringList{"mode", "9", "batch"}, QStringList{"mode", "2", "fast"},
        QStringList{"setpoint", "2", "pH", "6..5"}, QStringList{"setpoint", "2", "pH", "99"},
        QStringList{"setpoint", "2", "xx", "7"}, QStringList{"frob"}}) {
    EXPECT_NE(ctl(bad, &out), 0) << bad.join(' ').toStdString();
    EXPECT_FALSE(out.isEmpty());
  }
  EXPECT_EQ(journal(), before);
  // The dialog refuses the same value in the same words (tests/windows/panel).
  EXPECT_NE(ctl({"setpoint", "2", "pH", "99"}, &out), 0);
  EXPECT_TRUE(out.contains(QStringLiteral("Уставка pH 99.00 вне пределов измерения канала")))
      << out.toStdString();

  ASSERT_EQ(ctl({"mode", "2", "batch"}, &out), 0) << out.toStdString();
  ASSERT_EQ(ctl({"setpoint", "2", "pH", "6.5"}, &out), 0) << out.toStdString();
  const QList<QByteArray> last = vorta::test::JournalLastLines(demo + "/VortaJournal.txt", 2);
  ASSERT_EQ(last.size(), 2);
  const auto mode = vorta::ParseJournalLine(QString::fromUtf8(last[0]));
  ASSERT_TRUE(mode.has_value());
  EXPECT_EQ(mode->Vessel, "2");
  EXPECT_EQ(mode->Subject, "[Mode] mode");
  EXPECT_EQ(mode->Source, "Command");
  EXPECT_EQ(mode->User, vorta::OperatorName());
  EXPECT_TRUE(last[1].contains("6.50\tCommand"));
  EXPECT_EQ(json({"status"}, 0)["vessels"][1]["modeKey"].toString(), "batch");

  // The read commands: the journal's last records checked as they are read,
  // a vessel's parameters and outputs, the copy itself.
  ASSERT_EQ(ctl({"journal", "-n", "1", "--vessel", "2"}, &out), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("6.50")) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("Цепочка сходится"))) << out.toStdString();
  const QJsonValue records = json({"journal", "--since", "1h", "-n", "2"}, 0);
  EXPECT_EQ(records["records"].toArray().size(), 2);
  EXPECT_EQ(records["records"][1]["source"].toString(), "Command");
  EXPECT_TRUE(records["chain"]["matches"].toBool());
  const QJsonValue version = json({"version"}, 0);
  EXPECT_EQ(version["folder"].toString(), QDir(demo).absolutePath());
  EXPECT_EQ(version["pid"].toInt(), copy.processId());
  EXPECT_GE(version["protocol"].toInt(), 1);
  const QJsonValue outputs = json({"outputs", "2"}, 0)["outputs"];
  ASSERT_EQ(outputs.toArray().size(), 16);
  EXPECT_TRUE(outputs[15]["on"].isBool());
  EXPECT_FALSE(outputs[0]["drivenBy"].toArray().isEmpty());  // the pH regulator's output

  // A change of control parameters: the others stay as exactly as they were,
  // the journal names the caller; words and names in any case.
  const QJsonValue before2 = json({"params", "2", "pO2"}, 0)["channels"][0];
  ASSERT_EQ(ctl({"PARAMS", "2", "PO2", "DeadZone=1.25"}, &out), 0) << out.toStdString();
  const QJsonValue after2 = json({"params", "2", "po2"}, 0)["channels"][0];
  EXPECT_EQ(after2["deadzone"].toString(), "1.25");
  for (const char* key : {"gainup", "gaindown", "low", "high", "period", "regulation"}) {
    EXPECT_EQ(after2[key], before2[key]) << key;
  }
  const auto last1 = vorta::ParseJournalLine(
      QString::fromUtf8(vorta::test::JournalLastLines(demo + "/VortaJournal.txt", 1).value(0)));
  ASSERT_TRUE(last1.has_value());
  EXPECT_EQ(last1->Source, "Command");
  EXPECT_EQ(last1->NewValue, "1.25");
  EXPECT_EQ(ctl({"Mode", "2", "CHEMOSTAT"}, &out), 0) << out.toStdString();
  EXPECT_EQ(ctl({"setpoint", "2", "PH", "6.6"}, &out), 0) << out.toStdString();
  EXPECT_EQ(ctl({"stirrer", "2", "150"}, &out), 0) << out.toStdString();
  // The demo's vessel 2 turns 1000 rpm at code 255: 150 rpm is code 38.
  const auto stirrer = vorta::ParseJournalLine(
      QString::fromUtf8(vorta::test::JournalLastLines(demo + "/VortaJournal.txt", 1).value(0)));
  ASSERT_TRUE(stirrer.has_value());
  EXPECT_EQ(stirrer->Subject, "[Mixer] MixCode");
  EXPECT_EQ(stirrer->NewValue, "38");
  EXPECT_FALSE(json({"stirrer", "2", "1000000"}, 1).toString().isEmpty());
  EXPECT_FALSE(json({"params", "2", "pH", "gainup=x"}, 1).toString().isEmpty());
  EXPECT_FALSE(json({"params", "2", "pH", "nosuch=1"}, 64).toString().isEmpty());
  EXPECT_TRUE(json({"ACK", "ALL"}, 0)["acknowledged"].isDouble());

  // Only the folder's group may operate it.
  if (::geteuid() == 0) {
    ASSERT_TRUE(
        QFile::setPermissions(folder.Path(), QFile::permissions(folder.Path()) | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(demo, QFile::permissions(demo) | QFile::ExeOther));
    EXPECT_EQ(ctl({"mode", "2", "uncontrolled"}, &out, "nobody"), 77) << out.toStdString();
  }
  ::kill(static_cast<pid_t>(copy.processId()), SIGTERM);
  ASSERT_TRUE(copy.waitForFinished(10000));
  EXPECT_EQ(ctl({"status"}, &out), 69);
}

TEST_F(ProgramRunTest, missingMainConfigurationFailsStartUp) {
  QProcess p;
  Start(p);
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_NE(p.exitCode(), 0);
  EXPECT_TRUE(p.readAllStandardError().contains("Vorta.ini"));
}

// A copy in a folder named bin runs as the installed program does: its event
// log and the default program folder are the user's, not beside it.
TEST_F(ProgramRunTest, installedProgramRefusingToRunLeavesNoFilesBehind) {
  vorta::test::TProgramFolder bin;
  ASSERT_TRUE(QDir().mkpath(bin.File("bin")));
  const QString vorta = bin.File("bin/vorta");
  ASSERT_TRUE(QFile::copy(VORTA_BIN, vorta));
  env.insert("HOME", folder.File("home"));
  env.remove("XDG_DATA_HOME");
  const QString empty = folder.File("empty");
  ASSERT_TRUE(QDir().mkpath(empty));
  struct TCase {
    QStringList Args;
    int Code;
  };
  for (const auto& [args, code] :
       {TCase{{"--folder", empty}, 1}, TCase{{"--fast-forward", "-1"}, 2},
        TCase{{"--demo", "--folder", folder.File("demo"), "--fast-forward", "-1"}, 2}}) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(vorta, args);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), code) << args.join(' ').toStdString();
  }
  EXPECT_EQ(QDir(empty).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{});
  EXPECT_FALSE(folder.Exists("home/.local/share/vorta"));
  EXPECT_FALSE(folder.Exists("demo"));
}

// What a script or the service manager must tell apart: a command line the
// program cannot take (64), a bad value (2), a journal that does not check (1).
// None of them says anything on the standard output.
TEST_F(ProgramRunTest, refusedCommandLinesExitWithTheirCodeAndOnlyAnError) {
  folder.Write("VortaJournal.txt", "not a journal\n");
  const QString dir = folder.Path();
  struct TCase {
    const char* Program;
    QStringList Args;
    int Code;
  };
  for (const auto& [program, args, code] : {
           TCase{VORTA_BIN, {"--folder", dir, "--no-such-option"}, 64},
           TCase{VORTA_BIN, {"--folder"}, 64},
           TCase{VORTA_BIN, {"--folder", dir, "--headless", "stray"}, 64},
           TCase{VORTA_BIN, {"--verify-journal", folder.File("VortaJournal.txt"), "stray"}, 64},
           TCase{VORTA_BIN, {"--folder", dir, "--verify-journal"}, 1},
           TCase{VORTA_BIN, {"--verify-journal", folder.File("absent.txt")}, 1},
           TCase{VORTA_SIM_BIN, {"--pty", "--folder", dir, "--no-such-option"}, 64},
           TCase{VORTA_SIM_BIN, {"--pty", "--folder", dir, "stray"}, 64},
           TCase{VORTA_SIM_BIN, {"--pty", "--folder", dir, "--garbage", "abc"}, 2},
           TCase{VORTA_SIM_BIN, {"--pty", "--folder", dir, "--bad-crc", "-3"}, 2},
           TCase{VORTA_SIM_BIN, {"--pty", "--folder", dir, "--split", "2.5"}, 2},
           TCase{VORTA_SIM_BIN, {"--pty", "--folder", dir, "--seed", "x"}, 2},
       }) {
    const std::string line = std::string(program) + ' ' + args.join(' ').toStdString();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    ASSERT_TRUE(p.waitForStarted(5000)) << line;
    if (!p.waitForFinished(5000)) {
      p.kill();
      p.waitForFinished(5000);
      ADD_FAILURE() << "still running: " << line;
      continue;
    }
    EXPECT_EQ(p.exitCode(), code) << line;
    EXPECT_EQ(p.readAllStandardOutput(), QByteArray()) << line;
    EXPECT_FALSE(p.readAllStandardError().isEmpty()) << line;
  }
}

TEST_F(ProgramRunTest, headlessRunPrintsOneStatusLinePerVessel) {
  folder.Write("Vorta.ini", "[Processes]\r\np.ini=1\r\n");
  folder.Write("p.ini", "[Port]\r\nNameProcess=Vessel %d\r\nNumProcess=4\r\n");
  QProcess p;
  Start(p, {"--headless"});
  QByteArray out;
  for (int i = 0; i < 50 && !out.contains('\n'); ++i) {
    p.waitForReadyRead(200);
    out += p.readAllStandardOutput();
  }
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_TRUE(out.contains("Vessel 4 | pH")) << out.toStdString();
  EXPECT_EQ(p.exitCode(), 0);
}

TEST_F(ProgramRunTest, fastForwardRefusesNanAndEndsInOrderOnASignal) {
  folder.Write("Vorta.ini", "[Processes]\r\np.ini=1\r\n");
  folder.Write("p.ini",
               "[Port]\r\nNameProcess=P\r\nNumProcess=1\r\n[Terminate]\r\nsucsesful=Y\r\n");
  QProcess nan;
  Start(nan, {"--fast-forward", "nan"});
  ASSERT_TRUE(nan.waitForFinished(10000));
  EXPECT_EQ(nan.exitCode(), 2);

  QProcess p;
  Start(p, {"--fast-forward", "8000"});
  QByteArray out;
  for (int i = 0; i < 100 && !out.contains("simulated"); ++i) {
    p.waitForReadyRead(100);
    out += p.readAllStandardOutput();
  }
  ASSERT_TRUE(out.contains("simulated")) << out.toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(folder.Read("p.ini").contains("sucsesful=Y"));
}

TEST_F(ProgramRunTest, fastForwardThatCouldNotWriteItsRowsDoesNotExitZero) {
  vorta::test::TSmallFileSystem fs("256k");
  if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << fs.Error().toStdString();
  for (const auto& [name, text] :
       {std::pair{"Vorta.ini", QByteArray("[Processes]\r\np.ini=1\r\n")},
        std::pair{"p.ini", QByteArray("[Port]\r\nNameProcess=P\r\nNumProcess=1\r\n"
                                      "[Terminate]\r\nsucsesful=Y\r\n")}}) {
    QFile f(fs.Path() + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  ASSERT_TRUE(fs.Fill());
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(VORTA_BIN, {"--folder", fs.Path(), "--fast-forward", "0.1"});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 4) << p.readAllStandardError().toStdString();
}

TEST_F(ProgramRunTest, aHugeDeviceCountDoesNotStallTheStart) {
  folder.Write("Vorta.ini", "[Processes]\r\n");
  folder.Write("VortaCAN.ini",
               "[CANAdapter]\r\nType=Marathon\r\n[CHAI]\r\nBackend=virtual\r\n"
               "[CANDevices]\r\nCount=2147483647\r\nName0=Board1\r\n"
               "[Board1]\r\nType=TSUABB\r\nDeviceUID=256\r\n");
  QProcess p;
  Start(p, {"--fast-forward", "0.01"});
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitCode(), 0);
}

TEST_F(ProgramRunTest, aDemoDayLeavesAJournalThatVerifies) {
  const QString demo = folder.File("demo");
  QProcess day;
  Start(day, {"--demo", "--folder", demo, "--fast-forward", "24"});
  ASSERT_TRUE(day.waitForFinished(120000));
  ASSERT_EQ(day.exitCode(), 0) << day.readAllStandardError().toStdString();

  QProcess verify;
  Start(verify, {"--verify-journal", "--folder", demo});
  ASSERT_TRUE(verify.waitForFinished(10000));
  const QString out = QString::fromLocal8Bit(verify.readAllStandardOutput());
  EXPECT_EQ(verify.exitCode(), 0) << out.toStdString();
  // At least the start, the hashes after loading, the hashes at the end and the end.
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral(R"((\d+) records, OK)")).match(out);
  ASSERT_TRUE(m.hasMatch()) << out.toStdString();
  EXPECT_GE(m.captured(1).toInt(), 4);
  QFile journal(demo + "/VortaJournal.txt");
  ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
  EXPECT_TRUE(
      QString::fromUtf8(journal.readAll()).contains(QStringLiteral("Завершение программы")));
}

TEST_F(ProgramRunTest, fastForwardOverARealTimeConverterIsRefused) {
  folder.Write("Vorta.ini", "[Processes]\r\n");
  for (const QByteArray& adapter :
       {QByteArray("Type=QTR4\r\nPort=/dev/null\r\n"), QByteArray("Type=Marathon\r\n")}) {
    folder.Write("VortaCAN.ini", "[CANAdapter]\r\n" + adapter + "[CANDevices]\r\nCount=0\r\n");
    QProcess p;
    Start(p, {"--fast-forward", "1"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2) << adapter.toStdString();
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains("реальном времени"));
  }
}

TEST_F(ProgramRunTest, ctlTellsACommandLineMistakeAndAFolderWithoutACopyForWhatTheyAre) {
  const auto run = [this](const QStringList& args, QString* err) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(VORTA_BIN, args);
    EXPECT_TRUE(p.waitForFinished(10000));
    *err = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
  };
  QString out;
  EXPECT_EQ(run({"ctl", "--folder"}, &out), 64) << out.toStdString();
  EXPECT_EQ(run({"ctl", "--folder", folder.Path(), "frob"}, &out), 64) << out.toStdString();
  EXPECT_EQ(run({"ctl", "--folder", folder.Path(), "mode", "1"}, &out), 64) << out.toStdString();
  ASSERT_TRUE(QDir(folder.Path()).mkdir("Vorta.ctl"));
  EXPECT_EQ(run({"ctl", "--folder", folder.Path(), "status"}, &out), 69);
  EXPECT_TRUE(out.contains(QStringLiteral("каталог"))) << out.toStdString();
  EXPECT_FALSE(out.contains("Unknown error")) << out.toStdString();
  EXPECT_EQ(run({"--help"}, &out), 0);
  EXPECT_TRUE(out.contains("vorta ctl")) << out.toStdString();
  // A service's folder by its name; a name is no path out of the services' folder.
  EXPECT_EQ(run({"ctl", "--instance", "../etc", "status"}, &out), 64) << out.toStdString();
  EXPECT_EQ(run({"ctl", "--instance", "nosuch-lab", "status"}, &out), 69) << out.toStdString();
  EXPECT_TRUE(out.contains("/var/lib/vorta/nosuch-lab")) << out.toStdString();
  // With --json even a command line the client refuses answers in the one shape.
  EXPECT_EQ(run({"ctl", "--json", "--folder", folder.Path(), "frob"}, &out), 64);
  EXPECT_EQ(QJsonDocument::fromJson(out.toUtf8())["exit"].toInt(), 64) << out.toStdString();
  EXPECT_EQ(run({"ctl", "--folder", folder.Path(), "complete", "setpoint", "1"}, &out), 0);
  EXPECT_TRUE(out.contains("pO2")) << out.toStdString();
}

namespace {

// As another user: holds a connection that sends its request a byte every
// half second, then 40 that send nothing; says when the slow one was cut.
const char* const kFlood = R"(
import socket, sys, time
path = sys.argv[1]
slow = socket.socket(socket.AF_UNIX)
slow.connect(path)
held = []
for _ in range(40):
    s = socket.socket(socket.AF_UNIX)
    try:
        s.connect(path)
        held.append(s)
    except OSError:
        pass
print("held", flush=True)
start = time.time()
try:
    for b in b'{"args":["status"]}':
        slow.send(bytes([b]))
        time.sleep(0.5)
    print("slow never cut", flush=True)
except OSError:
    print("slow cut after %.1f s" % (time.time() - start), flush=True)
time.sleep(3)
)";

// As another user: a server of its own in place of the socket; says how many
// bytes the client sent it.
const char* const kFakeServer = R"(
import os, socket, sys
path = sys.argv[1]
if os.path.lexists(path):
    os.unlink(path)
s = socket.socket(socket.AF_UNIX)
s.bind(path)
os.chmod(path, 0o666)
s.listen()
print("ready", flush=True)
s.settimeout(10)
c, _ = s.accept()
c.settimeout(2)
try:
    data = c.recv(4096)
except OSError:
    data = b""
try:
    c.sendall(b'{"exit":0,"out":"fake"}\n')
except OSError:
    pass
print("got %d" % len(data), flush=True)
)";

}  // namespace

TEST_F(ProgramRunTest, ctlKeepsWorkingThroughAFloodAndBelievesOnlyTheFoldersOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const QString demo = folder.File("demo");
  QProcess prepare;
  Start(prepare, {"--demo", "--folder", demo, "--prepare"});
  ASSERT_TRUE(prepare.waitForFinished(10000));
  ASSERT_EQ(prepare.exitCode(), 0);
  // nobody is in the folder's group: an operator gone wrong.
  const group* nogroup = ::getgrnam("nogroup");
  ASSERT_NE(nogroup, nullptr);
  ASSERT_EQ(::chown(QFile::encodeName(demo).constData(), 0, nogroup->gr_gid), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(demo).constData(), 0750), 0);
  ASSERT_TRUE(
      QFile::setPermissions(folder.Path(), QFile::permissions(folder.Path()) | QFile::ExeOther));
  const QString socketPath = demo + "/Vorta.ctl";
  const auto ctl = [&](const QStringList& words, QString* out) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(VORTA_BIN, QStringList{"ctl", "--folder", demo} + words);
    EXPECT_TRUE(p.waitForFinished(15000));
    *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
  };
  const auto asNobody = [&](QProcess& p, const char* script) {
    p.start("runuser", {"-u", "nobody", "--", "/usr/bin/python3", "-c", script, socketPath});
    ASSERT_TRUE(p.waitForStarted(5000));
  };

  QProcess copy;
  Start(copy, {"--folder", demo, "--headless"});
  for (int i = 0; i < 100 && !QFile::exists(socketPath); ++i) copy.waitForFinished(50);
  QString out;
  ASSERT_EQ(ctl({"status"}, &out), 0) << out.toStdString();
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(socketPath).constData(), &st), 0);
  EXPECT_EQ(st.st_gid, nogroup->gr_gid);
  // Few descriptors to spare, as under a service's limit: a flood runs the
  // copy out of them unless it bounds its connections.
  const auto pid = static_cast<pid_t>(copy.processId());
  const qsizetype open = QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                             .entryList(QDir::AllEntries | QDir::System)
                             .size();
  const rlimit limit{static_cast<rlim_t>(open + 12), static_cast<rlim_t>(open + 12)};
  ASSERT_EQ(::prlimit(pid, RLIMIT_NOFILE, &limit, nullptr), 0);

  QProcess flood;
  asNobody(flood, kFlood);
  ASSERT_TRUE(flood.waitForReadyRead(15000)) << flood.readAllStandardError().toStdString();
  EXPECT_EQ(ctl({"status"}, &out), 0) << out.toStdString();
  ASSERT_TRUE(flood.waitForFinished(30000));
  const QString said = QString::fromUtf8(flood.readAllStandardOutput());
  const QRegularExpressionMatch cut =
      QRegularExpression(QStringLiteral("slow cut after ([0-9.]+) s")).match(said);
  ASSERT_TRUE(cut.hasMatch()) << said.toStdString();
  EXPECT_LT(cut.captured(1).toDouble(), 8.0);
  EXPECT_EQ(ctl({"status"}, &out), 0) << out.toStdString();
  EXPECT_TRUE(QFile::exists(socketPath));

  // A file only root may read is not read for an operator, whose plan check
  // would quote it.
  const QString secret = demo + "/secret.yaml";
  {
    QFile f(secret);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("steps:\n  - mode: topsecret\n");
  }
  ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0600), 0);
  EXPECT_NE(ctl({"plan", "check", secret, "--vessel", "1"}, &out), 0);
  EXPECT_TRUE(out.contains("topsecret")) << out.toStdString();  // root may
  for (const char* sub : {"check", "start"}) {
    QProcess peek;
    const QStringList words = QString(sub) == "check"
                                  ? QStringList{"plan", "check", secret, "--vessel", "1"}
                                  : QStringList{"plan", "start", "1", secret};
    peek.start("runuser",
               QStringList{"-u", "nobody", "--", VORTA_BIN, "ctl", "--folder", demo} + words);
    ASSERT_TRUE(peek.waitForFinished(15000));
    const QString said =
        QString::fromUtf8(peek.readAllStandardOutput() + peek.readAllStandardError());
    EXPECT_NE(peek.exitCode(), 0) << sub;
    EXPECT_FALSE(said.contains("topsecret")) << sub << said.toStdString();
    EXPECT_TRUE(said.contains("читать нельзя")) << sub << said.toStdString();
  }

  ::kill(pid, SIGTERM);
  ASSERT_TRUE(copy.waitForFinished(15000));
  const QString errors = QString::fromLocal8Bit(copy.readAllStandardError());
  EXPECT_EQ(errors.count(QStringLiteral("перегружен")), 1) << errors.toStdString();
  QFile journal(demo + "/VortaJournal.txt");
  ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
  EXPECT_EQ(
      QString::fromUtf8(journal.readAll()).count(QStringLiteral("Канал управления перегружен")), 1);

  // A folder its group can write: a member puts a server of its own in place
  // of the socket. root's command is neither sent to it nor believes it.
  ASSERT_EQ(::chmod(QFile::encodeName(demo).constData(), 0770), 0);
  QProcess fake;
  asNobody(fake, kFakeServer);
  ASSERT_TRUE(fake.waitForReadyRead(15000)) << fake.readAllStandardError().toStdString();
  EXPECT_EQ(ctl({"mode", "3", "uncontrolled"}, &out), 76) << out.toStdString();
  EXPECT_TRUE(out.contains("nobody")) << out.toStdString();
  ASSERT_TRUE(fake.waitForFinished(15000));
  EXPECT_TRUE(fake.readAllStandardOutput().contains("got 0"));
}

// The service's layout: a lab folder of the service user with the lab's group
// and the setgid bit. The socket gets that group without a chown, which the
// service's system-call filter forbids and a user outside the group cannot do.
TEST_F(ProgramRunTest, aSetgidFolderGivesTheSocketItsGroupWithoutAChown) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const QString lab = folder.File("lab");
  QProcess prepare;
  Start(prepare, {"--demo", "--folder", lab, "--prepare"});
  ASSERT_TRUE(prepare.waitForFinished(10000));
  ASSERT_EQ(prepare.exitCode(), 0);
  const group* labGroup = ::getgrnam("daemon");  // one nobody is not in
  ASSERT_NE(labGroup, nullptr);
  QProcess own;
  own.start("chown", {"-R", QStringLiteral("nobody:%1").arg(labGroup->gr_gid), lab});
  ASSERT_TRUE(own.waitForFinished(10000));
  ASSERT_EQ(own.exitCode(), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(lab).constData(), 02750), 0);
  ASSERT_TRUE(
      QFile::setPermissions(folder.Path(), QFile::permissions(folder.Path()) | QFile::ExeOther));

  QProcess copy;
  env.insert("XDG_RUNTIME_DIR", lab);
  copy.setProcessEnvironment(env);
  copy.start("runuser", {"-u", "nobody", "--", VORTA_BIN, "--headless", "--folder", lab});
  const QString socketPath = lab + "/Vorta.ctl";
  for (int i = 0; i < 100 && !QFile::exists(socketPath); ++i) copy.waitForFinished(50);
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(socketPath).constData(), &st), 0)
      << copy.readAllStandardError().toStdString();
  EXPECT_EQ(st.st_gid, labGroup->gr_gid);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  ::kill(static_cast<pid_t>(copy.processId()), SIGTERM);
  ASSERT_TRUE(copy.waitForFinished(15000));
  const QString errors = QString::fromLocal8Bit(copy.readAllStandardError());
  EXPECT_FALSE(errors.contains(QStringLiteral("группе"))) << errors.toStdString();
}

TEST_F(ProgramRunTest, aFolderOrSteeringFileOthersCanChangeIsRefusedBeforeAnythingIsWritten) {
  // The second entry leads out of the folder: refused, and never read to be hashed.
  folder.Write("Vorta.ini",
               "[Processes]\r\np.ini=1\r\n../../../../../../../../../../etc/passwd=1\r\n"
               "[Alarms]\r\nCommand=./alarm.sh\r\n");
  folder.Write("p.ini", "[Port]\r\nNameProcess=P\r\nNumProcess=1\r\n");
  folder.Write("alarm.sh", "#!/bin/sh\n");
  const auto mode = [this](const char* name, mode_t m) {
    ASSERT_EQ(::chmod(QFile::encodeName(folder.File(name)).constData(), m), 0) << name;
  };
  mode(".", 0700);
  mode("alarm.sh", 0755);
  const QByteArray processFile = folder.Read("p.ini");
  for (const auto& [name, unsafe, shown] :
       {std::tuple{".", 0777, "0777"}, std::tuple{"Vorta.ini", 0664, "0664"},
        std::tuple{"p.ini", 0646, "0646"}, std::tuple{"alarm.sh", 0775, "0775"}}) {
    const mode_t before = QString(name) == "." ? 0700 : (QString(name) == "alarm.sh" ? 0755 : 0644);
    mode(name, static_cast<mode_t>(unsafe));
    QProcess p;
    Start(p, {"--fast-forward", "0.01"});
    ASSERT_TRUE(p.waitForFinished(10000));
    const QString error = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), vorta::kExitRefused) << name << error.toStdString();
    EXPECT_TRUE(error.contains(shown)) << error.toStdString();
    EXPECT_FALSE(folder.Exists("VortaJournal.txt")) << name;
    EXPECT_FALSE(folder.Exists("Protocol.txt")) << name;
    EXPECT_EQ(folder.Read("p.ini"), processFile);
    mode(name, before);
  }
  // The program's own group may write a sticky folder.
  mode(".", 01770);
  QProcess run;
  Start(run, {"--fast-forward", "0.01"});
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  int hashRecords = 0;
  for (const QByteArray& line : folder.Read("VortaJournal.txt").split('\n')) {
    if (!line.contains("Файлы конфигурации")) continue;
    ++hashRecords;
    EXPECT_TRUE(line.contains("p.ini=")) << line.toStdString();
    EXPECT_FALSE(line.contains("passwd")) << line.toStdString();
  }
  EXPECT_EQ(hashRecords, 2);
  // The lock is its user's alone: nobody else can open it to hold it.
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(folder.File("Vorta.lock")).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Another user on a folder it cannot write is told so, not "No such file".
  if (::geteuid() == 0) {
    vorta::test::TProgramFolder readOnly;
    readOnly.Write("Vorta.ini", "[Processes]\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly.Path()).constData(), 0755), 0);
    QProcess other;
    other.setProcessEnvironment(env);
    other.start("runuser", {"-u", "nobody", "--", VORTA_BIN, "--headless", "--folder",
                            readOnly.Path(), "--fast-forward", "0.01"});
    ASSERT_TRUE(other.waitForFinished(10000));
    const QString error = QString::fromLocal8Bit(other.readAllStandardError());
    EXPECT_EQ(other.exitCode(), vorta::kExitRefused) << error.toStdString();
    EXPECT_TRUE(error.contains("nobody")) << error.toStdString();
    EXPECT_FALSE(error.contains("No such file")) << error.toStdString();
  }
}
