// The on/off dosing regulator of one measured channel.

#include <cmath>

#include "devices/IoModule.h"
#include "platform/Numbers.h"
#include "process/ChannelRegulation.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"

namespace vorta {

std::uint16_t PulseTicksFor(double gain, double deviation) {
  const double ticks = gain * 25 * deviation;
  // A large gain or deviation would wrap the 16-bit length into a short
  // pulse; a negative gain would wrap into a long one.
  if (!(ticks > 0)) return 0;
  if (ticks >= 65535.0) return 65535;
  return static_cast<std::uint16_t>(RoundHalfEven(ticks));
}

bool OutsideDeadZone(double deviation, double deadZone) {
  // Far below the displayed resolution: 7.00 - 6.80 must equal a zone of 0.20.
  constexpr double kTolerance = 1e-9;
  return deviation > deadZone + kTolerance;
}

bool IsSpike(const TVortaProcess& p, size_t ch) {
  // Without a mean of valid readings no value can be trusted as steady.
  if (p.Channel[ch].Minute.AvgInvalid != 0) return true;
  const double v = p.Channel[ch].Value;
  // Magnitudes: a redox potential is negative, and the jump allowed around
  // -170 mV must be the one allowed around +170 mV.
  return !(std::abs(v) * p.Config.kskachok >= std::abs(v - p.Channel[ch].Minute.Avg));
}

bool ModuleNotAnswering(const TVortaProcess& p) {
  return p.Board != nullptr && !p.Board->LinkOK();
}

namespace {

// Status before dosing, in the order the conditions are tested; also ends
// the running pulse once the channel is allowed to regulate.
TRegulationStatus Evaluate(TVortaProcess& p, size_t ch) {
  using enum TRegulationStatus;
  const TChannel& c = p.Channel[ch];
  const TChannelConfig& cfg = c.Config;
  if (cfg.CtrlEnable == 0) return Disabled;
  if (cfg.CtrlModes[static_cast<size_t>(ModeIndex(p.Mode))] == 0) return OffInMode;
  StopChannelPulse(p, static_cast<int>(ch));
  if (cfg.CtrlOutUp == 0 && cfg.CtrlOutDown == 0) return NoOutputs;
  if (ModuleNotAnswering(p)) return TRegulationStatus::ModuleSilent;
  if (c.ReadingInvalid != 0) return InvalidReading;
  const double v = c.Value;
  const double d = std::abs(cfg.Setpoint - v);
  if (!OutsideDeadZone(d, cfg.DeadZone)) return InDeadZone;
  if (v > cfg.CtrlHigh) return AboveHigh;
  if (v < cfg.CtrlLow) return BelowLow;
  if (IsSpike(p, ch)) return Spike;
  return Normal;
}

void StartPulse(TVortaProcess& p, size_t ch, std::int16_t out, double gain, double d) {
  p.Channel[ch].PulseLength = PulseTicksFor(gain, d);
  p.Channel[ch].PulseActive = 1;
  SetOutput(p, out, true);
}

}  // namespace

void RegulateChannel(TVortaProcess& p, int channel) {
  if (channel < 1 || channel > 4) return;
  const auto ch = static_cast<size_t>(channel);
  TChannel& c = p.Channel[ch];
  c.CtrlCounter = 0;
  c.PulseTicks = 0;
  if (!IsControlledMode(p.Mode)) {
    ShowStatusLine(p, channel);
    return;
  }
  c.Status = Evaluate(p, ch);
  if (c.Status == TRegulationStatus::Normal) {
    const TChannelConfig& cfg = c.Config;
    const double v = c.Value;
    const double d = std::abs(cfg.Setpoint - v);
    if (v > cfg.Setpoint && cfg.CtrlOutDown != 0)
      StartPulse(p, ch, cfg.CtrlOutDown, cfg.GainDown, d);
    if (v < cfg.Setpoint && cfg.CtrlOutUp != 0) StartPulse(p, ch, cfg.CtrlOutUp, cfg.GainUp, d);
  }
  ShowStatusLine(p, channel);
}

}  // namespace vorta
