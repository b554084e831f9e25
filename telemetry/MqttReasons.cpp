#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <cerrno>
#include <cstring>

#include "telemetry/MqttReasons.h"

namespace vorta {

namespace {
TMqttText Tr(const char* source) {
  return TMqttText::Tr("vorta::MqttReasons", source);
}
}  // namespace

QString SystemErrorText(int error) {
  // strerror() may share one buffer between threads; this runs on the
  // publisher's thread beside the main thread's file writes.
  char buffer[256] = {};
  return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

TMqttText MqttFailureReason(int rc, int savedErrno) {
  switch (rc) {
    case MOSQ_ERR_TLS:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons",
                                  "ошибка TLS (сертификат брокера не подтверждён)"));
    case MOSQ_ERR_ERRNO:
      switch (savedErrno) {
        case ECONNREFUSED:
          return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons",
                                      "в подключении отказано (брокер не запущен?)"));
        case ETIMEDOUT:
          return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "брокер не отвечает"));
        case EHOSTUNREACH:
        case ENETUNREACH:
          return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "хост недоступен"));
        default:
          return TMqttText::Same(SystemErrorText(savedErrno));
      }
    case MOSQ_ERR_CONN_LOST:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "соединение разорвано"));
    case MOSQ_ERR_KEEPALIVE:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "брокер не отвечает"));
    case MOSQ_ERR_EAI:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "имя хоста не найдено"));
    case MOSQ_ERR_OVERSIZE_PACKET:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "сообщение больше, чем брокер принимает"));
    default:
      return TMqttText::Same(QString::fromUtf8(mosquitto_strerror(rc)));
  }
}

TMqttText MqttRefusalReason(int code, bool mqtt5) {
  if (!mqtt5) {
    switch (code) {
      case 1:
        return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "брокер не поддерживает MQTT 3.1.1"));
      case 2:
        return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "идентификатор клиента отклонён"));
      case 3:
        return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "брокер недоступен"));
      case 4:
        return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "неверное имя пользователя или пароль"));
      case 5:
        // What brokers answer to a wrong password as well.
        return Tr(
            QT_TRANSLATE_NOOP("vorta::MqttReasons",
                              "неверное имя пользователя или пароль, или нет прав на подключение"));
      default:
        return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "код %1")).Arg(QString::number(code));
    }
  }
  switch (code) {
    case MQTT_RC_CLIENTID_NOT_VALID:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "идентификатор клиента отклонён"));
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "неверное имя пользователя или пароль"));
    case MQTT_RC_NOT_AUTHORIZED:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons",
                                  "неверное имя пользователя или пароль, или нет прав"));
    case MQTT_RC_SERVER_UNAVAILABLE:
    case MQTT_RC_SERVER_BUSY:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "брокер недоступен или перегружен"));
    case MQTT_RC_SERVER_SHUTTING_DOWN:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "брокер завершает работу"));
    case MQTT_RC_BANNED:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "клиент заблокирован брокером"));
    case MQTT_RC_TOPIC_NAME_INVALID:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "недопустимое имя темы"));
    case MQTT_RC_PACKET_TOO_LARGE:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "сообщение больше, чем брокер принимает"));
    case MQTT_RC_QUOTA_EXCEEDED:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "превышена квота брокера"));
    default:
      return Tr(QT_TRANSLATE_NOOP("vorta::MqttReasons", "%1 (код %2)"))
          .Arg(QString::fromUtf8(mosquitto_reason_string(code)))
          .Arg(QString::number(code));
  }
}

}  // namespace vorta
