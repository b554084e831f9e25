#pragma once
// The status window's lines and the status texts of a process.

#include <QString>
#include <cstddef>

#include "process/ProcessCodes.h"

namespace vorta {

class TVortaProcess;

// Status line of a subject (1..4 channel, 5 mixer, 6 USB, 7 mixer drive)
// into the open status window showing that subject.
void ShowStatusLine(TVortaProcess& process, int selector);
// A channel's regulation status in words ("Управление в норме", …).
QString RegulationText(TRegulationStatus status);
// "Режим: Batch": the status bar's mode panel in the operator's language.
QString ModeStatusText(const TVortaProcess& p, std::size_t mode);
// Status bar panels 2 and 4, the mode and the fermentation clock, as the
// cycles keep them; the load shows them before the first tick.
void ShowModeAndClock(TVortaProcess& p);

}  // namespace vorta
