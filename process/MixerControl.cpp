// pO2 by stirrer speed, the speed code sent to the drive, the soft start, and
// keeping a started stirrer turning.

#include <cmath>

#include "devices/CANDevices.h"
#include "process/ProcessConfig.h"
#include "platform/Numbers.h"
#include "platform/TimerService.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"

namespace vorta {

void SetMixerCode(TVortaProcess& p, std::uint16_t code) {
  if (p.Mixer == nullptr) return;
  p.MixerSpeedSent = static_cast<std::int32_t>(RoundHalfEven(code * double(p.MixSet) / 255));
  p.Mixer->SetSpeed(p.MixerSpeedSent);
}

void RegulatePo2ByMixer(TVortaProcess& p) {
  p.Po2Counter = 0;
  if (!IsControlledMode(p.Mode)) return;
  if (p.po2ctrlmotor == 0) {
    p.CtrlStatus[3] = 1;
    return;
  }
  if (p.ReadingInvalid[3] != 0) {
    p.CtrlStatus[3] = kStatusInvalidReading;
    return;
  }
  const double v = p.CurrentValue[3];
  const double d = std::abs(p.Setpoint[3] - v);
  if (!OutsideDeadZone(d, p.DeadZone[3])) {
    p.CtrlStatus[3] = 3;
    return;
  }
  if (v > p.CtrlHigh[3]) {
    p.CtrlStatus[3] = 4;
    return;
  }
  if (v < p.CtrlLow[3]) {
    p.CtrlStatus[3] = 5;
    return;
  }
  p.CtrlStatus[3] = 0;
  if (IsSpike(p, 3)) {
    p.CtrlStatus[3] = 7;
    return;
  }
  // Codes stay inside 1..255 at the edges: 2 − 1 and 254 + 1.
  if (v > p.Setpoint[3] && p.MixerRpm > p.po2mixcodeleftzone) {
    if (p.MixCode < 2) p.MixCode = 2;
    p.MixCode -= 1;
  }
  if (v < p.Setpoint[3] && p.MixerRpm < p.po2mixcoderightzone) {
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
  p.MixRampCode = static_cast<std::uint16_t>(p.MixRampCode + p.RestartDeltaCode);
  if (p.MixCode > p.MixRampCode) {
    SetMixerCode(p, p.MixRampCode);
  } else {
    p.MixRampCode = p.MixCode;
    SetMixerCode(p, p.MixCode);
    p.MixRampActive = 0;
  }
}

void ResumeMixerOnLinkReturn(TVortaProcess& p) {
  if (p.Mixer == nullptr) return;
  const bool ok = p.Mixer->LinkOK();
  const bool returned = ok && !p.MixerLinkSeen;
  p.MixerLinkSeen = ok;
  if (!returned || !p.MixerShouldRun) return;
  // The same commands again: a drive that kept them is not disturbed, and
  // the soft start, if still running, goes on from where it was.
  p.Mixer->Start();
  SetMixerCode(p, p.MixRampActive != 0 ? p.MixRampCode : p.MixCode);
}

bool StirrerStandsStill(TVortaProcess& p, double now) {
  double& since = p.AlarmTrack.StirrerStillSince;
  // A speed that reads as 0 rpm at the stirrer (through Reduction) is no order
  // to turn; a silent drive is its own alarm, and its speed is old.
  const double expected = p.MixerSpeedSent / p.Reduction;
  const bool still = p.Mixer != nullptr && p.MixerShouldRun && p.Mixer->LinkOK() &&
                     std::isfinite(expected) && RoundHalfEven(std::abs(expected)) >= 1 &&
                     p.MixerRpm == 0;
  if (!still) {
    since = 0;
    return false;
  }
  if (since == 0) since = now;
  return (now - since) / OneSecond >= p.AlarmSettings.StirrerGrace;
}

}  // namespace vorta
