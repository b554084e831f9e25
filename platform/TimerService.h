#pragma once
// Time for the whole program: the system's date-time, a millisecond tick, and
// timers shaped like the window timers the controller was designed around.
// Nothing in the engine reads the wall clock or owns a QTimer: it asks this
// service, which runs either on real time (the program) or on virtual time
// (tests, fast-forward, benchmarks).

#include <cstdint>
#include <functional>
#include <memory>

namespace vorta {

// One second as a fraction of a day (the system's date-time unit is the day).
inline constexpr double OneSecond = 1.0 / 86400.0;

class TTimerService;

// A cyclic timer: fires OnTimer every Interval ms while Enabled. A timer never
// re-enters its own handler; other timers may run inside ProcessMessages().
class TTimer {
 public:
  virtual ~TTimer() = default;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  [[nodiscard]] int Interval() const { return interval_; }
  [[nodiscard]] bool Enabled() const { return enabled_; }
  // Changing the interval of an enabled timer restarts its period.
  void SetInterval(int ms);
  void SetEnabled(bool on);

  std::function<void()> OnTimer;

 protected:
  explicit TTimer(int intervalMs) : interval_(intervalMs) {}
  // Called after Interval or Enabled changed: (re)arm or disarm.
  virtual void Rearm() = 0;
  void Fire();

 private:
  int interval_;
  bool enabled_ = false;
  bool running_ = false;
};

class TTimerService {
 public:
  virtual ~TTimerService() = default;
  // Days since 1899-12-30, local time: for what people read, never for a
  // duration (it steps with daylight saving and when the clock is set).
  [[nodiscard]] virtual double Now() const = 0;
  // The wall clock's instant, ms since 1970-01-01 UTC: a stamp that knows
  // its offset, also in the hour that autumn's change repeats.
  [[nodiscard]] virtual std::int64_t UtcMs() const = 0;
  // Milliseconds on a clock that never steps, from an arbitrary start: every
  // duration, grace period, time-out and link watch runs on it.
  [[nodiscard]] virtual std::int64_t MonotonicMs() const = 0;
  // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
  [[nodiscard]] std::uint32_t GetTickCount() const {
    return static_cast<std::uint32_t>(MonotonicMs());
  }
  // Lets due timers (and, on real time, window events) run, then returns.
  virtual void ProcessMessages() = 0;
  // A new timer, disabled, with the given interval.
  virtual std::unique_ptr<TTimer> CreateTimer(int intervalMs) = 0;
};

// Waits more than ms milliseconds while processing messages, so that timer
// events (and windows) keep running during the wait.
void WaitMs(TTimerService& time, std::uint32_t ms);

}  // namespace vorta
