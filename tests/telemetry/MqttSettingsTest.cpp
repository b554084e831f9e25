// [MQTT] as the operator writes it: off without a host, a password file
// others can read refused without showing its content.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "ProgramFolder.h"
#include "platform/ProfileFile.h"
#include "telemetry/MqttSettings.h"

namespace vorta::test {
namespace {

// A CA certificate as a CA file holds one (its validity does not matter here).
const QByteArray kCaPem =
    "-----BEGIN CERTIFICATE-----\n"
    "MIIBezCCASGgAwIBAgIUE1g6MK1I1IPlTHKkfpQf5ITJlIkwCgYIKoZIzj0EAwIw\n"
    "EjEQMA4GA1UEAwwHVGVzdCBDQTAgFw0yNjEyMDcxNTAyMDRaGA8yMTI2MTExMzE1\n"
    "MDIwNFowEjEQMA4GA1UEAwwHVGVzdCBDQTBZMBMGByqGSM49AgEGCCqGSM49AwEH\n"
    "A0IABEceRLRDqcKSwOJGfxCvn5fZdl+x+7VPsRhfzMkFhslSJveL8nkz0cN01fVo\n"
    "dZy9gMLayk3OSG/NUSvnlVz3hpejUzBRMB0GA1UdDgQWBBRs3qR0lNBQZYJu27wu\n"
    "MiibpYDAyDAfBgNVHSMEGDAWgBRs3qR0lNBQZYJu27wuMiibpYDAyDAPBgNVHRMB\n"
    "Af8EBTADAQH/MAoGCCqGSM49BAMCA0gAMEUCIEGucodaFP4nr8GZA2Mn3+LVbBwq\n"
    "xmANuGiniJUMgiHkAiEA0dZJql1yNR5PzVDN3yQQi1XNhiuf4Qf3ckaZW4vxLOw=\n"
    "-----END CERTIFICATE-----\n";

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
  folder.Write("ca.pem", kCaPem);
  const auto s = Read(folder,
                      "Host=b\r\nUsername=lab\r\nPasswordFile=mqtt.pass\r\nCAFile=ca.pem\r\n"
                      "Keepalive=2\r\nTopicRoot=lab/pc1/\r\nName=Корпус 2\r\n",
                      &problems);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Password, "Geheim;1");
  EXPECT_EQ(s->Port, 8883);
  EXPECT_EQ(s->TopicRoot, "lab/pc1");
  EXPECT_EQ(s->Name, QStringLiteral("Корпус 2"));
  EXPECT_EQ(s->Keepalive, 30);
  ASSERT_EQ(problems.size(), 1);  // the keepalive below its range
  EXPECT_TRUE(problems[0].contains("Keepalive")) << problems[0].toStdString();
  EXPECT_FALSE(problems[0].contains("Geheim"));
  // The default client id: the same on every run from a folder, another for another folder.
  EXPECT_EQ(s->ClientId, Read(folder, "Host=b\r\n", &problems)->ClientId);
  EXPECT_NE(DefaultMqttClientId("pc", "/srv/a"), DefaultMqttClientId("pc", "/srv/b"));
}

// Each fault of the password and CA files has its own message, and a FIFO in
// their place is refused at once instead of blocking the start.
TEST(MqttSettingsTest, unusablePasswordCaOrRoot_eachToldAsItIs) {
  TProgramFolder folder;
  ASSERT_EQ(::mkfifo(QFile::encodeName(folder.File("fifo")).constData(), 0600), 0);
  ASSERT_TRUE(QDir(folder.Path()).mkdir("dir"));
  folder.Write("mqtt.pass", "Geheim;1\r\n");
  QFile::setPermissions(folder.File("mqtt.pass"), QFile::ReadOwner | QFile::WriteOwner);
  folder.Write("bad.pem", "-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n");
  struct TCase {
    QByteArray Section;
    QString Told;
  };
  const TCase cases[] = {
      {"Username=lab\r\nPasswordFile=dir\r\n", "папка"},
      {"Username=lab\r\nPasswordFile=fifo\r\n", "именованный канал"},
      {"PasswordFile=mqtt.pass\r\n", "Username"},
      {"CAFile=bad.pem\r\n", "нет ни одного читаемого сертификата"},
      {"CAFile=fifo\r\n", "именованный канал"},
      {"TopicRoot=$SYS/lab\r\n", "'$'"},
  };
  for (const TCase& c : cases) {
    QStringList problems;
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(Read(folder, "Host=b\r\n" + c.Section, &problems)) << c.Section.data();
    EXPECT_LT(t.elapsed(), 1000);
    ASSERT_EQ(problems.size(), 1) << c.Section.data();
    EXPECT_TRUE(problems[0].contains(c.Told)) << problems[0].toStdString();
    EXPECT_FALSE(problems[0].contains("chmod")) << problems[0].toStdString();
  }
}

}  // namespace
}  // namespace vorta::test
