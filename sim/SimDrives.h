#pragma once
// The stirrer drives from their own side: a DC motor drive and a frequency
// inverter behind a CAN interface. Both ramp their speed toward the commanded
// one with a first-order lag and report it in their registers.

#include <cstdint>

#include "sim/SimDevice.h"

namespace vorta::sim {

class TSimDrive : public TSimDevice {
 public:
  using TSimDevice::TSimDevice;
  // Motor shaft speed now, rpm (the stirrer turns at this ÷ gear reduction).
  [[nodiscard]] virtual double MotorRpm() const = 0;
  [[nodiscard]] virtual bool Running() const = 0;
  // Fault: the drive loses power and comes back as at power-up: stopped, no
  // speed setpoint, every register cleared.
  virtual void PowerCycle() = 0;
  // Fault: the shaft is blocked; the drive takes its commands but the speed
  // stays 0.
  void SetJammed(bool jammed) { jammed_ = jammed; }

  static constexpr double kTau = 1.5;  // s, speed lag

 protected:
  bool jammed_ = false;
};

// DC drive. Registers (offset 2k): 1 run command (0x0101 run, 0 stop),
// 2 speed setpoint rpm, 29 status, 30 actual rpm (signed), 31 motor °C,
// 32 motor current mA. Every other register keeps what was written.
class TSimDcDrive final : public TSimDrive {
 public:
  static constexpr int kRegRun = 1, kRegSetpoint = 2;
  static constexpr int kRegStatus = 29, kRegSpeed = 30, kRegTemp = 31, kRegCurrent = 32;
  // Status bits
  static constexpr std::uint16_t kPwmOn = 1 << 0, kSettling = 1 << 3, kMismatch = 1 << 4;

  TSimDcDrive(QString name, std::uint32_t deviceUid, bool ext, bool active);

  void Step(double dtSeconds) override;
  [[nodiscard]] double MotorRpm() const override { return speed_; }
  [[nodiscard]] bool Running() const override { return Word(kRegRun) == 0x0101; }
  void PowerCycle() override;

 protected:
  [[nodiscard]] std::vector<std::pair<int, int>> LiveBlocks() const override;

 private:
  double speed_ = 0;
  double temp_ = 25;
  double settling_ = 0;  // s since the speed left its setpoint
};

// Inverter. Register 0 status; a 16-bit run command at offset 1 (1 run,
// 0 stop; a command, not memory: it does not overwrite the reference);
// register 1 frequency reference 0..5000 for 0..MaxRpm; register 4 output
// frequency on the same scale; 7 output current (100 mA); 8 output voltage V.
class TSimInverter final : public TSimDrive {
 public:
  static constexpr int kRegStatus = 0, kRunOffset = 1, kRegReference = 1;
  static constexpr int kRegOutput = 4, kRegCurrent = 7, kRegVoltage = 8;
  static constexpr std::uint16_t kRun = 1 << 0, kAtReference = 1 << 1;
  static constexpr double kFullScale = 5000, kRatedVolts = 230;

  TSimInverter(QString name, std::uint32_t deviceUid, bool ext, bool active, int maxRpm);

  void Step(double dtSeconds) override;
  [[nodiscard]] double MotorRpm() const override { return freq_ / kFullScale * maxRpm_; }
  [[nodiscard]] bool Running() const override { return run_; }
  void PowerCycle() override;
  [[nodiscard]] int MaxRpm() const { return maxRpm_; }

 protected:
  [[nodiscard]] std::vector<std::pair<int, int>> LiveBlocks() const override;
  void OnWrite(int offset, const std::uint8_t* data, int len) override;
  [[nodiscard]] bool StoresWrite(int offset) const override { return offset != kRunOffset; }

 private:
  int maxRpm_;
  bool run_ = false;
  double freq_ = 0;
};

}  // namespace vorta::sim
