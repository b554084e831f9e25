#include <QFile>
#include <algorithm>

#include "platform/FileAttributes.h"
#include "platform/SafeFile.h"
#include "process/DataLog.h"
#include "process/DataLogColumns.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {
// A row is about 150 bytes; a longer last line is not a row.
constexpr qint64 kTailBytes = qint64{64} * 1024;
}  // namespace

QString LogHeaderLine(const TVortaProcess& process) {
  QStringList columns{QLatin1String(kLogDateColumn), QLatin1String(kLogTimeColumn)};
  for (const TLogChannelColumns& c : kLogChannelColumns) {
    columns << QLatin1String(c.Value) << QLatin1String(c.Setpoint);
  }
  for (std::size_t n = 1; n <= kLogOutputColumns; ++n) columns << process.OutputChannels[n].ChName;
  columns << QLatin1String(kLogMixRpmColumn) << QLatin1String(kLogMixCurrentColumn)
          << QLatin1String(kLogMixStatusColumn) << QLatin1String(kLogNetColumn)
          << QLatin1String(kLogModeColumn);
  return columns.join(u'\t');
}

bool CreateLogIfMissing(const TVortaProcess& process) {
  const QString& path = process.ProtocolFileName;
  if (!NotARegularFile(path).isEmpty()) return false;
  if (FileExists(path)) {
    if (!IsReadOnly(path)) SetReadOnly(path, true);
    return true;
  }
  QString error;
  const bool ok =
      AppendWhole(path, (LogHeaderLine(process) + QStringLiteral("\r\n")).toUtf8(), &error);
  SetReadOnly(path, true);
  return ok;
}

bool CloseCutLogRow(const QString& path) {
  const int last = LastByte(path);
  if (last < 0 || last == '\n') return true;
  const bool wasReadOnly = IsReadOnly(path);
  SetReadOnly(path, false);
  QString error;
  // Only the missing line end is added; the cut row's bytes stay as they are.
  const bool ok = AppendWhole(path, last == '\r' ? QByteArray("\n") : QByteArray("\r\n"), &error);
  if (wasReadOnly) SetReadOnly(path, true);
  return ok;
}

std::optional<QString> ReadLastLogLine(const QString& path) {
  if (!NotARegularFile(path).isEmpty()) return std::nullopt;
  QFile log(path);
  if (!log.open(QIODevice::ReadOnly)) return std::nullopt;
  const qint64 size = log.size();
  const qint64 from = std::max<qint64>(0, size - kTailBytes);
  if (!log.seek(from)) return QString();
  QByteArray tail = log.read(size - from);
  // Only a row with its line end is whole: what follows the last line end
  // is a row a kill cut short.
  const qsizetype end = tail.lastIndexOf('\n');
  if (end < 0) return QString();
  tail.truncate(end);
  const qsizetype lineStart = tail.lastIndexOf('\n');
  if (lineStart < 0 && from > 0) return QString();
  QByteArray line = tail.mid(lineStart + 1);
  while (line.endsWith('\r')) line.chop(1);
  return QString::fromUtf8(line);
}

QString StripToMode(const QString& line) {
  // The positions are added as an 8-bit sum: a token beyond character 255
  // is not recognised.
  std::uint8_t sum = 0;
  for (const char* token : kLogModeNames) {
    sum = static_cast<std::uint8_t>(sum + line.indexOf(QLatin1String(token)) + 1);
  }
  if (sum == 0) return {};
  return line.mid(sum - 1);
}

int ModeFromAbbreviation(const QString& text) {
  for (int m = 0; m < static_cast<int>(kLogModeNames.size()); ++m) {
    if (text == LogModeName(m)) return m;
  }
  return -1;
}

}  // namespace vorta
