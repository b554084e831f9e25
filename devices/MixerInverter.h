#pragma once
// The inverter drive: speed as a 0..5000 frequency reference scaled by
// MaxRpm, run command as a word at offset 1.

#include <cstdint>
#include <optional>

#include "devices/CANMixer.h"

namespace vorta {

class TMixerInverter final : public TCANMixer {
 public:
  using TCANMixer::TCANMixer;

  void SetMaxRpm(std::int32_t v);
  void ReadAll() override;
  void Poll() override;
  [[nodiscard]] std::int32_t GetSpeed() const override;
  void SetSpeed(std::int32_t rpm) override;
  [[nodiscard]] std::uint16_t GetStatus() const override;
  void Start() override;
  void Stop() override;
  [[nodiscard]] std::uint16_t GetCurrent() const override;
  [[nodiscard]] std::optional<std::uint16_t> GetVoltage() const override;

  std::int32_t MaxRpm = 0;
};

}  // namespace vorta
