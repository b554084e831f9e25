#pragma once
// Commands from the browser: what the publisher's thread receives on
// <root>/cmd/<user>/<vessel>, and the main thread's work on them. The user in
// the topic is the broker's word for who sent it (its ACL lets each user
// publish only under their own name); the program lets in only the
// operators Vorta.ini names, and runs every command through the command
// layer as that user from the web.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "commands/Commands.h"

namespace vorta {

struct TVortaEnv;
class TPlanHost;

// One message as the broker delivered it.
struct TMqttCommand {
  QString Topic;
  QByteArray Payload;
  QString ResponseTopic;  // MQTT 5; empty when none was given
  QByteArray Correlation;
  bool Retained = false;
  std::int64_t ReceivedUtcMs = 0;  // the computer's clock on receipt
};

// Why a command is not run; None: it may be.
enum class TMqttRefusal { None, Malformed, NotOperator, OtherComputer, NoResponseTopic, Stale };

// A command that may be run: its sender, vessel (0: all) and body.
struct TMqttGateResult {
  TMqttRefusal Refusal = TMqttRefusal::None;
  QString Text;  // why, when refused
  QString User;  // as far as the topic tells
  // The response topic passed its check: a refusal can be answered there.
  bool Answerable = false;
  std::int32_t Vessel = 0;
  QJsonObject Body;
};

// Commands older (or further ahead) than this on receipt are refused: a page
// that lost its connection must not act minutes later.
inline constexpr std::int64_t kMqttCommandMaxAgeMs = 5000;
// Larger payloads are malformed; no command needs more.
inline constexpr int kMqttCommandMaxBytes = 4096;

// The checks made before anything is touched: the topic, the user, the
// vessel (one of vessels, or "all" for acknowledging every alarm), the
// response topic (under <root>/reply/<user>/, so that an answer never lands
// on another topic), the age and the retain flag, the payload.
TMqttGateResult CheckMqttCommand(const TMqttCommand& c, const QString& root,
                                 const QStringList& operators, const QList<std::int32_t>& vessels);

// Main thread: runs an admitted command through the command layer as
// TCaller::Web(user). Plan files are looked for in planFolder, by bare name.
TCommandResult RunMqttCommand(TVortaEnv& env, TPlanHost* plans, const QString& planFolder,
                              const TMqttGateResult& command);

// The answer's payload: {"done":…,"text":…,"field":…}.
QByteArray MqttAnswerJson(const TCommandResult& r);

}  // namespace vorta
