#pragma once
// Which group of settings a change asks to write back into the process file.
// The 500-ms cycle writes it (SaveRequestedGroup) and clears the request; a
// later request before that replaces an earlier one.

#include <cstdint>

namespace vorta {

enum class TWriteBackGroup : std::uint8_t {
  None,
  // The four channels' setpoints: the first key of each channel section.
  Setpoints,
  // The stirrer's code: [Mixer] MixCode.
  MixerCode,
  // The four channels' linear adjustments: the second key of each channel section.
  LinearAdjustment,
  // The linear adjustments and both calibration points of the four channels.
  Calibration,
  // The vessel's mode: [Mode] mode.
  Mode,
  // The control parameters dialog's settings: the regulation sections, the
  // pulse generators, the pO2 stirrer regulation, the pumps and the foam.
  ControlParameters,
};

}  // namespace vorta
