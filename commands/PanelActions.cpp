#include "commands/PanelActions.h"

#include <QCoreApplication>
#include <algorithm>

#include "commands/JournalChanges.h"
#include "devices/CANMixer.h"
#include "devices/IoModule.h"
#include "platform/Numbers.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"

namespace vorta {

int ManualButtonOutput(const TVortaProcess& p, int k) {
  std::int32_t field = 0;
  switch (k) {
    case 1:
      field = p.Channel[1].Config.CtrlOutDown;
      break;
    case 2:
      field = p.Channel[1].Config.CtrlOutUp;
      break;
    case 3:
      field = p.Config.spumech;
      break;
    case 4:
      field = p.Channel[3].Config.CtrlOutUp;
      break;
    case 5:
      field = p.Channel[3].Config.CtrlOutDown;
      break;
    case 6:
      field = p.Channel[2].Config.CtrlOutDown;
      break;
    case 7:
      field = p.Channel[2].Config.CtrlOutUp;
      break;
    default:
      return 0;
  }
  return field & 0xFF;
}

bool OutputShownOn(const TVortaProcess& p, int n) {
  if (n >= 1 && n <= 8) {
    const std::uint8_t mask = p.Config.OutputMask[static_cast<size_t>(n)];
    // An empty mask would read as "always on"; a button with no output
    // behind it must not look switched on.
    return mask != 0 && (p.OutputWord & mask) == mask;
  }
  if (n >= 9 && n <= 16) return (p.OutputWord & (1U << (n - 1))) != 0;
  return false;
}

bool VizOutput(TVortaProcess& p) {
  bool changed = false;
  for (int k = 1; k <= kManualButtons; ++k) {
    const std::uint8_t on = OutputShownOn(p, ManualButtonOutput(p, k)) ? 1 : 0;
    auto& entry = p.OutputChannels[static_cast<size_t>(k)];
    if (p.ManualState[static_cast<size_t>(k)] != on || entry.ChState != on) changed = true;
    p.ManualState[static_cast<size_t>(k)] = on;
    entry.ChState = on;
  }
  return changed;
}

void ManualButtonClick(TVortaProcess& p, int k) {
  if (k < 1 || k > kManualButtons) return;
  ToggleHeartbeat(p);
  auto& state = p.ManualState[static_cast<size_t>(k)];
  const int output = ManualButtonOutput(p, k);
  SetOutput(p, output, state == 0);
  RecordChange(p,
               QStringLiteral("Кнопка %1 «%2» (выход %3)")
                   .arg(k)
                   .arg(p.OutputChannels[static_cast<size_t>(k)].ChName)
                   .arg(output),
               OnOffText(state != 0), OnOffText(state == 0), TJournalSource::Button);
  state = state == 0 ? 1 : 0;
}

void ChangeMode(TVortaProcess& p, int mode, TJournalSource source) {
  if (mode < 0 || mode > 3) return;
  const auto modeText = [&p](int m) {
    const QString name = m >= 0 && m < 4 ? p.ModeName[static_cast<size_t>(m)] : QString();
    return (QString::number(m) + u' ' + name).trimmed();
  };
  RecordChange(p, QStringLiteral("[Mode] mode"), modeText(static_cast<int>(p.Mode)), modeText(mode),
               source);
  p.Mode = VesselMode(mode);
  p.SaveRequest.Add(TWriteBackGroup::Mode);
  p.OutputWord &= kModeKeepMask;
  if (p.Board != nullptr) p.Board->SetOutputs(p.OutputWord);
  // The 2-s tick writes this too; the operator sees the choice at once.
  p.PanelState.StatusText[2] = ModeStatusText(p, static_cast<size_t>(mode));
  p.PanelState.ShownMode = -1;
}

void ChangeProtocolPeriod(TVortaProcess& p, int minutes) {
  RecordChange(p, QStringLiteral("[Port] ProtocolPeriodmin"),
               QString::number(p.Config.ProtocolPeriodmin), QString::number(minutes),
               TJournalSource::Menu);
  p.Config.ProtocolPeriodmin = static_cast<std::uint16_t>(minutes);
  p.ProtocolCounter = 0;
  p.PanelState.ProtocolMenuChecked = minutes;
}

void LightButtonClick(TVortaProcess& p) {
  // A press while the light is on starts its time again: recorded as well.
  RecordChange(p, QStringLiteral("Свет (выход %1)").arg(p.Config.LightCh),
               OnOffText(OutputShownOn(p, p.Config.LightCh)),
               QStringLiteral("вкл на %1 с").arg(static_cast<int>(p.Config.LightTime) * 2),
               TJournalSource::Button);
  p.LightCountdown = p.Config.LightTime;
  SetOutput(p, p.Config.LightCh, true);
  // The 2-s tick turns it back to black when the countdown ends.
  p.PanelState.LightFontColor = kClYellow;
}

QString GridReal(double value) {
  return FormatFixed(value, 2).rightJustified(4, u' ');
}

std::uint16_t AdcMedian(const TVortaProcess& p, int ch) {
  if (ch < 1 || ch > 4) return 0;
  const auto& h = p.Channel[static_cast<size_t>(ch)].AdcHistory;
  std::array<std::uint16_t, 3> v{h[1], h[2], h[3]};
  std::sort(v.begin(), v.end());
  return v[1];
}

QString GridCellText(const TVortaProcess& p, int row, int col) {
  static const char* const kHeads[] = {"", "pH", "t°C", "pO2", "eH"};
  static const char* const kRows[] = {"",
                                      QT_TRANSLATE_NOOP("vorta::PanelActions", "Текущее"),
                                      QT_TRANSLATE_NOOP("vorta::PanelActions", "Уставка"),
                                      QT_TRANSLATE_NOOP("vorta::PanelActions", "Среднее"),
                                      "Min",
                                      "Max",
                                      "ADC"};
  if (row < 0 || row > 6 || col < 0 || col > 4) return {};
  if (row == 0) return QString::fromUtf8(kHeads[col]);
  if (col == 0) return QCoreApplication::translate("vorta::PanelActions", kRows[row]);
  const auto c = static_cast<size_t>(col);
  switch (row) {
    case 1:
      return GridReal(p.Channel[c].Value);
    case 2:
      return GridReal(p.Channel[c].Config.Setpoint);
    case 3:
      return GridReal(p.Channel[c].Minute.Avg);
    case 4:
      return GridReal(p.Channel[c].Minute.Min);
    case 5:
      return GridReal(p.Channel[c].Minute.Max);
    default:
      return QString::number(AdcMedian(p, col));
  }
}

namespace {
bool ModuleLive(const TVortaProcess& p) {
  return p.Board != nullptr && p.Board->LinkOK();
}
}  // namespace

bool ValueLive(const TVortaProcess& p, int ch) {
  if (ch == 5) return p.Mixer == nullptr || p.Mixer->LinkOK();
  if (ch < 1 || ch > 4) return false;
  return ModuleLive(p) && p.Channel[static_cast<size_t>(ch)].ReadingInvalid == 0;
}

bool GridCellStale(const TVortaProcess& p, int row, int col) {
  if (col < 1 || col > 4) return false;
  if (row == 1) return !ValueLive(p, col);
  return row == 6 && !ModuleLive(p);
}

}  // namespace vorta
