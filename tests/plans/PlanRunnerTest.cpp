#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "plans/PlanParser.h"
#include "plans/PlanRunner.h"
#include "plans/PlanState.h"

namespace vorta {
namespace {

class TFakeVessel : public IPlanVessel {
 public:
  double Reading(int channel) const override { return Readings[static_cast<size_t>(channel)]; }
  double Setpoint(int channel) const override { return Setpoints[static_cast<size_t>(channel)]; }
  double ElapsedSeconds() const override { return Elapsed; }
  TPlanApplied Apply(const TPlanStep& step, double value, const QString& where) override {
    Applied << step.Describe() + QStringLiteral(" @ ") + where;
    if (step.Kind == TPlanStepKind::Setpoint || step.Kind == TPlanStepKind::Ramp) {
      Setpoints[static_cast<size_t>(step.Channel)] = value;
    }
    if (step.Kind == TPlanStepKind::Stirrer) ++StirrerCalls;
    return {!Refuse, Refuse ? QStringLiteral("refused") : QString()};
  }
  void RaiseAlarm(const QString& text, const QString&) override { Alarms << text; }
  void Record(const QString& text) override { Journal << text; }

  std::array<double, 5> Readings{0, 7, 30, 40, 100};
  std::array<double, 5> Setpoints{0, 7, 30, 40, 100};
  double Elapsed = 0;
  bool Refuse = false;
  int StirrerCalls = 0;
  QStringList Applied, Alarms, Journal;
};

TPlan Parse(const char* text) {
  std::vector<TPlanError> errors;
  auto plan = ParsePlan(QByteArray(text), QStringLiteral("t.yaml"), &errors);
  EXPECT_TRUE(plan.has_value()) << (errors.empty() ? QString() : errors[0].Text()).toStdString();
  return plan ? *plan : TPlan{};
}

// Runs 2-s cycles from `from` up to and including `to`.
void Cycles(TPlanRunner& r, std::int64_t from, std::int64_t to) {
  for (std::int64_t t = from; t <= to; t += 2000) r.Tick(t);
}

TEST(PlanRunnerTest, StepsRepeatsAndWaitsInOrder) {
  TFakeVessel v;
  TPlanRunner r(Parse(R"(steps:
  - setpoint: {channel: pH, value: 6.8}
  - repeat:
      times: 3
      steps:
        - stirrer: 500
        - name: pause
          wait: 10 s
  - note: done
)"),
                v);
  int changes = 0;
  r.OnChanged = [&] { ++changes; };
  r.Start(0);
  EXPECT_DOUBLE_EQ(v.Setpoints[1], 6.8);
  EXPECT_EQ(v.StirrerCalls, 1);
  const TPlanStatus st = r.Status(4000);
  EXPECT_EQ(st.StepNumber, 3);
  EXPECT_EQ(st.StepCount, 4);
  EXPECT_EQ(st.StepName, QStringLiteral("pause"));
  EXPECT_EQ(st.RemainingMs, 6000);
  EXPECT_EQ(st.Iteration, 1);
  EXPECT_EQ(st.Times, 3);
  Cycles(r, 2000, 28'000);
  EXPECT_EQ(v.StirrerCalls, 3);
  EXPECT_EQ(r.State(), TPlanRunState::Running);
  Cycles(r, 30'000, 40'000);
  EXPECT_EQ(r.State(), TPlanRunState::Finished);
  EXPECT_EQ(v.StirrerCalls, 3);
  EXPECT_TRUE(v.Applied.last().contains(QStringLiteral("note: done")));
  EXPECT_TRUE(v.Applied.first().contains(QStringLiteral("шаг 1 из 4")));
  EXPECT_GE(changes, 8);  // every step change is saved
}

TEST(PlanRunnerTest, ConditionHoldsForItsTimeAndRunsOut) {
  const char* plan = R"(steps:
  - wait_until: {condition: "pO2 > 60", for: 10 s, limit: 1 min, on_timeout: %1}
  - note: after
)";
  for (const char* what : {"go-on", "stop", "alarm-hold"}) {
    TFakeVessel v;
    TPlanRunner r(Parse(QString::fromLatin1(plan).arg(QLatin1String(what)).toUtf8().constData()),
                  v);
    r.Start(0);
    v.Readings[3] = 70;
    Cycles(r, 2000, 8000);
    v.Readings[3] = 50;  // broken before it held 10 s: counting starts again
    Cycles(r, 10'000, 10'000);
    v.Readings[3] = 70;
    Cycles(r, 12'000, 20'000);
    EXPECT_EQ(r.Current()->Kind, TPlanStepKind::WaitUntil) << what;
    v.Readings[3] = 50;
    Cycles(r, 22'000, 60'000);
    if (QLatin1String(what) == QLatin1String("go-on")) {
      EXPECT_EQ(r.State(), TPlanRunState::Finished);
    } else if (QLatin1String(what) == QLatin1String("stop")) {
      EXPECT_EQ(r.State(), TPlanRunState::Stopped);
      EXPECT_TRUE(v.Applied.isEmpty());
    } else {
      EXPECT_EQ(r.State(), TPlanRunState::Held);
      EXPECT_EQ(v.Alarms.size(), 1);
      EXPECT_TRUE(r.Continue(70'000));  // waits again, with its whole limit
      v.Readings[3] = 70;
      Cycles(r, 72'000, 80'000);
      EXPECT_EQ(r.State(), TPlanRunState::Running);
      Cycles(r, 82'000, 82'000);
      EXPECT_EQ(r.State(), TPlanRunState::Finished);
    }
  }
}

TEST(PlanRunnerTest, RampFollowsTheClockAndYieldsToTheOperator) {
  TFakeVessel v;
  v.Setpoints[2] = 30;
  TPlanRunner r(Parse("steps:\n  - ramp: {channel: t, to: 40, over: 10 min}\n  - wait: 1 h\n"), v);
  r.Start(0);
  Cycles(r, 2000, 300'000);
  EXPECT_NEAR(v.Setpoints[2], 35, 0.01);
  EXPECT_LE(v.Applied.size(), 6);  // once a minute, not every cycle
  v.Setpoints[2] = 33;             // by hand
  Cycles(r, 302'000, 600'000);
  EXPECT_DOUBLE_EQ(v.Setpoints[2], 33);
  EXPECT_EQ(r.Current()->Kind, TPlanStepKind::Wait);
  EXPECT_EQ(r.Status(600'000).Overridden, std::vector<int>{2});
}

TEST(PlanRunnerTest, RefusedActionStopsThePlan) {
  TFakeVessel v;
  v.Refuse = true;
  TPlanRunner r(Parse("steps:\n  - mode: batch\n  - wait: 1 h\n"), v);
  r.Start(0);
  EXPECT_EQ(r.State(), TPlanRunState::Stopped);
  EXPECT_TRUE(v.Journal.last().contains(QStringLiteral("refused")));
}

// The program ends in the middle of each kind of step; a new runner resumes
// from the state file with the down time counted.
TEST(PlanRunnerTest, ResumesEachKindOfStepAfterAnEnd) {
  const char* text = R"(steps:
  - wait: 10 min
  - wait_until: {condition: "pH < 6.5", for: 1 min}
  - ramp: {channel: t, to: 40, over: 1 h}
  - repeat:
      times: 4
      steps:
        - wait: 5 min
  - note: end
)";
  QTemporaryDir dir;
  const QString path = PlanStateFileName(dir.path(), 1);
  const std::int64_t utc0 = 1'700'000'000'000;
  auto killAndResume = [&](TPlanRunner& before, std::int64_t mono, std::int64_t downMs,
                           TFakeVessel& v2) {
    QString error;
    EXPECT_TRUE(WritePlanState(path, before.Snapshot(mono, utc0 + mono), &error))
        << error.toStdString();
    const auto saved = ReadPlanState(path, &error);
    EXPECT_TRUE(saved.has_value()) << error.toStdString();
    auto after = std::make_unique<TPlanRunner>(Parse(text), v2);
    EXPECT_TRUE(after->Resume(*saved, 5000, utc0 + mono + downMs));
    return after;
  };

  // A wait that ran out while the program was down ends at once.
  TFakeVessel v;
  TPlanRunner r(Parse(text), v);
  r.Start(0);
  Cycles(r, 2000, 240'000);
  TFakeVessel v2;
  auto r2 = killAndResume(r, 240'000, 400'000, v2);
  EXPECT_EQ(r2->Current()->Kind, TPlanStepKind::WaitUntil);
  EXPECT_TRUE(v2.Journal.first().contains(QStringLiteral("перерыва 6 min")))
      << v2.Journal.first().toStdString();

  // A condition must hold its whole time again after the restart.
  v2.Readings[1] = 6.4;
  Cycles(*r2, 7000, 47'000);
  TFakeVessel v3;
  v3.Readings[1] = 6.4;
  auto r3 = killAndResume(*r2, 47'000, 30'000, v3);
  EXPECT_EQ(r3->Current()->Kind, TPlanStepKind::WaitUntil);
  Cycles(*r3, 7000, 67'000);
  EXPECT_EQ(r3->Current()->Kind, TPlanStepKind::Ramp);
  EXPECT_DOUBLE_EQ(v3.Setpoints[2], 40 - 10);  // the ramp starts from 30

  // A ramp goes on where the clock says: 20 min in, 10 min down → half way.
  Cycles(*r3, 69'000, 67'000 + 1'200'000);
  TFakeVessel v4;
  v4.Setpoints[2] = v3.Setpoints[2];
  auto r4 = killAndResume(*r3, 67'000 + 1'200'000, 600'000, v4);
  EXPECT_EQ(r4->Current()->Kind, TPlanStepKind::Ramp);
  EXPECT_NEAR(v4.Setpoints[2], 35, 0.1);

  // Inside a repeat: the round and the step are kept.
  Cycles(*r4, 7000, 7000 + 1'800'000 + 2 * 300'000 + 60'000);
  ASSERT_EQ(r4->Status(0).Iteration, 3);
  const std::int64_t left = r4->Status(7000 + 2'460'000).RemainingMs;
  TFakeVessel v5;
  auto r5 = killAndResume(*r4, 7000 + 2'460'000, 60'000, v5);
  const TPlanStatus st = r5->Status(5000);
  EXPECT_EQ(st.Iteration, 3);
  EXPECT_EQ(st.RemainingMs, left - 60'000);  // the minute down counted
  // A snapshot of another file's plan is not resumed.
  TPlanSnapshot other = r5->Snapshot(5000, utc0);
  other.Hash = "00";
  TFakeVessel v6;
  TPlanRunner r6(Parse(text), v6);
  EXPECT_FALSE(r6.Resume(other, 0, utc0));
}

// An operator's skip moves a paused plan on without letting it run, also
// from the last step of a repeat's round into the next round.
TEST(PlanRunnerTest, SkipKeepsAPausedPlanPaused) {
  TFakeVessel v;
  TPlanRunner r(Parse(R"(steps:
  - repeat:
      times: 2
      steps:
        - wait: 1 h
  - wait: 1 h
)"),
                v);
  r.Start(0);
  ASSERT_TRUE(r.Pause(2000));
  // Every state written on the way is a paused one: a kill in between must
  // not resume the plan running.
  r.OnChanged = [&r] { EXPECT_EQ(r.State(), TPlanRunState::Paused); };
  ASSERT_TRUE(r.Skip(4000));
  EXPECT_EQ(r.State(), TPlanRunState::Paused);
  EXPECT_EQ(r.Status(4000).Iteration, 2);
  ASSERT_TRUE(r.Skip(6000));
  EXPECT_EQ(r.State(), TPlanRunState::Paused);
  EXPECT_EQ(r.Status(6000).StepNumber, 2);
}

}  // namespace
}  // namespace vorta
