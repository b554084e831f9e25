// [MQTT] as the operator writes it: off without a host, a password file
// others can read refused without showing its content.

#include <gtest/gtest.h>

#include <QFile>

#include "ProgramFolder.h"
#include "platform/ProfileFile.h"
#include "telemetry/MqttSettings.h"

namespace vorta::test {
namespace {

std::optional<TMqttSettings> Read(const TProgramFolder& folder, const QByteArray& section,
                                  QStringList* problems) {
  folder.Write("Vorta.ini", "[Processes]\r\n[MQTT]\r\n" + section);
  return ReadMqttSettings(TProfileFile(folder.File("Vorta.ini")), folder.Path(), problems);
}

TEST(MqttSettingsTest, hostPasswordFileAndTlsDefaults) {
  TProgramFolder folder;
  QStringList problems;
  EXPECT_FALSE(Read(folder, "Host=\r\nPort=1884\r\n", &problems));
  EXPECT_TRUE(problems.isEmpty());

  folder.Write("mqtt.pass", "Geheim;1\r\n");
  QFile::setPermissions(folder.File("mqtt.pass"),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  EXPECT_FALSE(Read(folder, "Host=b\r\nUsername=lab\r\nPasswordFile=mqtt.pass\r\n", &problems));
  ASSERT_EQ(problems.size(), 1);
  EXPECT_TRUE(problems[0].contains("chmod 600")) << problems[0].toStdString();
  EXPECT_FALSE(problems[0].contains("Geheim"));

  problems.clear();
  QFile::setPermissions(folder.File("mqtt.pass"), QFile::ReadOwner | QFile::WriteOwner);
  folder.Write("ca.pem", "-----BEGIN CERTIFICATE-----\n");
  const auto s = Read(folder,
                      "Host=b\r\nUsername=lab\r\nPasswordFile=mqtt.pass\r\nCAFile=ca.pem\r\n"
                      "Keepalive=2\r\nTopicRoot=lab/pc1/\r\n",
                      &problems);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Password, "Geheim;1");
  EXPECT_EQ(s->Port, 8883);
  EXPECT_EQ(s->TopicRoot, "lab/pc1");
  EXPECT_EQ(s->Keepalive, 30);
  ASSERT_EQ(problems.size(), 1);  // the keepalive below its range
  EXPECT_TRUE(problems[0].contains("Keepalive")) << problems[0].toStdString();
  EXPECT_FALSE(problems[0].contains("Geheim"));
  // The default client id: the same on every run from a folder, another for another folder.
  EXPECT_EQ(s->ClientId, Read(folder, "Host=b\r\n", &problems)->ClientId);
  EXPECT_NE(DefaultMqttClientId("pc", "/srv/a"), DefaultMqttClientId("pc", "/srv/b"));
}

}  // namespace
}  // namespace vorta::test
