// Commands from the browser through a real broker: who may send them, which
// are refused before anything is touched, and what is journalled.

#include <gtest/gtest.h>
#include <mqtt_protocol.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include "DemoRunFixture.h"
#include "JournalRows.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/RealTimerService.h"
#include "process/PanelView.h"
#include "telemetry/MqttTelemetry.h"
#include "tests/telemetry/MqttBroker.h"

namespace vorta::test {
namespace {

// The page's side: publishes MQTT 5 commands and keeps the answers by
// correlation data.
class TCommander {
 public:
  TCommander(quint16 port, const char* id) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(id, true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_message_v5_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m,
                                                const mosquitto_property* p) {
      auto* c = static_cast<TCommander*>(self);
      void* data = nullptr;
      std::uint16_t n = 0;
      if (mosquitto_property_read_binary(p, MQTT_PROP_CORRELATION_DATA, &data, &n, false)) {
        const std::lock_guard lock(c->mutex_);
        c->answers_[QByteArray(static_cast<char*>(data), n)] =
            QJsonDocument::fromJson(QByteArray(static_cast<const char*>(m->payload), m->payloadlen))
                .object();
        std::free(data);
      }
    });
    mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* self, int, int, const int*) {
      static_cast<TCommander*>(self)->subscribed_ = true;
    });
    mosquitto_connect_bind_v5(mosq_, "127.0.0.1", port, 30, nullptr, nullptr);
    mosquitto_loop_start(mosq_);
    mosquitto_subscribe_v5(mosq_, nullptr, "lab/pc1/reply/#", 1, 0, nullptr);
    EXPECT_TRUE(WaitUntil([this] { return subscribed_.load(); }, 5000));
  }
  ~TCommander() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
  }
  // Sends body (with "ts" = now + ageMs back) as user to the vessel.
  void Send(const QByteArray& id, const QString& user, const QString& vessel, QJsonObject body,
            qint64 ageMs = 0, bool retain = false) {
    body[QStringLiteral("ts")] = double(QDateTime::currentMSecsSinceEpoch() - ageMs);
    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Compact);
    const QByteArray reply = ("lab/pc1/reply/" + user + "/page").toUtf8();
    mosquitto_property* props = nullptr;
    mosquitto_property_add_string(&props, MQTT_PROP_RESPONSE_TOPIC, reply.constData());
    mosquitto_property_add_binary(&props, MQTT_PROP_CORRELATION_DATA, id.constData(),
                                  static_cast<std::uint16_t>(id.size()));
    mosquitto_publish_v5(mosq_, nullptr,
                         ("lab/pc1/cmd/" + user + "/" + vessel).toUtf8().constData(),
                         static_cast<int>(payload.size()), payload.constData(), 1, retain, props);
    mosquitto_property_free_all(&props);
  }
  std::optional<QJsonObject> Answer(const QByteArray& id) {
    const std::lock_guard lock(mutex_);
    const auto it = answers_.find(id);
    return it == answers_.end() ? std::nullopt : std::optional(it->second);
  }

 private:
  mosquitto* mosq_ = nullptr;
  std::atomic<bool> subscribed_{false};
  std::mutex mutex_;
  std::map<QByteArray, QJsonObject> answers_;
};

class MqttCommandTest : public TDemoRunFixture<THeadlessWindowFactory> {
 protected:
  void SetUp() override {
    VORTA_REQUIRE_BROKER();
    TDemoRunFixture::SetUp();
    broker.Start();
  }
  void StartTelemetry() {
    TMqttSettings s;
    s.Host = QStringLiteral("127.0.0.1");
    s.Port = broker.Port;
    s.TopicRoot = QStringLiteral("lab/pc1");
    s.ClientId = QStringLiteral("vorta-cmd-test");
    s.RetryMinMs = 50;
    s.Operators = {QStringLiteral("anna")};
    telemetry = std::make_unique<TMqttTelemetry>(form->Env(), s);
    ASSERT_TRUE(WaitUntil([this] { return telemetry->Publisher().Connected(); }, 5000));
  }
  void TearDown() override {
    telemetry.reset();
    TDemoRunFixture::TearDown();
  }
  // The main thread's timers run while the answer is awaited.
  QJsonObject Await(TCommander& page, const QByteArray& id) {
    std::optional<QJsonObject> answer;
    WaitUntil(
        [&] {
          time.AdvanceBy(200);
          return (answer = page.Answer(id)).has_value();
        },
        5000);
    return answer.value_or(QJsonObject{{"noAnswer", true}});
  }
  int JournalLinesWith(const QString& text) {
    QFile f(form->Journal()->Path());
    f.open(QIODevice::ReadOnly);
    return static_cast<int>(QString::fromUtf8(f.readAll()).count(text));
  }

  TBroker broker;
  std::unique_ptr<TMqttTelemetry> telemetry;
};

TEST_F(MqttCommandTest, operatorsSetpointIsJournalledAsWebAndOthersAreRefused) {
  // Left retained by a page long gone: delivered (retained) when the program subscribes.
  {
    TCommander old(broker.Port, "vorta-old-page");
    old.Send("r1", QStringLiteral("anna"), QStringLiteral("1"),
             {{"cmd", "setpoint"}, {"channel", 1}, {"value", "6,1"}}, 0, true);
  }
  TCommander page(broker.Port, "vorta-page");
  StartTelemetry();
  const TVortaProcess& p = *form->Processes().ProcessAt(0);
  ASSERT_EQ(p.Config.NumProcess, 1);
  const QJsonObject retained = Await(page, "r1");
  EXPECT_EQ(retained["done"], false) << QJsonDocument(retained).toJson().toStdString();

  page.Send("a1", QStringLiteral("anna"), QStringLiteral("1"),
            {{"cmd", "setpoint"}, {"channel", 1}, {"value", "6,55"}});
  const QJsonObject done = Await(page, "a1");
  EXPECT_EQ(done["done"], true) << QJsonDocument(done).toJson().toStdString();
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.Setpoint, 6.55);
  const QStringList changes = JournalChanges(form->Journal()->Path());
  ASSERT_FALSE(changes.isEmpty());
  EXPECT_TRUE(changes.last().endsWith(QStringLiteral("|6.55|Web"))) << changes.last().toStdString();
  EXPECT_TRUE(JournalLastLines(form->Journal()->Path(), 1)[0].contains("\tanna\t"));

  // Not an operator; stale twice (journalled once); out of range (the layer's refusal).
  page.Send("b1", QStringLiteral("boris"), QStringLiteral("1"),
            {{"cmd", "setpoint"}, {"channel", 1}, {"value", "7"}});
  page.Send("s1", QStringLiteral("anna"), QStringLiteral("1"),
            {{"cmd", "setpoint"}, {"channel", 1}, {"value", "7"}}, 60000);
  page.Send("s2", QStringLiteral("anna"), QStringLiteral("1"),
            {{"cmd", "setpoint"}, {"channel", 1}, {"value", "7"}}, 60000);
  page.Send("x1", QStringLiteral("anna"), QStringLiteral("9"), {{"cmd", "mode"}, {"mode", 0}});
  for (const char* id : {"b1", "s1", "s2", "x1"}) {
    const QJsonObject a = Await(page, id);
    EXPECT_EQ(a["done"], false) << id << QJsonDocument(a).toJson().toStdString();
  }
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.Setpoint, 6.55);
  EXPECT_EQ(JournalLinesWith(QStringLiteral("не допущен")), 1);
  EXPECT_EQ(JournalLinesWith(QStringLiteral("устарела")), 1);
  EXPECT_EQ(JournalLinesWith(QStringLiteral("(retained)")), 1);
}

TEST_F(MqttCommandTest, acknowledgeAllFromThePage) {
  TCommander page(broker.Port, "vorta-page");
  StartTelemetry();
  TAlarms& alarms = form->Alarms();
  ASSERT_TRUE(alarms.Raise(7, QStringLiteral("Ферментёр 7"), TAlarmKind::LinkLost,
                           QStringLiteral("Board7"), QStringLiteral("Нет связи: Board7")));
  page.Send("k1", QStringLiteral("anna"), QStringLiteral("all"), {{"cmd", "ack"}});
  const QJsonObject a = Await(page, "k1");
  EXPECT_EQ(a["done"], true) << QJsonDocument(a).toJson().toStdString();
  for (const TAlarm& alarm : alarms.List()) EXPECT_EQ(alarm.AckBy, QStringLiteral("anna"));
  EXPECT_FALSE(alarms.List().empty());
}

}  // namespace
}  // namespace vorta::test
