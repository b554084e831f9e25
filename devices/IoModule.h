#pragma once
// The I/O module: analog inputs, the foam contact, the output word and the
// byte outputs, all through the register image and small frames.

#include <cstdint>

#include "devices/CANDevice.h"

namespace vorta {

class TIoModule final : public TCANDevice {
 public:
  static constexpr int AnalogCount = 8;
  using TCANDevice::TCANDevice;

  void Poll() override;
  // Raw converter code of input i (0..7); 4096 for any other i.
  [[nodiscard]] std::int16_t GetAnalog(int i) const;
  [[nodiscard]] bool GetFoamInput() const;
  void SetOutputs(std::uint16_t word);
  void SetOutputByte(int k, std::uint8_t value);
};

}  // namespace vorta
