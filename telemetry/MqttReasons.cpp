#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <cerrno>
#include <cstring>

#include "telemetry/MqttReasons.h"

namespace vorta {

QString MqttFailureReason(int rc, int savedErrno) {
  switch (rc) {
    case MOSQ_ERR_TLS:
      return QStringLiteral("ошибка TLS (сертификат брокера не подтверждён)");
    case MOSQ_ERR_ERRNO:
      switch (savedErrno) {
        case ECONNREFUSED:
          return QStringLiteral("в подключении отказано (брокер не запущен?)");
        case ETIMEDOUT:
          return QStringLiteral("брокер не отвечает");
        case EHOSTUNREACH:
        case ENETUNREACH:
          return QStringLiteral("хост недоступен");
        default:
          return QString::fromLocal8Bit(std::strerror(savedErrno));
      }
    case MOSQ_ERR_CONN_LOST:
      return QStringLiteral("соединение разорвано");
    case MOSQ_ERR_KEEPALIVE:
      return QStringLiteral("брокер не отвечает");
    case MOSQ_ERR_EAI:
      return QStringLiteral("имя хоста не найдено");
    case MOSQ_ERR_OVERSIZE_PACKET:
      return QStringLiteral("сообщение больше, чем брокер принимает");
    default:
      return QString::fromUtf8(mosquitto_strerror(rc));
  }
}

QString MqttRefusalReason(int code, bool mqtt5) {
  if (!mqtt5) {
    switch (code) {
      case 1:
        return QStringLiteral("брокер не поддерживает MQTT 3.1.1");
      case 2:
        return QStringLiteral("идентификатор клиента отклонён");
      case 3:
        return QStringLiteral("брокер недоступен");
      case 4:
        return QStringLiteral("неверное имя пользователя или пароль");
      case 5:
        // What brokers answer to a wrong password as well.
        return QStringLiteral("неверное имя пользователя или пароль, или нет прав на подключение");
      default:
        return QStringLiteral("код %1").arg(code);
    }
  }
  switch (code) {
    case MQTT_RC_CLIENTID_NOT_VALID:
      return QStringLiteral("идентификатор клиента отклонён");
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
      return QStringLiteral("неверное имя пользователя или пароль");
    case MQTT_RC_NOT_AUTHORIZED:
      return QStringLiteral("неверное имя пользователя или пароль, или нет прав");
    case MQTT_RC_SERVER_UNAVAILABLE:
    case MQTT_RC_SERVER_BUSY:
      return QStringLiteral("брокер недоступен или перегружен");
    case MQTT_RC_SERVER_SHUTTING_DOWN:
      return QStringLiteral("брокер завершает работу");
    case MQTT_RC_BANNED:
      return QStringLiteral("клиент заблокирован брокером");
    case MQTT_RC_TOPIC_NAME_INVALID:
      return QStringLiteral("недопустимое имя темы");
    case MQTT_RC_PACKET_TOO_LARGE:
      return QStringLiteral("сообщение больше, чем брокер принимает");
    case MQTT_RC_QUOTA_EXCEEDED:
      return QStringLiteral("превышена квота брокера");
    default:
      return QStringLiteral("%1 (код %2)")
          .arg(QString::fromUtf8(mosquitto_reason_string(code)))
          .arg(code);
  }
}

}  // namespace vorta
