#pragma once
// The stirrer drive as the process sees it, whichever drive is fitted.

#include <cstdint>
#include <optional>

#include "devices/CANDevice.h"

namespace vorta {

class TCANMixer : public TCANDevice {
 public:
  using TCANDevice::TCANDevice;

  [[nodiscard]] virtual std::int32_t GetSpeed() const = 0;
  virtual void SetSpeed(std::int32_t rpm) = 0;
  [[nodiscard]] virtual std::uint16_t GetStatus() const = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  // Motor current, mA.
  [[nodiscard]] virtual std::uint16_t GetCurrent() const = 0;
  // Drive temperature, °C; nothing from a drive that does not report it.
  [[nodiscard]] virtual std::optional<std::uint16_t> GetTemperature() const { return {}; }
  // Output voltage, V; nothing from a drive that does not report it.
  [[nodiscard]] virtual std::optional<std::uint16_t> GetVoltage() const { return {}; }
  // Whether the status word's bits have the meanings the status window
  // spells out; otherwise it is shown as a number only.
  [[nodiscard]] virtual bool StatusBitsKnown() const { return false; }
  // Whether the drive has the parameter registers the drive window edits
  // (DriveParamPages).
  [[nodiscard]] virtual bool HasParameterRegisters() const { return false; }
};

}  // namespace vorta
