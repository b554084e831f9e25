#pragma once
// The report of a plan tried on the virtual plant (a fast-forward with
// --plan): what each watched vessel measured and was set to, minute by
// minute; when each step of its plan began and ended; the plan's own journal
// lines (a condition met or run out, an alarm, the end); and how long each
// output of the virtual vessel ran and what its pump dosed. Written beside
// the data logs as PlanReport<N>.txt and PlanReport<N>.png.

#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "plans/PlanRunner.h"
#include "sim/VesselModel.h"

namespace vorta {

class TJournal;
struct TJournalEntry;
class TVortaProcess;
namespace sim {
struct TSimVessel;
}

class TPlanReport {
 public:
  // What the report reads of a running plan: its status now, none when the
  // vessel has no plan.
  using TStatusProbe = std::function<std::optional<TPlanStatus>()>;

  // hoursNow: the run's clock in hours since its start.
  explicit TPlanReport(std::function<double()> hoursNow);
  // Gives the journal its append hook back.
  ~TPlanReport();
  TPlanReport(const TPlanReport&) = delete;
  TPlanReport& operator=(const TPlanReport&) = delete;

  // Watches vessel p (plant: its virtual vessel, may be null) from now on.
  void Watch(TVortaProcess& p, sim::TSimVessel* plant, QString planName, TStatusProbe status);
  // The plan's own name, once it is read.
  void NamePlan(const TVortaProcess& p, const QString& name);
  // One journal record as written: the plan's lines of a watched vessel are kept.
  void Journaled(const TJournalEntry& entry);
  // Chains itself into the journal's append hook (the hook before it still runs).
  void Attach(TJournal& journal);
  // One sample of every watched vessel; called once a simulated minute.
  void Sample();

  // Writes the text and the picture of every watched vessel into folder;
  // false and error when a file could not be written.
  bool Write(const QString& folder, QString* error) const;

  struct TStepSpan {
    int Number = 0;
    int Iteration = 0, Times = 0;
    QString Text;                  // "4 «feed» — ramp t°C to 30 over 2 h"
    double Began = 0, Ended = -1;  // hours; -1 still running at the end
  };
  struct TEvent {
    double Hours = 0;
    QString Text;
  };
  struct TVesselRun {
    TVortaProcess* Process = nullptr;
    sim::TSimVessel* Plant = nullptr;
    QString PlanName;
    TStatusProbe Status;
    std::vector<double> Hours;
    std::array<std::vector<double>, 5> Value, Setpoint;  // [1..4]; NaN where invalid
    std::vector<TStepSpan> Steps;
    std::vector<TEvent> Events;
    std::optional<TPlanStatus> Last;
    std::array<double, sim::kActuatorCount> OnAtStart{}, DosedAtStart{};
  };
  [[nodiscard]] const std::vector<TVesselRun>& Runs() const { return runs_; }

  // The summary text of one run, as the .txt file holds it.
  [[nodiscard]] QString SummaryText(const TVesselRun& run) const;

 private:
  void Follow(TVesselRun& run, double hours);

  std::function<double()> hoursNow_;
  TJournal* journal_ = nullptr;
  std::function<void(const TJournalEntry&, const QString&)> journalHook_;
  std::vector<TVesselRun> runs_;
};

// "1 d 03:15" or "03:15" (hours:minutes) for a time in hours.
QString ReportClock(double hours);

}  // namespace vorta
