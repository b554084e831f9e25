// The retained topics a browser that opens late reads first: the list of
// active alarms, and each vessel's day of data log rows.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include "DemoRunFixture.h"
#include "MqttBroker.h"
#include "ProgramFolder.h"
#include "process/PanelView.h"
#include "journal/Alarms.h"
#include "telemetry/MqttTelemetry.h"

namespace vorta::test {
namespace {

TMqttSettings Settings(quint16 port, const char* clientId) {
  TMqttSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.ClientId = QString::fromLatin1(clientId);
  s.RetryMinMs = 50;
  return s;
}

// What a subscriber that comes now gets retained on the topic.
QJsonObject RetainedNow(quint16 port, const QString& topic, const char* name) {
  // A new session each time: what it gets at once is the retained message.
  static int calls = 0;
  const QByteArray id = QByteArray(name) + '-' + QByteArray::number(++calls);
  TSubscriber sub(port, topic, id.constData());
  QJsonObject retained;
  WaitUntil(
      [&] {
        for (const TReceived& m : sub.Messages()) {
          if (m.Retained) retained = QJsonDocument::fromJson(m.Payload).object();
        }
        return !retained.isEmpty();
      },
      1000);
  return retained;
}

class MqttAlarmListTest : public TDemoRunFixture<THeadlessWindowFactory> {
 protected:
  void SetUp() override {
    VORTA_REQUIRE_BROKER();
    TDemoRunFixture::SetUp();
    broker.Start();
  }
  void TearDown() override {
    telemetry.reset();
    TDemoRunFixture::TearDown();
  }
  TBroker broker;
  std::unique_ptr<TMqttTelemetry> telemetry;
};

// Raised, acknowledged, cleared: each time the retained list is the one a
// late page must show, and an earlier run's list is replaced at start.
TEST_F(MqttAlarmListTest, activeAlarms_retainedAsTheyStand) {
  TSubscriber stale(broker.Port, QStringLiteral("lab/pc1/alarms"), "vorta-test-stale");
  {
    // What a run killed with an alarm active leaves on the broker.
    TMqttPublisher earlier(Settings(broker.Port, "vorta-earlier"), {}, folder.File("o"));
    earlier.PublishAlarmList(R"({"alarms":[{"vessel":1,"text":"old"}]})");
    earlier.Start();
    ASSERT_TRUE(stale.WaitFor(QStringLiteral("lab/pc1/alarms"), {}));
  }
  TAlarms& alarms = form->Alarms();
  alarms.ClearHold = 0;
  telemetry = std::make_unique<TMqttTelemetry>(form->Env(), Settings(broker.Port, "vorta-test"));
  ASSERT_TRUE(WaitUntil([this] { return telemetry->Publisher().Connected(); }, 5000));
  ASSERT_TRUE(stale.WaitFor(QStringLiteral("lab/pc1/alarms"), R"({"alarms":[]})"));

  // A vessel no check of the demo looks at: only the test changes its alarm.
  ASSERT_TRUE(alarms.Raise(7, QStringLiteral("Ферментёр 7"), TAlarmKind::LinkLost,
                           QStringLiteral("Board7"), QStringLiteral("Нет связи: Board7")));
  time.AdvanceBy(2000);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return !RetainedNow(broker.Port, "lab/pc1/alarms", "vorta-late1")["alarms"]
                    .toArray()
                    .isEmpty();
      },
      5000));
  const QJsonArray list =
      RetainedNow(broker.Port, "lab/pc1/alarms", "vorta-late2")["alarms"].toArray();
  ASSERT_EQ(list.size(), 1);
  const QJsonObject a = list[0].toObject();
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(a["vessel"].toInt(), 7);
  EXPECT_EQ(a["vesselName"].toString(), QStringLiteral("Ферментёр 7"));
  EXPECT_EQ(a["text"].toString(), QStringLiteral("Нет связи: Board7"));
  EXPECT_TRUE(a["acknowledgedBy"].isNull());

  ASSERT_EQ(alarms.AcknowledgeAll(QStringLiteral("anna")), 1);
  time.AdvanceBy(2000);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return RetainedNow(broker.Port, "lab/pc1/alarms",
                           "vorta-late3")["alarms"][0]["acknowledgedBy"] == QStringLiteral("anna");
      },
      5000));

  ASSERT_TRUE(alarms.Clear(7, TAlarmKind::LinkLost, QStringLiteral("Board7")));
  time.AdvanceBy(2000);
  EXPECT_TRUE(WaitUntil(
      [&] {
        return RetainedNow(broker.Port, "lab/pc1/alarms", "vorta-late4")["alarms"]
            .toArray()
            .isEmpty();
      },
      5000));
}

QByteArray Row(const QDateTime& t, double ph) {
  return (QLocale::system().toString(t.date(), QLocale::ShortFormat).left(6) +
          QStringLiteral("\t%1:%2:%3\t%4\t7.00\t37.00\t37.00\r\n")
              .arg(t.time().hour())
              .arg(t.time().minute())
              .arg(t.time().second())
              .arg(ph, 0, 'f', 2))
      .toUtf8();
}

// The history is the data log's own last day, so a restart loses nothing of
// it: rows the previous run had passed are in it, rows older than a day are not.
TEST(MqttHistoryTest, afterRestart_theLogsLastDayWhateverWasDelivered) {
  VORTA_REQUIRE_BROKER();
  TProgramFolder folder;
  const QDateTime now = QDateTime::currentDateTime().addSecs(-60);
  const std::vector<QDateTime> times{now.addSecs(-25 * 3600), now.addSecs(-23 * 3600),
                                     now.addSecs(-3600), now.addSecs(-600)};
  QByteArray log("Date\tTime\tpH\tSetpH\ttC\tSettC\r\n");
  for (std::size_t i = 0; i + 1 < times.size(); ++i) log += Row(times[i], 6.5 + 0.1 * i);
  folder.Write("log.txt", log);
  const std::vector<TPublishedFile> files{{folder.File("log.txt"), "log.txt", 3, false}};
  TBroker broker;
  {
    // No broker: this run passes over the rows there are.
    TMqttPublisher first(Settings(broker.Port, "vorta-history"), files, folder.File("offsets"));
    first.Start();
    ASSERT_TRUE(WaitUntil([&] { return folder.Exists("offsets"); }, 3000));
  }
  QFile file(folder.File("log.txt"));
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write(Row(times[3], 6.8));
  file.close();

  broker.Start();
  TMqttPublisher second(Settings(broker.Port, "vorta-history"), files, folder.File("offsets"));
  second.Start();
  const auto times_of = [](const QJsonObject& h) {
    std::vector<qint64> out;
    qint64 t = h["t0"].toInteger();
    for (const QJsonValue step : h["dt"].toArray()) out.push_back(t += step.toInteger());
    return out;
  };
  QJsonObject history;
  ASSERT_TRUE(WaitUntil(
      [&] {
        history = RetainedNow(broker.Port, "lab/pc1/3/history", "vorta-history-sub1");
        return history["dt"].toArray().size() == 3;
      },
      5000))
      << QJsonDocument(history).toJson().constData();
  EXPECT_EQ(times_of(history),
            (std::vector<qint64>{times[1].toSecsSinceEpoch(), times[2].toSecsSinceEpoch(),
                                 times[3].toSecsSinceEpoch()}));
  EXPECT_EQ(history["pH"].toArray(), (QJsonArray{6.6, 6.7, 6.8}));
  EXPECT_EQ(history["SettC"].toArray(), (QJsonArray{37, 37, 37}));
  EXPECT_EQ(history["pO2"].toArray(), (QJsonArray{QJsonValue(), QJsonValue(), QJsonValue()}));

  // Each new row is published with its history.
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write(Row(now, 6.9));
  file.close();
  EXPECT_TRUE(WaitUntil(
      [&] {
        history = RetainedNow(broker.Port, "lab/pc1/3/history", "vorta-history-sub2");
        return history["pH"].toArray().last() == 6.9;
      },
      5000))
      << QJsonDocument(history).toJson().constData();
}

}  // namespace
}  // namespace vorta::test
