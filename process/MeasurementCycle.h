#pragma once
// The 500-ms cycle and the steps of it that are worth calling on their own.

#include <cstdint>

namespace vorta {

class TVortaProcess;
class TVortaProcessList;
struct TCycleContext;
struct TProgramState;

// 500 ms: elapsed-time clock, sampling, median of three, stirrer speed,
// deferred write-back.
void MeasurementCycle(TCycleContext& c);

// Elapsed-time clock: seconds since EftStart, and the text "EFT:h:m".
// nowMs: the monotonic clock.
void UpdateElapsedClock(TProgramState& program, std::int64_t nowMs, const TVortaProcessList& list);
// Sorts each channel's three codes so that Channel[ch].AdcHistory[2] is the median.
void SortAdcHistory(TVortaProcess& p);
// Drive speed ÷ Reduction, halves to even; 2 without a drive.
void ReadMixerRpm(TVortaProcess& p);

}  // namespace vorta
