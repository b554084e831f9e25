#pragma once
// The calibration dialog's work on the process record, kept apart from the
// window so that it runs and is tested without a screen. The window
// (dialogs/CalibrationForm.h) calls these in the order the operator acts:
// open, fix the live code, enter or abandon a value, save or close.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

#include "journal/Journal.h"

namespace vorta {

class TVortaProcess;

// min <= value <= max.
bool OkLimit(double value, double min, double max);

// Position (1-based) of the first character that stops the text from being
// a number, or nullopt when the whole text is one. Accepted: leading blanks,
// a sign, digits with at most one point (at least one digit), an exponent
// "e"/"E" with an optional sign and digits. An empty text fails at 1; a
// number too large for a double fails where its exponent starts (or at 1).
std::optional<int> NumberErrorPosition(QStringView text);

struct TCheckResult {
  bool Ok = false;
  double ParsedValue = 0;
  QString Warning;  // the text of the warning box when not Ok
};

// Parses and checks one entered value against the channel's validity limits.
TCheckResult CheckCalibrationValue(const TVortaProcess& p, int channel, const QString& text);

// The opened dialog: the working copy from the stored calibration, the live
// display on.
void CalibrOpen(TVortaProcess& p, int channel);
// "Калибровка - " + the channel's name.
QString CalibrCaption(const TVortaProcess& p, int channel);
// Background by channel (red in the low byte): green, red, blue, purple.
std::int32_t CalibrColor(int channel);
// The working copy of channel's stored calibration.
void CalibrResetWork(TVortaProcess& p, int channel);
// A point (1 or 2) entered with its frozen code.
void CalibrSetPoint(TVortaProcess& p, int point, double value, std::uint16_t code);
// "Сохранить": both points stored, the linear adjustment cleared, the
// calibration group written back at the next measurement tick.
void CalibrSave(TVortaProcess& p, int channel, TJournalSource source = TJournalSource::Dialog);

}  // namespace vorta
