#include <QFile>
#include <algorithm>

#include "platform/FileAttributes.h"
#include "process/DataLog.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {
const char* const kModeAbbreviations[] = {"Unctr", "Butch", "Chemo", "Turbi"};
// A row is about 150 bytes; a longer last line is not a row.
constexpr qint64 kTailBytes = qint64{64} * 1024;
}  // namespace

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
  if (FileExists(path)) {
    if (!IsReadOnly(path)) SetReadOnly(path, true);
    return true;
  }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = (LogHeaderLine(process) + QStringLiteral("\r\n")).toUtf8();
  const bool ok = f.write(bytes) == bytes.size() && f.flush();
  f.close();
  SetReadOnly(path, true);
  return ok;
}

std::optional<QString> ReadLastLogLine(const QString& path) {
  QFile log(path);
  if (!log.open(QIODevice::ReadOnly)) return std::nullopt;
  const qint64 size = log.size();
  const qint64 from = std::max<qint64>(0, size - kTailBytes);
  if (!log.seek(from)) return QString();
  QByteArray tail = log.read(size - from);
  // A final line end closes the last line; it does not start an empty one.
  if (tail.endsWith('\n')) tail.chop(1);
  const qsizetype lineStart = tail.lastIndexOf('\n');
  if (lineStart < 0 && from > 0) return QString();
  QByteArray line = tail.mid(lineStart + 1);
  while (line.endsWith('\r') || line.endsWith('\n')) line.chop(1);
  return QString::fromUtf8(line);
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
