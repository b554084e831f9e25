// What the broker refuses is told once (tests/app: a killed program leaves
// "offline").

#include <gtest/gtest.h>

#include <QProcess>

#include "MqttBroker.h"
#include "ProgramFolder.h"
#include "platform/ProfileFile.h"
#include "telemetry/MqttPublisher.h"

namespace vorta::test {
namespace {

TMqttSettings Settings(const QString& host, quint16 port) {
  TMqttSettings s;
  s.Host = host;
  s.Port = port;
  s.TopicRoot = QStringLiteral("lab/pc1");
  s.ClientId = QStringLiteral("vorta-refusal");
  s.RetryMinMs = 50;
  s.RetryMaxMs = 100;
  return s;
}

// Connected within the time, or the notices it gave.
std::vector<TMqttNotice> RunFor(TMqttPublisher& publisher, int ms, bool* connected) {
  publisher.Start();
  *connected = WaitUntil([&] { return publisher.Connected(); }, ms);
  return publisher.TakeNotices();
}

TEST(MqttRefusalTest, wrongPassword_toldOnceAcrossRetries_rightOneConnects) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  ASSERT_TRUE(RunTool("mosquitto_passwd", {"-b", "-c", broker.File("passwd"), "lab", "Secret;1"},
                      broker.File(".")));
  broker.Start("allow_anonymous false\npassword_file " + broker.File("passwd").toUtf8() + "\n");

  TMqttSettings s = Settings("127.0.0.1", broker.Port);
  s.Username = "lab";
  s.Password = "wrong";
  {
    TMqttPublisher publisher(s, {}, broker.File("offsets"));
    bool connected = true;
    // Ten and more refused attempts in this time.
    auto notices = RunFor(publisher, 1500, &connected);
    EXPECT_FALSE(connected);
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_TRUE(notices[0].Operator);
    EXPECT_TRUE(notices[0].Text.contains(QStringLiteral("неверное имя пользователя или пароль")))
        << notices[0].Text.toStdString();
    EXPECT_FALSE(notices[0].Text.contains("wrong"));
  }
  s.Password = "Secret;1";
  TMqttPublisher publisher(s, {}, broker.File("offsets"));
  bool connected = false;
  EXPECT_TRUE(RunFor(publisher, 5000, &connected).empty());
  EXPECT_TRUE(connected);
}

TEST(MqttRefusalTest, tls_wrongCaOrHostNameRefused_rightOnesConnect) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  const QString dir = broker.File(".");
  const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  for (const char* ca : {"ca", "other"}) {
    ASSERT_TRUE(
        RunTool("openssl",
                QStringList{"req", "-x509"} + ec +
                    QStringList{"-keyout", QString(ca) + ".key", "-out", QString(ca) + ".crt",
                                "-days", "2", "-subj", QString("/CN=Test ") + ca},
                dir));
  }
  ASSERT_TRUE(RunTool(
      "openssl",
      QStringList{"req"} + ec +
          QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost"},
      dir));
  QFile ext(broker.File("ext"));
  ASSERT_TRUE(ext.open(QIODevice::WriteOnly));
  ext.write("subjectAltName=DNS:localhost\n");
  ext.close();
  ASSERT_TRUE(RunTool("openssl",
                      {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                       "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "ext"},
                      dir));
  broker.Start("allow_anonymous true\ncafile " + broker.File("ca.crt").toUtf8() + "\ncertfile " +
               broker.File("server.crt").toUtf8() + "\nkeyfile " +
               broker.File("server.key").toUtf8() + "\n");

  struct TCase {
    const char* Host;
    const char* CA;
    bool Connects;
  };
  // The certificate names localhost: an address it does not name is refused
  // even with the right CA.
  for (const TCase c : {TCase{"localhost", "other.crt", false}, TCase{"127.0.0.1", "ca.crt", false},
                        TCase{"localhost", "ca.crt", true}}) {
    TMqttSettings s = Settings(c.Host, broker.Port);
    s.CAFile = broker.File(c.CA);
    TMqttPublisher publisher(s, {}, broker.File("offsets"));
    bool connected = false;
    const auto notices = RunFor(publisher, c.Connects ? 5000 : 1000, &connected);
    EXPECT_EQ(connected, c.Connects) << c.Host << " " << c.CA;
    if (!c.Connects) {
      ASSERT_EQ(notices.size(), 1U) << c.Host << " " << c.CA;
      EXPECT_TRUE(notices[0].Text.contains("TLS")) << notices[0].Text.toStdString();
    }
  }
}

// Two computers with one ClientId: the broker accepts each and drops the
// other. That is one episode, told once as what it is, with the pause growing
// instead of a message and journal record every second.
TEST(MqttRefusalTest, clientIdTakenOver_toldOnceAsSuch) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  broker.Start();
  TMqttSettings s = Settings("127.0.0.1", broker.Port);
  // Pauses as long as an acknowledgement can take on a busy machine.
  s.RetryMinMs = 300;
  s.RetryMaxMs = 600;
  TMqttPublisher one(s, {}, broker.File("offsets1"));
  bool connected = false;
  ASSERT_TRUE(RunFor(one, 5000, &connected).empty());
  ASSERT_TRUE(connected);
  TMqttPublisher two(s, {}, broker.File("offsets2"));
  two.Start();
  QThread::msleep(3000);
  for (TMqttPublisher* p : {&one, &two}) {
    const auto notices = p->TakeNotices();
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_TRUE(notices[0].Operator);
    EXPECT_TRUE(notices[0].Text.contains(QStringLiteral("занят другим клиентом")))
        << notices[0].Text.toStdString();
  }
}

// A broker that refuses the program's topics: said once, and no row counts
// as delivered, so that all of them go out once the broker allows them.
TEST(MqttRefusalTest, refusedTopic_toldOnceAndNothingCountedAsDelivered) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  QFile acl(broker.File("acl"));
  ASSERT_TRUE(acl.open(QIODevice::WriteOnly));
  acl.write("topic write elsewhere/#\n");
  acl.close();
  broker.Start("allow_anonymous true\nacl_file " + acl.fileName().toUtf8() + "\n");
  TProgramFolder folder;
  folder.Write("log.txt", "Date\tTime\tpH\r\n07.12.\t9:0:0\t7.00\r\n");
  {
    TMqttPublisher publisher(Settings("127.0.0.1", broker.Port),
                             {{folder.File("log.txt"), "log.txt", 1, false, 0}},
                             folder.File("offsets"));
    publisher.Start();
    QThread::msleep(1500);
    const auto notices = publisher.TakeNotices();
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_TRUE(notices[0].Text.contains("lab/pc1/")) << notices[0].Text.toStdString();
    EXPECT_TRUE(notices[0].Text.contains(QStringLiteral("нет прав")))
        << notices[0].Text.toStdString();
  }
  EXPECT_EQ(LoadDeliveredOffsets(folder.File("offsets")).Offsets.value("log.txt").Offset, 0);
}

}  // namespace
}  // namespace vorta::test
