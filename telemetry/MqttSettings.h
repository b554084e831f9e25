#pragma once
// The [MQTT] section of Vorta.ini: where the program publishes its vessels,
// and as whom. Copied whole into the publisher's thread.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorta {

class TProfileFile;

struct TMqttSettings {
  QString Host;
  int Port = 1883;
  QString TopicRoot;  // without a trailing '/'
  QString Name;       // what viewers call this computer; empty: its topic root
  QString ClientId;
  QString Username;
  QByteArray Password;  // read from PasswordFile; never printed
  QString CAFile;       // set: TLS, the broker's certificate and host name verified
  int Keepalive = 30;   // s
  // Pause before the next connection attempt after a failed one, doubled up
  // to the maximum (ms).
  int RetryMinMs = 1000;
  int RetryMaxMs = 30000;
  // Broker users who may operate the vessels from the browser; empty:
  // commands are off and the program does not listen for them.
  QStringList Operators;
};

// Reads [MQTT]; nothing when Host is absent or empty (publishing off) or when
// the password file is refused or unreadable. Each problem, in the operator's
// language (it is only shown), is appended to problems.
std::optional<TMqttSettings> ReadMqttSettings(const TProfileFile& mainConfig,
                                              const QString& programFolder, QStringList* problems);

// Default client id: stable for one program folder on one computer.
QString DefaultMqttClientId(const QString& hostName, const QString& programFolder);

}  // namespace vorta
