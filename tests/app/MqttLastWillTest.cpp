// A killed program leaves "offline" as its last will.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

#include "ProgramFolder.h"
#include "tests/telemetry/MqttBroker.h"

namespace vorta::test {
namespace {

TEST(MqttRefusalTest, killedProgram_leavesOfflineAsItsLastWill) {
  VORTA_REQUIRE_BROKER();
  TBroker broker;
  broker.Start();
  TProgramFolder folder;
  TProgramFolder runtime;
  folder.Write("Vorta.ini", "[Processes]\r\np.ini=1\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=" +
                                QByteArray::number(broker.Port) + "\r\nTopicRoot=lab/pc9\r\n");
  folder.Write("p.ini", "[Port]\r\nNameProcess=P\r\nNumProcess=1\r\n");
  TSubscriber sub(broker.Port, "lab/pc9/status");

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", runtime.Path());
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  QProcess vorta;
  vorta.setProcessEnvironment(env);
  vorta.start(VORTA_BIN, {"--headless", "--folder", folder.Path()});
  ASSERT_TRUE(vorta.waitForStarted(5000));
  ASSERT_TRUE(sub.WaitFor("lab/pc9/status", "online", 10000));
  ::kill(static_cast<pid_t>(vorta.processId()), SIGKILL);
  vorta.waitForFinished(5000);
  EXPECT_TRUE(sub.WaitFor("lab/pc9/status", "offline", 5000));
}

}  // namespace
}  // namespace vorta::test
