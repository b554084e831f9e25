#include "process/OutputChannels.h"

#include <algorithm>
#include <array>

#include "devices/CANMixer.h"
#include "devices/IoModule.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

// Common-pump links are followed one level deep per call chain; a chain that
// leads back to a process already switching its pump is cut here, so that a
// looped configuration cannot recurse without end.
int gLinkDepth = 0;
constexpr int kMaxLinkDepth = 12;

}  // namespace

void SetOutput(TVortaProcess& process, int number, bool on) {
  const int n = static_cast<std::uint8_t>(number);
  if (n < 1 || n > 16) return;
  const auto bit = static_cast<std::uint16_t>(1U << (n - 1));
  if (on) {
    process.OutputWord |= bit;
  } else {
    process.OutputWord &= static_cast<std::uint16_t>(~bit);
  }
  if (process.Board != nullptr) process.Board->SetOutputs(process.OutputWord);

  if (n > 11) return;
  const std::uint8_t link = process.OutputChannels[static_cast<size_t>(n)].ChPump;
  TVortaProcessList* list = process.Env.Processes;
  if (link == 0 || list == nullptr || gLinkDepth >= kMaxLinkDepth) return;
  const int pos = list->FindProcess(QString::number(link));
  if (pos < 0) return;
  ++gLinkDepth;
  ShareCommonPump(*list->ProcessAt(pos), QString::number(process.Config.NumProcess), on);
  --gLinkDepth;
}

void ShareCommonPump(TVortaProcess& target, const QString& requester, bool on) {
  TVortaProcessList* list = target.Env.Processes;
  if (target.Config.CommonPump == 0 || list == nullptr) return;
  const int p = list->FindProcess(requester);
  if (p < 0) return;
  // Only twelve requesters are recorded; later list positions are ignored.
  if (p < static_cast<int>(target.CommonPumpRequest.size())) {
    target.CommonPumpRequest[static_cast<size_t>(p)] = on ? 1 : 0;
  }
  const bool any = std::any_of(target.CommonPumpRequest.begin(), target.CommonPumpRequest.end(),
                               [](std::uint8_t r) { return r != 0; });
  SetOutput(target, target.Config.CommonPump, any);
}

void SetStartUpOutputs(TVortaProcess& process) {
  const TProcessFileConfig& config = process.Config;
  SetPumpPower(process, 200);
  SetOutput(process, 15, config.PumpTypeDorvex != 0);
  const std::array<std::uint16_t, 4> codes{config.PumpCode1, config.PumpCode2, config.PumpCode3,
                                           config.PumpCode4};
  for (int k = 1; k <= 4; ++k) {
    SetPumpCode(process, k, static_cast<std::uint8_t>(codes[static_cast<size_t>(k - 1)]));
  }
  process.OutputWord &= 0xF800;
  if (process.Board != nullptr) process.Board->SetOutputs(process.OutputWord);
  SetOutput(process, 12, process.FoamLevelOut12 != 0);
  SetOutput(process, 13, process.FoamLevelOut13 != 0);
}

void StopChannelPulse(TVortaProcess& process, int ch) {
  if (ch < 1 || ch > 5) return;
  if (process.Channel[ch].Config.CtrlOutUp != 0)
    SetOutput(process, process.Channel[ch].Config.CtrlOutUp, false);
  if (process.Channel[ch].Config.CtrlOutDown != 0)
    SetOutput(process, process.Channel[ch].Config.CtrlOutDown, false);
  process.Channel[ch].PulseLength = 0;
  process.Channel[ch].PulseActive = 0;
}

void ToggleHeartbeat(TVortaProcess& process) {
  SetOutput(process, 16, process.HeartbeatState != 0);
  process.HeartbeatState = process.HeartbeatState != 0 ? 0 : 1;
}

void PulseTick(TPulseGenerator& generator) {
  if (generator.Owner == nullptr) return;
  generator.Count += 1;
  if (generator.Count == generator.Period) {
    SetOutput(*generator.Owner, generator.Ch, true);
    generator.Count = 0;
    if (generator.Aperiod == 1) generator.State = 1;
  }
  if (generator.Count == generator.Work) SetOutput(*generator.Owner, generator.Ch, false);
}

void SetPumpPower(TVortaProcess& process, std::uint8_t value) {
  SetOutput(process, 14, true);
  if (process.Board != nullptr) process.Board->SetOutputByte(26, value);
}

void SetPumpCode(TVortaProcess& process, int k, std::uint8_t code) {
  if (process.Board != nullptr) process.Board->SetOutputByte(26 + k, code);
}

void StartMixer(TVortaProcess& process) {
  if (process.Mixer != nullptr) process.Mixer->Start();
  process.MixerShouldRun = true;
  process.MixRampActive = 1;
  process.MixRampCode = static_cast<std::uint16_t>(process.MixRampStart);
}

}  // namespace vorta
