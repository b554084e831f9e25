#pragma once
// The virtual plant behind a program folder whose CAN configuration puts the
// board library on its in-process bus ("CHAI"/"Backend=virtual").

#include <QString>
#include <functional>
#include <memory>
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

// Runs the folder on virtual time with the virtual plant for hours simulated
// hours, headless, then shuts down in order. Returns the exit code.
// demo: start the vessels in batch mode as the demo does. stopRequested, asked
// between simulated minutes, ends the run early with the same orderly shutdown.
// claim: the folder taken before anything in it was read; taken here when not.
int RunFastForward(const QString& folder, double hours, bool demo,
                   const std::function<bool()>& stopRequested = {}, TFolderClaim claim = {});

}  // namespace vorta
