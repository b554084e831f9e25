#include "process/OutputCycle.h"
#include "process/CycleContext.h"
#include "process/OutputChannels.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

// Counts 40-ms ticks of every logical output whose mask bits are all set in
// the low byte of the output word (an empty mask counts all the time).
void CountOutputTime(TVortaProcess& p) {
  const auto low = static_cast<std::uint8_t>(p.OutputWord & 0xFF);
  for (int n = 1; n <= 8; ++n) {
    if ((low & p.Config.OutputMask[n]) == p.Config.OutputMask[n]) ++p.OutputTicks[n];
  }
}

}  // namespace

void OutputCycle(TCycleContext& c) {
  for (const auto& process : c.Processes) {
    TVortaProcess& p = *process;
    CountOutputTime(p);
    p.Panel->OutputsChanged();
    for (int ch = 1; ch <= 5; ++ch) {
      if (p.Channel[ch].PulseActive == 0) continue;
      p.Channel[ch].PulseTicks += 1;
      if (p.Channel[ch].PulseTicks >= p.Channel[ch].PulseLength) StopChannelPulse(p, ch);
    }
  }
}

}  // namespace vorta
