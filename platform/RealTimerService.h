#pragma once
// Real time on the Qt event loop: the running program.

#include <QDateTime>
#include <QElapsedTimer>

#include "platform/TimerService.h"

namespace vorta {

class TRealTimerService final : public TTimerService {
 public:
  TRealTimerService();
  [[nodiscard]] double Now() const override;
  [[nodiscard]] std::int64_t UtcMs() const override;
  [[nodiscard]] std::int64_t MonotonicMs() const override;
  void ProcessMessages() override;
  std::unique_ptr<TTimer> CreateTimer(int intervalMs) override;

 private:
  QElapsedTimer clock_;
};

// Days since 1899-12-30 for a local date-time.
double ToSystemDateTime(const QDateTime& t);
QDateTime FromSystemDateTime(double days);
// "2026-12-07T09:00:00+01:00": local time to the second with its offset always
// written out ("+00:00", never "Z"), so that records stay comparable across a
// change of daylight-saving time and a reader elsewhere sees the same instant.
QString LocalTimeWithOffset(double days);
// The same for an instant (ms since 1970 UTC), with the offset in force then.
QString LocalTimeWithOffsetAt(std::int64_t utcMs);

}  // namespace vorta
