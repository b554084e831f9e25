#pragma once
// The steps of the measurement and regulation cycles that are worth calling
// on their own (tests, the benchmark, the dialogs).

#include <cstddef>
#include <cstdint>

#include "process/ProcessCodes.h"

namespace vorta {

class TVortaProcess;
class TVortaProcessList;
struct TProgramState;

struct TConversion {
  double Value = 0;
  std::int32_t Error = 0;  // 0, 2 equal calibration codes, 3 code 0
  // No error and inside the limits: tells a measured 0 from an invalid one.
  bool Valid = false;
};

// Two-point calibration of a raw code; 0 when invalid or outside the limits.
TConversion ConvertChannel(std::uint16_t code, std::uint16_t calAdc1, std::uint16_t calAdc2,
                           double calValue1, double calValue2, double linAdjust, double minValue,
                           double maxValue);

// Elapsed-time clock: seconds since EftStart, and the text "EFT:h:m".
void UpdateElapsedClock(TProgramState& program, double now, const TVortaProcessList& list);
// Sorts each channel's three codes so that Channel[ch].AdcHistory[2] is the median.
void SortAdcHistory(TVortaProcess& p);
// Drive speed ÷ Reduction, halves to even; 2 without a drive.
void ReadMixerRpm(TVortaProcess& p);

// Minute statistics over the 2-s samples.
void AccumulateSample(TVortaProcess& p, int slot);
void CloseMinute(TVortaProcess& p);

// The deviation is beyond the dead zone by more than rounding noise.
bool OutsideDeadZone(double deviation, double deadZone);
// The value jumped too far from the last minute's mean, or there is no mean.
bool IsSpike(const TVortaProcess& p, std::size_t ch);

// Dosing pulse length in 40-ms ticks: gain seconds per unit × deviation,
// halves to even, held to what the 16-bit counter can count.
std::uint16_t PulseTicksFor(double gain, double deviation);
void RegulateChannel(TVortaProcess& p, int ch);

void RegulatePo2ByMixer(TVortaProcess& p);
void SetMixerCode(TVortaProcess& p, std::uint16_t code);
void MixerRampStep(TVortaProcess& p);
// Once per 2-s cycle: when the drive's link returns, a stirrer that should
// run gets its start command and its speed again, since a drive back from a
// power cycle stands still with no setpoint.
void ResumeMixerOnLinkReturn(TVortaProcess& p);
// A stirrer that should turn (started, a speed sent, its drive heard from)
// but reports 0 rpm: whether it has done so for StirrerGrace, with now the
// system date-time. Keeps the start of the episode in AlarmTrack.
bool StirrerStandsStill(TVortaProcess& p, double now);

}  // namespace vorta
