#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <map>
#include <optional>

#include "platform/RealTimerService.h"
#include "telemetry/MqttHistory.h"
#include "telemetry/MqttPayloads.h"

namespace vorta {

namespace {
constexpr std::size_t kColumnCount = 9;
const char* const kColumns[kColumnCount] = {"pH",    "SetpH", "tC",    "SettC", "pO2",
                                            "SetpO", "eH",    "SeteH", "MixRpm"};
// Runs shorter than this are written out: "5,5" is shorter than "[5,2]".
constexpr std::size_t kShortestRun = 3;
// Beyond this a number is no reading, and its hundredths would not fit.
constexpr double kLargest = 1e12;

using TColumn = std::vector<std::optional<qint64>>;

struct TRow {
  qint64 Time = 0;
  std::array<std::optional<qint64>, kColumnCount> Values;
};

void AppendRun(QJsonArray* out, const QJsonValue& step, std::size_t n) {
  if (n >= kShortestRun) {
    out->append(QJsonArray{step, static_cast<qint64>(n)});
    return;
  }
  for (std::size_t k = 0; k < n; ++k) out->append(step);
}

// Each value as its step from the value before (from 0 at first); null where
// there is none, which leaves the value before as it was.
QJsonArray Steps(const TColumn& values) {
  QJsonArray out;
  qint64 last = 0;
  std::size_t i = 0;
  while (i < values.size()) {
    std::size_t j = i + 1;
    if (!values[i]) {
      while (j < values.size() && !values[j]) ++j;
      AppendRun(&out, QJsonValue(), j - i);
    } else {
      const qint64 step = *values[i] - last;
      last = *values[i];
      while (j < values.size() && values[j] && *values[j] - last == step) last = *values[j++];
      AppendRun(&out, QJsonValue(step), j - i);
    }
    i = j;
  }
  return out;
}

QByteArray PartJson(std::int32_t vessel, int slot, const std::vector<TRow>& rows) {
  TColumn times;
  for (const TRow& r : rows) times.emplace_back(r.Time);
  QJsonObject o;
  o[QLatin1String("vessel")] = vessel;
  o[QLatin1String("part")] = slot;
  o[QLatin1String("t")] = Steps(times);
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    TColumn column;
    for (const TRow& r : rows) column.push_back(r.Values[c]);
    o[QLatin1String(kColumns[c])] = Steps(column);
  }
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

}  // namespace

THistoryParts HistoryParts(std::int32_t vessel, const QStringList& header,
                           const std::vector<QByteArray>& rows, double now) {
  const qsizetype dateAt = header.indexOf(QStringLiteral("Date"));
  const qsizetype timeAt = header.indexOf(QStringLiteral("Time"));
  std::array<qsizetype, kColumnCount> at{};
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    at[c] = header.indexOf(QLatin1String(kColumns[c]));
  }
  const qint64 until = FromSystemDateTime(now).toSecsSinceEpoch();
  const qint64 from = until - qint64{24} * 3600;
  // By the hour since 1970; a clock set back puts its rows to their hour.
  std::map<qint64, std::vector<TRow>> hours;
  for (const QByteArray& line : rows) {
    const QStringList fields = QString::fromUtf8(line).split(u'\t');
    if (dateAt < 0 || timeAt < 0 || dateAt >= fields.size() || timeAt >= fields.size()) continue;
    const QDateTime moment = LogRowMoment(fields[dateAt].trimmed(), fields[timeAt].trimmed(), now);
    if (!moment.isValid()) continue;
    TRow row;
    row.Time = moment.toSecsSinceEpoch();
    if (row.Time < from || row.Time > until) continue;
    for (std::size_t c = 0; c < kColumnCount; ++c) {
      if (at[c] < 0 || at[c] >= fields.size()) continue;
      bool ok = false;
      const double v = fields[at[c]].trimmed().toDouble(&ok);
      if (ok && std::isfinite(v) && std::abs(v) < kLargest) row.Values[c] = std::llround(v * 100);
    }
    hours[row.Time / 3600].push_back(row);
  }
  THistoryParts out;
  QJsonArray index;
  for (auto& [hour, hourRows] : hours) {
    const int slot = static_cast<int>(hour % kHistorySlots);
    QByteArray part = PartJson(vessel, slot, hourRows);
    // Rows far more often than a minute, or numbers that change wildly:
    // every second row, the newest kept, until the part is fast again.
    while (part.size() > kHistoryPartBytes && hourRows.size() > 1) {
      std::vector<TRow> kept;
      for (std::size_t i = (hourRows.size() - 1) % 2; i < hourRows.size(); i += 2) {
        kept.push_back(hourRows[i]);
      }
      hourRows = std::move(kept);
      part = PartJson(vessel, slot, hourRows);
    }
    out.Parts[static_cast<std::size_t>(slot)] = part;
    index.append(slot);
  }
  QJsonObject o;
  o[QLatin1String("vessel")] = vessel;
  o[QLatin1String("parts")] = index;
  out.Index = QJsonDocument(o).toJson(QJsonDocument::Compact);
  return out;
}

}  // namespace vorta
