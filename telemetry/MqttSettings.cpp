#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QSslCertificate>

#include "platform/ConfigReader.h"
#include "platform/ProfileFile.h"
#include "platform/SafeFile.h"
#include "telemetry/MqttSettings.h"

namespace vorta {

namespace {
const QString kSection = QStringLiteral("MQTT");

QString Key(const TProfileFile& file, const char* key) {
  return file.ReadString(kSection, QString::fromLatin1(key), QString()).trimmed();
}

QString Resolve(const QString& programFolder, const QString& path) {
  return QDir(programFolder).absoluteFilePath(path);
}

// Only shown (at start), never written: translated where made.
QString Tr(const char* source) {
  return QCoreApplication::translate("vorta::MqttSettings", source);
}

QString Off() {
  return Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings", "публикация выключена."));
}

// Why the CA file cannot serve, or nothing. Read here rather than at the
// first connection, where any fault of it would look like a broker whose
// certificate is not trusted.
QString CaFileProblem(const QString& path) {
  if (const QString special = NotARegularFile(path); !special.isEmpty()) {
    return Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings", "MQTT: файл сертификатов CAFile %1; %2"))
        .arg(special, Off());
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    return Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings",
                                "MQTT: файл сертификатов CAFile %1 не найден или не читается; %2"))
        .arg(path, Off());
  }
  const QList<QSslCertificate> certificates = QSslCertificate::fromData(f.readAll(), QSsl::Pem);
  const bool any = std::any_of(certificates.begin(), certificates.end(),
                               [](const QSslCertificate& c) { return !c.isNull(); });
  if (!any) {
    return Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings",
                                "MQTT: в файле сертификатов CAFile %1 нет ни одного читаемого "
                                "сертификата (ожидается PEM: -----BEGIN CERTIFICATE-----); %2"))
        .arg(path, Off());
  }
  return {};
}
}  // namespace

QString DefaultMqttClientId(const QString& hostName, const QString& programFolder) {
  const QByteArray folderHash = QCryptographicHash::hash(
      QDir(programFolder).absolutePath().toUtf8(), QCryptographicHash::Sha256);
  return QStringLiteral("vorta-%1-%2")
      .arg(hostName, QString::fromLatin1(folderHash.toHex().left(8)));
}

std::optional<TMqttSettings> ReadMqttSettings(const TProfileFile& mainConfig,
                                              const QString& programFolder, QStringList* problems) {
  TMqttSettings s;
  s.Host = Key(mainConfig, "Host");
  if (s.Host.isEmpty()) return std::nullopt;
  const QString hostName = QHostInfo::localHostName();

  s.CAFile = Key(mainConfig, "CAFile");
  if (!s.CAFile.isEmpty()) {
    s.CAFile = Resolve(programFolder, s.CAFile);
    if (const QString problem = CaFileProblem(s.CAFile); !problem.isEmpty()) {
      *problems << problem;
      return std::nullopt;
    }
  }
  TConfigReader numbers(mainConfig);
  s.Port =
      static_cast<int>(numbers.Int(kSection, "Port", s.CAFile.isEmpty() ? 1883 : 8883, 1, 65535));
  s.Keepalive = static_cast<int>(numbers.Int(kSection, "Keepalive", 30, 5, 65535));
  if (!numbers.Notes().isEmpty()) *problems << numbers.Report();

  s.TopicRoot = Key(mainConfig, "TopicRoot");
  if (s.TopicRoot.isEmpty()) s.TopicRoot = QStringLiteral("vorta/") + hostName;
  while (s.TopicRoot.endsWith(u'/')) s.TopicRoot.chop(1);
  // Subscribers' wildcards never match a topic that begins with '$'.
  if (s.TopicRoot.isEmpty() || s.TopicRoot.contains(u'#') || s.TopicRoot.contains(u'+') ||
      s.TopicRoot.startsWith(u'$')) {
    *problems << Tr(QT_TRANSLATE_NOOP(
        "vorta::MqttSettings",
        "MQTT: TopicRoot не может быть пустым, содержать '#' или '+' и начинаться с '$'; "
        "публикация выключена."));
    return std::nullopt;
  }
  s.Name = Key(mainConfig, "Name");
  s.ClientId = Key(mainConfig, "ClientId");
  if (s.ClientId.isEmpty()) s.ClientId = DefaultMqttClientId(hostName, programFolder);
  s.Username = Key(mainConfig, "Username");
  for (const QString& name : Key(mainConfig, "Operators").split(u',', Qt::SkipEmptyParts)) {
    if (!name.trimmed().isEmpty()) s.Operators << name.trimmed();
  }

  QString passwordFile = Key(mainConfig, "PasswordFile");
  if (!passwordFile.isEmpty()) {
    passwordFile = Resolve(programFolder, passwordFile);
    // MQTT sends a password only with a user name.
    if (s.Username.isEmpty()) {
      *problems << Tr(QT_TRANSLATE_NOOP(
                          "vorta::MqttSettings",
                          "MQTT: PasswordFile задан, а Username нет; пароль передаётся только "
                          "вместе с именем пользователя. Укажите Username; %1"))
                       .arg(Off());
      return std::nullopt;
    }
    if (const QString special = NotARegularFile(passwordFile); !special.isEmpty()) {
      *problems << Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings", "MQTT: файл пароля %1; %2"))
                       .arg(special, Off());
      return std::nullopt;
    }
    const QFileInfo info(passwordFile);
    // A password others can read is no secret: refuse rather than use it.
    if (info.exists() &&
        (info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther)) != 0) {
      *problems << Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings",
                                        "MQTT: файл пароля %1 доступен другим пользователям; "
                                        "разрешите чтение только владельцу (chmod 600). "
                                        "Публикация выключена."))
                       .arg(passwordFile);
      return std::nullopt;
    }
    QFile f(passwordFile);
    if (!f.open(QIODevice::ReadOnly)) {
      *problems << Tr(QT_TRANSLATE_NOOP("vorta::MqttSettings",
                                        "MQTT: не удалось прочитать файл пароля %1; %2"))
                       .arg(passwordFile, Off());
      return std::nullopt;
    }
    s.Password = f.readLine(4096);
    while (s.Password.endsWith('\n') || s.Password.endsWith('\r')) s.Password.chop(1);
  }
  return s;
}

}  // namespace vorta
