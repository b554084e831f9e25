// The data log: one row appended whole or not at all, the file read-only
// between writes, recreated with its header when it has gone; the header line,
// a row cut short by a kill, and the last row read back at a start.

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <algorithm>

#include "devices/CANMixer.h"
#include "journal/Journal.h"
#include "platform/FolderFiles.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/RealTimerService.h"
#include "platform/SafeFile.h"
#include "platform/TimerService.h"
#include "process/DataLog.h"
#include "process/DataLogColumns.h"
#include "process/OutputChannels.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

QString Value4(double v) {
  return QStringLiteral("%1").arg(FormatFixed(v, 2), 4);
}

struct TDriveFields {
  QString Current;
  QString Status;
};

TDriveFields ReadDrive(const TVortaProcess& p) {
  if (p.Mixer == nullptr) return {};
  return {QString::number(p.Mixer->GetCurrent()), FormatHex4(p.Mixer->GetStatus())};
}

QString RowWithDrive(const TVortaProcess& p, const QDateTime& when, const QLocale& locale,
                     const TDriveFields& drive) {
  QStringList f;
  f << locale.toString(when.date(), QLocale::ShortFormat).left(6);
  const QTime t = when.time();
  f << QStringLiteral("%1:%2:%3").arg(t.hour()).arg(t.minute()).arg(t.second());
  for (size_t ch = 1; ch <= kLogChannelColumns.size(); ++ch) {
    f << Value4(p.Channel[ch].Minute.Avg) << Value4(p.Channel[ch].Config.Setpoint);
  }
  for (size_t n = 1; n <= kLogOutputColumns; ++n) {
    f << QStringLiteral("%1").arg(FormatFixed(p.OutputTicks[n] / 25.0 * p.Config.kdurwind, 2), 2);
  }
  f << QString::number(p.MixerRpm) << drive.Current << drive.Status;
  // Without a module the panel never leaves its initial text.
  f << (p.Board != nullptr ? p.PanelState.StatusText[3] : QStringLiteral("Net   "));
  f << LogModeName(ModeIndex(p.Mode));
  return f.join(u'\t');
}

// What every write of the data log keeps to: read-only between rows, the
// header first in a file that has gone, and rows only into the file written
// before (a link or another file put in its place gets none).
TAppendRules LogRules(TVortaProcess& p) {
  TAppendRules rules;
  rules.HeaderWhenNew = (LogHeaderLine(p) + QStringLiteral("\r\n")).toUtf8();
  rules.ReadOnlyBetween = true;
  rules.Identity = &p.LogIdentity;
  return rules;
}

// Appends the row with one write; the file never holds half a row. A file
// that has gone is started again with its header, in the same write.
bool AppendRow(TVortaProcess& p, const QByteArray& row, QString* error) {
  return AppendAt(p.ProtocolFileName, p.Env.Program.Folder.get(), row, LogRules(p), error);
}

}  // namespace

QString LogRowText(const TVortaProcess& p, const QDateTime& when, const QLocale& locale) {
  return RowWithDrive(p, when, locale, ReadDrive(p));
}

void WriteLogRow(TVortaProcess& p) {
  // The read-only attribute is lifted and put back on the open file itself.
  ToggleHeartbeat(p);
  const TDriveFields drive = ReadDrive(p);
  const QDateTime now = FromSystemDateTime(p.Env.Time.Now());
  const QByteArray row =
      (RowWithDrive(p, now, QLocale::system(), drive) + QStringLiteral("\r\n")).toUtf8();

  QString error;
  const bool ok = AppendRow(p, row, &error);
  if (ok) {
    p.LogWriteFailed = false;
    if (p.LogRowsLost.Count > 0 && p.Env.Journal != nullptr) {
      // Told once writing works again: how many rows are missing, and when.
      TJournalEntry lost;
      lost.Vessel = p.Config.NumProcess;
      lost.VesselName = p.Caption();
      lost.Kind = TJournalKind::Program;
      lost.Subject = kLogRowsLostSubject;
      lost.OldValue = p.LogRowsLost.Span();
      lost.NewValue = QString::number(p.LogRowsLost.Count);
      lost.Source = TJournalSource::Engine;
      p.Env.Journal->Record(lost);
    }
    p.LogRowsLost = {};
  } else {
    p.LogRowsLost.Add(p.Env.Time.UtcMs());
    if (!p.LogWriteFailed) {
      p.LogWriteFailed = true;
      p.Env.Messages.ShowError(
          QCoreApplication::translate("vorta::DataLogRow",
                                      "Не удалось записать строку в файл протокола ") +
          p.ProtocolFileName + QStringLiteral(": ") + error);
    }
  }
  for (auto& ticks : p.OutputTicks) ticks = 0;
}

// The header line and the file around the rows.

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

bool CreateLogIfMissing(TVortaProcess& process) {
  if (!NotARegularFile(process.ProtocolFileName).isEmpty()) return false;
  // Appending nothing creates the file with its header, or takes the one
  // there as the vessel's log and gives it its read-only attribute back.
  QString error;
  return AppendAt(process.ProtocolFileName, process.Env.Program.Folder.get(), QByteArray(),
                  LogRules(process), &error);
}

bool CloseCutLogRow(TVortaProcess& process) {
  const int last = LastByte(process.ProtocolFileName);
  if (last < 0 || last == '\n') return true;
  QString error;
  // Only the missing line end is added; the cut row's bytes stay as they are.
  TAppendRules rules = LogRules(process);
  rules.HeaderWhenNew.clear();
  return AppendAt(process.ProtocolFileName, process.Env.Program.Folder.get(),
                  last == '\r' ? QByteArray("\n") : QByteArray("\r\n"), rules, &error);
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
