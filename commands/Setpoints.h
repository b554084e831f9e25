#pragma once
// What the setpoints dialog shows, in setpoint or linear adjustment mode;
// what its OK stores goes through the command layer.

#include <QString>
#include <array>
#include <cstdint>

namespace vorta {

class TVortaProcess;

inline constexpr int kSetpointMode = 1;
inline constexpr int kLinAdjustMode = 2;

using TSetTexts = std::array<QString, 4>;  // edits 1..4 at [0..3]

// "Уставки" or "Линейная подстройка".
QString SetDialogCaption(int mode);
// Setpoint or LinAdjust of channels 1..4 with two decimals.
TSetTexts SetDialogTexts(const TVortaProcess& p, int mode);

}  // namespace vorta
