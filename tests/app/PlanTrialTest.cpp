// The example plans tried on the virtual plant as `--fast-forward --plan`
// does, each with what must have happened to the vessel.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>

#include "app/DemoFolder.h"
#include "app/PlanReport.h"
#include "app/PlantHost.h"
#include "process/ProcessRecord.h"
#include "sim/VirtualPlant.h"

namespace vorta {
namespace {

struct TTrial {
  int Exit = -1;
  TPlanReport::TVesselRun Run;
  sim::TVesselState End;
  QString Folder;

  // The channel's sample nearest to the hour.
  [[nodiscard]] double At(int channel, double hours, bool setpoint = false) const {
    size_t best = 0;
    for (size_t k = 0; k < Run.Hours.size(); ++k) {
      if (std::abs(Run.Hours[k] - hours) < std::abs(Run.Hours[best] - hours)) best = k;
    }
    const auto& series = setpoint ? Run.Setpoint : Run.Value;
    return series[static_cast<size_t>(channel)].at(best);
  }
  [[nodiscard]] const TPlanReport::TStepSpan* Step(const QString& name) const {
    for (const auto& s : Run.Steps) {
      if (s.Text.contains(QStringLiteral("«%1»").arg(name))) return &s;
    }
    return nullptr;
  }
  [[nodiscard]] bool Said(const QString& text) const {
    for (const auto& e : Run.Events) {
      if (e.Text.contains(text)) return true;
    }
    return false;
  }
};

class PlanTrialTest : public ::testing::Test {
 protected:
  TTrial Try(const QString& example, double hours) {
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
    TTrial t;
    t.Folder = folder_.path();
    QString error;
    EXPECT_TRUE(PrepareDemoFolder(t.Folder, &error, 1)) << error.toStdString();
    TFastForwardPlans plans;
    plans.Trials.push_back({1, QDir(QStringLiteral(VORTA_EXAMPLE_PLANS)).filePath(example)});
    plans.Finished = [&t](const TPlanReport& report) {
      ASSERT_EQ(report.Runs().size(), 1u);
      t.Run = report.Runs().front();
      ASSERT_NE(t.Run.Plant, nullptr);
      t.End = t.Run.Plant->Model.State();
    };
    t.Exit = RunFastForward(t.Folder, hours, true, {}, {}, plans);
    return t;
  }

  QTemporaryDir folder_;
  QTemporaryDir runtime_;
};

constexpr double kFeedMlPerSecond = 10.0 / 60.0;  // the plant's feed pump at full speed
const auto kFeed1 = static_cast<size_t>(sim::TActuator::Feed1);

TEST_F(PlanTrialTest, fedBatchStartsItsFeedOnTheOxygenJumpAndRaisesItStepwise) {
  const TTrial t = Try(QStringLiteral("fed-batch.yaml"), 120);
  ASSERT_EQ(t.Exit, 0);
  ASSERT_TRUE(t.Run.Last);
  EXPECT_EQ(t.Run.Last->State, TPlanRunState::Finished);

  // The batch glucose lasts about an hour; the jump ends the wait, not its limit.
  const auto* batch = t.Step(QStringLiteral("batch glucose used up"));
  ASSERT_NE(batch, nullptr);
  EXPECT_GT(batch->Ended, 0.7);
  EXPECT_LT(batch->Ended, 2.5);
  EXPECT_TRUE(t.Said(QStringLiteral("условие pO2 > 60 выполнено")));
  EXPECT_LT(t.At(3, batch->Ended - 0.25), 50.0) << "held near its setpoint while growing";
  EXPECT_GT(t.At(3, batch->Ended), 60.0);

  // The feed dosed what its six rates ask for over their spans, and nothing before the jump.
  const double onSeconds[] = {4, 6, 8, 12, 18, 26};
  double expected = 0;
  for (int k = 1; k <= 6; ++k) {
    const auto* stage = t.Step(QStringLiteral("feed %1").arg(k));
    const auto* next =
        t.Step(k < 6 ? QStringLiteral("feed %1").arg(k + 1) : QStringLiteral("feed off"));
    ASSERT_TRUE(stage && next) << k;
    EXPECT_NEAR(
        stage->Began - (k > 1 ? t.Step(QStringLiteral("feed %1").arg(k - 1))->Began : batch->Ended),
        k > 1 ? 16.0 : 0.0, 0.05)
        << k;
    expected += (next->Began - stage->Began) * 3600.0 / 1200.0 * onSeconds[k - 1];
  }
  EXPECT_NEAR(t.End.OnSeconds[kFeed1], expected, 0.03 * expected);
  EXPECT_NEAR(t.End.Dosed[kFeed1], expected * kFeedMlPerSecond, 0.03 * expected * kFeedMlPerSecond);
  EXPECT_GT(t.End.X * t.End.V, 1.3 * 2.0 * 5.0) << "the feed grew biomass beyond the batch's";

  // The report is beside the data logs: a summary and a picture.
  QFile text(QDir(t.Folder).filePath(QStringLiteral("PlanReport1.txt")));
  ASSERT_TRUE(text.open(QIODevice::ReadOnly));
  const QString summary = QString::fromUtf8(text.readAll());
  EXPECT_TRUE(summary.contains(QStringLiteral("подпитка (Epp) (выход 4): работал")));
  EXPECT_TRUE(summary.contains(QStringLiteral("условие pO2 > 60 выполнено")));
  const QImage picture(QDir(t.Folder).filePath(QStringLiteral("PlanReport1.png")));
  EXPECT_GE(picture.height(), 4 * 200);
}

TEST_F(PlanTrialTest, temperatureShiftInducesAtTheSetElapsedTime) {
  const TTrial t = Try(QStringLiteral("temperature-shift.yaml"), 11);
  ASSERT_EQ(t.Exit, 0);
  ASSERT_TRUE(t.Run.Last);
  EXPECT_EQ(t.Run.Last->State, TPlanRunState::Finished);
  const auto* ramp = t.Step(QStringLiteral("induction"));
  ASSERT_NE(ramp, nullptr);
  EXPECT_NEAR(ramp->Began, 6.0, 0.05) << "the fermentation's clock starts with the trial";
  EXPECT_NEAR(ramp->Ended - ramp->Began, 0.5, 0.05);
  EXPECT_NEAR(t.At(2, 5.9), 30.0, 0.5);
  EXPECT_NEAR(t.At(2, 6.25, true), 36.0, 0.5) << "half way up the ramp";
  EXPECT_NEAR(t.At(2, 7.5), 42.0, 0.5);
}

TEST_F(PlanTrialTest, phShiftFollowsTheCondition) {
  const TTrial t = Try(QStringLiteral("ph-shift.yaml"), 7);
  ASSERT_EQ(t.Exit, 0);
  ASSERT_TRUE(t.Run.Last);
  EXPECT_EQ(t.Run.Last->State, TPlanRunState::Finished);
  const auto* growth = t.Step(QStringLiteral("glucose used up"));
  ASSERT_NE(growth, nullptr);
  EXPECT_GT(growth->Ended, 0.7);
  EXPECT_LT(growth->Ended, 3.0);
  EXPECT_NEAR(t.At(1, growth->Ended - 0.1), 7.0, 0.1);
  EXPECT_NEAR(t.At(1, growth->Ended - 0.1, true), 7.0, 1e-9) << "not lowered before the condition";
  EXPECT_NEAR(t.At(1, t.Run.Hours.back(), true), 6.5, 1e-9);
  EXPECT_NEAR(t.At(1, t.Run.Hours.back()), 6.5, 0.1);
  EXPECT_GT(t.End.Dosed[static_cast<size_t>(sim::TActuator::Acid)], 10.0);
}

TEST_F(PlanTrialTest, aPlanWithAFaultOrNoVesselStartsNothing) {
  qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
  QString error;
  ASSERT_TRUE(PrepareDemoFolder(folder_.path(), &error, 1));
  const QString bad = QDir(folder_.path()).filePath(QStringLiteral("bad.yaml"));
  QFile file(bad);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("steps:\n  - setpoint: {channel: pH, value: 20}\n");
  file.close();
  for (const TPlanTrial& trial :
       {TPlanTrial{1, bad}, TPlanTrial{2, QDir(QStringLiteral(VORTA_EXAMPLE_PLANS))
                                              .filePath(QStringLiteral("ph-shift.yaml"))}}) {
    TFastForwardPlans plans;
    plans.Trials.push_back(trial);
    bool finished = false;
    plans.Finished = [&finished](const TPlanReport&) { finished = true; };
    EXPECT_EQ(RunFastForward(folder_.path(), 1, true, {}, {}, plans), 2) << trial.Vessel;
    EXPECT_FALSE(finished);
    EXPECT_FALSE(QFile::exists(QDir(folder_.path()).filePath(QStringLiteral("PlanReport1.txt"))));
  }
}

TEST_F(PlanTrialTest, aReportNameTakenByALinkIsNotWrittenThrough) {
  QTemporaryDir outside;
  const QString target = QDir(outside.path()).filePath(QStringLiteral("kept.txt"));
  QFile kept(target);
  ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
  kept.write("kept");
  kept.close();
  qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
  QString error;
  ASSERT_TRUE(PrepareDemoFolder(folder_.path(), &error, 1));
  ASSERT_TRUE(
      QFile::link(target, QDir(folder_.path()).filePath(QStringLiteral("PlanReport1.txt"))));
  TFastForwardPlans plans;
  plans.Trials.push_back(
      {1, QDir(QStringLiteral(VORTA_EXAMPLE_PLANS)).filePath(QStringLiteral("ph-shift.yaml"))});
  EXPECT_EQ(RunFastForward(folder_.path(), 0.05, true, {}, {}, plans), kExitWriteFailed);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("kept"));
}

}  // namespace
}  // namespace vorta
