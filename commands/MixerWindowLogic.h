#pragma once
// The mixer window's work on the process record: the speed code steps, the
// drive's start and stop, and what its opening and closing change. The
// window (windows/devices/MixerWindow.h) only shows TPanelState::MixerView
// and calls these; whether it is open the panel answers (IVortaPanel).

#include <QString>
#include <cstdint>
#include <optional>

namespace vorta {

class TVortaProcess;

// Window caption: the process title, " - ", "Миксер".
QString MixerCaption(const TVortaProcess& p);

// The window opened: the code and speed shown at once rather than after the
// next 2-s refresh.
void MixerWindowOpened(TVortaProcess& p);

// One code step; 1 below wraps to 255 and 255 above to 1. The new code is
// commanded to the drive (nothing is sent without one).
void MixSpinUp(TVortaProcess& p);
void MixSpinDown(TVortaProcess& p);

// The speed code for a stirrer speed in rpm (the drive speed MixSet stands
// for code 255, through the gear's Reduction), and the speed a code gives;
// nothing when the configuration gives no scale.
std::optional<int> MixCodeForRpm(const TVortaProcess& p, double rpm);
double RpmForMixCode(const TVortaProcess& p, int code);

// A code 1..255 set at once, as the steps set it one at a time: journalled,
// commanded to the drive and written back at the next measurement tick.
void SetMixCode(TVortaProcess& p, std::uint16_t code);

// "Старт": the drive runs and the soft start begins. "Стоп": the drive stops.
void StartMixerClick(TVortaProcess& p);
void StopMixerClick(TVortaProcess& p);

// The window closed at (left, top): the code is written back to the process
// file at the next measurement tick, and the position is kept for next time.
void MixerWindowClosed(TVortaProcess& p, int left, int top);

}  // namespace vorta
