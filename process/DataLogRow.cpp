// One data log row: appended whole or not at all, the file read-only between
// writes, recreated with its header when it has gone.

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>

#include "devices/CANDevices.h"
#include "journal/Journal.h"
#include "platform/FileAttributes.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
#include "platform/RealTimerService.h"
#include "platform/SafeFile.h"
#include "platform/TimerService.h"
#include "process/DataLog.h"
#include "process/DataLogColumns.h"
#include "process/OutputChannels.h"
#include "process/ProcessCycles.h"
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

// Appends the row with one write; the file never holds half a row. A file
// that has gone is started again with its header, in the same write.
bool AppendRow(const TVortaProcess& p, const QByteArray& row, QString* error) {
  if (const QString special = NotARegularFile(p.ProtocolFileName); !special.isEmpty()) {
    *error = special;
    return false;
  }
  if (FileExists(p.ProtocolFileName)) return AppendWhole(p.ProtocolFileName, row, error);
  return AppendWhole(p.ProtocolFileName, (LogHeaderLine(p) + QStringLiteral("\r\n")).toUtf8() + row,
                     error);
}

}  // namespace

QString LogRowText(const TVortaProcess& p, const QDateTime& when, const QLocale& locale) {
  return RowWithDrive(p, when, locale, ReadDrive(p));
}

void WriteLogRow(TVortaProcess& p) {
  SetReadOnly(p.ProtocolFileName, false);
  ToggleHeartbeat(p);
  const TDriveFields drive = ReadDrive(p);
  const QDateTime now = FromSystemDateTime(p.Env.Time.Now());
  const QByteArray row =
      (RowWithDrive(p, now, QLocale::system(), drive) + QStringLiteral("\r\n")).toUtf8();

  QString error;
  const bool ok = AppendRow(p, row, &error);
  SetReadOnly(p.ProtocolFileName, true);
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
    p.LogRowsLost.Add(p.Env.Time.Now());
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

}  // namespace vorta
