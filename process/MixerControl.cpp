// pO2 by stirrer speed, the speed code sent to the drive, and the soft start.

#include <cmath>

#include "devices/CANDevices.h"
#include "panel/ProcessConfig.h"
#include "platform/Numbers.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"

namespace vorta {

void SetMixerCode(TVortaProcess& p, std::uint16_t code) {
  if (p.Mixer == nullptr) return;
  p.Mixer->SetSpeed(static_cast<std::int32_t>(RoundHalfEven(code * double(p.MixSet) / 255)));
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

}  // namespace vorta
