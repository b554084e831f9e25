#include "sim/SimDrives.h"

#include <algorithm>
#include <cmath>

namespace vorta::sim {

namespace {

double Approach(double value, double target, double dt, double tau) {
  return value + (target - value) * (1.0 - std::exp(-dt / tau));
}

std::uint16_t ToWord(double v) {
  return static_cast<std::uint16_t>(
      static_cast<std::int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0)));
}

}  // namespace

// ---- DC drive

TSimDcDrive::TSimDcDrive(QString name, std::uint32_t deviceUid, bool ext, bool active)
    : TSimDrive(std::move(name), deviceUid, ext, active) {
  SetWord(kRegTemp, 25);
}

void TSimDcDrive::PowerCycle() {
  regs_.fill(0);
  speed_ = 0;
  temp_ = 25;
  settling_ = 0;
  SetWord(kRegTemp, 25);
}

void TSimDcDrive::Step(double dt) {
  const double target = Running() && !jammed_ ? static_cast<std::int16_t>(Word(kRegSetpoint)) : 0.0;
  speed_ = Approach(speed_, target, dt, kTau);
  if (std::abs(speed_ - target) < 0.5) {
    speed_ = target;
  }

  // Current: no-load losses plus a load that grows with speed squared.
  const double n = std::abs(speed_);
  const double current = Running() ? 120.0 + 0.35 * n + 4e-4 * n * n : 0.0;
  temp_ = Approach(temp_, 25.0 + 0.012 * current, dt, 600.0);

  const bool off = std::abs(speed_ - target) > std::max(5.0, 0.02 * std::abs(target));
  settling_ = off ? settling_ + dt : 0.0;
  std::uint16_t status = 0;
  if (Running()) {
    status |= kPwmOn;
  }
  if (off) {
    status |= kSettling;
  }
  if (off && settling_ > 10.0) {
    status |= kMismatch;
  }

  SetWord(kRegStatus, status);
  SetWord(kRegSpeed, ToWord(speed_));
  SetWord(kRegTemp, ToWord(temp_));
  SetWord(kRegCurrent, ToWord(current));
}

std::vector<std::pair<int, int>> TSimDcDrive::LiveBlocks() const {
  return {{2 * kRegStatus, 8}};
}

// ---- Inverter

TSimInverter::TSimInverter(QString name, std::uint32_t deviceUid, bool ext, bool active, int maxRpm)
    : TSimDrive(std::move(name), deviceUid, ext, active), maxRpm_(maxRpm > 0 ? maxRpm : 3000) {}

void TSimInverter::OnWrite(int offset, const std::uint8_t* data, int len) {
  if (offset == kRunOffset && len >= 1) {
    run_ = (data[0] | (len >= 2 ? data[1] << 8 : 0)) != 0;
    regs_[kRunOffset] = data[0];  // readable as the low byte of the command
  }
}

void TSimInverter::PowerCycle() {
  regs_.fill(0);
  run_ = false;
  freq_ = 0;
}

void TSimInverter::Step(double dt) {
  const double ref = std::min<double>(Word(kRegReference), kFullScale);
  const double target = run_ && !jammed_ ? ref : 0.0;
  freq_ = Approach(freq_, target, dt, kTau);
  if (std::abs(freq_ - target) < 0.5) {
    freq_ = target;
  }

  const double f = freq_ / kFullScale;
  std::uint16_t status = 0;
  if (run_) {
    status |= kRun;
  }
  if (run_ && std::abs(freq_ - target) <= 0.01 * kFullScale) {
    status |= kAtReference;
  }
  const bool turning = run_ || freq_ > 0;
  SetWord(kRegStatus, status);
  SetWord(kRegOutput, ToWord(freq_));
  // Magnetising current plus load; volts per hertz with a small boost.
  SetWord(kRegCurrent, ToWord(turning ? 8.0 + 12.0 * f * f : 0.0));
  SetWord(kRegVoltage, ToWord(turning ? std::max(10.0, kRatedVolts * f) : 0.0));
}

std::vector<std::pair<int, int>> TSimInverter::LiveBlocks() const {
  return {{0, 8}, {8, 8}, {16, 8}};
}

}  // namespace vorta::sim
