// Run plans: what the runner costs the 2-s cycle per vessel, and the
// five-day fed-batch example tried on eight virtual vessels at full speed.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/DemoFolder.h"
#include "app/PlanReport.h"
#include "app/PlantHost.h"
#include "plans/PlanParser.h"
#include "plans/PlanRunner.h"
#include "sim/VirtualPlant.h"

namespace {

constexpr double kCycleTargetNs = 1000;
constexpr double kFedBatchTargetSeconds = 30;

QString FedBatchFile() {
  return QDir(QStringLiteral(VORTA_EXAMPLE_PLANS)).filePath(QStringLiteral("fed-batch.yaml"));
}

// A vessel that answers at once: only the runner is measured. Its oxygen
// jumps at an hour, so that the condition wait ends and the waits follow.
class TQuietVessel : public vorta::IPlanVessel {
 public:
  double Reading(int channel) const override { return channel == 3 && Seconds > 3600 ? 90 : 30; }
  double Setpoint(int) const override { return 0; }
  double ElapsedSeconds() const override { return Seconds; }
  vorta::TPlanApplied Apply(const vorta::TPlanStep&, double, const QString&) override {
    ++Actions;
    return {true, {}};
  }
  void RaiseAlarm(const QString&, const QString&) override {}
  void Record(const QString&) override {}
  double Seconds = 0;
  int Actions = 0;
};

void BM_PlanRunnerCycle(benchmark::State& state) {
  std::vector<vorta::TPlanError> errors;
  const auto plan = vorta::LoadPlanFile(FedBatchFile(), &errors);
  if (!plan) {
    state.SkipWithError("the fed-batch example does not read");
    return;
  }
  TQuietVessel vessel;
  vorta::TPlanRunner runner(*plan, vessel);
  runner.Start(0);
  std::int64_t mono = 0;
  for (auto _ : state) {
    mono += 2000;
    vessel.Seconds = static_cast<double>(mono) / 1000.0;
    runner.Tick(mono);
  }
  // Five days of cycles carry the whole plan out.
  if (vessel.Actions < 8 || runner.State() != vorta::TPlanRunState::Finished) {
    state.SkipWithError("the runner did not carry the plan out");
  }
}
// Five days of 2-s cycles: the time per iteration is the cost per cycle.
BENCHMARK(BM_PlanRunnerCycle)->Iterations(216'000);

void BM_FedBatchEightVesselsFiveDays(benchmark::State& state) {
  QTemporaryDir folder;
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QString error;
  if (!vorta::PrepareDemoFolder(folder.path(), &error, 8)) {
    state.SkipWithError(error.toStdString().c_str());
    return;
  }
  vorta::TFastForwardPlans plans;
  for (int n = 1; n <= 8; ++n) plans.Trials.push_back({n, FedBatchFile()});
  int finished = 0;
  double fed = 0;
  plans.Finished = [&](const vorta::TPlanReport& report) {
    for (const auto& run : report.Runs()) {
      if (run.Last && run.Last->State == vorta::TPlanRunState::Finished) ++finished;
      if (run.Plant != nullptr) {
        fed += run.Plant->Model.State().Dosed[static_cast<size_t>(vorta::sim::TActuator::Feed1)];
      }
    }
  };
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int exit = vorta::RunFastForward(folder.path(), 120, true, {}, {}, plans);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (exit != 0) {
      state.SkipWithError("the fast-forward failed");
      return;
    }
  }
  if (finished != 8 || !(fed > 8 * 100.0)) {
    state.SkipWithError("not every vessel carried its plan out and fed");
    return;
  }
  state.counters["seconds"] = seconds;
  std::printf("fed-batch, 8 vessels, 120 h: %.1f s (target %.0f s), %.0f mL fed in all\n", seconds,
              kFedBatchTargetSeconds, fed);
}
BENCHMARK(BM_FedBatchEightVesselsFiveDays)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  // The report draws its pictures with the chart library.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("plan runner: target %.0f ns per 2-s cycle per vessel\n", kCycleTargetNs);
  return 0;
}
