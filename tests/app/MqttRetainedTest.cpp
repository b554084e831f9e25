// The retained topics a browser that opens late reads first: the list of
// active alarms, and each vessel's day of data log rows.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QThread>
#include <cmath>
#include <map>
#include <optional>

#include "DemoRunFixture.h"
#include "ProgramFolder.h"
#include "journal/Alarms.h"
#include "platform/RealTimerService.h"
#include "process/PanelView.h"
#include "telemetry/MqttHistory.h"
#include "telemetry/MqttTelemetry.h"
#include "tests/telemetry/MqttBroker.h"

namespace vorta::test {
namespace {

TMqttSettings Settings(quint16 port, const char* clientId) {
  TMqttSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.Name = QStringLiteral("Корпус 2, стол 4");
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
  // A page in another language needs to know what the text is in.
  EXPECT_EQ(a["textLang"].toString(), QStringLiteral("ru"));
  // Viewers show the computer by the name it is given, not its topic path.
  EXPECT_EQ(RetainedNow(broker.Port, "lab/pc1/info", "vorta-info")["name"].toString(),
            QStringLiteral("Корпус 2, стол 4"));
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

QByteArray Row(const QDateTime& t, double ph, const QString& rest = QStringLiteral("37.00")) {
  return (QLocale::system().toString(t.date(), QLocale::ShortFormat).left(6) +
          QStringLiteral("\t%1:%2:%3\t%4\t7.00\t37.00\t%5\r\n")
              .arg(t.time().hour())
              .arg(t.time().minute())
              .arg(t.time().second())
              .arg(ph, 0, 'f', 2)
              .arg(rest))
      .toUtf8();
}

// A column of a history part read back: steps from the value before, null
// for none, [step, n] for n equal steps.
std::vector<std::optional<qint64>> Unstep(const QJsonArray& steps) {
  std::vector<std::optional<qint64>> out;
  qint64 last = 0;
  for (const QJsonValue item : steps) {
    const QJsonValue step = item.isArray() ? item[0] : item;
    const qint64 n = item.isArray() ? item[1].toInteger() : 1;
    for (qint64 k = 0; k < n; ++k) {
      if (!step.isNull()) last += step.toInteger();
      out.push_back(step.isNull() ? std::nullopt : std::optional<qint64>(last));
    }
  }
  return out;
}

// The day as a page puts it together: the index's parts in its order.
struct TDay {
  std::vector<qint64> Times;
  std::map<QString, std::vector<std::optional<qint64>>> Columns;
  qsizetype Largest = 0;  // the largest part
};

TDay Join(const QByteArray& index, const std::map<int, QByteArray>& parts) {
  TDay day;
  for (const QJsonValue slot : QJsonDocument::fromJson(index)["parts"].toArray()) {
    const auto it = parts.find(slot.toInt());
    if (it == parts.end()) return {};
    day.Largest = std::max(day.Largest, it->second.size());
    const QJsonObject part = QJsonDocument::fromJson(it->second).object();
    for (const std::optional<qint64> t : Unstep(part["t"].toArray())) day.Times.push_back(*t);
    for (const QString& key : part.keys()) {
      if (key == QLatin1String("t") || !part[key].isArray()) continue;
      std::vector<std::optional<qint64>>& column = day.Columns[key];
      for (const std::optional<qint64> v : Unstep(part[key].toArray())) column.push_back(v);
    }
  }
  return day;
}

// What a subscriber that comes now gets retained of a vessel's history.
TDay RetainedDay(quint16 port, const char* name) {
  static int calls = 0;
  const QByteArray id = QByteArray(name) + '-' + QByteArray::number(++calls);
  TSubscriber sub(port, QStringLiteral("lab/pc1/3/history/#"), id.constData());
  TDay day;
  WaitUntil(
      [&] {
        QByteArray index;
        std::map<int, QByteArray> parts;
        for (const TReceived& m : sub.Messages()) {
          if (m.Topic.endsWith(QLatin1String("/history"))) index = m.Payload;
          if (m.Topic.contains(QLatin1String("/history/"))) {
            parts[m.Topic.section(u'/', -1).toInt()] = m.Payload;
          }
        }
        day = Join(index, parts);
        return !day.Times.empty();
      },
      1000);
  return day;
}

std::vector<std::optional<qint64>> Hundredths(std::initializer_list<double> values) {
  std::vector<std::optional<qint64>> out;
  for (const double v : values) out.emplace_back(std::llround(v * 100));
  return out;
}

// The history is the data log's own last day, so a restart loses nothing of
// it: rows the previous run had passed are in it, rows older than a day are
// not, and what an earlier run left in a slot the day does not use is gone.
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
  const auto slotOf = [](const QDateTime& t) {
    return static_cast<int>(t.toSecsSinceEpoch() / 3600 % kHistorySlots);
  };
  int unused = 0;
  while (unused == slotOf(times[1]) || unused == slotOf(times[2]) || unused == slotOf(times[3])) {
    ++unused;
  }
  const QString stale = QStringLiteral("lab/pc1/3/history/%1").arg(unused);
  ASSERT_EQ(QProcess::execute(
                QStringLiteral("mosquitto_pub"),
                {QStringLiteral("-p"), QString::number(broker.Port), QStringLiteral("-t"), stale,
                 QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("{\"t\":[1]}")}),
            0);
  TMqttPublisher second(Settings(broker.Port, "vorta-history"), files, folder.File("offsets"));
  second.Start();
  TDay day;
  ASSERT_TRUE(WaitUntil(
      [&] {
        day = RetainedDay(broker.Port, "vorta-history-sub");
        return day.Times.size() == 3;
      },
      5000));
  EXPECT_EQ(day.Times,
            (std::vector<qint64>{times[1].toSecsSinceEpoch(), times[2].toSecsSinceEpoch(),
                                 times[3].toSecsSinceEpoch()}));
  EXPECT_EQ(day.Columns["pH"], Hundredths({6.6, 6.7, 6.8}));
  EXPECT_EQ(day.Columns["SettC"], Hundredths({37, 37, 37}));
  EXPECT_EQ(day.Columns["pO2"], (std::vector<std::optional<qint64>>(3)));
  {
    TSubscriber late(broker.Port, stale, "vorta-history-stale");
    QThread::msleep(300);
    EXPECT_TRUE(late.Messages().empty()) << late.Messages()[0].Payload.constData();
  }

  // A new row goes out with its hour's part (and the index if the hour is
  // new), not with the whole day again.
  TSubscriber live(broker.Port, QStringLiteral("lab/pc1/3/history/#"), "vorta-history-live");
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write(Row(now, 6.9));
  file.close();
  EXPECT_TRUE(WaitUntil(
      [&] {
        day = RetainedDay(broker.Port, "vorta-history-sub");
        return day.Columns["pH"].size() == 4 && day.Columns["pH"].back() == 690;
      },
      5000));
  const QString newest = QStringLiteral("lab/pc1/3/history/%1").arg(slotOf(now));
  for (const TReceived& m : live.Messages()) {
    if (m.Retained) continue;
    EXPECT_TRUE(m.Topic == newest || m.Topic == QLatin1String("lab/pc1/3/history"))
        << m.Topic.toStdString();
  }
}

// A day at a 1-minute period of readings that move: every row is in it, to
// the hundredth, and no message is over the size a WebSocket broker sends at
// once. An hour of rows each second (a clock set back, a wild value in each)
// is thinned to fit and keeps its newest row.
TEST(MqttHistoryTest, aDayOfRows_inPartsUnderTheFastSize) {
  const QDateTime end = QDateTime::currentDateTime();
  const double now = ToSystemDateTime(end);
  const QStringList header =
      QString::fromLatin1("Date\tTime\tpH\tSetpH\ttC\tSettC\tpO2\tSetpO\teH\tSeteH\tO1\tMixRpm")
          .split(u'\t');
  std::vector<QByteArray> rows;
  std::vector<double> ph;
  for (int m = 1439; m >= 0; --m) {
    ph.push_back(6.5 + (m * 37 % 101) / 100.0);
    rows.push_back(Row(end.addSecs(-60 * m), ph.back(),
                       QStringLiteral("37.00\t%1\t30.00\t-%2\t-150.00\t 0.00\t%3")
                           .arg((m * 7919 % 10000) / 100.0, 0, 'f', 2)
                           .arg((m * 104729 % 100000) / 100.0, 0, 'f', 2)
                           .arg(m % 3 ? 500 + m % 50 : 0))
                       .chopped(2));
  }
  const THistoryParts history = HistoryParts(3, header, rows, now);
  std::map<int, QByteArray> parts;
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    if (!history.Parts[slot].isEmpty()) parts[slot] = history.Parts[slot];
  }
  const TDay day = Join(history.Index, parts);
  ASSERT_EQ(day.Times.size(), 1440u);
  EXPECT_LE(day.Largest, kHistoryPartBytes);
  EXPECT_EQ(day.Times.back(), end.toSecsSinceEpoch());
  std::vector<std::optional<qint64>> expected;
  for (const double v : ph) expected.emplace_back(std::llround(v * 100));
  EXPECT_EQ(day.Columns.at(QStringLiteral("pH")), expected);
  EXPECT_EQ(day.Columns.at(QStringLiteral("MixRpm"))[1], 50000 + 1438 % 50 * 100);
  EXPECT_EQ(day.Columns.at(QStringLiteral("MixRpm"))[2], 0);

  std::vector<QByteArray> wild;
  for (int s = 3599; s >= 0; --s) {
    wild.push_back(Row(end.addSecs(-s), (s * 7919 % 100000) / 100.0,
                       QStringLiteral("%1").arg(-(s * 104729 % 1000000) / 100.0, 0, 'f', 2))
                       .chopped(2));
  }
  const THistoryParts thinned = HistoryParts(3, header, wild, now);
  parts.clear();
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    if (!thinned.Parts[slot].isEmpty()) parts[slot] = thinned.Parts[slot];
  }
  const TDay fit = Join(thinned.Index, parts);
  EXPECT_LE(fit.Largest, kHistoryPartBytes);
  EXPECT_GT(fit.Times.size(), 100u);
  EXPECT_EQ(fit.Times.back(), end.toSecsSinceEpoch());
}

}  // namespace
}  // namespace vorta::test
