#include "plans/PlanParser.h"

#include <yaml-cpp/yaml.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

#include "commands/Commands.h"
#include "platform/SafeFile.h"

namespace vorta {

QString TPlanError::Text() const {
  return QStringLiteral("%1:%2: %3").arg(Line).arg(Column).arg(Message);
}

namespace {

// Plans are short; a longer file is not a plan, and a deeper nesting is a mistake.
constexpr qsizetype kMaxPlanBytes = 1 << 20;
constexpr int kMaxDepth = 8;

// The one reading of a typed number every caller shares (decimal comma included).
std::optional<double> Number(const QString& text) {
  const std::optional<double> v = ReadDecimal(text.trimmed());
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

class TReader {
 public:
  explicit TReader(std::vector<TPlanError>* errors) : errors_(errors) {}

  void Fail(const YAML::Node& at, const QString& message) {
    const YAML::Mark m = at.Mark();
    errors_->push_back({m.line + 1, m.column + 1, message});
  }

  static QString Scalar(const YAML::Node& n) { return QString::fromStdString(n.Scalar()); }

  bool IsScalar(const YAML::Node& n, const char* what) {
    if (n.IsScalar()) return true;
    Fail(n, QStringLiteral("%1: нужно значение, а не список или набор").arg(QLatin1String(what)));
    return false;
  }

  std::optional<std::int64_t> Duration(const YAML::Node& n, const char* what) {
    if (!IsScalar(n, what)) return std::nullopt;
    const auto ms = ParsePlanDuration(Scalar(n));
    if (!ms) {
      Fail(n, QStringLiteral("%1: «%2» — не длительность (например 90 s, 2 min, 1 h 30 min, 2 d)")
                  .arg(QLatin1String(what), Scalar(n)));
    }
    return ms;
  }

  std::optional<double> Num(const YAML::Node& n, const char* what) {
    if (!IsScalar(n, what)) return std::nullopt;
    const auto v = Number(Scalar(n));
    if (!v) Fail(n, QStringLiteral("%1: «%2» — не число").arg(QLatin1String(what), Scalar(n)));
    return v;
  }

  int Channel(const YAML::Node& n) {
    if (!IsScalar(n, "channel")) return 0;
    const int ch = PlanChannelOf(Scalar(n));
    if (ch == 0) {
      Fail(n, QStringLiteral("неизвестный канал «%1»; каналы: pH, t, pO2, eH").arg(Scalar(n)));
    }
    return ch;
  }

  std::optional<TPlanCondition> Condition(const YAML::Node& n, const char* what) {
    if (!IsScalar(n, what)) return std::nullopt;
    const auto c = ParsePlanCondition(Scalar(n));
    if (!c) {
      Fail(n, QStringLiteral("%1: «%2» — не условие (например «pO2 > 60», «pH < 6.5»)")
                  .arg(QLatin1String(what), Scalar(n)));
    }
    return c;
  }

  std::optional<bool> Bool(const YAML::Node& n, const char* what) {
    if (!IsScalar(n, what)) return std::nullopt;
    const QString v = Scalar(n).trimmed().toLower();
    if (v == QLatin1String("on") || v == QLatin1String("true") || v == QLatin1String("yes"))
      return true;
    if (v == QLatin1String("off") || v == QLatin1String("false") || v == QLatin1String("no"))
      return false;
    Fail(n, QStringLiteral("%1: «%2» — нужно on или off").arg(QLatin1String(what), Scalar(n)));
    return std::nullopt;
  }

  // A map's keys checked against those allowed; the unknown are faults.
  bool Keys(const YAML::Node& map, std::initializer_list<const char*> allowed, const char* what) {
    bool ok = true;
    for (const auto& kv : map) {
      const QString key = Scalar(kv.first).toLower();
      bool known = false;
      for (const char* a : allowed) known = known || key == QLatin1String(a);
      if (!known) {
        QStringList names;
        for (const char* a : allowed) names << QLatin1String(a);
        Fail(kv.first,
             QStringLiteral("%1: неизвестный ключ «%2»; ключи: %3")
                 .arg(QLatin1String(what), Scalar(kv.first), names.join(QStringLiteral(", "))));
        ok = false;
      }
    }
    return ok;
  }

  static YAML::Node Get(const YAML::Node& map, const char* key) {
    for (const auto& kv : map) {
      if (Scalar(kv.first).toLower() == QLatin1String(key)) return kv.second;
    }
    return YAML::Node(YAML::NodeType::Undefined);
  }

  bool Require(const YAML::Node& map, const YAML::Node& value, const char* key, const char* what) {
    if (value.IsDefined()) return true;
    Fail(map, QStringLiteral("%1: нужен ключ «%2»").arg(QLatin1String(what), QLatin1String(key)));
    return false;
  }

  bool Map(const YAML::Node& n, const char* what) {
    if (n.IsMap()) return true;
    Fail(n, QStringLiteral("%1: нужен набор ключей").arg(QLatin1String(what)));
    return false;
  }

  std::vector<TPlanStep> Steps(const YAML::Node& list, int depth);
  std::optional<TPlanStep> Step(const YAML::Node& node, int depth);
  bool Body(TPlanStep& s, const YAML::Node& key, const YAML::Node& v, int depth);

 private:
  std::vector<TPlanError>* errors_;
};

std::vector<TPlanStep> TReader::Steps(const YAML::Node& list, int depth) {
  std::vector<TPlanStep> steps;
  if (!list.IsSequence()) {
    Fail(list, QStringLiteral("steps: нужен список шагов"));
    return steps;
  }
  if (list.size() == 0) Fail(list, QStringLiteral("steps: список шагов пуст"));
  for (const YAML::Node& n : list) {
    if (auto s = Step(n, depth)) steps.push_back(std::move(*s));
  }
  return steps;
}

std::optional<TPlanStep> TReader::Step(const YAML::Node& node, int depth) {
  if (!Map(node, "шаг")) return std::nullopt;
  TPlanStep s;
  s.Line = node.Mark().line + 1;
  s.Column = node.Mark().column + 1;
  YAML::Node kindKey, kindValue;
  int kinds = 0;
  for (const auto& kv : node) {
    if (Scalar(kv.first).toLower() == QLatin1String("name")) {
      if (IsScalar(kv.second, "name")) s.Name = Scalar(kv.second);
      continue;
    }
    if (++kinds == 1) {
      kindKey = kv.first;
      kindValue = kv.second;
    } else {
      Fail(kv.first,
           QStringLiteral("шаг: одно действие на шаг, «%1» лишнее").arg(Scalar(kv.first)));
    }
  }
  if (kinds == 0) {
    Fail(node, QStringLiteral("шаг без действия"));
    return std::nullopt;
  }
  const std::size_t before = errors_->size();
  if (!Body(s, kindKey, kindValue, depth)) return std::nullopt;
  if (errors_->size() != before || kinds > 1) return std::nullopt;
  return s;
}

bool TReader::Body(TPlanStep& s, const YAML::Node& key, const YAML::Node& v, int depth) {
  const QString kind = Scalar(key).toLower();
  s.ValueLine = v.Mark().line + 1;
  s.ValueColumn = v.Mark().column + 1;
  if (kind == QLatin1String("setpoint") || kind == QLatin1String("ramp")) {
    const bool ramp = kind == QLatin1String("ramp");
    s.Kind = ramp ? TPlanStepKind::Ramp : TPlanStepKind::Setpoint;
    if (!Map(v, ramp ? "ramp" : "setpoint")) return false;
    if (ramp ? !Keys(v, {"channel", "to", "over"}, "ramp")
             : !Keys(v, {"channel", "value"}, "setpoint"))
      return false;
    const YAML::Node ch = Get(v, "channel"), value = Get(v, ramp ? "to" : "value");
    if (!Require(v, ch, "channel", ramp ? "ramp" : "setpoint") ||
        !Require(v, value, ramp ? "to" : "value", ramp ? "ramp" : "setpoint"))
      return false;
    s.Channel = Channel(ch);
    const auto num = Num(value, ramp ? "to" : "value");
    if (num) s.Value = *num;
    if (value.IsScalar()) {
      s.Text = Scalar(value);
      s.ValueLine = value.Mark().line + 1;
      s.ValueColumn = value.Mark().column + 1;
    }
    if (ramp) {
      const YAML::Node over = Get(v, "over");
      if (!Require(v, over, "over", "ramp")) return false;
      if (auto ms = Duration(over, "over")) {
        if (*ms <= 0) Fail(over, QStringLiteral("over: длительность должна быть больше нуля"));
        s.DurationMs = *ms;
      }
    }
    return s.Channel != 0 && num.has_value();
  }
  if (kind == QLatin1String("mode")) {
    s.Kind = TPlanStepKind::Mode;
    if (!IsScalar(v, "mode")) return false;
    s.Text = Scalar(v);
    return true;
  }
  if (kind == QLatin1String("params")) {
    s.Kind = TPlanStepKind::Params;
    if (!Map(v, "params")) return false;
    for (const auto& kv : v) {
      if (!IsScalar(kv.second, "params")) return false;
      s.Params.emplace_back(Scalar(kv.first), Scalar(kv.second));
    }
    if (s.Params.empty()) Fail(v, QStringLiteral("params: нет ни одного ключа"));
    return !s.Params.empty();
  }
  if (kind == QLatin1String("pulse")) {
    s.Kind = TPlanStepKind::Pulse;
    if (!Map(v, "pulse") || !Keys(v, {"generator", "period", "on"}, "pulse")) return false;
    const YAML::Node gen = Get(v, "generator"), period = Get(v, "period"), on = Get(v, "on");
    if (!Require(v, gen, "generator", "pulse") || !IsScalar(gen, "generator")) return false;
    const QString g = Scalar(gen).toLower();
    if (g == QLatin1String("epp") || g == QLatin1String("feed")) {
      s.Generator = TPlanGenerator::Feed;
    } else if (g == QLatin1String("med") || g == QLatin1String("medium")) {
      s.Generator = TPlanGenerator::Medium;
    } else {
      Fail(gen, QStringLiteral("generator: «%1» — нужно Epp или Med").arg(Scalar(gen)));
      return false;
    }
    if (!Require(v, on, "on", "pulse") || !IsScalar(on, "on")) return false;
    const QString onText = Scalar(on).trimmed().toLower();
    if (onText == QLatin1String("off") || onText == QLatin1String("false")) {
      s.On = false;
      return true;
    }
    s.On = true;
    if (!Require(v, period, "period", "pulse")) return false;
    const auto p = Duration(period, "period");
    const auto w = Duration(on, "on");
    if (!p || !w) return false;
    s.PeriodMs = *p;
    s.OnMs = *w;
    s.ValueLine = period.Mark().line + 1;
    s.ValueColumn = period.Mark().column + 1;
    if (*p <= 0 || *w > *p) {
      Fail(on,
           QStringLiteral("pulse: время работы должно быть не больше периода, период больше нуля"));
      return false;
    }
    return true;
  }
  if (kind == QLatin1String("stirrer")) {
    s.Kind = TPlanStepKind::Stirrer;
    const auto rpm = Num(v, "stirrer");
    if (rpm) {
      s.Value = *rpm;
      s.Text = Scalar(v);
    }
    return rpm.has_value();
  }
  if (kind == QLatin1String("light")) {
    s.Kind = TPlanStepKind::Light;
    const auto on = Bool(v, "light");
    if (on) s.On = *on;
    return on.has_value();
  }
  if (kind == QLatin1String("note") || kind == QLatin1String("alarm")) {
    s.Kind = kind == QLatin1String("note") ? TPlanStepKind::Note : TPlanStepKind::Alarm;
    if (!IsScalar(v, kind == QLatin1String("note") ? "note" : "alarm")) return false;
    s.Text = Scalar(v).trimmed();
    if (s.Text.isEmpty()) Fail(v, QStringLiteral("%1: пустой текст").arg(kind));
    return !s.Text.isEmpty();
  }
  if (kind == QLatin1String("wait") || kind == QLatin1String("wait_elapsed")) {
    s.Kind = kind == QLatin1String("wait") ? TPlanStepKind::Wait : TPlanStepKind::WaitElapsed;
    const auto ms = Duration(v, kind == QLatin1String("wait") ? "wait" : "wait_elapsed");
    if (ms) s.DurationMs = *ms;
    return ms.has_value();
  }
  if (kind == QLatin1String("wait_until")) {
    s.Kind = TPlanStepKind::WaitUntil;
    if (!Map(v, "wait_until") ||
        !Keys(v, {"condition", "for", "limit", "on_timeout"}, "wait_until"))
      return false;
    const YAML::Node cond = Get(v, "condition");
    if (!Require(v, cond, "condition", "wait_until")) return false;
    const auto c = Condition(cond, "condition");
    if (c) s.Condition = *c;
    bool ok = c.has_value();
    if (const YAML::Node hold = Get(v, "for"); hold.IsDefined()) {
      const auto ms = Duration(hold, "for");
      ok = ok && ms.has_value();
      if (ms) s.HoldMs = *ms;
    }
    if (const YAML::Node limit = Get(v, "limit"); limit.IsDefined()) {
      const auto ms = Duration(limit, "limit");
      ok = ok && ms.has_value();
      if (ms) s.LimitMs = *ms;
    }
    if (const YAML::Node what = Get(v, "on_timeout"); what.IsDefined()) {
      if (!IsScalar(what, "on_timeout")) return false;
      const QString t = Scalar(what).trimmed().toLower();
      if (t == QLatin1String("go-on")) {
        s.OnTimeout = TPlanTimeout::GoOn;
      } else if (t == QLatin1String("alarm-hold")) {
        s.OnTimeout = TPlanTimeout::AlarmAndHold;
      } else if (t == QLatin1String("stop")) {
        s.OnTimeout = TPlanTimeout::Stop;
      } else {
        Fail(what, QStringLiteral("on_timeout: «%1» — нужно go-on, alarm-hold или stop")
                       .arg(Scalar(what)));
        return false;
      }
      if (s.LimitMs == 0) {
        Fail(what, QStringLiteral("on_timeout без limit: время ожидания не ограничено"));
        return false;
      }
    }
    return ok;
  }
  if (kind == QLatin1String("repeat")) {
    s.Kind = TPlanStepKind::Repeat;
    if (!Map(v, "repeat") || !Keys(v, {"times", "until", "steps"}, "repeat")) return false;
    if (depth >= kMaxDepth) {
      Fail(v, QStringLiteral("repeat: вложено глубже %1").arg(kMaxDepth));
      return false;
    }
    const YAML::Node times = Get(v, "times"), until = Get(v, "until"), steps = Get(v, "steps");
    bool ok = true;
    if (times.IsDefined()) {
      const auto n = Num(times, "times");
      if (n && (*n < 1 || *n > 100000 || *n != std::floor(*n))) {
        Fail(times, QStringLiteral("times: «%1» — нужно целое от 1 до 100000").arg(Scalar(times)));
        ok = false;
      }
      if (n) s.Times = static_cast<int>(*n);
      ok = ok && n.has_value();
    }
    if (until.IsDefined()) {
      const auto c = Condition(until, "until");
      if (c) s.Condition = *c;
      s.HasCondition = c.has_value();
      ok = ok && c.has_value();
    }
    if (!times.IsDefined() && !until.IsDefined()) {
      Fail(v, QStringLiteral("repeat: нужен times или until"));
      ok = false;
    }
    if (!Require(v, steps, "steps", "repeat")) return false;
    s.Body = Steps(steps, depth + 1);
    return ok && !s.Body.empty();
  }
  Fail(key,
       QStringLiteral("неизвестное действие «%1»; действия: setpoint, ramp, mode, params, "
                      "pulse, stirrer, light, note, alarm, wait, wait_until, wait_elapsed, repeat")
           .arg(Scalar(key)));
  return false;
}

}  // namespace

std::optional<std::int64_t> ParsePlanDuration(const QString& text) {
  static const QRegularExpression part(
      QStringLiteral(R"(^\s*([0-9]+(?:\.[0-9]+)?)\s*(s|sec|min|h|d)?\s*)"));
  QString rest = text.trimmed();
  if (rest.isEmpty()) return std::nullopt;
  double total = 0;
  bool bare = false;
  int parts = 0;
  while (!rest.isEmpty()) {
    const auto m = part.match(rest);
    if (!m.hasMatch()) return std::nullopt;
    const double n = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    if (unit.isEmpty()) {
      if (parts > 0) return std::nullopt;  // a bare number is seconds, alone
      bare = true;
    } else if (bare) {
      return std::nullopt;
    }
    const double scale = unit == QLatin1String("min") ? 60
                         : unit == QLatin1String("h") ? 3600
                         : unit == QLatin1String("d") ? 86400
                                                      : 1;
    total += n * scale;
    ++parts;
    rest = rest.mid(m.capturedLength());
  }
  if (total > 366.0 * 86400) return std::nullopt;  // a year bounds every wait a plan means
  return static_cast<std::int64_t>(std::llround(total * 1000));
}

std::optional<TPlanCondition> ParsePlanCondition(const QString& text) {
  static const QRegularExpression form(
      QStringLiteral(R"(^\s*([A-Za-z0-9°]+)\s*(<=|>=|<|>)\s*([-+]?[0-9]+(?:\.[0-9]+)?)\s*$)"));
  const auto m = form.match(text);
  if (!m.hasMatch()) return std::nullopt;
  TPlanCondition c;
  c.Channel = PlanChannelOf(m.captured(1));
  if (c.Channel == 0) return std::nullopt;
  const QString op = m.captured(2);
  c.Op = op == QLatin1String("<")    ? TPlanCondition::TOp::Less
         : op == QLatin1String("<=") ? TPlanCondition::TOp::LessOrEqual
         : op == QLatin1String(">")  ? TPlanCondition::TOp::Greater
                                     : TPlanCondition::TOp::GreaterOrEqual;
  c.Value = m.captured(3).toDouble();
  return c;
}

std::optional<TPlan> ParsePlan(const QByteArray& text, const QString& fileName,
                               std::vector<TPlanError>* errors) {
  errors->clear();
  TPlan plan;
  plan.FileName = fileName;
  plan.Hash = QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
  plan.Name = QFileInfo(fileName).completeBaseName();
  if (text.size() > kMaxPlanBytes) {
    errors->push_back({0, 0, QStringLiteral("файл больше 1 МБ — это не план")});
    return std::nullopt;
  }
  YAML::Node root;
  try {
    root = YAML::Load(text.toStdString());
  } catch (const YAML::Exception& e) {
    errors->push_back({e.mark.line + 1, e.mark.column + 1, QString::fromStdString(e.msg)});
    return std::nullopt;
  }
  TReader r(errors);
  if (!root.IsMap()) {
    errors->push_back({1, 1, QStringLiteral("план: нужен набор ключей name, vessel, steps")});
    return std::nullopt;
  }
  try {
    r.Keys(root, {"name", "vessel", "steps"}, "план");
    if (const YAML::Node n = TReader::Get(root, "name"); n.IsDefined() && r.IsScalar(n, "name")) {
      plan.Name = TReader::Scalar(n);
    }
    if (const YAML::Node v = TReader::Get(root, "vessel"); v.IsDefined()) {
      const auto n = r.Num(v, "vessel");
      if (n && (*n < 1 || *n != std::floor(*n) || *n > 1000)) {
        r.Fail(v, QStringLiteral("vessel: «%1» — нужен номер сосуда").arg(TReader::Scalar(v)));
      } else if (n) {
        plan.Vessel = static_cast<int>(*n);
      }
    }
    const YAML::Node steps = TReader::Get(root, "steps");
    if (r.Require(root, steps, "steps", "план")) plan.Steps = r.Steps(steps, 0);
  } catch (const YAML::Exception& e) {
    errors->push_back({e.mark.line + 1, e.mark.column + 1, QString::fromStdString(e.msg)});
  }
  if (!errors->empty()) return std::nullopt;
  return plan;
}

std::optional<TPlan> LoadPlanFile(const QString& path, std::vector<TPlanError>* errors) {
  errors->clear();
  QString problem = NotARegularFile(path);
  QFile file(path);
  if (problem.isEmpty() && !file.open(QIODevice::ReadOnly)) problem = file.errorString();
  if (!problem.isEmpty()) {
    errors->push_back({0, 0, QStringLiteral("%1: %2").arg(path, problem)});
    return std::nullopt;
  }
  const QByteArray bytes = file.read(kMaxPlanBytes + 1);
  return ParsePlan(bytes, path, errors);
}

}  // namespace vorta
