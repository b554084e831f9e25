#pragma once
// The device table and the dispatch of received frames by identifier.

#include <QString>
#include <array>
#include <cstdint>

#include "can/CANAdapter.h"
#include "devices/CANDevice.h"

namespace vorta {

class TCANBus {
 public:
  static constexpr int kCapacity = 21;

  // False (and the device is not taken) when the table is full.
  bool Add(TCANDevice* device);
  void Dispatch(TCANFrame& frame);
  // The first device whose Name equals name exactly (case counts), or null.
  [[nodiscard]] TCANDevice* FindByName(const QString& name) const;

  std::array<TCANDevice*, kCapacity> Devices{};
  std::int32_t Count = 0;
};

}  // namespace vorta
