// The device table and the dispatch of received frames by identifier.

#include "devices/CANBus.h"

namespace vorta {

bool TCANBus::Add(TCANDevice* device) {
  if (device == nullptr || Count < 0 || Count >= kCapacity) {
    return false;
  }
  Devices[static_cast<std::size_t>(Count)] = device;
  ++Count;
  return true;
}

void TCANBus::Dispatch(TCANFrame& frame) {
  for (std::int32_t i = 0; i < Count && i < kCapacity; ++i) {
    TCANDevice* device = Devices[static_cast<std::size_t>(i)];
    if (device == nullptr || device->DeviceUID < 0) {
      continue;
    }
    const auto mask = ~static_cast<std::uint32_t>(device->BusRange) & 0x1FFFFFFFU;
    // Every matching device receives the frame, not only the first.
    if ((frame.Id & mask) == static_cast<std::uint32_t>(device->DeviceUID)) {
      device->Receive(frame);
    }
  }
}

TCANDevice* TCANBus::FindByName(const QString& name) const {
  for (std::int32_t i = 0; i < Count && i < kCapacity; ++i) {
    TCANDevice* device = Devices[static_cast<std::size_t>(i)];
    if (device != nullptr && device->Name == name) {
      return device;
    }
  }
  return nullptr;
}

}  // namespace vorta
