#pragma once
// Every switching action goes through SetOutput, which keeps the process's
// 16-bit output word and sends the whole word to its I/O module.

#include <QString>
#include <cstdint>

namespace vorta {

class TVortaProcess;
struct TPulseGenerator;

// Output n on or off. Output numbers are 8-bit: n is taken modulo 256 here,
// for every caller, so that on and off always address the same output; what
// is then outside 1..16 changes nothing.
void SetOutput(TVortaProcess& process, int n, bool on);
// Records requester's wish for target's common pump and switches that pump.
void ShareCommonPump(TVortaProcess& target, const QString& requester, bool on);
void StopChannelPulse(TVortaProcess& process, int ch);
void ToggleHeartbeat(TVortaProcess& process);
void PulseTick(TPulseGenerator& generator);
// Output 14 on, then module byte output 26 = value.
void SetPumpPower(TVortaProcess& process, std::uint8_t value);
// Module byte output 26 + k = code (k = 1..4).
void SetPumpCode(TVortaProcess& process, int k, std::uint8_t code);

// What a vessel's outputs are at its start: the pump power, type and codes
// from its file, the foam level outputs, and every other low output off.
void SetStartUpOutputs(TVortaProcess& process);

// The mixer's "Старт": the drive runs and the soft-start ramp begins at
// MixRampStart; the regulation cycle raises it to MixCode.
void StartMixer(TVortaProcess& process);

}  // namespace vorta
