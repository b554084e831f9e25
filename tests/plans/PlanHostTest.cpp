// The program's plans on a real vessel record: refused whole when the file
// has a fault, the state on disk at every step change and every minute, and
// resumed by the next run with the down time counted, unless the file changed.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "JournalRows.h"
#include "plans/PlanHost.h"
#include "plans/PlanState.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

using PlanHostTest = ProcessFixture;

TEST_F(PlanHostTest, refusesAFaultyPlanAndResumesARunningOneAfterTheGap) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  const QString state = PlanStateFileName(program_.ProgramFolder, 1);
  WriteFile(QStringLiteral("bad.yaml"), "steps:\n  - setpoint: {channel: pH, value: 15}\n");
  {
    TPlanHost host(time_, program_.ProgramFolder);
    const TPlanStartResult bad = host.Start(p, program_.ProgramFolder + "bad.yaml");
    EXPECT_FALSE(bad.Ok);
    ASSERT_EQ(bad.Errors.size(), 1u);
    EXPECT_EQ(bad.Errors[0].Line, 2);
    EXPECT_EQ(host.Runner(p), nullptr);
    EXPECT_FALSE(QFile::exists(state));
  }

  WriteFile(QStringLiteral("good.yaml"),
            "name: g\nsteps:\n  - setpoint: {channel: pH, value: 6.5}\n  - wait: 10 min\n"
            "  - note: done\n");
  {
    TPlanHost host(time_, program_.ProgramFolder);
    ASSERT_TRUE(host.Start(p, program_.ProgramFolder + "good.yaml").Ok);
    EXPECT_FALSE(host.Start(p, program_.ProgramFolder + "good.yaml").Ok);  // one per vessel
    QString error;
    const auto began = ReadPlanState(state, &error);
    ASSERT_TRUE(began.has_value()) << error.toStdString();
    for (int i = 0; i < 35; ++i) {  // 70 s of 2-s cycles
      time_.AdvanceBy(2000);
      host.Tick();
    }
    const auto later = ReadPlanState(state, &error);
    ASSERT_TRUE(later.has_value());
    EXPECT_GE(later->AliveUtcMs - began->AliveUtcMs, 60'000);  // saved once a minute
    // The program ends without a word (a crash): the state stays as it was.
  }
  time_.AdvanceBy(5 * 60'000);  // down for five minutes
  {
    TPlanHost host(time_, program_.ProgramFolder);
    host.ResumeAll(list_);
    TPlanRunner* r = host.Runner(p);
    ASSERT_NE(r, nullptr);
    const TPlanStatus st = r->Status(time_.MonotonicMs());
    EXPECT_EQ(st.StepNumber, 2);
    // 10 min less the 70 s before the end and the 5 min down.
    EXPECT_NEAR(static_cast<double>(st.RemainingMs), 10 * 60'000 - 70'000 - 5 * 60'000, 2'000);
    const QString all = QString::fromUtf8(test::JournalLastLines(journal.Path(), 5).join('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("перерыва 5 min"))) << all.toStdString();
    host.SaveAll();
  }
  // A file changed on disk is not taken for the one the state was written for.
  WriteFile(QStringLiteral("good.yaml"), "steps:\n  - wait: 1 min\n");
  {
    TPlanHost host(time_, program_.ProgramFolder);
    host.ResumeAll(list_);
    EXPECT_EQ(host.Runner(p), nullptr);
    EXPECT_FALSE(QFile::exists(state));
    const QString all = QString::fromUtf8(test::JournalLastLines(journal.Path(), 2).join('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("не продолжен"))) << all.toStdString();
  }
}

}  // namespace
}  // namespace vorta::testing

namespace vorta::testing {
namespace {

TEST_F(PlanHostTest, theStatePayloadShowsTheStepAndTheNext) {
  TVortaProcess& p = AddProcess(1);
  WriteFile(QStringLiteral("p.yaml"),
            "name: g\nsteps:\n  - setpoint: {channel: pH, value: 6.5}\n  - name: hold\n"
            "    wait: 10 min\n  - name: harvest\n    note: done\n");
  TPlanHost host(time_, program_.ProgramFolder);
  EXPECT_FALSE(QJsonDocument::fromJson(StateJson(p, 0)).object().contains("plan"));
  ASSERT_TRUE(host.Start(p, program_.ProgramFolder + "p.yaml").Ok);
  time_.AdvanceBy(60'000);
  p.Channel[1].Config.Setpoint = 6.8;  // by hand
  const TPlanRunner& r = *host.Runner(p);
  const QJsonObject plan =
      QJsonDocument::fromJson(StateJson(p, 0, PlanStatusJson(r, r.Status(host.MonotonicMs()))))
          .object()["plan"]
          .toObject();
  EXPECT_EQ(plan["step"].toInt(), 2);
  EXPECT_EQ(plan["steps"].toInt(), 3);
  EXPECT_EQ(plan["name"].toString(), "hold");
  EXPECT_EQ(plan["next"].toString(), "harvest");
  EXPECT_EQ(plan["remainingSeconds"].toInt(), 9 * 60);
  EXPECT_EQ(plan["overridden"].toArray(), QJsonArray{"pH"});
}

}  // namespace
}  // namespace vorta::testing
