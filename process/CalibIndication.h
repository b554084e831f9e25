#pragma once
// The open calibration dialog's live code and blinking point group.

namespace vorta {

class TVortaProcess;

// Live code and blinking point group of the open calibration dialog.
void IndicateCalibration(TVortaProcess& process);
void SetCalibPoint1Color(TVortaProcess& process, int color);
void SetCalibPoint2Color(TVortaProcess& process, int color);

}  // namespace vorta
