#include <gtest/gtest.h>

#include "plans/PlanParser.h"

namespace vorta {
namespace {

std::vector<TPlanError> Errors(const char* text) {
  std::vector<TPlanError> errors;
  EXPECT_FALSE(ParsePlan(QByteArray(text), QStringLiteral("bad.yaml"), &errors).has_value())
      << text;
  return errors;
}

TEST(PlanParserTest, ReadsEveryKindOfStep) {
  const char* text = R"(name: Fed-batch
vessel: 2
steps:
  - name: batch
    setpoint: {channel: pO2, value: 30}
  - ramp: {channel: t, to: 37, over: 1 h 30 min}
  - mode: batch
  - params: {pH.gainup: 2.5}
  - pulse: {generator: Epp, period: 5 min, on: 20 s}
  - pulse: {generator: med, on: off}
  - stirrer: 600
  - light: on
  - note: посевной материал внесён
  - alarm: проверить пену
  - wait: 2 d
  - wait_until: {condition: "pO2 > 60", for: 2 min, limit: 10 h, on_timeout: alarm-hold}
  - wait_elapsed: 20 h
  - repeat:
      times: 3
      until: "pH < 6.5"
      steps:
        - wait: 90
)";
  std::vector<TPlanError> errors;
  const auto plan = ParsePlan(QByteArray(text), QStringLiteral("p.yaml"), &errors);
  ASSERT_TRUE(plan.has_value()) << (errors.empty() ? QString() : errors[0].Text()).toStdString();
  EXPECT_EQ(plan->Name, QStringLiteral("Fed-batch"));
  EXPECT_EQ(plan->Vessel, 2);
  ASSERT_EQ(plan->Steps.size(), 14u);
  EXPECT_EQ(plan->Steps[0].Name, QStringLiteral("batch"));
  EXPECT_EQ(plan->Steps[0].Channel, 3);
  EXPECT_EQ(plan->Steps[1].DurationMs, 5'400'000);
  EXPECT_EQ(plan->Steps[4].PeriodMs, 300'000);
  EXPECT_EQ(plan->Steps[4].OnMs, 20'000);
  EXPECT_FALSE(plan->Steps[5].On);
  EXPECT_EQ(plan->Steps[11].OnTimeout, TPlanTimeout::AlarmAndHold);
  EXPECT_EQ(plan->Steps[11].HoldMs, 120'000);
  EXPECT_EQ(plan->Steps[13].Times, 3);
  EXPECT_TRUE(plan->Steps[13].HasCondition);
  EXPECT_EQ(plan->Steps[13].Body[0].DurationMs, 90'000);
  EXPECT_EQ(PlanStepCount(plan->Steps), 14);
  EXPECT_EQ(plan->Hash.size(), 64);
}

// Each bad plan is refused with the line and column of what is wrong.
TEST(PlanParserTest, RefusesBadPlansWithLineAndColumn) {
  struct TCase {
    const char* Text;
    int Line, Column;
    const char* Says;
  };
  const TCase cases[] = {
      {"steps:\n  - setpoint: {channel: pX, value: 7}\n", 2, 25, "pX"},
      {"steps:\n  - wait: 5 weeks\n", 2, 11, "длительность"},
      {"steps:\n  - jump: 3\n", 2, 5, "jump"},
      {"steps:\n  - wait: 1 h\n    note: x\n", 3, 5, "одно действие"},
      {"steps:\n  - wait_until: {condition: \"pO2 >> 60\"}\n", 2, 29, "условие"},
      {"steps:\n  - wait_until: {condition: \"pO2 > 6\", on_timeout: stop}\n", 2, 52, "limit"},
      {"steps:\n  - wait_until: {condition: \"pO2 > 6\", limit: 1 h, on_timeout: later}\n", 2, 64,
       "go-on"},
      {"steps:\n  - repeat: {steps: [{wait: 1}]}\n", 2, 13, "times"},
      {"steps:\n  - pulse: {generator: Epp, period: 10 s, on: 20 s}\n", 2, 47, "периода"},
      {"steps:\n  - ramp: {channel: t, to: 30}\n", 2, 11, "over"},
      {"steps:\n  - light: maybe\n", 2, 12, "on или off"},
      {"steps: [\n", 2, 1, ""},
      {"name: x\n", 1, 1, "steps"},
      {"steps: []\n", 1, 8, "пуст"},
      {"vessel: -1\nsteps:\n  - wait: 1\n", 1, 9, "vessel"},
  };
  for (const TCase& c : cases) {
    const auto errors = Errors(c.Text);
    ASSERT_FALSE(errors.empty()) << c.Text;
    EXPECT_EQ(errors[0].Line, c.Line) << c.Text << errors[0].Text().toStdString();
    EXPECT_EQ(errors[0].Column, c.Column) << c.Text << errors[0].Text().toStdString();
    EXPECT_TRUE(errors[0].Message.contains(QString::fromUtf8(c.Says)))
        << errors[0].Text().toStdString();
  }
}

TEST(PlanParserTest, DurationsAndConditions) {
  EXPECT_EQ(ParsePlanDuration(QStringLiteral("1.5 h")), 5'400'000);
  EXPECT_EQ(ParsePlanDuration(QStringLiteral("2d 3h")), (2 * 24 + 3) * 3'600'000LL);
  EXPECT_EQ(ParsePlanDuration(QStringLiteral("45")), 45'000);
  EXPECT_FALSE(ParsePlanDuration(QStringLiteral("1 h 45")));  // a bare number is alone
  EXPECT_FALSE(ParsePlanDuration(QStringLiteral("-5 min")));
  EXPECT_FALSE(ParsePlanDuration(QStringLiteral("400 d")));
  const auto c = ParsePlanCondition(QStringLiteral("pH<=6.5"));
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->HoldsFor(6.5));
  EXPECT_FALSE(c->HoldsFor(6.51));
  EXPECT_FALSE(c->HoldsFor(0));  // an invalid reading never satisfies a condition
}

}  // namespace
}  // namespace vorta
