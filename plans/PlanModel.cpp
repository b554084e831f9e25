#include "plans/PlanModel.h"

#include <QStringList>

namespace vorta {

bool TPlanCondition::HoldsFor(double reading) const {
  if (reading == 0) return false;  // invalid or outside its limits
  switch (Op) {
    case TOp::Less:
      return reading < Value;
    case TOp::LessOrEqual:
      return reading <= Value;
    case TOp::Greater:
      return reading > Value;
    case TOp::GreaterOrEqual:
      return reading >= Value;
  }
  return false;
}

QString TPlanCondition::Text() const {
  static const char* const ops[] = {"<", "<=", ">", ">="};
  return QStringLiteral("%1 %2 %3")
      .arg(PlanChannelName(Channel), QLatin1String(ops[static_cast<int>(Op)]))
      .arg(Value);
}

bool TPlanStep::IsAction() const {
  switch (Kind) {
    case TPlanStepKind::Ramp:
    case TPlanStepKind::Wait:
    case TPlanStepKind::WaitUntil:
    case TPlanStepKind::WaitElapsed:
    case TPlanStepKind::Repeat:
      return false;
    default:
      return true;
  }
}

QString TPlanStep::Describe() const {
  switch (Kind) {
    case TPlanStepKind::Setpoint:
      return QStringLiteral("setpoint %1 %2").arg(PlanChannelName(Channel)).arg(Value);
    case TPlanStepKind::Ramp:
      return QStringLiteral("ramp %1 to %2 over %3")
          .arg(PlanChannelName(Channel))
          .arg(Value)
          .arg(PlanDurationText(DurationMs));
    case TPlanStepKind::Mode:
      return QStringLiteral("mode %1").arg(Text);
    case TPlanStepKind::Params: {
      QStringList items;
      for (const auto& [key, value] : Params) items << key + QLatin1Char('=') + value;
      return QStringLiteral("params %1").arg(items.join(QLatin1Char(' ')));
    }
    case TPlanStepKind::Pulse:
      return QStringLiteral("%1 period %2 on %3")
          .arg(Generator == TPlanGenerator::Feed ? QStringLiteral("Epp") : QStringLiteral("Med"))
          .arg(PlanDurationText(PeriodMs), On ? PlanDurationText(OnMs) : QStringLiteral("off"));
    case TPlanStepKind::Stirrer:
      return QStringLiteral("stirrer %1 rpm").arg(Value);
    case TPlanStepKind::Light:
      return On ? QStringLiteral("light on") : QStringLiteral("light off");
    case TPlanStepKind::Note:
      return QStringLiteral("note: %1").arg(Text);
    case TPlanStepKind::Alarm:
      return QStringLiteral("alarm: %1").arg(Text);
    case TPlanStepKind::Wait:
      return QStringLiteral("wait %1").arg(PlanDurationText(DurationMs));
    case TPlanStepKind::WaitUntil: {
      QString text = QStringLiteral("wait until %1").arg(Condition.Text());
      if (HoldMs > 0) text += QStringLiteral(" for %1").arg(PlanDurationText(HoldMs));
      if (LimitMs > 0) text += QStringLiteral(" (limit %1)").arg(PlanDurationText(LimitMs));
      return text;
    }
    case TPlanStepKind::WaitElapsed:
      return QStringLiteral("wait until elapsed %1").arg(PlanDurationText(DurationMs));
    case TPlanStepKind::Repeat: {
      QString text = QStringLiteral("repeat");
      if (Times > 0) text += QStringLiteral(" %1 times").arg(Times);
      if (HasCondition) text += QStringLiteral(" until %1").arg(Condition.Text());
      return text;
    }
  }
  return {};
}

QString PlanChannelName(int channel) {
  static const char* const names[] = {"?", "pH", "t°C", "pO2", "eH"};
  return QString::fromUtf8(names[channel >= 1 && channel <= 4 ? channel : 0]);
}

int PlanChannelOf(const QString& name) {
  const QString n = name.trimmed().toLower();
  if (n == QLatin1String("ph")) return 1;
  if (n == QLatin1String("t") || n == QString::fromUtf8("t°c") || n == QLatin1String("temperature"))
    return 2;
  if (n == QLatin1String("po2")) return 3;
  if (n == QLatin1String("eh")) return 4;
  return 0;
}

QString PlanDurationText(std::int64_t ms) {
  std::int64_t s = ms / 1000;
  if (s < 60) return QStringLiteral("%1 s").arg(s);
  const std::int64_t d = s / 86400, h = s / 3600 % 24, m = s / 60 % 60;
  QStringList parts;
  if (d > 0) parts << QStringLiteral("%1 d").arg(d);
  if (h > 0) parts << QStringLiteral("%1 h").arg(h);
  if (m > 0 && d == 0) parts << QStringLiteral("%1 min").arg(m);
  if (parts.isEmpty()) parts << QStringLiteral("%1 s").arg(s);
  return parts.join(QLatin1Char(' '));
}

int PlanStepCount(const std::vector<TPlanStep>& steps) {
  int n = 0;
  for (const TPlanStep& s : steps) n += s.Kind == TPlanStepKind::Repeat ? PlanStepCount(s.Body) : 1;
  return n;
}

}  // namespace vorta
