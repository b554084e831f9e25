#pragma once
// What the operator is told about the broker: a failed connection's reason,
// a broker's refusal code, in Russian.

#include <QString>

namespace vorta {

// rc: the library's result; savedErrno: errno when rc says a system call failed.
QString MqttFailureReason(int rc, int savedErrno);
// A refusal code of the broker: of a CONNACK, a PUBACK or a DISCONNECT;
// mqtt5: the code is an MQTT 5 reason code (otherwise an MQTT 3.1.1 one).
QString MqttRefusalReason(int code, bool mqtt5);

}  // namespace vorta
