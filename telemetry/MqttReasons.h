#pragma once
// What the operator is told about the broker: a failed connection's reason,
// a broker's refusal code, written in Russian and shown in the chosen
// language.

#include <QString>

#include "telemetry/MqttText.h"

namespace vorta {

// rc: the library's result; savedErrno: errno when rc says a system call failed.
TMqttText MqttFailureReason(int rc, int savedErrno);
// A refusal code of the broker: of a CONNACK, a PUBACK or a DISCONNECT;
// mqtt5: the code is an MQTT 5 reason code (otherwise an MQTT 3.1.1 one).
TMqttText MqttRefusalReason(int code, bool mqtt5);
// The system's own text for an errno value, safe on any thread.
QString SystemErrorText(int error);

}  // namespace vorta
