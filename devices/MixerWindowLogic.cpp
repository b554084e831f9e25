// The mixer window's engine side.

#include "devices/MixUnit.h"
#include "devices/uSUABB.h"
#include "process/OutputChannels.h"
#include "process/ProcUnit.h"
#include "process/ProcessCycles.h"

namespace vorta {

namespace {
constexpr std::uint16_t kMinCode = 1;
constexpr std::uint16_t kMaxCode = 255;
constexpr std::int16_t kSaveRequestMixCode = 2;

void CodeChanged(TVortaProcess& p) {
  p.PanelState.MixerView.CodeText = QString::number(p.MixCode);
  SetMixerCode(p, p.MixCode);
}
}  // namespace

QString MixerCaption(const TVortaProcess& p) {
  return p.Caption() + QStringLiteral(" - ") + QStringLiteral("Миксер");
}

void MixFormCreate(TVortaProcess& p) {
  TMixerViewState& m = p.PanelState.MixerView;
  m.CodeText = QString::number(p.MixCode);
  m.SpeedText = QString::number(p.MixerRpm);
  m.SimpleText = p.Mixer == nullptr ? QStringLiteral("Миксер не задан!") : QString();
  p.MixFormOpen = 1;
}

void MixSpinUp(TVortaProcess& p) {
  // A code from the file outside 1..255 steps into the range too.
  p.MixCode = p.MixCode >= kMaxCode ? kMinCode : static_cast<std::uint16_t>(p.MixCode + 1);
  CodeChanged(p);
}

void MixSpinDown(TVortaProcess& p) {
  p.MixCode = (p.MixCode <= kMinCode || p.MixCode > kMaxCode)
                  ? kMaxCode
                  : static_cast<std::uint16_t>(p.MixCode - 1);
  CodeChanged(p);
}

void MixStartClick(TVortaProcess& p) {
  StartMixer(p);
}

void MixStopClick(TVortaProcess& p) {
  if (p.Mixer != nullptr) p.Mixer->Stop();
}

void MixFormClose(TVortaProcess& p, int left, int top) {
  p.SaveRequest = kSaveRequestMixCode;
  p.MixFormOpen = 0;
  p.MixTop = top;
  p.MixLeft = left;
}

}  // namespace vorta
