#include "app/HeadlessStatus.h"

#include "platform/Numbers.h"
#include "process/ProcessRecord.h"

namespace vorta {

QString StatusLine(const TVortaProcess& p) {
  static const char* const kNames[] = {"", "pH", "t°C", "pO2", "eH"};
  QString line = p.Caption();
  for (int ch = 1; ch <= 4; ++ch) {
    line += QStringLiteral(" | %1 %2/%3")
                .arg(QString::fromUtf8(kNames[ch]), FormatFixed(p.Channel[ch].Value, 2),
                     FormatFixed(p.Channel[ch].Config.Setpoint, 2));
  }
  line += QStringLiteral(" | %1 rpm").arg(p.MixerRpm);
  const auto m = static_cast<size_t>(p.Mode);
  const QString mode = m < 4 ? p.ModeName[m] : QStringLiteral("?");
  line += QStringLiteral(" | ") + mode;
  line += QStringLiteral(" | ") + p.PanelState.StatusText[3];
  return line;
}

}  // namespace vorta
