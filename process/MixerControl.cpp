// pO2 by stirrer speed, the speed code sent to the drive, the soft start, and
// keeping a started stirrer turning.

#include <cmath>

#include "devices/CANMixer.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"
#include "process/ChannelRegulation.h"
#include "process/MixerControl.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"

namespace vorta {

void SetMixerCode(TVortaProcess& p, std::uint16_t code) {
  if (p.Mixer == nullptr) return;
  p.MixerSpeedSent = static_cast<std::int32_t>(RoundHalfEven(code * double(p.Config.MixSet) / 255));
  p.Mixer->SetSpeed(p.MixerSpeedSent);
}

namespace {

// Status of the pO2 channel when the stirrer regulates it; Normal lets the
// step run.
TRegulationStatus EvaluatePo2(const TVortaProcess& p) {
  using enum TRegulationStatus;
  const TChannel& c = p.Channel[3];
  if (p.Config.po2ctrlmotor == 0) return Disabled;
  if (ModuleNotAnswering(p)) return TRegulationStatus::ModuleSilent;
  if (c.ReadingInvalid != 0) return InvalidReading;
  const double d = std::abs(c.Config.Setpoint - c.Value);
  if (!OutsideDeadZone(d, c.Config.DeadZone)) return InDeadZone;
  if (c.Value > c.Config.CtrlHigh) return AboveHigh;
  if (c.Value < c.Config.CtrlLow) return BelowLow;
  if (IsSpike(p, 3)) return Spike;
  return Normal;
}

}  // namespace

void RegulatePo2ByMixer(TVortaProcess& p) {
  p.Po2Counter = 0;
  if (!IsControlledMode(p.Mode)) return;
  p.Channel[3].Status = EvaluatePo2(p);
  if (p.Channel[3].Status != TRegulationStatus::Normal) return;
  const double v = p.Channel[3].Value;
  // Codes stay inside 1..255 at the edges: 2 − 1 and 254 + 1.
  if (v > p.Channel[3].Config.Setpoint && p.MixerRpm > p.Config.po2mixcodeleftzone) {
    if (p.MixCode < 2) p.MixCode = 2;
    p.MixCode -= 1;
  }
  if (v < p.Channel[3].Config.Setpoint && p.MixerRpm < p.Config.po2mixcoderightzone) {
    if (p.MixCode > 254) p.MixCode = 254;
    p.MixCode += 1;
  }
  // A stopped stirrer is not started by the regulator.
  if (p.MixerRpm == 0) return;
  if (p.MixCode > 256) p.MixCode = 255;
  SetMixerCode(p, p.MixCode);
  ShowStatusLine(p, 5);
}

void MixerRampStep(TVortaProcess& p) {
  p.MixRampCode = static_cast<std::uint16_t>(p.MixRampCode + p.Config.RestartDeltaCode);
  if (p.MixCode > p.MixRampCode) {
    SetMixerCode(p, p.MixRampCode);
  } else {
    p.MixRampCode = p.MixCode;
    SetMixerCode(p, p.MixCode);
    p.MixRampActive = 0;
  }
}

namespace {

// Started, a speed sent that reads as at least 1 rpm at the stirrer (through
// Reduction), its drive heard from, and 0 rpm reported. A silent drive is its
// own alarm, and its speed is old.
bool StandsThoughItShouldTurn(const TVortaProcess& p) {
  const double expected = p.MixerSpeedSent / p.Config.Reduction;
  return p.Mixer != nullptr && p.MixerShouldRun && p.Mixer->LinkOK() && std::isfinite(expected) &&
         RoundHalfEven(std::abs(expected)) >= 1 && p.MixerRpm == 0;
}

void RepeatStart(TVortaProcess& p) {
  // The same commands again: a drive that kept them is not disturbed, and
  // the soft start, if still running, goes on from where it was.
  p.Mixer->Start();
  SetMixerCode(p, p.MixRampActive != 0 ? p.MixRampCode : p.MixCode);
}

// A drive answers its start within a poll or two; one standing this long
// lost its commands (a power blip shorter than the link time-out) and gets
// them again, as often as this.
constexpr std::int64_t kRestartAfterMs = 6'000;

}  // namespace

void KeepMixerTurning(TVortaProcess& p) {
  if (p.Mixer == nullptr) return;
  const bool ok = p.Mixer->LinkOK();
  const bool returned = ok && !p.MixerLinkSeen;
  p.MixerLinkSeen = ok;
  TSince& since = p.AlarmTrack.StirrerRestartSince;
  if (returned && p.MixerShouldRun) {
    RepeatStart(p);
    since.reset();
    return;
  }
  if (!StandsThoughItShouldTurn(p)) {
    since.reset();
    return;
  }
  const std::int64_t now = p.Env.Time.MonotonicMs();
  if (!since) since = now;
  if (now - *since < kRestartAfterMs) return;
  RepeatStart(p);
  since = now;
}

bool StirrerStandsStill(TVortaProcess& p, std::int64_t nowMs) {
  TSince& since = p.AlarmTrack.StirrerStillSince;
  if (!StandsThoughItShouldTurn(p)) {
    since.reset();
    return false;
  }
  if (!since) since = nowMs;
  return nowMs - *since >= std::int64_t{p.AlarmSettings.StirrerGrace} * 1000;
}

bool HasDcMixer(const TVortaProcess& p) {
  return p.Mixer != nullptr && p.Mixer->HasParameterRegisters();
}

}  // namespace vorta
