// A vessel's running plan in the state it publishes: its step, the time
// left, the next step and the channels set by hand since.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "plans/PlanHost.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"
#include "tests/process/ProcessFixture.h"

namespace vorta::testing {
namespace {

using PlanHostTest = ProcessFixture;

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
