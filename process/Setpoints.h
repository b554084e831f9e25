#pragma once
// The setpoints dialog's work on the process record: the four reals it shows
// and what OK stores, in setpoint or linear adjustment mode.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace vorta {

class TVortaProcess;

inline constexpr int kSetpointMode = 1;
inline constexpr int kLinAdjustMode = 2;

using TSetTexts = std::array<QString, 4>;  // edits 1..4 at [0..3]

// "Уставки" or "Линейная подстройка".
QString SetDialogCaption(int mode);
// Setpoint or LinAdjust of channels 1..4 with two decimals.
TSetTexts SetDialogTexts(const TVortaProcess& p, int mode);

// A text that cannot be stored: the edit (1..4) and the operator's message.
struct TSetFieldError {
  int Edit = 0;
  QString Message;
};

// A real of an edit: a point separates the decimals; a single comma is taken
// for a point, since operators type it out of habit.
std::optional<double> ReadSetValue(const QString& text);

// OK: all four values into Setpoint or LinAdjust, and that group asked to
// be written back. Nothing is stored when any text is not a number.
std::optional<TSetFieldError> ApplySetDialog(TVortaProcess& p, int mode, const TSetTexts& texts);

}  // namespace vorta
