// Alarms on the demo folder with the virtual plant: raised and cleared once
// per episode, journalled, acknowledged; the dosing check fires on a dead
// pump and keeps quiet on a normal day.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>

#include "DemoRunFixture.h"
#include "app/DemoFolder.h"
#include "process/AlarmCommand.h"
#include "process/Alarms.h"
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
  time.AdvanceBy(kMinute);

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

TEST(AlarmCommand, aProgramThatCannotStartIsReportedOnceUntilOneStarts) {
  test::TRecordingMessages messages;
  TAlarmCommand missing(QStringLiteral("/nonexistent/vorta-alarm"), QDir::tempPath(), messages);
  TAlarm alarm;
  EXPECT_FALSE(missing.Run(alarm, TAlarmEvent::Raised));
  EXPECT_FALSE(missing.Run(alarm, TAlarmEvent::Cleared));
  EXPECT_EQ(messages.Errors.size(), 1);
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
  time.AdvanceBy(kMinute);
  EXPECT_EQ(Count(TAlarmEvent::Cleared, TAlarmKind::ReadingInvalid), 1);
}
