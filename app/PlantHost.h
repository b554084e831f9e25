#pragma once
// The virtual plant behind a program folder whose CAN configuration puts the
// board library on its in-process bus ("CHAI"/"Backend=virtual").

#include <QString>
#include <functional>
#include <memory>
#include <vector>
#include "app/FolderClaim.h"

namespace vorta {
class TTimerService;
namespace sim {
class TVirtualPlant;
class TChaiPlantBridge;
}  // namespace sim

class TPlantHost {
 public:
  // Builds and attaches the plant when the folder asks for it; otherwise
  // holds nothing. Must exist before the CAN configuration is loaded.
  TPlantHost(const QString& folder, TTimerService& time);
  ~TPlantHost();
  TPlantHost(const TPlantHost&) = delete;
  TPlantHost& operator=(const TPlantHost&) = delete;

  [[nodiscard]] bool Running() const { return plant_ != nullptr; }
  [[nodiscard]] sim::TVirtualPlant* Plant() { return plant_.get(); }

 private:
  std::unique_ptr<sim::TVirtualPlant> plant_;
  std::unique_ptr<sim::TChaiPlantBridge> bridge_;
};

// The exit code of a fast-forward that ran to its end but could not write
// everything it had to (a data log row, the journal, a configuration file).
inline constexpr int kExitWriteFailed = 4;

class TPlanReport;

// A plan to try on a vessel of the virtual plant (--plan N=FILE).
struct TPlanTrial {
  int Vessel = 0;  // NumProcess
  QString File;
};
// Reads "N=FILE"; false when it is not that.
bool ParsePlanTrial(const QString& text, TPlanTrial* trial);

struct TFastForwardPlans {
  std::vector<TPlanTrial> Trials;
  // Told at the end of the run with its report, before the shutdown.
  std::function<void(const TPlanReport&)> Finished;
};

// Runs the folder on virtual time with the virtual plant for hours simulated
// hours, headless, then shuts down in order. Returns the exit code.
// demo: start the vessels in batch mode as the demo does. stopRequested, asked
// between simulated minutes, ends the run early with the same orderly shutdown.
// claim: the folder taken before anything in it was read; taken here when not.
// plans: started on their vessels at the run's start (the fermentation's
// clock with them); a report of each is written beside the data logs. A plan
// with a fault starts nothing and ends the run at once (exit code 2).
int RunFastForward(const QString& folder, double hours, bool demo,
                   const std::function<bool()>& stopRequested = {}, TFolderClaim claim = {},
                   const TFastForwardPlans& plans = {});

}  // namespace vorta
