#pragma once
// What a vessel's alarms need from its process record: the thresholds of its
// process file and the running state of the checks between two 2-s cycles.

#include <array>
#include <cstdint>
#include <optional>

namespace vorta {

// The process file's [Alarms] section. The defaults keep quiet through a
// normal demo day, where a growing culture can outpace the base pump for half
// an hour, and still report a dead pump about an hour after its vessel drifted
// away.
struct TAlarmSettings {
  std::int32_t ReadingGrace = 60;  // s a watched channel's reading may stay invalid
  std::int32_t LimitGrace = 120;   // s a regulated channel may stay outside CtrlLow..CtrlHigh
  std::int32_t DoseWindow = 60;    // min of one-way dosing without progress before the alarm
  // The check watches a deviation above this many dead zones; below it an
  // on/off regulator's steady offset is normal. Progress is a shrink of at
  // least one dead zone.
  std::int32_t DoseDeadZones = 3;
  std::int32_t StirrerGrace = 60;  // s a running stirrer's drive may report 0 rpm
};

// One regulator's one-way dosing run: its direction (+1 up, -1 down, 0 none),
// and when (monotonic ms) and at which deviation it last made progress.
struct TDoseRun {
  std::int32_t Direction = 0;
  std::int64_t Since = 0;
  double Deviation = 0;
};

// Since when (the monotonic clock's ms) a condition has held; none while it
// does not.
using TSince = std::optional<std::int64_t>;

struct TAlarmTrack {
  std::array<TSince, 5> InvalidSince{};  // [1..4]
  std::array<TSince, 5> OutsideSince{};  // [1..4]
  std::array<TDoseRun, 5> Dose{};        // [1..4]
  TSince StirrerStillSince;              // the stirrer stands though it should turn
  TSince StirrerRestartSince;            // standing still since, or since its last restart
};

}  // namespace vorta
