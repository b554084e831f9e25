#include "platform/TimerService.h"

namespace vorta {

void TTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Rearm();
}

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Rearm();
}

void TTimer::Fire() {
  // A handler that waits (WaitMs) lets other timers run, but never itself:
  // the periodic work of one timer must not nest.
  if (running_ || !enabled_ || !OnTimer) return;
  running_ = true;
  OnTimer();
  running_ = false;
}

void WaitMs(TTimerService& time, std::uint32_t ms) {
  const std::uint32_t start = time.GetTickCount();
  while (time.GetTickCount() - start <= ms) time.ProcessMessages();
}

}  // namespace vorta
