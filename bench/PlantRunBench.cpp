// Eight virtual vessels with the whole controller on virtual time, headless:
// how much plant time passes per second of wall time.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/DemoFolder.h"
#include "app/PlantHost.h"
#include "app/mainf.h"
#include "can/AdapterFactory.h"
#include "can/VortaWork.h"
#include "panel/PanelView.h"
#include "platform/Chai.h"
#include "platform/Messages.h"
#include "platform/VirtualTimerService.h"

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
    vorta::ChaiReset();
    vorta::TVirtualTimerService time;
    vorta::TStderrMessageSink messages;
    vorta::THeadlessWindowFactory windows;
    vorta::THeadlessMainWindow window;
    vorta::TPlantHost plant(folder.path(), time);
    vorta::TAdapterFactory factory;
    vorta::RegisterStandardAdapters(factory);
    vorta::TdmVorta dm(time, factory);
    vorta::TForm1 form({time, messages, windows, window, dm}, folder.path());
    if (form.FormCreate() != vorta::TForm1::TStartResult::Running) {
      state.SkipWithError("the controller did not start");
      return;
    }
    vorta::StartDemoVessels(form.Processes());
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    time.AdvanceBy(simulatedMs);
    cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    form.Program().ShutdownRequested = true;
    time.AdvanceBy(40);
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

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
