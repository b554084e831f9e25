// Publishing against a real broker: what a subscriber sees, an outage with
// nothing lost, refusals told once, and the controller never held up.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <algorithm>
#include <csignal>
#include <ctime>

#include "DemoRunFixture.h"
#include "ProgramFolder.h"
#include "journal/Journal.h"
#include "journal/JournalFormat.h"
#include "journal/JournalSession.h"
#include "platform/Language.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"
#include "telemetry/MqttTelemetry.h"
#include "tests/telemetry/MqttBroker.h"

namespace vorta::test {
namespace {

TMqttSettings Settings(quint16 port) {
  TMqttSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.ClientId = QStringLiteral("vorta-test");
  s.Keepalive = 5;
  s.RetryMinMs = 100;
  s.RetryMaxMs = 400;
  return s;
}

QJsonObject Json(const QByteArray& payload) {
  return QJsonDocument::fromJson(payload).object();
}

class MqttDemoTest : public TDemoRunFixture<THeadlessWindowFactory> {
 protected:
  void SetUp() override {
    VORTA_REQUIRE_BROKER();
    TDemoRunFixture::SetUp();
    broker.Start();
  }
  void StartPublishing() {
    telemetry = std::make_unique<TMqttTelemetry>(form->Env(), Settings(broker.Port));
    ASSERT_TRUE(WaitUntil([this] { return telemetry->Publisher().Connected(); }, 5000));
  }
  void TearDown() override {
    telemetry.reset();
    TDemoRunFixture::TearDown();
  }

  TBroker broker;
  std::unique_ptr<TMqttTelemetry> telemetry;
};

// Without a broker: the state's stamp in the hour autumn repeats, where the
// local time alone is the same twice.
class MqttStateStampTest : public TDemoRunFixture<THeadlessWindowFactory> {};

TEST_F(MqttStateStampTest, stateInTheRepeatedAutumnHourCarriesTheOffsetOfItsInstant) {
  const bool hadTz = qEnvironmentVariableIsSet("TZ");
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  ::tzset();
  QStringList times;
  for (const int utcHour : {0, 1}) {
    const QDateTime t(QDate(2026, 10, 25), QTime(utcHour, 30), Qt::UTC);
    times << Json(StateJson(*form->Processes().ProcessAt(0), t.toMSecsSinceEpoch()))["time"]
                 .toString();
  }
  if (hadTz) {
    qputenv("TZ", oldTz);
  } else {
    qunsetenv("TZ");
  }
  ::tzset();
  EXPECT_EQ(times, (QStringList{"2026-10-25T02:30:00+02:00", "2026-10-25T02:30:00+01:00"}));
}

TEST_F(MqttDemoTest, stateStatusJournalAndAlarm_seenBySubscriber) {
  StartPublishing();
  time.AdvanceBy(4000);
  ASSERT_NE(form->Journal(), nullptr);
  TJournalEntry alarm;
  alarm.Vessel = 2;
  alarm.VesselName = QStringLiteral("Ферментер 2");
  alarm.Kind = TJournalKind::Alarm;
  alarm.Subject = QStringLiteral("Нет связи");
  alarm.Source = TJournalSource::Engine;
  ASSERT_TRUE(form->Journal()->Record(alarm));

  // The status is retained: a subscriber that comes later still gets it.
  TSubscriber sub(broker.Port, QStringLiteral("lab/pc1/#"));
  ASSERT_TRUE(sub.WaitFor(QStringLiteral("lab/pc1/status"), "online"));
  // Each tick's state goes out at once: the first tick's, before any
  // reading, may come (retained) before the second's.
  const auto latest = [&sub] {
    for (const TReceived& m : sub.Messages()) {
      if (m.Topic == QLatin1String("lab/pc1/1/state") &&
          Json(m.Payload)["time"].toString().startsWith("2026-12-07T09:00:04")) {
        return true;
      }
    }
    return false;
  };
  ASSERT_TRUE(WaitUntil(latest, 5000));
  ASSERT_TRUE(sub.WaitFor(QStringLiteral("lab/pc1/2/alarm"), {}));
  for (const TReceived& m : sub.Messages()) {
    if (m.Topic == QLatin1String("lab/pc1/1/state")) {
      const QJsonObject o = Json(m.Payload);
      EXPECT_EQ(o["vessel"].toInt(), 1);
      EXPECT_TRUE(o["time"].toString().startsWith("2026-12-07T09:00:0")) << m.Payload.data();
      EXPECT_TRUE(o["time"].toString().contains(QRegularExpression("[+-]\\d\\d:\\d\\d$")));
      const QJsonArray channels = o["channels"].toArray();
      ASSERT_EQ(channels.size(), 4);
      EXPECT_EQ(channels[0].toObject()["name"].toString(), "pH");
      // Measured by the second tick.
      if (o["time"].toString().startsWith("2026-12-07T09:00:04")) {
        EXPECT_TRUE(channels[0].toObject()["value"].isDouble()) << m.Payload.data();
      }
    }
    if (m.Topic == QLatin1String("lab/pc1/2/alarm")) {
      const QJsonObject o = Json(m.Payload);
      EXPECT_EQ(o["Vessel"].toInt(), 2);
      EXPECT_EQ(o["Kind"].toString(), "Alarm");
      EXPECT_EQ(o["Subject"].toString(), QStringLiteral("Нет связи"));
    }
  }
  EXPECT_TRUE(sub.WaitFor(QStringLiteral("lab/pc1/journal"), {}));

  // One that comes later still gets the latest state at once.
  TSubscriber late(broker.Port, QStringLiteral("lab/pc1/1/state"), "vorta-test-late");
  ASSERT_TRUE(late.WaitFor(QStringLiteral("lab/pc1/1/state"), {}));
  EXPECT_TRUE(late.Messages().front().Retained);
}

// A first start publishes from the start of its run, not from after it; each
// row says when it was written, with its year and offset from UTC.
TEST_F(MqttDemoTest, firstStart_publishesTheRunsOwnRecords_rowsCarryTheirTime) {
  TSubscriber sub(broker.Port, QStringLiteral("lab/pc1/#"));
  StartPublishing();
  const auto has = [&sub](const QString& topic, const char* key, const QString& value) {
    for (const TReceived& m : sub.Messages()) {
      if (m.Topic == topic && Json(m.Payload)[key].toString() == value) return true;
    }
    return false;
  };
  EXPECT_TRUE(
      WaitUntil([&] { return has("lab/pc1/journal", "Subject", kJournalStartSubject); }, 5000));
  time.AdvanceBy(62000);
  ASSERT_TRUE(sub.WaitFor(QStringLiteral("lab/pc1/1/minute"), {}));
  for (const TReceived& m : sub.Messages()) {
    if (m.Topic != QLatin1String("lab/pc1/1/minute")) continue;
    const QJsonObject o = Json(m.Payload);
    const QStringList hms = o["Time"].toString().split(':');
    ASSERT_EQ(hms.size(), 3) << m.Payload.data();
    const QString clock =
        QTime(hms[0].toInt(), hms[1].toInt(), hms[2].toInt()).toString("HH:mm:ss");
    EXPECT_TRUE(o["time"].toString().contains(
        QRegularExpression("^2026-12-07T" + clock + "[+-]\\d\\d:\\d\\d$")))
        << m.Payload.data();
  }
}

// The alarm that the journal cannot be written reaches the broker as raised,
// though the journal file is its usual way there.
TEST_F(MqttDemoTest, journalCannotBeWritten_itsAlarmArrivesRaised) {
  TSubscriber sub(broker.Port, QStringLiteral("lab/pc1/0/alarm"));
  StartPublishing();
  const QString journal = form->Journal()->Path();
  ASSERT_TRUE(QFile::setPermissions(journal, QFile::ReadOwner | QFile::WriteOwner));
  ASSERT_TRUE(QFile::remove(journal));
  ASSERT_TRUE(QDir().mkdir(journal));
  TJournalEntry e;
  e.Kind = TJournalKind::Program;
  e.Subject = QStringLiteral("test");
  ASSERT_FALSE(form->Journal()->Record(e));
  time.AdvanceBy(4000);
  ASSERT_TRUE(sub.WaitFor(QStringLiteral("lab/pc1/0/alarm"), {}));
  const QJsonObject o = Json(sub.Messages().front().Payload);
  EXPECT_EQ(o["Kind"].toString(), "Alarm");
  EXPECT_TRUE(o["Subject"].toString().contains(QStringLiteral("журнал")))
      << o["Subject"].toString().toStdString();
  EXPECT_TRUE(o["Vessel"].isNull());
  EXPECT_TRUE(o["Chain"].isNull());
}

// The operator reads a refusal in the chosen language; the journal keeps the
// Russian text it always had.
TEST_F(MqttDemoTest, refusedInEnglish_shownWithoutCyrillic_journalledInRussian) {
  // Deleting it takes it out of the application again, whatever fails here.
  const std::unique_ptr<QTranslator> english(
      InstallProgramTexts(*QCoreApplication::instance(), TLanguage::English));
  ASSERT_NE(english, nullptr);
  broker.Stop();
  broker.Start("allow_anonymous false\n");
  telemetry = std::make_unique<TMqttTelemetry>(form->Env(), Settings(broker.Port));
  ASSERT_TRUE(WaitUntil(
      [this] {
        time.AdvanceBy(2000);
        return !messages.Infos.filter("MQTT").isEmpty();
      },
      5000));
  const QString shown = messages.Infos.filter("MQTT").join('\n');
  static const QRegularExpression kCyrillic(QStringLiteral("\\p{Cyrillic}"));
  EXPECT_FALSE(shown.contains(kCyrillic)) << shown.toStdString();
  QString written;
  ASSERT_TRUE(ReadJournalBackwards(form->Journal()->Path(), [&](const QString& line) {
    const auto record = ParseJournalLine(line);
    if (record && record->Subject == "MQTT") written = record->NewValue;
    return written.isEmpty();
  }));
  EXPECT_EQ(written, QStringLiteral("Брокер MQTT 127.0.0.1:%1 отказал в подключении: неверное имя "
                                    "пользователя или пароль, или нет прав. Публикация данных "
                                    "приостановлена, попытки подключения продолжаются.")
                         .arg(broker.Port));
}

// The broker goes away for ten minutes of the run: the cycles keep their
// pace, and every minute row written meanwhile arrives once it is back.
TEST_F(MqttDemoTest, brokerOutage_cyclesUntouchedAndEveryMinuteRowArrivesAfter) {
  StartPublishing();
  // Its kept session outlives the broker's restart.
  TSubscriber sub(broker.Port, QStringLiteral("lab/pc1/#"));
  ASSERT_TRUE(sub.WaitFor(QStringLiteral("lab/pc1/status"), "online"));
  std::vector<qint64> sizes;
  for (const auto& p : form->Processes()) sizes.push_back(QFile(p->ProtocolFileName).size());
  broker.Stop();
  ASSERT_TRUE(WaitUntil([this] { return !telemetry->Publisher().Connected(); }, 5000));

  qint64 longestStep = 0;
  for (int step = 0; step < 300; ++step) {
    QElapsedTimer t;
    t.start();
    time.AdvanceBy(2000);
    longestStep = std::max(longestStep, t.elapsed());
  }
  EXPECT_LT(longestStep, 100);
  bool told = false;
  for (const QString& text : messages.Infos) told = told || text.contains("MQTT");
  EXPECT_TRUE(told) << messages.Infos.join('\n').toStdString();

  // The rows of the outage, as the files hold them.
  QSet<QString> expected;
  int n = 0;
  for (const auto& p : form->Processes()) {
    QFile f(p->ProtocolFileName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    f.seek(sizes[static_cast<size_t>(n++)]);
    for (const QByteArray& line : f.readAll().split('\n')) {
      if (line.trimmed().isEmpty()) continue;
      expected << QStringLiteral("%1 %2")
                      .arg(p->Config.NumProcess)
                      .arg(QString::fromUtf8(line.split('\t')[1]));
    }
  }
  ASSERT_GE(expected.size(), 4 * 9);

  broker.Start();
  QSet<QString> received;
  WaitUntil(
      [&] {
        received.clear();
        for (const TReceived& m : sub.Messages()) {
          if (!m.Topic.endsWith(QLatin1String("/minute"))) continue;
          const QJsonObject o = Json(m.Payload);
          received << QStringLiteral("%1 %2").arg(o["vessel"].toInt()).arg(o["Time"].toString());
        }
        return received.contains(expected);
      },
      10000);
  EXPECT_TRUE(received.contains(expected))
      << (expected - received).values().join(", ").toStdString();
}

}  // namespace
}  // namespace vorta::test

namespace vorta::test {
namespace {

// Rows and records written while the program was down are published by the
// next run from where the last one stopped; older ones are not sent again,
// and a torn journal line is not sent at all.
TEST(MqttResumeTest, restart_publishesFromTheKeptOffsetOnly) {
  VORTA_REQUIRE_BROKER();
  TProgramFolder folder;
  folder.Write("log.txt", "Date\tTime\tpH\r\n07.12.\t9:0:0\t7.00\r\n07.12.\t9:1:0\t7.01\r\n");
  folder.Write("journal.txt", (JournalHeaderLine() + "\r\n").toUtf8());
  const std::vector<TPublishedFile> files{{folder.File("log.txt"), "log.txt", 3, false},
                                          {folder.File("journal.txt"), "journal.txt", 0, true}};
  TBroker broker;
  TMqttSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = broker.Port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.ClientId = QStringLiteral("vorta-resume");
  s.RetryMinMs = 50;
  {
    // No broker yet: this run only notes where the file ended.
    TMqttPublisher first(s, files, folder.File("offsets"));
    first.Start();
    ASSERT_TRUE(WaitUntil([&] { return folder.Exists("offsets"); }, 3000));
  }
  QFile log(folder.File("log.txt"));
  ASSERT_TRUE(log.open(QIODevice::Append));
  log.write("07.12.\t9:2:0\t7.02\r\n07.12.\t9:3:0\t7.03\r\n");
  log.close();
  // A line a kill cut short, then a whole record.
  QFile journal(folder.File("journal.txt"));
  ASSERT_TRUE(journal.open(QIODevice::Append));
  journal.write(
      "2026-12-07T09:02:00+00:00\troot\t3\r\n2026-12-07T09:02:10+00:00\troot\t3\tV3\t"
      "Change\tpH\t7\t7.2\tDialog\t" +
      QByteArray(64, 'a') + "\r\n");
  journal.close();

  broker.Start();
  TSubscriber sub(broker.Port, QStringLiteral("lab/pc1/+/minute"));
  TSubscriber journalSub(broker.Port, QStringLiteral("lab/pc1/journal"), "vorta-test-journal");
  TMqttPublisher second(s, files, folder.File("offsets"));
  second.Start();
  ASSERT_TRUE(WaitUntil([&] { return sub.Messages().size() >= 2; }, 5000));
  ASSERT_TRUE(journalSub.WaitFor(QStringLiteral("lab/pc1/journal"), {}));
  QThread::msleep(200);
  const auto got = sub.Messages();
  ASSERT_EQ(got.size(), 2U);
  EXPECT_EQ(Json(got[0].Payload)["Time"].toString(), "9:2:0");
  EXPECT_EQ(Json(got[1].Payload)["pH"].toDouble(), 7.03);
  const auto records = journalSub.Messages();
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(Json(records[0].Payload)["New"].toString(), "7.2");
}

// An offsets file that cannot be used is told once, and what it would have
// said is made up for by publishing from the files' start: repeats, never
// losses. A FIFO in its place blocks neither the start nor the orderly end.
TEST(MqttResumeTest, offsetsFileDamagedOrAFifo_toldOnceAndEveryRowPublished) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  broker.Start();
  TProgramFolder folder;
  folder.Write("log.txt", "Date\tTime\tpH\r\n07.12.\t9:0:0\t7.00\r\n07.12.\t9:1:0\t7.01\r\n");
  folder.Write("garbage", "\x01\x02 no offsets here\n");
  ASSERT_EQ(::mkfifo(QFile::encodeName(folder.File("fifo")).constData(), 0600), 0);
  TMqttSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = broker.Port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.ClientId = QStringLiteral("vorta-offsets");
  for (const char* offsets : {"garbage", "fifo"}) {
    TSubscriber sub(broker.Port, QStringLiteral("lab/pc1/+/minute"), offsets);
    QElapsedTimer t;
    t.start();
    {
      TMqttPublisher publisher(s, {{folder.File("log.txt"), "log.txt", 3, false}},
                               folder.File(offsets));
      publisher.Start();
      EXPECT_TRUE(WaitUntil([&] { return sub.Messages().size() >= 2; }, 5000)) << offsets;
      // Long enough for a save or two.
      QThread::msleep(2500);
      const auto notices = publisher.TakeNotices();
      ASSERT_EQ(notices.size(), 1U) << offsets;
      EXPECT_TRUE(notices[0].Operator);
      EXPECT_TRUE(notices[0].Text.contains(folder.File(offsets))) << notices[0].Text.toStdString();
    }
    EXPECT_LT(t.elapsed(), 10000) << offsets;
  }
}

// A backlog goes out as fast as the broker acknowledges it, not a chunk of
// the file per look at it; a state handed over wakes the publisher at once.
TEST(MqttPaceTest, backlogFollowsTheAcknowledgements_stateArrivesAtOnce) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  // The subscriber's queue holds the whole backlog.
  broker.Start("allow_anonymous true\nmax_queued_messages 0\n");
  TProgramFolder folder;
  constexpr int kRows = 4000;  // 15 chunks of 32 KiB
  QByteArray log = "Date\tTime\tpH\tSetpH\ttC\tSettC\tpO2\tSetpO\teH\tSeteH\tMixRpm\tNet\r\n";
  for (int m = 0; m < kRows; ++m) {
    log += QStringLiteral(
               "07.12.\t%1:%2:0\t7.00\t7.00\t36.99\t37.00\t%3\t30.00\t149.45\t"
               "-150.00\t525\tNet OK   padding to a row's usual length\r\n")
               .arg(m / 60)
               .arg(m % 60)
               .arg(30 + m % 50)
               .toUtf8();
  }
  folder.Write("log.txt", log);
  TMqttSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = broker.Port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.ClientId = QStringLiteral("vorta-pace");
  TSubscriber rows(broker.Port, QStringLiteral("lab/pc1/+/minute"));
  TMqttPublisher publisher(s, {{folder.File("log.txt"), "log.txt", 3, false, 0}},
                           folder.File("offsets"));
  QElapsedTimer t;
  t.start();
  publisher.Start();
  ASSERT_TRUE(WaitUntil([&] { return rows.Messages().size() >= kRows; }, 30000));
  // A chunk every 250 ms would take 3.5 s and more.
  EXPECT_LT(t.elapsed(), 2000);
  EXPECT_EQ(Json(rows.Messages().back().Payload)["Time"].toString(), "66:39:0");

  TSubscriber states(broker.Port, QStringLiteral("lab/pc1/+/state"), "vorta-pace-states");
  std::vector<qint64> delays;
  for (std::size_t i = 0; i < 9; ++i) {
    QElapsedTimer d;
    d.start();
    publisher.PublishState(3, QByteArray::number(static_cast<int>(i)));
    const auto arrived = [&] { return states.Messages().size() > i; };
    while (!arrived() && d.elapsed() < 2000) QThread::usleep(200);
    ASSERT_TRUE(arrived()) << i;
    delays.push_back(d.elapsed());
    QThread::msleep(20);
  }
  std::sort(delays.begin(), delays.end());
  // Waiting for a 50-ms timer made it about 47 ms.
  EXPECT_LT(delays[4], 15) << "median of single hand-overs";
}

}  // namespace
}  // namespace vorta::test
