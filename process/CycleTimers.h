#pragma once
// The three cyclic timers that run the vessels: outputs every 40 ms,
// measurement every 500 ms, regulation every 2 s. The main form, the tests
// and the benchmarks wire them here, so that all run the cycles alike.

#include <functional>
#include <memory>

#include "process/CycleContext.h"

namespace vorta {

class TTimer;
class TTimerService;

class TCycleTimers {
 public:
  static constexpr int kOutputMs = 40;
  static constexpr int kMeasurementMs = 500;
  static constexpr int kRegulationMs = 2000;

  // Creates the three, disabled, in the order output, measurement,
  // regulation: timers due at the same moment fire in creation order.
  TCycleTimers(TTimerService& time, const TCycleContext& context);
  ~TCycleTimers();
  TCycleTimers(const TCycleTimers&) = delete;
  TCycleTimers& operator=(const TCycleTimers&) = delete;

  // Enables them: output, regulation, measurement.
  void Start();
  void Stop();

  [[nodiscard]] TTimer& Output() { return *output_; }
  [[nodiscard]] TTimer& Measurement() { return *measurement_; }
  [[nodiscard]] TTimer& Regulation() { return *regulation_; }
  [[nodiscard]] TCycleContext& Context() { return context_; }

  // Runs after each output cycle, in the same tick.
  std::function<void()> AfterOutputCycle;
  // Runs after each regulation cycle, in the same tick.
  std::function<void()> AfterRegulationCycle;

 private:
  TCycleContext context_;
  std::unique_ptr<TTimer> output_;
  std::unique_ptr<TTimer> measurement_;
  std::unique_ptr<TTimer> regulation_;
};

}  // namespace vorta
