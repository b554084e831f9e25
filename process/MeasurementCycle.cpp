// The 500-ms event: elapsed-time clock, raw sampling, median of three,
// stirrer speed and the deferred write-back.

#include <cmath>
#include <limits>
#include <utility>

#include "devices/CANMixer.h"
#include "devices/IoModule.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"
#include "process/ConfigWriteBack.h"
#include "process/CycleContext.h"
#include "process/MeasurementCycle.h"
#include "process/OutputChannels.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"

namespace vorta {

void UpdateElapsedClock(TProgramState& program, std::int64_t nowMs, const TVortaProcessList& list) {
  // Elapsed time, not the wall clock's difference: a clock change moves no
  // event timer.
  const double seconds = static_cast<double>(nowMs - program.EftStartMs) / 1000.0;
  if (std::isfinite(seconds) && seconds > std::numeric_limits<std::int32_t>::min() &&
      seconds < std::numeric_limits<std::int32_t>::max()) {
    program.EftSeconds = static_cast<std::int32_t>(RoundHalfEven(seconds));
  }
  if (program.EftSeconds > program.EftLastSecond) {
    // One tick per event even when more than a second has passed.
    for (const auto& process : list) {
      if (process->Events1.Exist == 1) PulseTick(process->Events1);
      if (process->Events2.Exist == 1) PulseTick(process->Events2);
    }
    program.EftLastSecond = program.EftSeconds;
  }
  const auto hours = static_cast<std::uint16_t>(program.EftSeconds / 3600);
  const auto minutes = static_cast<std::uint16_t>((program.EftSeconds - hours * 3600) / 60);
  program.EftText = QStringLiteral("EFT:%1:%2").arg(hours).arg(minutes);
}

void SortAdcHistory(TVortaProcess& p) {
  for (int ch = 1; ch <= 4; ++ch) {
    auto& h = p.Channel[static_cast<size_t>(ch)].AdcHistory;
    for (int pass = 0; pass < 2; ++pass) {
      if (h[2] < h[1]) std::swap(h[1], h[2]);
      if (h[3] < h[2]) std::swap(h[2], h[3]);
    }
  }
}

void ReadMixerRpm(TVortaProcess& p) {
  if (p.Mixer == nullptr) {
    p.MixerRpm = 2;
    return;
  }
  const double rpm = p.Mixer->GetSpeed() / p.Config.Reduction;
  // A zero or absurd Reduction from the file must not turn into garbage.
  p.MixerRpm = std::isfinite(rpm) ? static_cast<std::uint16_t>(RoundHalfEven(rpm)) : 0;
}

void MeasurementCycle(TCycleContext& c) {
  TProgramState& program = c.Program;
  if (program.EftRunning) UpdateElapsedClock(program, c.Time.MonotonicMs(), c.Processes);

  for (const auto& process : c.Processes) {
    TVortaProcess& p = *process;
    p.SampleSlot += 1;
    if (p.SampleSlot > 3) p.SampleSlot = 0;

    // The clock blinks with a one-second period while it runs.
    QString& clock = p.PanelState.StatusText[4];
    clock = (!program.EftRunning || (p.SampleSlot % 2) == 1) ? program.EftText : QString();

    ToggleHeartbeat(p);

    // Without a board the previous codes stay (the panel says the board is missing).
    if (p.Board != nullptr) {
      for (size_t ch = 1; ch <= 4; ++ch) {
        p.Channel[ch].AdcCode =
            static_cast<std::uint16_t>(p.Board->GetAnalog(static_cast<int>(ch) - 1));
      }
    }
    for (size_t ch = 1; ch <= 4; ++ch)
      p.Channel[ch].AdcHistory[p.SampleSlot] = p.Channel[ch].AdcCode;

    SaveRequestedGroup(p);

    if (p.SampleSlot >= 3) {
      SortAdcHistory(p);
      ReadMixerRpm(p);
      p.SampleSlot = 0;
    }
    p.Panel->PanelStateChanged();
  }
}

}  // namespace vorta
