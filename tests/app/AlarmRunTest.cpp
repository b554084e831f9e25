// Alarms on the demo folder with the virtual plant: raised and cleared once
// per episode (a flapping link too), journalled, acknowledged; the dosing
// check fires on a dead pump and keeps quiet on a normal day. The alarm
// command with real scripts that shout, fail and hang.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "DemoRunFixture.h"
#include "app/DemoFolder.h"
#include "journal/AlarmCommand.h"
#include "journal/Alarms.h"
#include "platform/VirtualTimerService.h"
#include "sim/VirtualPlant.h"

using namespace vorta;

namespace {

constexpr std::int64_t kMinute = 60'000;

struct TSeen {
  TAlarmEvent Event;
  TAlarm Alarm;
};

class AlarmRunTest : public test::TDemoRunFixture<THeadlessWindowFactory> {
 protected:
  void SetUp() override {
    TDemoRunFixture::SetUp();
    form->Alarms().Subscribe([this](const TAlarm& a, TAlarmEvent e) { seen.push_back({e, a}); });
  }

  int Count(TAlarmEvent event, TAlarmKind kind, int vessel = -1) const {
    return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](const TSeen& s) {
      return s.Event == event && s.Alarm.Kind == kind && (vessel < 0 || s.Alarm.Vessel == vessel);
    }));
  }

  // Journal records as (kind, subject, new value).
  std::vector<QStringList> Journal() const {
    std::vector<QStringList> records;
    const QStringList lines =
        QString::fromUtf8(folder.Read(QStringLiteral("VortaJournal.txt")))
            .split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const QStringList f = lines[i].split(u'\t');
      if (f.size() >= 8) records.push_back({f[4], f[5], f[7]});
    }
    return records;
  }

  std::vector<TSeen> seen;
};

}  // namespace

TEST_F(AlarmRunTest, silentModuleRaisesOneLinkAlarmClearsItOnceAndTheAcknowledgementIsJournalled) {
  time.AdvanceBy(kMinute);
  ASSERT_TRUE(seen.empty()) << AlarmLine(seen.front().Alarm, seen.front().Event).toStdString();
  plant->Plant()->FindDevice(QStringLiteral("Board1"))->SetSilent(true);
  time.AdvanceBy(2 * kMinute);  // many 2-s checks while it is lost
  plant->Plant()->FindDevice(QStringLiteral("Board1"))->SetSilent(false);
  time.AdvanceBy(2 * kMinute);  // past the hold time before a clear

  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::LinkLost), 1);
  EXPECT_EQ(Count(TAlarmEvent::Cleared, TAlarmKind::LinkLost), 1);
  ASSERT_FALSE(seen.empty());
  const TAlarm link = seen.front().Alarm;
  EXPECT_EQ(link.Vessel, 1);
  EXPECT_EQ(link.Source, "Board1");
  // The module's readings went stale, not wrong: no alarm about them.
  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::ReadingInvalid), 0);

  TAlarms& alarms = form->Alarms();
  EXPECT_TRUE(alarms.Acknowledge(link.Id, QStringLiteral("anna")));
  EXPECT_FALSE(alarms.Acknowledge(link.Id, QStringLiteral("boris")));  // once only
  EXPECT_EQ(alarms.List().front().AckBy, "anna");

  std::vector<QStringList> records;
  for (const QStringList& r : Journal()) {
    if (r[0].startsWith(QLatin1String("Alarm")) || r[0] == QLatin1String("Acknowledged")) {
      records.push_back(r);
    }
  }
  ASSERT_EQ(records.size(), 3U);
  EXPECT_EQ(records[0][0], "Alarm");
  EXPECT_EQ(records[0][1], link.Text);
  EXPECT_EQ(records[1][0], "AlarmCleared");
  EXPECT_EQ(records[2][0], "Acknowledged");
  EXPECT_EQ(records[2][2], "anna");
}

TEST_F(AlarmRunTest, linkFlappingWithinTheHoldTimeIsOneEpisodeClearedAfterIt) {
  time.AdvanceBy(kMinute);
  auto* board = plant->Plant()->FindDevice(QStringLiteral("Board1"));
  for (int i = 0; i < 20; ++i) {  // silent 12 s in every 15 s, lost for 2 s of them
    board->SetSilent(true);
    time.AdvanceBy(12'000);
    board->SetSilent(false);
    time.AdvanceBy(3'000);
  }
  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::LinkLost), 1);
  EXPECT_EQ(Count(TAlarmEvent::Cleared, TAlarmKind::LinkLost), 0);
  time.AdvanceBy(50'000);
  EXPECT_EQ(Count(TAlarmEvent::Cleared, TAlarmKind::LinkLost), 0);  // back for under 60 s
  time.AdvanceBy(10'000);
  ASSERT_EQ(Count(TAlarmEvent::Cleared, TAlarmKind::LinkLost), 1);
  // The clear carries the time the link came back, not the end of the hold.
  const TAlarm& cleared = std::find_if(seen.rbegin(), seen.rend(), [](const TSeen& s) {
                            return s.Event == TAlarmEvent::Cleared;
                          })->Alarm;
  EXPECT_NEAR((cleared.Cleared - cleared.Raised) * 86'400.0, 20 * 15 - 3 - 10, 3.0);
  int records = 0;
  for (const QStringList& r : Journal()) records += r[0].startsWith(QLatin1String("Alarm")) ? 1 : 0;
  EXPECT_EQ(records, 2);
}

TEST_F(AlarmRunTest, deadBasePumpRaisesTheDosingAlarmOnItsVesselOnly) {
  StartDemoVessels(form->Processes());
  time.AdvanceBy(30 * kMinute);
  plant->Plant()->Vessel(0).Model.SetActuatorFailed(sim::TActuator::Base, true);
  time.AdvanceBy(150 * kMinute);

  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::DoseNoEffect), 1);
  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::DoseNoEffect, 1), 1);
  const TAlarm* dosing = form->Alarms().Find(1, TAlarmKind::DoseNoEffect, QStringLiteral("1"));
  ASSERT_NE(dosing, nullptr);
  EXPECT_EQ(dosing->Text, "Дозирование без эффекта: pH, Щёлочь");
  EXPECT_TRUE(
      form->Processes().ProcessAt(0)->PanelState.AlarmText.startsWith(QStringLiteral("ТРЕВОГА: ")));
  EXPECT_TRUE(form->Processes().ProcessAt(1)->PanelState.AlarmText.isEmpty());
}

TEST_F(AlarmRunTest, normalDemoDayRaisesNoDosingLimitReadingOrLinkAlarm) {
  StartDemoVessels(form->Processes());
  time.AdvanceBy(24 * 60 * kMinute);
  for (const TSeen& s : seen) {
    EXPECT_EQ(s.Alarm.Kind, TAlarmKind::Foam) << AlarmLine(s.Alarm, s.Event).toStdString();
  }
}

namespace {

// The demo with an alarm command in Vorta.ini and a module caption that a
// shell would take apart.
class AlarmCommandRunTest : public AlarmRunTest {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(PrepareDemoFolder(folder.Path(), &error)) << error.toStdString();
    folder.Write(QStringLiteral("notify.sh"),
                 "#!/bin/sh\nout=$1; shift\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > "
                 "\"$out.part\"\nmv \"$out.part\" \"$out\"\n");
    QFile::setPermissions(folder.File(QStringLiteral("notify.sh")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.Write(QStringLiteral("Vorta.ini"),
                 folder.Read(QStringLiteral("Vorta.ini")) +
                     // Virtual time outruns the script: its limit counts the system's time.
                     QStringLiteral("[Alarms]\r\nCommand=\"%1\" args.txt\r\n")
                         .arg(folder.File(QStringLiteral("notify.sh")))
                         .toUtf8());
    folder.Write(QStringLiteral("VortaCAN.ini"),
                 folder.Read(QStringLiteral("VortaCAN.ini"))
                     .replace("Caption=Модуль ввода-вывода 1", kCaption.toUtf8()));
    AlarmRunTest::SetUp();
  }
  static inline const QString kCaption = QStringLiteral("Caption=M1; touch pwned \"a b\" 'c'");
};

}  // namespace

TEST_F(AlarmCommandRunTest, commandGetsTheAlarmsFieldsAsArgumentsNotThroughAShell) {
  time.AdvanceBy(kMinute);
  plant->Plant()->FindDevice(QStringLiteral("Board1"))->SetSilent(true);
  time.AdvanceBy(kMinute);
  ASSERT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::LinkLost), 1);

  QDeadlineTimer deadline(10'000);
  while (!folder.Exists(QStringLiteral("args.txt")) && !deadline.hasExpired()) QThread::msleep(20);
  const QStringList args = QString::fromUtf8(folder.Read(QStringLiteral("args.txt"))).split(u'\n');
  ASSERT_EQ(args.size(), 9) << args.join(u'|').toStdString();  // eight and the last line end
  EXPECT_EQ(args[0], "raised");
  EXPECT_TRUE(QDateTime::fromString(args[1], Qt::ISODate).isValid()) << args[1].toStdString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$")).match(args[1]).hasMatch())
      << "the offset written out, as in the journal: " << args[1].toStdString();
  EXPECT_EQ(args[2], "1");
  EXPECT_EQ(args[3], "Ферментёр 1");
  EXPECT_EQ(args[4], "link");
  EXPECT_EQ(args[5], "Board1");
  EXPECT_EQ(args[6], "Нет связи: M1; touch pwned \"a b\" 'c'");
  EXPECT_EQ(args[7], "");
  EXPECT_FALSE(folder.Exists(QStringLiteral("pwned")));
  EXPECT_TRUE(messages.Errors.isEmpty()) << messages.Errors.join('\n').toStdString();
}

TEST(AlarmCommand, aProgramThatCannotStartIsReportedOnceUntilOneSucceeds) {
  test::TRecordingMessages messages;
  TVirtualTimerService time;
  TAlarmCommand missing(QStringLiteral("/nonexistent/vorta-alarm"), QDir::tempPath(), time,
                        messages);
  TAlarm alarm;
  EXPECT_FALSE(missing.Run(alarm, TAlarmEvent::Raised));
  EXPECT_FALSE(missing.Run(alarm, TAlarmEvent::Cleared));
  EXPECT_EQ(messages.Errors.size(), 1);
}

namespace {

// Real scripts run by the alarm command on virtual time: the test lets Qt see
// their exits and moves the clock of the time limit.
class AlarmCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureCoreApplication(); }

  [[nodiscard]] QString Script(const QString& name, const QByteArray& body) const {
    folder.Write(name, "#!/bin/sh\n" + body);
    QFile::setPermissions(folder.File(name),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder.File(name);
  }

  // Until done() or 20 s of real time; virtual time moves stepMs per round.
  template <typename Done>
  bool Settle(Done done, int stepMs = 10) {
    QDeadlineTimer deadline(20'000);
    while (!done()) {
      if (deadline.hasExpired()) return false;
      QCoreApplication::processEvents();
      QThread::msleep(2);
      time.AdvanceBy(stepMs);
    }
    return true;
  }

  // The pids the hanging script wrote: the shell's and its child's, per run.
  [[nodiscard]] std::vector<long> Pids() const {
    std::vector<long> pids;
    for (const QByteArray& p : folder.Read(QStringLiteral("pids")).simplified().split(' ')) {
      if (!p.isEmpty()) pids.push_back(p.toLong());
    }
    return pids;
  }

  // A zombie no one reaps (no init in a container) counts as ended.
  static bool Alive(long pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = stat.readAll();
    return !text.mid(text.lastIndexOf(')') + 2).startsWith('Z');
  }

  test::TProgramFolder folder;
  test::TRecordingMessages messages;
  TVirtualTimerService time;
  TAlarm alarm;
};

}  // namespace

TEST_F(AlarmCommandTest, outputGoesNowhereAndMegabytesOfItHoldNothingUp) {
  const QString program = Script(QStringLiteral("loud.sh"),
                                 "yes vorta-alarm-output | head -c 4000000\n"
                                 "yes vorta-alarm-output | head -c 4000000 >&2\n");
  TAlarmCommand command(program, folder.Path(), time, messages);
  // The test's own output and error go to a file while the command runs.
  const QString capture = folder.File(QStringLiteral("ours.txt"));
  std::fflush(stdout);
  std::fflush(stderr);
  const int savedOut = ::dup(1), savedErr = ::dup(2);
  const int file = ::open(capture.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 1);
  ::dup2(file, 2);
  const bool started = command.Run(alarm, TAlarmEvent::Raised);
  const bool ended = Settle([&] { return command.Running() == 0; });
  ::dup2(savedOut, 1);
  ::dup2(savedErr, 2);
  ::close(file);
  ::close(savedOut);
  ::close(savedErr);

  EXPECT_TRUE(started);
  ASSERT_TRUE(ended);
  EXPECT_LT(time.ElapsedMs(), 30'000) << "ended by its time limit, not by itself";
  EXPECT_TRUE(messages.Errors.isEmpty()) << messages.Errors.join('\n').toStdString();
  EXPECT_FALSE(folder.Read(QStringLiteral("ours.txt")).contains("vorta-alarm-output"));
}

TEST_F(AlarmCommandTest, aFailingExitIsReportedOncePerEpisodeWithWhatItSaid) {
  const QString program = Script(QStringLiteral("fail.sh"),
                                 "echo 'mail: no route to host' >&2\nexit \"$(cat code)\"\n");
  TAlarmCommand command(program, folder.Path(), time, messages);
  auto runAll = [&](const QByteArray& code, int runs) {
    folder.Write(QStringLiteral("code"), code);
    for (int i = 0; i < runs; ++i) EXPECT_TRUE(command.Run(alarm, TAlarmEvent::Raised));
    ASSERT_TRUE(Settle([&] { return command.Running() == 0; }));
  };
  runAll("1", 3);
  ASSERT_EQ(messages.Errors.size(), 1);
  EXPECT_TRUE(messages.Errors[0].contains(QStringLiteral("с кодом 1: mail: no route to host")))
      << messages.Errors[0].toStdString();
  runAll("0", 1);  // the episode ends
  runAll("1", 1);
  EXPECT_EQ(messages.Errors.size(), 2);
}

TEST_F(AlarmCommandTest, hungRunsAreEndedWithTheirChildrenAndOnlyAFewRunOrWait) {
  const QString program =
      Script(QStringLiteral("hang.sh"), "sleep 300 &\necho \"$$ $!\" >> pids\nwait\n");
  auto command = std::make_unique<TAlarmCommand>(program, folder.Path(), time, messages,
                                                 TAlarmCommandLimits{1, 2, 1});
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(command->Run(alarm, TAlarmEvent::Raised));
  EXPECT_FALSE(command->Run(alarm, TAlarmEvent::Cleared));  // beyond the queue: dropped
  EXPECT_FALSE(command->Run(alarm, TAlarmEvent::Cleared));
  EXPECT_EQ(command->Running(), 2);
  EXPECT_EQ(command->Waiting(), 1);
  ASSERT_EQ(messages.Errors.size(), 1);  // the drop, told once

  ASSERT_TRUE(Settle([&] { return Pids().size() == 4; }, 0));
  const std::vector<long> first = Pids();
  // The limit counts the system's second, however fast virtual time runs.
  ASSERT_TRUE(Settle([&] { return command->Running() == 1 && Pids().size() == 6; }));
  EXPECT_TRUE(Settle([&] { return std::none_of(first.begin(), first.end(), Alive); }, 0));
  ASSERT_EQ(messages.Errors.size(), 2);  // the two ends at the limit, told once
  EXPECT_TRUE(messages.Errors[1].contains(QStringLiteral("не завершилась за 1 с")));

  // The program's end: the third run and its child end with it.
  command.reset();
  const std::vector<long> all = Pids();
  EXPECT_TRUE(Settle([&] { return std::none_of(all.begin(), all.end(), Alive); }, 0));
}

TEST_F(AlarmRunTest, brokenProbeRaisesItsReadingAlarmOnlyAfterTheGraceTime) {
  StartDemoVessels(form->Processes());
  time.AdvanceBy(5 * kMinute);
  plant->Plant()->Vessel(1).Model.Probe(sim::TChannel::pH).SetFault(sim::TProbeFault::Broken);
  time.AdvanceBy(50'000);  // the default grace is 60 s
  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::ReadingInvalid), 0);
  time.AdvanceBy(5 * kMinute);
  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::ReadingInvalid), 1);
  EXPECT_NE(form->Alarms().Find(2, TAlarmKind::ReadingInvalid, QStringLiteral("1")), nullptr);
  // An invalid reading is no reading: it is not also outside the limits.
  EXPECT_EQ(Count(TAlarmEvent::Raised, TAlarmKind::OutsideLimits), 0);
  plant->Plant()->Vessel(1).Model.Probe(sim::TChannel::pH).SetFault(sim::TProbeFault::None);
  time.AdvanceBy(2 * kMinute);
  EXPECT_EQ(Count(TAlarmEvent::Cleared, TAlarmKind::ReadingInvalid), 1);
}

TEST_F(AlarmCommandTest, whatARunStartedEndsWithItEvenDetachedOrDeafToSigterm) {
  // Succeeds at once, leaving a child in the background, one in a session of
  // its own and one that ignores SIGTERM.
  const QString quick = Script(QStringLiteral("quick.sh"),
                               "sleep 300 &\necho $! >> pids\n"
                               "setsid sleep 300 &\necho $! >> pids\n"
                               "(trap '' TERM; exec sleep 300) &\necho $! >> pids\n");
  // Hangs past its limit and dies of the SIGTERM; its child ignores it.
  const QString hung =
      Script(QStringLiteral("hung.sh"),
             "(trap '' TERM; exec sleep 300) &\necho $! >> pids\nexec sleep 300\n");
  TAlarmCommand ok(quick, folder.Path(), time, messages);
  TAlarmCommand limited(hung, folder.Path(), time, messages, TAlarmCommandLimits{1, 4, 16});
  ASSERT_TRUE(ok.Run(alarm, TAlarmEvent::Raised));
  ASSERT_TRUE(limited.Run(alarm, TAlarmEvent::Raised));
  ASSERT_TRUE(Settle([&] { return Pids().size() == 4 && ok.Running() == 0; }, 0));
  const std::vector<long> pids = Pids();
  EXPECT_TRUE(Settle([&] { return std::none_of(pids.begin(), pids.end(), Alive); }))
      << "the SIGKILL after the grace reaches them after their parents have gone";
  EXPECT_EQ(limited.Running(), 0);
  ASSERT_EQ(messages.Errors.size(), 1) << messages.Errors.join('\n').toStdString();
  EXPECT_TRUE(messages.Errors[0].contains(QStringLiteral("не завершилась за 1 с")))
      << messages.Errors[0].toStdString();
}
