#pragma once
// The DC stirrer drive: run command and speed setpoint by register, live
// registers 29..32 read back.

#include <cstdint>
#include <optional>

#include "devices/CANMixer.h"

namespace vorta {

class TMixerDC final : public TCANMixer {
 public:
  using TCANMixer::TCANMixer;

  void ReadAll() override;
  void Poll() override;
  [[nodiscard]] std::int32_t GetSpeed() const override;
  void SetSpeed(std::int32_t rpm) override;
  [[nodiscard]] std::uint16_t GetStatus() const override;
  void Start() override;
  void Stop() override;
  [[nodiscard]] std::uint16_t GetCurrent() const override;
  [[nodiscard]] std::optional<std::uint16_t> GetTemperature() const override;
  [[nodiscard]] bool StatusBitsKnown() const override { return true; }
  [[nodiscard]] bool HasParameterRegisters() const override { return true; }
};

}  // namespace vorta
