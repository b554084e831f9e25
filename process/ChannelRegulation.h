#pragma once
// A channel's regulation: the dead zone, spikes, and the dosing pulse.

#include <cstddef>
#include <cstdint>

namespace vorta {

class TVortaProcess;

// The deviation is beyond the dead zone by more than rounding noise.
bool OutsideDeadZone(double deviation, double deadZone);
// The value jumped too far from the last minute's mean, or there is no mean.
bool IsSpike(const TVortaProcess& p, std::size_t ch);
// The vessel's I/O module has not answered within its link time-out: its
// codes are old, and nothing is dosed on them.
bool ModuleNotAnswering(const TVortaProcess& p);
// Dosing pulse length in 40-ms ticks: gain seconds per unit × deviation,
// halves to even, held to what the 16-bit counter can count.
std::uint16_t PulseTicksFor(double gain, double deviation);
void RegulateChannel(TVortaProcess& p, int ch);

}  // namespace vorta
