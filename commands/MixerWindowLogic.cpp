// The mixer window's engine side.

#include "commands/MixerWindowLogic.h"

#include <QCoreApplication>
#include <cmath>

#include "commands/JournalChanges.h"
#include "devices/CANMixer.h"
#include "platform/Numbers.h"
#include "process/MixerControl.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {
constexpr std::uint16_t kMinCode = 1;
constexpr std::uint16_t kMaxCode = 255;

// Each step goes to the drive at once, so each one is a change of its own.
void CodeChanged(TVortaProcess& p, std::uint16_t before) {
  RecordChange(p, QStringLiteral("[Mixer] MixCode"), QString::number(before),
               QString::number(p.MixCode), TJournalSource::Button);
  p.PanelState.MixerView.CodeText = QString::number(p.MixCode);
  SetMixerCode(p, p.MixCode);
}
}  // namespace

QString MixerCaption(const TVortaProcess& p) {
  return p.Caption() + QStringLiteral(" - ") +
         QCoreApplication::translate("vorta::MixerWindowLogic", "Миксер");
}

void MixerWindowOpened(TVortaProcess& p) {
  TMixerViewState& m = p.PanelState.MixerView;
  m.CodeText = QString::number(p.MixCode);
  m.SpeedText = QString::number(p.MixerRpm);
  m.SimpleText = p.Mixer == nullptr
                     ? QCoreApplication::translate("vorta::MixerWindowLogic", "Миксер не задан!")
                     : QString();
}

void MixSpinUp(TVortaProcess& p) {
  const std::uint16_t before = p.MixCode;
  // A code from the file outside 1..255 steps into the range too.
  p.MixCode = p.MixCode >= kMaxCode ? kMinCode : static_cast<std::uint16_t>(p.MixCode + 1);
  CodeChanged(p, before);
}

void MixSpinDown(TVortaProcess& p) {
  const std::uint16_t before = p.MixCode;
  p.MixCode = (p.MixCode <= kMinCode || p.MixCode > kMaxCode)
                  ? kMaxCode
                  : static_cast<std::uint16_t>(p.MixCode - 1);
  CodeChanged(p, before);
}

std::optional<int> MixCodeForRpm(const TVortaProcess& p, double rpm) {
  const double perCode = double(p.Config.MixSet) / kMaxCode / p.Config.Reduction;
  if (!std::isfinite(perCode) || perCode <= 0 || !std::isfinite(rpm)) return std::nullopt;
  const double code = rpm / perCode;
  if (std::abs(code) > 1e6) return static_cast<int>(std::copysign(1e6, code));
  return static_cast<int>(RoundHalfEven(code));
}

double RpmForMixCode(const TVortaProcess& p, int code) {
  return code * double(p.Config.MixSet) / kMaxCode / p.Config.Reduction;
}

void SetMixCode(TVortaProcess& p, std::uint16_t code) {
  const std::uint16_t before = p.MixCode;
  p.MixCode = code;
  CodeChanged(p, before);
  p.SaveRequest.Add(TWriteBackGroup::MixerCode);
}

// The drive's running state is not known here, so a press is recorded as
// the command it is.
void StartMixerClick(TVortaProcess& p) {
  RecordChange(p, QStringLiteral("Миксер"), QString(), QStringLiteral("Старт"),
               TJournalSource::Button);
  StartMixer(p);
}

void StopMixerClick(TVortaProcess& p) {
  RecordChange(p, QStringLiteral("Миксер"), QString(), QStringLiteral("Стоп"),
               TJournalSource::Button);
  if (p.Mixer != nullptr) p.Mixer->Stop();
  p.MixerShouldRun = false;
}

void MixerWindowClosed(TVortaProcess& p, int left, int top) {
  p.SaveRequest.Add(TWriteBackGroup::MixerCode);
  p.MixTop = top;
  p.MixLeft = left;
}

}  // namespace vorta
