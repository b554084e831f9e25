#pragma once
// The codes a vessel's state is told by: its mode and each channel's
// regulation status. The numbers are those the process file, the data log,
// the status texts and the published payloads carry.

#include <cstdint>

namespace vorta {

// [Mode] mode; the data log's mode column and [Terminate] KeptMode.
enum class TVesselMode : std::uint8_t {
  Uncontrolled = 0,
  Batch = 1,
  Chemostat = 2,
  Turbidostat = 3,
};

// Mode 1..3; any other mode (0 or a value only a bad file can give) is
// treated as uncontrolled.
constexpr bool IsControlledMode(TVesselMode mode) {
  return mode == TVesselMode::Batch || mode == TVesselMode::Chemostat ||
         mode == TVesselMode::Turbidostat;
}
// Index into ModeName, the abbreviations and the per-mode flags: 0 for modes
// outside 0..3.
constexpr int ModeIndex(TVesselMode mode) {
  const auto n = static_cast<int>(mode);
  return n <= 3 ? n : 0;
}
// The mode a stored number stands for; a number outside 0..3 is kept as it
// is and counts as uncontrolled.
constexpr TVesselMode VesselMode(int number) {
  return static_cast<TVesselMode>(static_cast<std::uint8_t>(number));
}

// What a channel's last regulation step found, in the order the conditions
// are tested ("Управление в норме", …).
enum class TRegulationStatus : std::int16_t {
  Normal = 0,          // dosing as needed
  Disabled = 1,        // regulation not allowed
  NoOutputs = 2,       // neither dosing output defined
  InDeadZone = 3,      // the deviation is within the dead zone
  AboveHigh = 4,       // the value is above the control limits
  BelowLow = 5,        // the value is below the control limits
  OffInMode = 6,       // not allowed in the vessel's mode
  Spike = 7,           // the value jumped too far from the last minute's mean
  InvalidReading = 8,  // conversion error or outside the validity limits
  ModuleSilent = 9,    // the I/O module is not answering: its codes are old
};

}  // namespace vorta
