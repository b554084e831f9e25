#include "app/HeadlessStatus.h"

#include "platform/Numbers.h"
#include "process/ProcessRecord.h"

namespace vorta {

QString StatusLine(const TVortaProcess& p) {
  static const char* const kNames[] = {"", "pH", "t°C", "pO2", "eH"};
  QString line = p.Caption();
  for (int ch = 1; ch <= 4; ++ch) {
    line += QStringLiteral(" | %1 %2/%3")
                .arg(QString::fromUtf8(kNames[ch]), FormatFixed(p.CurrentValue[ch], 2),
                     FormatFixed(p.Setpoint[ch], 2));
  }
  line += QStringLiteral(" | %1 rpm").arg(p.MixerRpm);
  const QString mode = p.Mode < 4 ? p.ModeName[p.Mode] : QStringLiteral("?");
  line += QStringLiteral(" | ") + mode;
  line += QStringLiteral(" | ") + p.PanelState.StatusText[3];
  return line;
}

}  // namespace vorta
