#pragma once
// Deterministic time: timers fire in due-time order (ties in creation order)
// only when a test or the fast-forward driver advances the clock.

#include <cstdint>
#include <vector>

#include "platform/TimerService.h"

namespace vorta {

class TVirtualTimerService final : public TTimerService {
 public:
  // startDate: the system's date-time at virtual time 0.
  explicit TVirtualTimerService(double startDate = 46000.375);
  ~TVirtualTimerService() override;

  [[nodiscard]] double Now() const override;
  [[nodiscard]] std::int64_t UtcMs() const override;
  [[nodiscard]] std::int64_t MonotonicMs() const override { return now_; }
  // Advances one millisecond and fires what is due: a wait loop completes.
  void ProcessMessages() override;
  std::unique_ptr<TTimer> CreateTimer(int intervalMs) override;

  // Advances the clock by ms, firing every timer that falls due on the way.
  void AdvanceBy(std::int64_t ms);
  [[nodiscard]] std::int64_t ElapsedMs() const { return now_; }

 private:
  class TVirtualTimer;
  friend class TVirtualTimer;

  void AdvanceTo(std::int64_t target);
  [[nodiscard]] TVirtualTimer* NextDue(std::int64_t limit) const;

  double startDate_;
  std::int64_t now_ = 0;
  std::uint64_t nextSerial_ = 0;
  std::vector<TVirtualTimer*> timers_;
};

}  // namespace vorta
