#pragma once
// What the panel's buttons and menu items do to the process, and what its
// grid shows: kept out of the window so that it works and is tested without
// a screen.

#include <QString>
#include <cstdint>

#include "journal/Journal.h"

namespace vorta {

class TVortaProcess;

inline constexpr int kManualButtons = 7;
inline constexpr std::uint16_t kModeKeepMask = 0xF800;  // outputs 12..16 survive a mode change

// Output switched by manual button k (1..7): the low byte of its field; 0
// for none or a k out of range.
int ManualButtonOutput(const TVortaProcess& p, int k);

// Whether output n is on in the output word. Outputs 1..8 are judged by their
// mask (all of its bits set); an empty mask, output 0 or a number above 16
// shows off, 9..16 are read from their own bit.
bool OutputShownOn(const TVortaProcess& p, int n);

// The 40-ms output display: ManualState [k] and ChState of entry k from the
// output word. True when any shown state changed.
bool VizOutput(TVortaProcess& p);

// Manual button k pressed: heartbeat first, then the button's output to the
// opposite of what the button shows.
void ManualButtonClick(TVortaProcess& p, int k);

// Mode item, and every other change of a vessel's mode: journalled,
// regulation outputs off (the word is sent to the module), the mode is
// written back at the next measurement tick.
void ChangeMode(TVortaProcess& p, int mode, TJournalSource source = TJournalSource::Menu);

// Protocol item: 1, 2, 5, 10 or 15 minutes; the counter starts again.
void ChangeProtocolPeriod(TVortaProcess& p, int minutes);

// Light button: the light output on for LightTime 2-s ticks.
void LightButtonClick(TVortaProcess& p);

// Grid texts: reals with two decimals, at least four characters wide.
QString GridReal(double value);
// Median of the channel's last three raw codes (ch 1..4).
std::uint16_t AdcMedian(const TVortaProcess& p, int ch);
// Text of grid cell (row 0..6, column 0..4) as the panel shows it.
QString GridCellText(const TVortaProcess& p, int row, int col);

// Whether the 2-s value of channel ch (1..4 the readings, 5 the stirrer
// speed) is a live measurement: its device was heard from within its link
// timeout and, for a reading, the conversion was valid. Without a drive the
// speed is the fixed value the panel shows, and counts as live.
bool ValueLive(const TVortaProcess& p, int ch);
// Whether grid cell (row, col) shows a value that is not live, which the
// panel greys: "Текущее" of an invalid reading or a silent module, and the
// module's raw codes while it is silent.
bool GridCellStale(const TVortaProcess& p, int row, int col);

}  // namespace vorta
