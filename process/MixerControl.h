#pragma once
// The stirrer: pO2 regulation by its speed, the speed ramp, its restart after
// a drive's power cycle, and a stirrer that stands still.

#include <cstdint>

namespace vorta {

class TVortaProcess;

void RegulatePo2ByMixer(TVortaProcess& p);
void SetMixerCode(TVortaProcess& p, std::uint16_t code);
void MixerRampStep(TVortaProcess& p);
// Once per 2-s cycle: when the drive's link returns, a stirrer that should
// run gets its start command and its speed again, since a drive back from a
// power cycle stands still with no setpoint.
void ResumeMixerOnLinkReturn(TVortaProcess& p);
// A stirrer that should turn (started, a speed sent, its drive heard from)
// but reports 0 rpm: whether it has done so for StirrerGrace, with nowMs the
// monotonic clock. Keeps the start of the episode in AlarmTrack.
bool StirrerStandsStill(TVortaProcess& p, std::int64_t nowMs);

}  // namespace vorta
