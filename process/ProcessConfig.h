#pragma once
// The process configuration file: loading it into the process record, and
// writing the end-of-run mark and window settings back at the end.

#include <QString>
#include <cstddef>
#include <cstdint>

#include "process/ProcessCodes.h"

namespace vorta {

class TVortaProcess;

// Fills the process record from ProgramFolder + fileName and sets up the
// panel. On a device of the wrong kind the load is aborted and
// process.LoadError says why.
void LoadProcessFile(TVortaProcess& process, const QString& fileName);
// Terminated = "Y", mixer window placement, protocol period.
void SaveProcessFile(TVortaProcess& process);

// Writes the group named by SaveRequest back to the file, then clears it.
void SaveRequestedGroup(TVortaProcess& process);
// Status line of a subject (1..4 channel, 5 mixer, 6 USB, 7 mixer drive)
// into the open status window showing that subject.
void ShowStatusLine(TVortaProcess& process, int selector);
// A channel's regulation status in words ("Управление в норме", …).
QString RegulationText(TRegulationStatus status);
// "Режим: Batch": the status bar's mode panel in the operator's language.
QString ModeStatusText(const TVortaProcess& p, std::size_t mode);
// Foam decision over a window of penaperiod calls; indicator and antifoam.
void DetectFoam(TVortaProcess& process);
// Live code and blinking point group of the open calibration dialog.
void IndicateCalibration(TVortaProcess& process);
void SetCalibPoint1Color(TVortaProcess& process, int color);
void SetCalibPoint2Color(TVortaProcess& process, int color);

// The text before the first comma of list; removes it and the comma.
QString NextToken(QString& list);

}  // namespace vorta
