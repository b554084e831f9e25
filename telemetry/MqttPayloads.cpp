#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "platform/RealTimerService.h"
#include "process/Journal.h"
#include "process/JournalFormat.h"
#include "process/ProcessCycles.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"

namespace vorta {

namespace {
const char* const kChannelNames[] = {"pH", "t°C", "pO2", "eH"};
const char* const kModeNames[] = {"Unctr", "Butch", "Chemo", "Turbi"};

QByteArray Compact(const QJsonObject& o) {
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonValue Number(double v) {
  return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}
}  // namespace

QByteArray StateJson(const TVortaProcess& p, double now) {
  QJsonObject o;
  o[QLatin1String("time")] = LocalTimeWithOffset(now);
  o[QLatin1String("vessel")] = p.NumProcess;
  o[QLatin1String("name")] = p.Caption();
  const int mode = ModeIndex(p.Mode);
  o[QLatin1String("mode")] = mode;
  o[QLatin1String("modeName")] = QLatin1String(kModeNames[mode]);
  o[QLatin1String("link")] = p.PanelState.StatusText[3].trimmed();
  o[QLatin1String("rpm")] = p.MixerRpm;
  o[QLatin1String("outputs")] = p.OutputWord;
  QJsonArray channels;
  for (size_t ch = 1; ch <= 4; ++ch) {
    QJsonObject c;
    c[QLatin1String("name")] = QString::fromUtf8(kChannelNames[ch - 1]);
    c[QLatin1String("value")] =
        p.ReadingInvalid[ch] != 0 ? QJsonValue() : Number(p.CurrentValue[ch]);
    c[QLatin1String("setpoint")] = Number(p.Setpoint[ch]);
    c[QLatin1String("status")] = p.CtrlStatus[ch];
    channels.append(c);
  }
  o[QLatin1String("channels")] = channels;
  return Compact(o);
}

QByteArray MinuteJson(std::int32_t vessel, const QStringList& header, const QByteArray& row) {
  static const QStringList kTexts{QStringLiteral("Date"), QStringLiteral("Time"),
                                  QStringLiteral("Mix Status"), QStringLiteral("Net"),
                                  QStringLiteral("Mode")};
  QJsonObject o;
  o[QLatin1String("vessel")] = vessel;
  const QStringList fields = QString::fromUtf8(row).split(u'\t');
  for (qsizetype i = 0; i < fields.size(); ++i) {
    const QString name = i < header.size() ? header[i] : QStringLiteral("field%1").arg(i + 1);
    const QString text = fields[i].trimmed();
    bool ok = false;
    const double v = text.toDouble(&ok);
    o[name] = ok && !kTexts.contains(name) ? QJsonValue(v) : QJsonValue(text);
  }
  return Compact(o);
}

QByteArray JournalJson(const QStringList& header, const QByteArray& line, std::int32_t* vessel,
                       bool* alarm) {
  *vessel = 0;
  *alarm = false;
  // What a kill left of a line is no record.
  QString columns;
  QString chain;
  if (!SplitJournalLine(QString::fromUtf8(line), &columns, &chain)) return {};
  QJsonObject o;
  const QStringList fields = QString::fromUtf8(line).split(u'\t');
  for (qsizetype i = 0; i < fields.size(); ++i) {
    const QString name = i < header.size() ? header[i] : QStringLiteral("field%1").arg(i + 1);
    const QString text = UnescapeJournalField(fields[i]);
    if (name == QLatin1String("Vessel")) {
      *vessel = text.toInt();
      o[name] = text.isEmpty() ? QJsonValue() : QJsonValue(*vessel);
      continue;
    }
    if (name == QLatin1String("Kind")) {
      *alarm = text == JournalKindText(TJournalKind::Alarm) ||
               text == JournalKindText(TJournalKind::AlarmCleared) ||
               text == JournalKindText(TJournalKind::Acknowledged);
    }
    o[name] = text;
  }
  return Compact(o);
}

}  // namespace vorta
