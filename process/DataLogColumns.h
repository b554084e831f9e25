#pragma once
// The data log's columns and the names its mode column writes. The row
// writer, the header, the mode restore at a start, the MQTT payloads and
// vorta ctl all take them from here, so that what one writes the others read.

#include <QLatin1String>
#include <array>
#include <cstddef>

namespace vorta {

inline constexpr char kLogDateColumn[] = "Date";
inline constexpr char kLogTimeColumn[] = "Time";
// Channels 1..4: the minute's mean, then the setpoint.
struct TLogChannelColumns {
  const char* Value;
  const char* Setpoint;
};
inline constexpr std::array<TLogChannelColumns, 4> kLogChannelColumns{
    {{"pH", "SetpH"}, {"tC", "SettC"}, {"pO2", "SetpO"}, {"eH", "SeteH"}}};
// Then outputs 1..7, each column named after its output (ChName): seconds on
// in the row's period.
inline constexpr std::size_t kLogOutputColumns = 7;
inline constexpr char kLogMixRpmColumn[] = "MixRpm";
inline constexpr char kLogMixCurrentColumn[] = "Mix I(mA)";
inline constexpr char kLogMixStatusColumn[] = "Mix Status";
inline constexpr char kLogNetColumn[] = "Net";
inline constexpr char kLogModeColumn[] = "Mode";

// What the mode column writes for modes 0..3.
inline constexpr std::array<const char*, 4> kLogModeNames{"Unctr", "Butch", "Chemo", "Turbi"};

// The mode column's text of a mode index (ModeIndex: 0..3).
inline QLatin1String LogModeName(int modeIndex) {
  return QLatin1String(kLogModeNames[static_cast<std::size_t>(modeIndex)]);
}

}  // namespace vorta
