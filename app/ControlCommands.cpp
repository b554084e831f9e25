#include "app/ControlCommands.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <vector>

#include "app/ControlReports.h"
#include "app/ControlWords.h"
#include "app/MainForm.h"
#include "commands/Commands.h"
#include "commands/ControlParams.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "plans/PlanHost.h"
#include "plans/PlanParser.h"
#include "plans/PlanVessel.h"
#include "platform/Numbers.h"
#include "platform/RealTimerService.h"
#include "process/ConfigWriteBack.h"
#include "process/DataLog.h"
#include "process/ProcessRecord.h"

namespace vorta {

namespace {

using TWordsCheck = std::optional<QString> (*)(const QStringList& words);

// Every command with the form of its words, checked before anything runs:
// the one place that says what a command line is, for the client and the copy.
struct TCommandSpec {
  const char* Name;
  const char* Words;  // for the usage text; null: not listed
  const char* Help;
  bool Changes;
  TWordsCheck Check;  // the words after the command's name
};

std::optional<QString> NoWords(const QStringList& words) {
  if (words.isEmpty()) return std::nullopt;
  return QStringLiteral("лишние слова: %1").arg(words.join(u' '));
}

template <int N>
std::optional<QString> Exactly(const QStringList& words) {
  if (words.size() == N) return std::nullopt;
  return QStringLiteral("нужно слов после команды: %1").arg(N);
}

std::optional<QString> JournalWords(const QStringList& words) {
  QString problem;
  if (ParseJournalWords(words, &problem)) return std::nullopt;
  return problem;
}

// VESSEL [CHANNEL] reads; VESSEL CHANNEL KEY=VALUE… changes.
std::optional<QString> ParamsWords(const QStringList& words) {
  if (words.isEmpty()) return QStringLiteral("params: нужен сосуд");
  if (words.size() >= 2 && !ParseChannel(words[1], true)) {
    return QStringLiteral("params: неизвестный канал «%1»; каналы: pH, t, pO2, eH, common")
        .arg(words[1]);
  }
  for (qsizetype i = 2; i < words.size(); ++i) {
    const qsizetype eq = words[i].indexOf(u'=');
    if (eq <= 0) return QStringLiteral("params: «%1» — не КЛЮЧ=ЗНАЧЕНИЕ").arg(words[i]);
    if (FindParamKey(words[i].left(eq)) == nullptr) {
      return QStringLiteral("params: неизвестный ключ «%1»; ключи: %2")
          .arg(words[i].left(eq), ParamKeys().join(QStringLiteral(", ")));
    }
  }
  return std::nullopt;
}

// check FILE [--vessel N]; start VESSEL FILE; pause|resume|skip|stop|status VESSEL.
std::optional<QString> PlanWords(const QStringList& words) {
  const QString usage = QStringLiteral(
      "plan: нужно check FILE [--vessel N], start VESSEL FILE или "
      "pause|resume|skip|stop|status VESSEL");
  if (words.isEmpty()) return usage;
  const QString sub = words[0].toLower();
  if (sub == QLatin1String("check")) {
    if (words.size() == 2) return std::nullopt;
    if (words.size() == 4 &&
        words[2].compare(QLatin1String("--vessel"), Qt::CaseInsensitive) == 0) {
      return std::nullopt;
    }
    return usage;
  }
  if (sub == QLatin1String("start")) return words.size() == 3 ? std::nullopt : std::optional(usage);
  for (const char* one : {"pause", "resume", "skip", "stop", "status"}) {
    if (sub == QLatin1String(one)) return words.size() == 2 ? std::nullopt : std::optional(usage);
  }
  return usage;
}

std::optional<QString> AnyWords(const QStringList& /*words*/) {
  return std::nullopt;
}

const TCommandSpec kCommands[] = {
    {"status", "", "сосуды: режим, связь, каналы, тревоги", false, NoWords},
    {"alarms", "", "тревоги: действующие и недавние", false, NoWords},
    {"journal", "[-n N] [--since TIME] [--vessel N]",
     "последние записи журнала, с проверкой их цепочки", false, JournalWords},
    {"params", "VESSEL [CHANNEL] [KEY=VALUE ...]",
     "уставки, параметры управления, период протокола; с KEY=VALUE — изменить", false, ParamsWords},
    {"outputs", "VESSEL", "выходы: включён ли, что им управляет", false, Exactly<1>},
    {"version", "", "программа, протокол, время работы, папка", false, NoWords},
    {"mode", "VESSEL MODE", "режим: uncontrolled, batch, chemostat, turbidostat", true, Exactly<2>},
    {"setpoint", "VESSEL CHANNEL VALUE", "уставка канала pH, t, pO2 или eH", true, Exactly<3>},
    {"ack", "VESSEL|all|aID", "квитировать тревоги сосуда, все или одну (#ID из alarms)", true,
     Exactly<1>},
    {"stirrer", "VESSEL RPM|start|stop", "скорость мешалки, её пуск и остановка", true, Exactly<2>},
    {"plan", "check FILE [--vessel N] | start VESSEL FILE | pause|resume|skip|stop|status VESSEL",
     "план: проверить (ошибки со строкой и столбцом), начать, приостановить, продолжить, "
     "пропустить шаг, остановить, состояние",
     false, PlanWords},
    // The shell's completion asks what may come next.
    {"complete", nullptr, nullptr, false, AnyWords},
};

const TCommandSpec* FindCommand(const QString& name) {
  for (const TCommandSpec& c : kCommands) {
    if (name.compare(QLatin1String(c.Name), Qt::CaseInsensitive) == 0) return &c;
  }
  return nullptr;
}

QString Now() {
  return LocalTimeWithOffsetAt(QDateTime::currentMSecsSinceEpoch());
}

TControlReply Refused(const QString& text) {
  return {kControlRefused, text};
}

TControlReply NoVessel(TMainForm& form, const QString& text) {
  return Refused(QStringLiteral("Нет сосуда «%1»; сосуды: %2").arg(text, VesselList(form)));
}

TControlReply Answer(const TCommandResult& result) {
  return {result.Done ? 0 : kControlRefused, result.Text};
}

TControlReply Mode(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  TVortaProcess* p = FindVessel(form, args[1]);
  if (p == nullptr) return NoVessel(form, args[1]);
  const std::optional<int> mode = ParseMode(*p, args[2]);
  if (!mode) {
    return Refused(QStringLiteral("Неизвестный режим «%1»; режимы: uncontrolled, batch, "
                                  "chemostat, turbidostat (или 0..3)")
                       .arg(args[2]));
  }
  return Answer(SetMode(*p, TCaller::Command(request.User), *mode));
}

TControlReply Setpoint(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  TVortaProcess* p = FindVessel(form, args[1]);
  if (p == nullptr) return NoVessel(form, args[1]);
  const std::optional<int> ch = ParseChannel(args[2]);
  if (!ch) {
    return Refused(
        QStringLiteral("Неизвестный канал «%1»; каналы: pH, t, pO2, eH (или 1..4)").arg(args[2]));
  }
  return Answer(SetSetpoint(*p, TCaller::Command(request.User), *ch, args[3]));
}

// VESSEL [CHANNEL] reads; with KEY=VALUE words it is the dialog's OK with
// those fields changed and every other field as it was.
TControlReply Params(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  TVortaProcess* p = FindVessel(form, args[1]);
  if (p == nullptr) return NoVessel(form, args[1]);
  const int entry = args.size() >= 3 ? *ParseChannel(args[2], true) : 0;
  if (args.size() <= 3) return ParamsReport(*p, entry);
  TCtrlFields fields = ExactCtrlFields(*p, entry);
  for (qsizetype i = 3; i < args.size(); ++i) {
    const qsizetype eq = args[i].indexOf(u'=');
    if (const auto problem =
            SetParamValue(fields, *FindParamKey(args[i].left(eq)), args[i].mid(eq + 1))) {
      return Refused(*problem);
    }
  }
  return Answer(SetControlParams(*p, TCaller::Command(request.User), entry, fields));
}

TControlReply Stirrer(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  TVortaProcess* p = FindVessel(form, args[1]);
  if (p == nullptr) return NoVessel(form, args[1]);
  const TCaller caller = TCaller::Command(request.User);
  const QString word = args[2].toLower();
  if (word == QLatin1String("start")) return Answer(StartStirrer(*p, caller));
  if (word == QLatin1String("stop")) return Answer(StopStirrer(*p, caller));
  return Answer(SetStirrerRpm(*p, caller, args[2]));
}

TControlReply Acknowledge(TMainForm& form, const TControlRequest& request) {
  const QString which = request.Args[1].toLower();
  const TCaller caller = TCaller::Command(request.User);
  static const QRegularExpression kAlarmId(QStringLiteral(R"(^[#a](\d+)$)"));
  TCommandResult result;
  if (which == QLatin1String("all")) {
    result = AcknowledgeAll(form.Alarms(), caller);
  } else if (const auto m = kAlarmId.match(which); m.hasMatch()) {
    result = AcknowledgeAlarm(form.Alarms(), caller, m.captured(1).toLongLong());
    if (!result) result.Text += QStringLiteral(" (список: vorta ctl alarms)");
  } else {
    const TVortaProcess* p = FindVessel(form, which);
    if (p == nullptr) {
      return Refused(QStringLiteral("Нет сосуда «%1»; сосуды: %2, all или #номер тревоги")
                         .arg(request.Args[1], VesselList(form)));
    }
    result = AcknowledgeVessel(form.Alarms(), caller, p->Config.NumProcess);
  }
  TControlReply reply = Answer(result);
  if (result) {
    // The count for scripts: the layer's text says it for people.
    QJsonObject data;
    data[QLatin1String("acknowledged")] = result.Count;
    reply.Data = data;
  }
  return reply;
}

TControlReply Complete(TMainForm& form, const QStringList& typed) {
  QStringList vessels;
  for (const auto& p : form.Processes()) vessels << QString::number(p->Config.NumProcess);
  const QStringList words = ControlCompletions(typed, vessels);
  return {0, words.join(u'\n'), QJsonArray::fromStringList(words)};
}

}  // namespace

QString ControlUsage() {
  QStringList lines{QStringLiteral("Команды:")};
  for (const TCommandSpec& c : kCommands) {
    if (c.Words == nullptr) continue;
    lines << QStringLiteral("  %1 %2").arg(QLatin1String(c.Name), QString::fromUtf8(c.Words));
    lines << QStringLiteral("      ") + QString::fromUtf8(c.Help);
  }
  lines << QStringLiteral(
               "--json: каждый ответ и каждая ошибка в JSON (version, time, command, "
               "exit, ok, result или error)")
        << QStringLiteral("Слова и имена — в любом регистре.");
  return lines.join(u'\n');
}

std::optional<QString> ControlCommandProblem(const QStringList& args) {
  if (args.isEmpty()) return QStringLiteral("нет команды");
  const TCommandSpec* command = FindCommand(args[0]);
  if (command == nullptr) return QStringLiteral("непонятная команда: %1").arg(args.join(u' '));
  if (auto problem = command->Check(args.mid(1))) {
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(command->Name), QString::fromUtf8(command->Words), *problem);
  }
  return std::nullopt;
}

QStringList ControlCompletions(const QStringList& typed, const QStringList& vessels) {
  if (typed.isEmpty()) {
    QStringList names;
    for (const TCommandSpec& c : kCommands) {
      if (c.Words != nullptr) names << QLatin1String(c.Name);
    }
    return names;
  }
  const TCommandSpec* command = FindCommand(typed[0]);
  if (command == nullptr) return {};
  const QString name = QLatin1String(command->Name);
  const qsizetype position = typed.size();  // the word to come, after the command's name
  if (name == QLatin1String("journal")) {
    const QString last = typed.constLast().toLower();
    if (last == QLatin1String("--vessel")) return vessels;
    if (last == QLatin1String("-n") || last == QLatin1String("--since")) return {};
    return {QStringLiteral("-n"), QStringLiteral("--since"), QStringLiteral("--vessel")};
  }
  const bool vesselFirst = name == QLatin1String("params") || name == QLatin1String("outputs") ||
                           name == QLatin1String("mode") || name == QLatin1String("setpoint") ||
                           name == QLatin1String("ack") || name == QLatin1String("stirrer");
  if (!vesselFirst) return {};
  if (position == 1) {
    return name == QLatin1String("ack") ? vessels + QStringList{QStringLiteral("all")} : vessels;
  }
  const QStringList channels{QStringLiteral("pH"), QStringLiteral("t"), QStringLiteral("pO2"),
                             QStringLiteral("eH")};
  if (position == 2) {
    if (name == QLatin1String("mode")) {
      return {ModeKey(0), ModeKey(1), ModeKey(2), ModeKey(3)};
    }
    if (name == QLatin1String("setpoint")) return channels;
    if (name == QLatin1String("params")) return channels + QStringList{QStringLiteral("common")};
    if (name == QLatin1String("stirrer")) return {QStringLiteral("start"), QStringLiteral("stop")};
    return {};
  }
  if (name == QLatin1String("params")) {
    QStringList keys;
    for (const QString& k : ParamKeys()) keys << k + u'=';
    return keys;
  }
  return {};
}

QByteArray ControlJson(const QStringList& args, const TControlReply& reply) {
  QJsonObject o;
  o[QLatin1String("version")] = kControlJsonVersion;
  o[QLatin1String("time")] = reply.Time.isEmpty() ? Now() : reply.Time;
  o[QLatin1String("command")] = QJsonArray::fromStringList(args);
  o[QLatin1String("exit")] = reply.Exit;
  o[QLatin1String("ok")] = reply.Exit == 0;
  if (reply.Exit != 0) {
    o[QLatin1String("error")] = reply.Out;
  } else if (reply.Data.isNull() || reply.Data.isUndefined()) {
    QJsonObject message;
    message[QLatin1String("message")] = reply.Out;
    o[QLatin1String("result")] = message;
  } else {
    o[QLatin1String("result")] = reply.Data;
  }
  return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

// Whether the caller may read `path` by the file's own permission bits. The
// program may run as root, and a plan's faults quote what the file holds: an
// operator must not read through it what is not theirs. (The folders on the
// way are not looked at.)
bool CallerMayRead(const QString& path, uid_t uid) {
  if (uid == 0 || uid == ::geteuid()) return true;
  struct stat st {};
  // A file that is not there is told so by the reader.
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return true;
  if (st.st_uid == uid) return (st.st_mode & S_IRUSR) != 0;
  const passwd* pw = ::getpwuid(uid);
  if (pw != nullptr) {
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
      groups.resize(static_cast<std::size_t>(count));
      ::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    if (std::find(groups.begin(), groups.end(), st.st_gid) != groups.end()) {
      return (st.st_mode & S_IRGRP) != 0;
    }
  }
  return (st.st_mode & S_IROTH) != 0;
}

TControlReply NotReadable(const QString& path) {
  return Refused(QStringLiteral("%1: вызвавшему этот файл читать нельзя").arg(path));
}

// The plan's faults as FILE:LINE:COLUMN: message, read and, with a vessel,
// checked by the command layer's check-only forms.
TControlReply PlanCheck(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  const QString& file = args[2];
  if (!CallerMayRead(file, request.Uid)) return NotReadable(file);
  std::vector<TPlanError> errors;
  std::optional<TPlan> plan = LoadPlanFile(file, &errors);
  TVortaProcess* p = nullptr;
  if (args.size() == 5) {
    p = FindVessel(form, args[4]);
    if (p == nullptr) return NoVessel(form, args[4]);
  }
  if (plan && p != nullptr) errors = CheckPlan(*plan, *p);
  QJsonArray list;
  QStringList lines;
  for (const TPlanError& e : errors) {
    lines << QStringLiteral("%1:%2").arg(file, e.Text());
    list.append(QJsonObject{{QStringLiteral("line"), e.Line},
                            {QStringLiteral("column"), e.Column},
                            {QStringLiteral("message"), e.Message}});
  }
  TControlReply reply;
  if (errors.empty()) {
    reply = {0, QStringLiteral("план «%1»: ошибок нет, шагов %2")
                    .arg(plan->Name)
                    .arg(PlanStepCount(plan->Steps))};
  } else {
    reply = Refused(lines.join(u'\n'));
  }
  reply.Data = QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("errors"), list}};
  return reply;
}

// "шаг 4 из 9 «feed ramp»: ramp … , осталось 2 h 10 min; далее: …"
QString PlanStatusText(const TVortaProcess& p, const TPlanRunner& r, const TPlanStatus& st) {
  QString text = QStringLiteral("%1: план «%2», %3")
                     .arg(p.Caption(), r.Plan().Name, PlanRunStateName(st.State));
  if (st.StepNumber == 0) return text;
  text += QStringLiteral(", шаг %1 из %2").arg(st.StepNumber).arg(st.StepCount);
  if (!st.StepName.isEmpty()) text += QStringLiteral(" «%1»").arg(st.StepName);
  text += QStringLiteral(": ") + st.StepText;
  if (st.Times > 0) text += QStringLiteral(" (повтор %1 из %2)").arg(st.Iteration).arg(st.Times);
  if (st.RemainingMs >= 0) text += QStringLiteral(", осталось ") + PlanDurationText(st.RemainingMs);
  if (!st.NextText.isEmpty()) text += QStringLiteral("; далее: ") + st.NextText;
  if (!st.Overridden.empty()) {
    QStringList names;
    for (int ch : st.Overridden) names << PlanChannelName(ch);
    text += QStringLiteral("; изменено вручную: ") + names.join(QStringLiteral(", "));
  }
  return text;
}

// plan start|pause|resume|skip|stop|status VESSEL …
TControlReply PlanControl(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  TVortaProcess* p = FindVessel(form, args[2]);
  if (p == nullptr) return NoVessel(form, args[2]);
  TPlanHost* host = form.Plans();
  if (host == nullptr) return Refused(QStringLiteral("Программа завершает работу"));
  const QString sub = args[1].toLower();
  if (sub == QLatin1String("start")) {
    if (!CallerMayRead(args[3], request.Uid)) return NotReadable(args[3]);
    const TPlanStartResult started = host->Start(*p, args[3]);
    if (started.Ok) return {0, started.Text};
    QStringList lines{started.Text};
    QJsonArray list;
    for (const TPlanError& e : started.Errors) {
      lines << QStringLiteral("%1:%2").arg(args[3], e.Text());
      list.append(QJsonObject{{QStringLiteral("line"), e.Line},
                              {QStringLiteral("column"), e.Column},
                              {QStringLiteral("message"), e.Message}});
    }
    TControlReply reply = Refused(lines.join(u'\n'));
    reply.Data = QJsonObject{{QStringLiteral("file"), args[3]}, {QStringLiteral("errors"), list}};
    return reply;
  }
  TPlanRunner* r = host->Runner(*p);
  if (r == nullptr) return Refused(QStringLiteral("%1: плана нет").arg(p->Caption()));
  const std::int64_t now = host->MonotonicMs();
  // The words were checked before: status is the one that changes nothing.
  const bool done = sub == QLatin1String("status") ||
                    r->Act(sub, now, QStringLiteral("остановлен командой")).value_or(false);
  const TPlanStatus st = r->Status(now);
  TControlReply reply{done ? 0 : kControlRefused,
                      (done ? QString()
                            : QStringLiteral("Нельзя %1 план в состоянии %2: ")
                                  .arg(sub, PlanRunStateName(st.State))) +
                          PlanStatusText(*p, *r, st)};
  reply.Data = PlanStatusJson(*r, st);
  return reply;
}

TControlReply RunControlCommand(TMainForm& form, const TControlRequest& request) {
  const QStringList& args = request.Args;
  TControlReply reply;
  if (const auto problem = ControlCommandProblem(args)) {
    reply = {kControlUsage, *problem + u'\n' + ControlUsage()};
    reply.Time = Now();
    return reply;
  }
  const TCommandSpec& command = *FindCommand(args[0]);
  const QString name = QLatin1String(command.Name);
  const bool planControl = name == QLatin1String("plan") &&
                           args[1].compare(QLatin1String("check"), Qt::CaseInsensitive) != 0;
  const bool planChange =
      planControl && args[1].compare(QLatin1String("status"), Qt::CaseInsensitive) != 0;
  const bool changes =
      command.Changes || planChange || (name == QLatin1String("params") && args.size() > 3);
  if (!changes) {
    if (name == QLatin1String("status")) {
      reply = StatusReport(form);
    } else if (name == QLatin1String("alarms")) {
      reply = AlarmsReport(form);
    } else if (name == QLatin1String("journal")) {
      QString problem;
      reply = JournalReport(form, *ParseJournalWords(args.mid(1), &problem));
    } else if (name == QLatin1String("version")) {
      reply = VersionReport(form);
    } else if (name == QLatin1String("complete")) {
      reply = Complete(form, args.mid(1));
    } else if (planControl) {
      reply = PlanControl(form, request);
    } else if (name == QLatin1String("plan")) {
      reply = PlanCheck(form, request);
    } else if (TVortaProcess* p = FindVessel(form, args[1]); p == nullptr) {
      reply = NoVessel(form, args[1]);
    } else if (name == QLatin1String("outputs")) {
      reply = OutputsReport(*p);
    } else {
      reply = Params(form, request);
    }
  } else if (form.Closed()) {
    reply = Refused(QStringLiteral("Программа завершает работу"));
  } else {
    // The command layer names the caller and the source "Command" in the
    // records the change writes.
    if (name == QLatin1String("mode")) {
      reply = Mode(form, request);
    } else if (name == QLatin1String("setpoint")) {
      reply = Setpoint(form, request);
    } else if (name == QLatin1String("params")) {
      reply = Params(form, request);
    } else if (name == QLatin1String("stirrer")) {
      reply = Stirrer(form, request);
    } else if (planChange) {
      // The plan's own records of this command name the caller; its later
      // steps act as the plan.
      TJournal* journal = form.Journal();
      if (journal != nullptr) journal->SetActor(TJournal::TActor{request.User});
      reply = PlanControl(form, request);
      if (journal != nullptr) journal->SetActor(std::nullopt);
    } else {
      reply = Acknowledge(form, request);
    }
    // The answer promises the change: it is in the process file before the
    // caller hears of it, so a kill right after the answer cannot undo it.
    for (const auto& p : form.Processes()) {
      if (!SaveRequestedGroup(*p)) {
        reply.Out += QStringLiteral("\nИзменение ещё не записано в %1; запись повторяется.")
                         .arg(p->IniFileName);
      }
    }
  }
  reply.Time = Now();
  return reply;
}

}  // namespace vorta
