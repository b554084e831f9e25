#pragma once
// Which groups of settings wait to be written back into the process file.
// A change adds its group; the groups stay pending until a write of the file
// succeeded, so a second change before the write, or a write the disk
// refused, loses nothing.

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

// The groups waiting for the write-back: a set that only grows until a write
// of the file succeeded.
class TPendingWriteBack {
 public:
  TPendingWriteBack() = default;
  explicit TPendingWriteBack(TWriteBackGroup group) { Add(group); }
  void Add(TWriteBackGroup group) { bits_ |= Bit(group); }
  [[nodiscard]] bool Contains(TWriteBackGroup group) const { return (bits_ & Bit(group)) != 0; }
  [[nodiscard]] bool Empty() const { return bits_ == 0; }
  void Clear() { bits_ = 0; }
  bool operator==(const TPendingWriteBack&) const = default;

 private:
  static std::uint32_t Bit(TWriteBackGroup group) {
    return group == TWriteBackGroup::None ? 0U : 1U << static_cast<unsigned>(group);
  }
  std::uint32_t bits_ = 0;
};

}  // namespace vorta
