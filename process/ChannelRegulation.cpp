// The on/off dosing regulator of one measured channel.

#include <cmath>

#include "process/ProcessConfig.h"
#include "platform/Numbers.h"
#include "process/OutputChannels.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"

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
  if (p.MinuteAvgInvalid[ch] != 0) return true;
  const double v = p.CurrentValue[ch];
  return !(v * p.kskachok >= std::abs(v - p.MinuteAvg[ch]));
}

namespace {

// Status code before dosing, in the order the conditions are tested; also
// ends the running pulse once the channel is allowed to regulate.
std::int16_t Evaluate(TVortaProcess& p, size_t ch) {
  if (p.CtrlEnable[ch] == 0) return 1;
  if (p.CtrlModes[ch][p.Mode] == 0) return 6;
  StopChannelPulse(p, static_cast<int>(ch));
  if (p.CtrlOutUp[ch] == 0 && p.CtrlOutDown[ch] == 0) return 2;
  if (p.ReadingInvalid[ch] != 0) return kStatusInvalidReading;
  const double v = p.CurrentValue[ch];
  const double d = std::abs(p.Setpoint[ch] - v);
  if (!OutsideDeadZone(d, p.DeadZone[ch])) return 3;
  if (v > p.CtrlHigh[ch]) return 4;
  if (v < p.CtrlLow[ch]) return 5;
  if (IsSpike(p, ch)) return 7;
  return 0;
}

void StartPulse(TVortaProcess& p, size_t ch, std::int16_t out, double gain, double d) {
  p.PulseLength[ch] = PulseTicksFor(gain, d);
  p.PulseActive[ch] = 1;
  SetOutput(p, out, true);
}

}  // namespace

void RegulateChannel(TVortaProcess& p, int channel) {
  if (channel < 1 || channel > 4) return;
  const auto ch = static_cast<size_t>(channel);
  p.CtrlCounter[ch] = 0;
  p.PulseTicks[ch] = 0;
  if (!IsControlledMode(p.Mode)) {
    ShowStatusLine(p, channel);
    return;
  }
  const std::int16_t status = Evaluate(p, ch);
  p.CtrlStatus[ch] = status;
  if (status == 0) {
    const double v = p.CurrentValue[ch];
    const double d = std::abs(p.Setpoint[ch] - v);
    if (v > p.Setpoint[ch] && p.CtrlOutDown[ch] != 0) {
      StartPulse(p, ch, p.CtrlOutDown[ch], p.GainDown[ch], d);
    }
    if (v < p.Setpoint[ch] && p.CtrlOutUp[ch] != 0) {
      StartPulse(p, ch, p.CtrlOutUp[ch], p.GainUp[ch], d);
    }
  }
  ShowStatusLine(p, channel);
}

}  // namespace vorta
