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
  [[nodiscard]] std::uint32_t GetTickCount() const override;
  void ProcessMessages() override;
  std::unique_ptr<TTimer> CreateTimer(int intervalMs) override;

 private:
  QElapsedTimer clock_;
};

// Days since 1899-12-30 for a local date-time.
double ToSystemDateTime(const QDateTime& t);
QDateTime FromSystemDateTime(double days);

}  // namespace vorta
