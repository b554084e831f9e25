#include <QFile>

#include "platform/FileAttributes.h"
#include "process/DataLog.h"
#include "process/ProcUnit.h"

namespace vorta {

namespace {
const char* const kModeAbbreviations[] = {"Unctr", "Butch", "Chemo", "Turbi"};
}

QString LogHeaderLine(const TVortaProcess& process) {
  QString line = QStringLiteral("Date\tTime\tpH\tSetpH\ttC\tSettC\tpO2\tSetpO\teH\tSeteH\t");
  for (int n = 1; n <= 7; ++n) {
    if (n > 1) line += u'\t';
    line += process.Channels[static_cast<size_t>(n)].ChName;
  }
  line += QStringLiteral("\tMixRpm\tMix I(mA)\tMix Status\tNet\tMode");
  return line;
}

bool CreateLogIfMissing(const TVortaProcess& process) {
  const QString& path = process.ProtocolFileName;
  if (FileExists(path)) return true;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = (LogHeaderLine(process) + QStringLiteral("\r\n")).toUtf8();
  const bool ok = f.write(bytes) == bytes.size() && f.flush();
  f.close();
  SetReadOnly(path, true);
  return ok;
}

QString StripToMode(const QString& line) {
  // The positions are added as an 8-bit sum: a token beyond character 255
  // is not recognised.
  std::uint8_t sum = 0;
  for (const char* token : kModeAbbreviations) {
    sum = static_cast<std::uint8_t>(sum + line.indexOf(QLatin1String(token)) + 1);
  }
  if (sum == 0) return {};
  return line.mid(sum - 1);
}

int ModeFromAbbreviation(const QString& text) {
  for (int m = 0; m < 4; ++m) {
    if (text == QLatin1String(kModeAbbreviations[m])) return m;
  }
  return -1;
}

}  // namespace vorta
