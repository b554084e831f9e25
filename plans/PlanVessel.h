#pragma once
// A plan's vessel: what the runner reads of the vessel record, and every
// change carried out through the command layer with the source Plan and the
// plan's name and step as the journal's caller. CheckPlan asks the layer's
// check-only forms, so a value the layer would refuse makes the plan invalid
// before it starts.

#include <vector>

#include "plans/PlanParser.h"
#include "plans/PlanRunner.h"

namespace vorta {

class TVortaProcess;

class TPlanVessel : public IPlanVessel {
 public:
  explicit TPlanVessel(TVortaProcess& p) : p_(p) {}

  [[nodiscard]] double Reading(int channel) const override;
  [[nodiscard]] double Setpoint(int channel) const override;
  [[nodiscard]] double ElapsedSeconds() const override;
  TPlanApplied Apply(const TPlanStep& step, double value, const QString& where) override;
  void RaiseAlarm(const QString& text, const QString& where) override;
  void Record(const QString& text) override;

 private:
  TVortaProcess& p_;
};

// Every step checked against the vessel's configuration; the faults with the
// line and column of the value at fault. Empty when the plan may start.
std::vector<TPlanError> CheckPlan(const TPlan& plan, const TVortaProcess& p);

}  // namespace vorta
