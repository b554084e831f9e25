#pragma once
// Puts the virtual plant on the board library's in-process bus: what the
// program writes reaches the plant's devices, what they send arrives as
// received messages.

#include <memory>

#include "can/Chai.h"

namespace vorta::sim {

class TVirtualPlant;

class TChaiPlantBridge {
 public:
  explicit TChaiPlantBridge(TVirtualPlant& plant);
  ~TChaiPlantBridge();
  TChaiPlantBridge(const TChaiPlantBridge&) = delete;
  TChaiPlantBridge& operator=(const TChaiPlantBridge&) = delete;

 private:
  TVirtualPlant& plant_;
  TChaiVirtualBus bus_;
};

}  // namespace vorta::sim
