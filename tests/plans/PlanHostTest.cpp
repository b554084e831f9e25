// The program's plans on a real vessel record: refused whole when the file
// has a fault, the state on disk at every step change and every minute, and
// resumed by the next run with the down time counted, unless the file changed.

#include <QFile>

#include "JournalRows.h"
#include "plans/PlanHost.h"
#include "plans/PlanState.h"
#include "process/ProcessRecord.h"
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
