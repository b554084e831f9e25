#pragma once
// The program's side of MQTT publishing: reads [MQTT], hands the publisher
// the files to follow, gives it every vessel's state on a 2-s timer of its
// own and passes its connection notices to the operator and the journal.
// Alarms reach the broker through the journal file; an alarm change the
// journal could not take is handed to the publisher directly.

#include <QJsonObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

#include "telemetry/MqttPublisher.h"

namespace vorta {

struct TVortaEnv;
class TVortaProcess;
class TTimer;
class TPlanHost;

class TMqttTelemetry {
 public:
  // Null when [MQTT] has no Host or cannot be used (the operator is told
  // why). Call after the vessels are loaded.
  static std::unique_ptr<TMqttTelemetry> Start(TVortaEnv& env);
  // Same, with settings given (tests: a short reconnect pause).
  TMqttTelemetry(TVortaEnv& env, TMqttSettings settings);
  ~TMqttTelemetry();
  TMqttTelemetry(const TMqttTelemetry&) = delete;
  TMqttTelemetry& operator=(const TMqttTelemetry&) = delete;

  // The 2-s work, also called by the timer.
  void Tick();
  // Runs the commands received from the browser and answers them; called
  // by a timer of its own a few times a second.
  void RunCommands();
  [[nodiscard]] TMqttPublisher& Publisher() { return *publisher_; }

  // The vessel's plan for its state payload (PlanStatusJson); empty: none.
  std::function<QJsonObject(const TVortaProcess&)> PlanOf;
  // Where plan commands from the browser go; none: refused.
  TPlanHost* Plans = nullptr;

 private:
  TVortaEnv& env_;
  // Shared with the alarm hook, which outlives this object in the alarm list.
  std::shared_ptr<TMqttPublisher> publisher_;
  std::unique_ptr<TTimer> timer_;
  std::unique_ptr<TTimer> commandTimer_;
  QString root_;
  QStringList operators_;
  // Refusals journalled in this episode (user and reason); a user's command
  // that passes the checks ends that user's episode.
  std::set<std::pair<QString, int>> refusedTold_;
  std::uint64_t alarmRevision_ = 0;
};

// The offsets file in the program folder.
inline constexpr const char* kMqttOffsetsFile = "VortaMqtt.offsets";

}  // namespace vorta
