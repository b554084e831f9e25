#pragma once
// The stirrer: pO2 regulation by its speed, the speed ramp, its restart after
// a drive's power cycle, and a stirrer that stands still.

#include <cstdint>

namespace vorta {

class TVortaProcess;

// "Параметры двигателя" is offered only for a drive with parameter registers.
bool HasDcMixer(const TVortaProcess& p);

void RegulatePo2ByMixer(TVortaProcess& p);
void SetMixerCode(TVortaProcess& p, std::uint16_t code);
void MixerRampStep(TVortaProcess& p);
// Once per 2-s cycle: a stirrer that should run gets its start command and
// its speed again when its drive's link returns, and while its drive reports
// standing still (a drive back from a power cycle stands with no setpoint,
// whether or not the link time-out noticed the blip).
void KeepMixerTurning(TVortaProcess& p);
// A stirrer that should turn (started, a speed sent, its drive heard from)
// but reports 0 rpm: whether it has done so for StirrerGrace, with nowMs the
// monotonic clock. Keeps the start of the episode in AlarmTrack.
bool StirrerStandsStill(TVortaProcess& p, std::int64_t nowMs);

}  // namespace vorta
