// A plan against a real vessel record: checked by the command layer's
// check-only forms before it starts, carried out through the layer with the
// plan and step in the journal.

#include "JournalRows.h"
#include "plans/PlanVessel.h"
#include "process/ProcessRecord.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

using PlanVesselTest = ProcessFixture;

TPlan Parse(const char* text) {
  std::vector<TPlanError> errors;
  auto plan = ParsePlan(QByteArray(text), QStringLiteral("t.yaml"), &errors);
  EXPECT_TRUE(plan.has_value()) << (errors.empty() ? QString() : errors[0].Text()).toStdString();
  return plan ? *plan : TPlan{};
}

TEST_F(PlanVesselTest, checkRefusesWhatTheLayerWouldRefuseWithLineAndColumn) {
  TVortaProcess& p = AddProcess(1);  // pH 0..14
  const TPlan bad = Parse(R"(steps:
  - setpoint: {channel: pH, value: 14.5}
  - mode: fedbatch
  - repeat:
      times: 2
      steps:
        - ramp: {channel: pH, to: -1, over: 1 h}
  - params: {channel: pH, gain: 2}
  - pulse: {generator: Epp, period: 7 s, on: 3 s}
  - light: off
  - setpoint: {channel: pH, value: 6.8}
)");
  const std::vector<TPlanError> errors = CheckPlan(bad, p);
  QStringList texts;
  for (const TPlanError& e : errors) texts << e.Text();
  ASSERT_EQ(errors.size(), 5u) << texts.join(u'\n').toStdString();
  EXPECT_EQ(errors[0].Line, 2);
  EXPECT_EQ(errors[0].Column, 36);
  EXPECT_TRUE(errors[0].Message.contains(QStringLiteral("0.00..14.00")))
      << errors[0].Text().toStdString();
  EXPECT_EQ(errors[1].Line, 3);
  EXPECT_EQ(errors[2].Line, 7);
  EXPECT_TRUE(errors[3].Message.contains(QStringLiteral("gain"))) << errors[3].Text().toStdString();
  EXPECT_EQ(errors[4].Line, 10);  // the pulse of line 9 counts whole seconds
  // Checking changed nothing.
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.Setpoint, 7.0);
  EXPECT_TRUE(p.SaveRequest.Empty());
}

TEST_F(PlanVesselTest, actionsGoThroughTheLayerWithThePlanAndStepInTheJournal) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  TPlan plan = Parse(R"(name: shift
steps:
  - name: acid
    setpoint:
      channel: pH
      value: 6,5
  - note: pH lowered
)");
  TPlanVessel vessel(p);
  ASSERT_TRUE(CheckPlan(plan, p).empty());
  TPlanRunner runner(plan, vessel);
  runner.Start(0);
  EXPECT_EQ(runner.State(), TPlanRunState::Finished);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.Setpoint, 6.5);
  EXPECT_TRUE(p.SaveRequest.Contains(TWriteBackGroup::Setpoints));
  const QStringList changes = journal.Changes();
  EXPECT_TRUE(changes.contains(QStringLiteral("1 F1|[pH] #1 Уставка|7.00|6.50|Plan")))
      << changes.join(u'\n').toStdString();
  const QString all = QString::fromUtf8(test::JournalLastLines(journal.Path(), 20).join('\n'));
  EXPECT_TRUE(all.contains(QStringLiteral("план «shift», шаг 1 из 2 «acid»"))) << all.toStdString();
  EXPECT_TRUE(all.contains(QStringLiteral("pH lowered")));
}

// A step that names one parameter leaves the others exactly as they were
// (the dialog shows them rounded), and a switch reads as everywhere else.
TEST_F(PlanVesselTest, aParamsStepChangesOnlyWhatItNames) {
  TVortaProcess& p = AddProcess(1);
  p.Channel[1].Config.GainUp = 1.234;
  p.Channel[1].Config.DeadZone = 0.125;
  TPlanVessel vessel(p);
  TPlanRunner runner(Parse(R"(name: gains
steps:
  - params: {channel: pH, gaindown: 2.5, enable: yes}
)"),
                     vessel);
  runner.Start(0);
  EXPECT_EQ(runner.State(), TPlanRunState::Finished);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.GainDown, 2.5);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.GainUp, 1.234);
  EXPECT_DOUBLE_EQ(p.Channel[1].Config.DeadZone, 0.125);
  EXPECT_EQ(p.Channel[1].Config.CtrlEnable, 1);
}

}  // namespace
}  // namespace vorta::testing
