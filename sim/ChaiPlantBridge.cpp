#include "sim/ChaiPlantBridge.h"

#include "can/ChaiAdapter.h"
#include "sim/VirtualPlant.h"

namespace vorta::sim {

TChaiPlantBridge::TChaiPlantBridge(TVirtualPlant& plant) : plant_(plant) {
  bus_.Transmit = [this](const canmsg_t& msg) { plant_.HandleFrame(FrameFromMessage(msg)); };
  plant_.OnFrame = [](const TCANFrame& frame) { ChaiDeliver(MessageFromFrame(frame)); };
  ChaiSetVirtualBus(&bus_);
}

TChaiPlantBridge::~TChaiPlantBridge() {
  ChaiSetVirtualBus(nullptr);
  plant_.OnFrame = nullptr;
}

}  // namespace vorta::sim
