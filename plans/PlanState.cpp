#include "plans/PlanState.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/FolderFiles.h"
#include "platform/SafeFile.h"

namespace vorta {

namespace {

constexpr int kFormat = 1;

std::optional<TPlanRunState> StateOf(const QString& name) {
  for (TPlanRunState s : {TPlanRunState::Running, TPlanRunState::Paused, TPlanRunState::Held,
                          TPlanRunState::Finished, TPlanRunState::Stopped}) {
    if (PlanRunStateName(s) == name) return s;
  }
  return std::nullopt;
}

}  // namespace

QString PlanStateFileName(const QString& folder, int vessel) {
  return QDir(folder).filePath(QStringLiteral("VortaPlan%1.json").arg(vessel));
}

bool WritePlanState(const QString& path, const TPlanSnapshot& s, QString* error) {
  QJsonArray steps;
  for (const auto& [index, iteration] : s.Path) steps.append(QJsonArray{index, iteration});
  const QJsonObject o{
      {QStringLiteral("format"), kFormat},
      {QStringLiteral("file"), s.File},
      {QStringLiteral("sha256"), QString::fromLatin1(s.Hash)},
      {QStringLiteral("plan"), s.PlanName},
      {QStringLiteral("path"), steps},
      {QStringLiteral("state"), PlanRunStateName(s.State)},
      {QStringLiteral("step_began_utc_ms"), static_cast<double>(s.StepBeganUtcMs)},
      {QStringLiteral("paused_elapsed_ms"), static_cast<double>(s.PausedElapsedMs)},
      {QStringLiteral("alive_utc_ms"), static_cast<double>(s.AliveUtcMs)},
      {QStringLiteral("ramp_from"), s.RampFrom},
  };
  // Never through a link, and a crash leaves the old state or the new one.
  QString reason;
  if (!SaveWhole(path, nullptr, QJsonDocument(o).toJson(QJsonDocument::Indented), &reason)) {
    *error = QStringLiteral("%1: %2").arg(path, reason);
    return false;
  }
  return true;
}

std::optional<TPlanSnapshot> ReadPlanState(const QString& path, QString* error) {
  error->clear();
  if (!QFile::exists(path)) return std::nullopt;
  QString problem = NotARegularFile(path);
  QFile file(path);
  if (problem.isEmpty() && !file.open(QIODevice::ReadOnly)) problem = file.errorString();
  if (!problem.isEmpty()) {
    *error = problem;
    return std::nullopt;
  }
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(file.read(1 << 16), &parse);
  const QJsonObject o = doc.object();
  const auto state = StateOf(o.value(QStringLiteral("state")).toString());
  if (parse.error != QJsonParseError::NoError ||
      o.value(QStringLiteral("format")).toInt() != kFormat || !state) {
    *error = QStringLiteral("%1: не состояние плана").arg(path);
    return std::nullopt;
  }
  TPlanSnapshot s;
  s.File = o.value(QStringLiteral("file")).toString();
  s.Hash = o.value(QStringLiteral("sha256")).toString().toLatin1();
  s.PlanName = o.value(QStringLiteral("plan")).toString();
  for (const QJsonValue& v : o.value(QStringLiteral("path")).toArray()) {
    const QJsonArray pair = v.toArray();
    s.Path.emplace_back(pair.at(0).toInt(-1), pair.at(1).toInt(0));
  }
  s.State = *state;
  s.StepBeganUtcMs =
      static_cast<std::int64_t>(o.value(QStringLiteral("step_began_utc_ms")).toDouble());
  s.PausedElapsedMs =
      static_cast<std::int64_t>(o.value(QStringLiteral("paused_elapsed_ms")).toDouble(-1));
  s.AliveUtcMs = static_cast<std::int64_t>(o.value(QStringLiteral("alive_utc_ms")).toDouble());
  s.RampFrom = o.value(QStringLiteral("ramp_from")).toDouble();
  return s;
}

}  // namespace vorta
