#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <algorithm>
#include <cmath>

#include "commands/ParamKeys.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "plans/PlanHost.h"
#include "process/ConfigWriteBack.h"
#include "process/ProcessRecord.h"
#include "process/ProgramState.h"
#include "telemetry/MqttCommands.h"

namespace vorta {

namespace {

TMqttGateResult Refuse(TMqttGateResult r, TMqttRefusal why, const QString& text) {
  r.Refusal = why;
  r.Text = text;
  return r;
}

// A number or a text, as the page may send either.
QString TextOf(const QJsonValue& v) {
  if (v.isString()) return v.toString();
  if (v.isDouble()) return QString::number(v.toDouble(), 'g', 15);
  return {};
}

TVortaProcess* FindVessel(TVortaEnv& env, std::int32_t vessel) {
  if (env.Processes == nullptr) return nullptr;
  for (const auto& p : *env.Processes) {
    if (p->Config.NumProcess == vessel) return p.get();
  }
  return nullptr;
}

TCommandResult RunParams(TVortaProcess& p, const TCaller& caller, const QJsonObject& body) {
  const int entry = body.value(QLatin1String("entry")).toInt(0);
  if (entry < 1 || entry > 5)
    return TCommandResult::Refused(QStringLiteral("Нет набора параметров"));
  const QJsonObject given = body.value(QLatin1String("params")).toObject();
  if (given.isEmpty()) return TCommandResult::Refused(QStringLiteral("Не заданы параметры"));
  // What is not given stays exactly as it is.
  TCtrlFields fields = ExactCtrlFields(p, entry);
  for (auto it = given.begin(); it != given.end(); ++it) {
    QString value = TextOf(it.value());
    const TParamKey* key = FindParamKey(it.key());
    if (it.key() == QLatin1String("enable")) {
      if (!it.value().isBool())
        return TCommandResult::Refused(QStringLiteral("enable: да или нет"));
      key = FindParamKey(QStringLiteral("regulation"));
      value = it.value().toBool() ? QStringLiteral("on") : QStringLiteral("off");
    }
    if (key == nullptr || !key->PerChannel) {
      return TCommandResult::Refused(QStringLiteral("Неизвестный параметр «%1»").arg(it.key()));
    }
    if (const auto problem = SetParamValue(fields, *key, value)) {
      return TCommandResult::Refused(*problem);
    }
  }
  return SetControlParams(p, caller, entry, fields);
}

TCommandResult RunPlan(TVortaProcess& p, TVortaEnv& env, TPlanHost* plans,
                       const QString& planFolder, const TCaller& caller, const QJsonObject& body) {
  if (plans == nullptr) return TCommandResult::Refused(QStringLiteral("Планы недоступны"));
  const QString action = body.value(QLatin1String("action")).toString();
  // The plan's own records of this command name the caller.
  struct TActorScope {
    TJournal* J;
    ~TActorScope() {
      if (J != nullptr) J->SetActor(std::nullopt);
    }
  } scope{env.Journal};
  if (env.Journal != nullptr) env.Journal->SetActor(TJournal::TActor{caller.User, caller.Source});
  if (action == QLatin1String("start")) {
    const QString file = body.value(QLatin1String("file")).toString();
    // Only a file already in the folder: no path of the sender's choosing.
    if (file.isEmpty() || file.contains(u'/') || file.contains(u'\\') || file.startsWith(u'.')) {
      return TCommandResult::Refused(QStringLiteral("Нужно имя файла плана из папки программы"));
    }
    const QFileInfo info(QDir(planFolder).filePath(file));
    if (!info.isFile()) {
      return TCommandResult::Refused(QStringLiteral("Нет файла плана «%1»").arg(file));
    }
    const TPlanStartResult started = plans->Start(p, info.absoluteFilePath());
    if (started.Ok) return TCommandResult::Ok(started.Text);
    QStringList lines{started.Text};
    for (const TPlanError& e : started.Errors) lines << QStringLiteral("%1:%2").arg(file, e.Text());
    return TCommandResult::Refused(lines.join(u'\n'));
  }
  TPlanRunner* r = plans->Runner(p);
  if (r == nullptr)
    return TCommandResult::Refused(QStringLiteral("%1: плана нет").arg(p.Caption()));
  const std::int64_t now = plans->MonotonicMs();
  const std::optional<bool> done = r->Act(action, now, QStringLiteral("остановлен из браузера"));
  if (!done) {
    return TCommandResult::Refused(
        QStringLiteral("Неизвестное действие с планом «%1»").arg(action));
  }
  const QString state = PlanRunStateName(r->Status(now).State);
  if (!*done) {
    return TCommandResult::Refused(
        QStringLiteral("Нельзя %1 план в состоянии %2").arg(action, state));
  }
  return TCommandResult::Ok(
      QStringLiteral("%1: план «%2», %3").arg(p.Caption(), r->Plan().Name, state));
}

}  // namespace

TMqttGateResult CheckMqttCommand(const TMqttCommand& c, const QString& root,
                                 const QStringList& operators, const QList<std::int32_t>& vessels) {
  TMqttGateResult r;
  const QString prefix = root + QStringLiteral("/cmd/");
  const QStringList parts =
      c.Topic.startsWith(prefix) ? c.Topic.mid(prefix.size()).split(u'/') : QStringList();
  if (parts.size() != 2 || parts[0].isEmpty() || parts[1].isEmpty()) {
    return Refuse(r, TMqttRefusal::Malformed, QStringLiteral("Тема команды не по форме"));
  }
  r.User = parts[0];
  const QString replies = root + QStringLiteral("/reply/") + r.User + u'/';
  if (!c.ResponseTopic.startsWith(replies) || c.ResponseTopic.size() == replies.size() ||
      c.ResponseTopic.contains(u'+') || c.ResponseTopic.contains(u'#')) {
    return Refuse(r, TMqttRefusal::NoResponseTopic,
                  QStringLiteral("Нет темы ответа под %1").arg(replies));
  }
  r.Answerable = true;
  if (!operators.contains(r.User)) {
    return Refuse(r, TMqttRefusal::NotOperator,
                  QStringLiteral("Пользователь «%1» не допущен к управлению").arg(r.User));
  }
  // A retained command would run again for every new subscription.
  if (c.Retained) {
    return Refuse(r, TMqttRefusal::Stale, QStringLiteral("Сохранённая (retained) команда"));
  }
  if (parts[1] == QLatin1String("all")) {
    r.Vessel = 0;
  } else {
    bool ok = false;
    r.Vessel = parts[1].toInt(&ok);
    if (!ok || !vessels.contains(r.Vessel)) {
      return Refuse(r, TMqttRefusal::OtherComputer,
                    QStringLiteral("Сосуда «%1» на этом компьютере нет").arg(parts[1]));
    }
  }
  QJsonParseError error{};
  const QJsonDocument doc = c.Payload.size() <= kMqttCommandMaxBytes
                                ? QJsonDocument::fromJson(c.Payload, &error)
                                : QJsonDocument();
  r.Body = doc.object();
  const QJsonValue ts = r.Body.value(QLatin1String("ts"));
  if (!doc.isObject() || !ts.isDouble() || !r.Body.value(QLatin1String("cmd")).isString()) {
    return Refuse(r, TMqttRefusal::Malformed, QStringLiteral("Команда не по форме"));
  }
  // In doubles: any JSON number may come, and one beyond 64 bits must not
  // be cast.
  const double age = static_cast<double>(c.ReceivedUtcMs) - ts.toDouble();
  if (!(std::abs(age) <= static_cast<double>(kMqttCommandMaxAgeMs))) {
    const double seconds = std::clamp(age / 1000, -1e15, 1e15);
    return Refuse(r, TMqttRefusal::Stale,
                  QStringLiteral("Команда устарела (отправлена %1 с назад)")
                      .arg(static_cast<qint64>(seconds)));
  }
  if (r.Vessel == 0 && r.Body.value(QLatin1String("cmd")).toString() != QLatin1String("ack")) {
    return Refuse(r, TMqttRefusal::Malformed, QStringLiteral("Команда не по форме"));
  }
  return r;
}

TCommandResult RunMqttCommand(TVortaEnv& env, TPlanHost* plans, const QString& planFolder,
                              const TMqttGateResult& command) {
  const TCaller caller = TCaller::Web(command.User);
  const QJsonObject& body = command.Body;
  const QString cmd = body.value(QLatin1String("cmd")).toString();
  if (cmd == QLatin1String("ack")) {
    if (env.Alarms == nullptr) return TCommandResult::Refused(QStringLiteral("Тревог нет"));
    const QJsonValue id = body.value(QLatin1String("alarm"));
    if (id.isDouble()) {
      // An identifier beyond what a double holds exactly is no alarm's.
      const double n = id.toDouble();
      const bool whole = std::abs(n) <= 9.0e15 && std::trunc(n) == n;
      return AcknowledgeAlarm(*env.Alarms, caller, whole ? static_cast<std::int64_t>(n) : -1);
    }
    if (command.Vessel == 0) return AcknowledgeAll(*env.Alarms, caller);
    return AcknowledgeVessel(*env.Alarms, caller, command.Vessel);
  }
  TVortaProcess* p = FindVessel(env, command.Vessel);
  if (p == nullptr) return TCommandResult::Refused(QStringLiteral("Нет сосуда"));
  TCommandResult result;
  if (cmd == QLatin1String("mode")) {
    const QJsonValue mode = body.value(QLatin1String("mode"));
    if (!mode.isDouble()) return TCommandResult::Refused(QStringLiteral("Не задан режим"));
    result = SetMode(*p, caller, mode.toInt(-1));
  } else if (cmd == QLatin1String("setpoint")) {
    const int channel = body.value(QLatin1String("channel")).toInt(0);
    result = SetSetpoint(*p, caller, channel, TextOf(body.value(QLatin1String("value"))));
  } else if (cmd == QLatin1String("params")) {
    result = RunParams(*p, caller, body);
  } else if (cmd == QLatin1String("plan")) {
    result = RunPlan(*p, env, plans, planFolder, caller, body);
  } else {
    return TCommandResult::Refused(QStringLiteral("Неизвестная команда «%1»").arg(cmd));
  }
  // The answer promises the change: it is in the process file first.
  if (result && !SaveRequestedGroup(*p)) {
    result.Text +=
        QStringLiteral("\nИзменение ещё не записано в %1; запись повторяется.").arg(p->IniFileName);
  }
  return result;
}

QByteArray MqttAnswerJson(const TCommandResult& r) {
  QJsonObject o{{QStringLiteral("done"), r.Done}, {QStringLiteral("text"), r.Text}};
  if (!r.Field.isEmpty()) o[QStringLiteral("field")] = r.Field;
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

}  // namespace vorta
