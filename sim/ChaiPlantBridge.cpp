#include "sim/ChaiPlantBridge.h"

#include <cstring>

#include "sim/VirtualPlant.h"

namespace vorta::sim {

TChaiPlantBridge::TChaiPlantBridge(TVirtualPlant& plant) : plant_(plant) {
  bus_.Transmit = [this](const canmsg_t& msg) {
    TCANFrame frame;
    frame.Id = msg.id;
    frame.Len = msg.len;
    std::memcpy(frame.Data, msg.data, 8);
    if ((msg.flags & kChaiFlagEff) != 0) frame.Flags |= kFlagExtended;
    if ((msg.flags & kChaiFlagRtr) != 0) frame.Flags |= kFlagRemote;
    plant_.HandleFrame(frame);
  };
  plant_.OnFrame = [](const TCANFrame& frame) {
    canmsg_t msg;
    msg.id = frame.Id;
    msg.len = frame.Len;
    std::memcpy(msg.data, frame.Data, 8);
    if ((frame.Flags & kFlagExtended) != 0) msg_seteff(&msg);
    if ((frame.Flags & kFlagRemote) != 0) msg_setrtr(&msg);
    ChaiDeliver(msg);
  };
  ChaiSetVirtualBus(&bus_);
}

TChaiPlantBridge::~TChaiPlantBridge() {
  ChaiSetVirtualBus(nullptr);
  plant_.OnFrame = nullptr;
}

}  // namespace vorta::sim
