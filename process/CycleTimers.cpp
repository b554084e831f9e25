#include "process/CycleTimers.h"

#include "platform/TimerService.h"
#include "process/CycleContext.h"
#include "process/MeasurementCycle.h"
#include "process/OutputCycle.h"
#include "process/RegulationCycle.h"

namespace vorta {

TCycleTimers::TCycleTimers(TTimerService& time, const TCycleContext& context)
    : context_(context),
      output_(time.CreateTimer(kOutputMs)),
      measurement_(time.CreateTimer(kMeasurementMs)),
      regulation_(time.CreateTimer(kRegulationMs)) {
  output_->OnTimer = [this] {
    OutputCycle(context_);
    if (AfterOutputCycle) AfterOutputCycle();
  };
  measurement_->OnTimer = [this] { MeasurementCycle(context_); };
  regulation_->OnTimer = [this] {
    RegulationCycle(context_);
    if (AfterRegulationCycle) AfterRegulationCycle();
  };
}

TCycleTimers::~TCycleTimers() = default;

void TCycleTimers::Start() {
  output_->SetEnabled(true);
  regulation_->SetEnabled(true);
  measurement_->SetEnabled(true);
}

void TCycleTimers::Stop() {
  output_->SetEnabled(false);
  regulation_->SetEnabled(false);
  measurement_->SetEnabled(false);
}

}  // namespace vorta
