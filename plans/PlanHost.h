#pragma once
// The program's run plans: at most one runner per vessel, ticked by the 2-s
// cycle after regulation, its state replaced on disk at every step change and
// once a minute (so that the gap after a crash is known to the minute), and
// resumed from that state when the program starts again.

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "plans/PlanParser.h"
#include "plans/PlanRunner.h"

namespace vorta {

class TTimerService;
class TVortaProcess;
class TVortaProcessList;
class TPlanVessel;

// What a start did, or why nothing was started (the faults with their place).
struct TPlanStartResult {
  bool Ok = false;
  QString Text;
  std::vector<TPlanError> Errors;
};

// A plan's status as `vorta ctl plan status --json` and the MQTT state
// payload carry it: the plan, its state, the step and the next, the time left
// (null when not known) and the channels the operator changed by hand.
QJsonObject PlanStatusJson(const TPlanRunner& r, const TPlanStatus& st);

class TPlanHost {
 public:
  // folder: where the state files live (the program folder).
  TPlanHost(TTimerService& time, QString folder);
  ~TPlanHost();
  TPlanHost(const TPlanHost&) = delete;
  TPlanHost& operator=(const TPlanHost&) = delete;

  // Reads, checks against the vessel and starts the plan in `file` (made
  // absolute). Refused while a plan is active on the vessel, and when the
  // file has any fault: nothing is started then.
  TPlanStartResult Start(TVortaProcess& p, const QString& file);

  // Every vessel with a state file resumes where it was; a state that cannot
  // be resumed is journalled and removed.
  void ResumeAll(const TVortaProcessList& processes);

  // One 2-s cycle for every active plan.
  void Tick();
  // Writes every active plan's state (at shutdown).
  void SaveAll();
  // How often a running plan's state is written between step changes (a
  // minute). A trial on virtual time writes it seldom: a write that waits for
  // the disk every simulated minute would make a five-day trial take minutes.
  void SetSaveEvery(std::int64_t ms) { saveEveryMs_ = ms; }

  // The vessel's plan, active or ended in this run; null when none.
  [[nodiscard]] TPlanRunner* Runner(const TVortaProcess& p);
  [[nodiscard]] std::int64_t MonotonicMs() const;

  // Told after every step change and change of state of a vessel's plan,
  // after its state is on disk.
  std::function<void(const TVortaProcess&, const TPlanRunner&)> OnChanged;

 private:
  struct TEntry {
    TVortaProcess* Process = nullptr;
    std::unique_ptr<TPlanVessel> Vessel;
    std::unique_ptr<TPlanRunner> Runner;
    std::int64_t SavedMono = 0;
    QString SaveProblem;  // the last failure told, so it is journalled once
  };

  TEntry& Make(TVortaProcess& p, TPlan plan);
  void Save(TEntry& e);

  TTimerService& time_;
  QString folder_;
  std::map<int, TEntry> entries_;  // by vessel number
  std::int64_t saveEveryMs_ = 60'000;
};

}  // namespace vorta
