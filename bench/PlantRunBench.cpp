// Eight virtual vessels with the whole controller on virtual time, headless:
// how much plant time passes per second of wall time.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "tests/HeadlessPlantRun.h"

namespace {

constexpr double kTargetRatio = 10'000;

void BM_EightVesselsWithController(benchmark::State& state) {
  QTemporaryDir folder;
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QString error;
  if (!vorta::PrepareDemoFolder(folder.path(), &error, 8)) {
    state.SkipWithError(error.toStdString().c_str());
    return;
  }
  const std::int64_t simulatedMs = state.range(0) * 3'600'000;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    vorta::test::THeadlessPlantRun<> run(folder.path());
    if (!run.Start()) {
      state.SkipWithError("the controller did not start");
      return;
    }
    vorta::StartDemoVessels(run.form.Processes());
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    run.time.AdvanceBy(simulatedMs);
    cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.Shutdown();
  }
  const double simulated = static_cast<double>(simulatedMs) / 1000.0 * state.iterations();
  const double ratio = simulated / wallSeconds;
  // On a busy machine the wall figure includes other programs' time; the
  // CPU figure is what one core of our own does.
  const double cpuRatio = simulated / cpuSeconds;
  state.counters["sim_per_wall"] = ratio;
  state.counters["sim_per_cpu"] = cpuRatio;
  std::printf(
      "8 vessels with the controller: %.0fx real time by the wall clock, %.0fx per CPU "
      "second (target %.0fx): a simulated day in %.1f s of wall time, %.1f s of CPU\n",
      ratio, cpuRatio, kTargetRatio, 86'400.0 / ratio, 86'400.0 / cpuRatio);
}
BENCHMARK(BM_EightVesselsWithController)->Arg(6)->Iterations(1)->Unit(benchmark::kSecond);

// The outgoing queue under eight vessels dosing on every channel for six
// simulated hours: its deepest backlog and the frames per second it sends.
void BM_EightVesselsBusLoad(benchmark::State& state) {
  QTemporaryDir folder;
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QString error;
  // Every vessel doses on all four channels, as the bus test does.
  if (!vorta::test::PrepareDosingDemoFolder(folder.path(), 8, &error)) {
    state.SkipWithError(error.toStdString().c_str());
    return;
  }
  constexpr std::int64_t kSimulatedMs = 6 * 3'600'000;
  for (auto _ : state) {
    vorta::test::THeadlessPlantRun<> run(folder.path());
    if (!run.Start()) {
      state.SkipWithError("the controller did not start");
      return;
    }
    vorta::TFrameQueue& queue = run.dm.FrameQueue();
    const std::size_t startPeak = queue.PeakCount();
    std::uint64_t sent = 0;
    std::uint64_t inSecond = 0;
    std::uint64_t busiestSecond = 0;
    auto send = queue.OnSend;
    queue.SetOnSend([&](vorta::TCANFrame& f) {
      ++sent;
      ++inSecond;
      send(f);
    });
    vorta::StartDemoVessels(run.form.Processes());
    run.time.AdvanceBy(3'000);
    queue.ResetPeak();
    sent = 0;
    for (std::int64_t s = 0; s < kSimulatedMs / 1000; ++s) {
      inSecond = 0;
      run.time.AdvanceBy(1'000);
      busiestSecond = std::max(busiestSecond, inSecond);
    }
    const double perSecond = static_cast<double>(sent) / (kSimulatedMs / 1000.0);
    state.counters["queue_peak"] = static_cast<double>(queue.PeakCount());
    state.counters["frames_per_s"] = perSecond;
    std::printf(
        "8 vessels, 4 dosing channels each, 6 h: queue peak %zu frames running (%zu at "
        "start-up), %.1f frames/s on average, %llu in the busiest second, %llu refused\n",
        queue.PeakCount(), startPeak, perSecond, static_cast<unsigned long long>(busiestSecond),
        static_cast<unsigned long long>(queue.RefusedCount()));
    run.Shutdown();
  }
}
BENCHMARK(BM_EightVesselsBusLoad)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
