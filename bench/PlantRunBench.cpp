// Eight virtual vessels with the whole controller on virtual time, headless:
// how much plant time passes per second of wall time.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "app/PlantHost.h"
#include "can/AdapterFactory.h"
#include "can/CANService.h"
#include "panel/PanelView.h"
#include "platform/Chai.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
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
    vorta::TCANService dm(time, factory);
    vorta::TMainForm form({time, messages, windows, window, dm}, folder.path());
    if (form.Start() != vorta::TMainForm::TStartResult::Running) {
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

// Every vessel doses on all four channels (pO2 and eH on outputs of their
// own), as the bus test does.
bool RegulateAllChannels(const QString& path) {
  vorta::TProfileFile ini(path);
  const struct {
    const char* section;
    int up, down;
    const char* gain;
  } extra[] = {{"CtrlpO2%", 10, 11, "0.06"}, {"CtrleH", 12, 13, "0.015"}};
  for (const auto& c : extra) {
    const QString s = QString::fromLatin1(c.section);
    ini.WriteInteger(s, QStringLiteral("Up"), c.up);
    ini.WriteInteger(s, QStringLiteral("Down"), c.down);
    ini.WriteInteger(s, QStringLiteral("Enable"), 1);
    ini.WriteString(s, QStringLiteral("DeadZone"), QStringLiteral("0.50"));
    ini.WriteString(s, QStringLiteral("GainUp"), QString::fromLatin1(c.gain));
    ini.WriteString(s, QStringLiteral("GainDown"), QString::fromLatin1(c.gain));
    ini.WriteString(s, QStringLiteral("Modes"), QStringLiteral("0,1,1,1"));
  }
  return ini.UpdateFile();
}

// The outgoing queue under eight vessels dosing on every channel for six
// simulated hours: its deepest backlog and the frames per second it sends.
void BM_EightVesselsBusLoad(benchmark::State& state) {
  QTemporaryDir folder;
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QString error;
  if (!vorta::PrepareDemoFolder(folder.path(), &error, 8)) {
    state.SkipWithError(error.toStdString().c_str());
    return;
  }
  for (int n = 1; n <= 8; ++n) {
    if (!RegulateAllChannels(folder.filePath(QStringLiteral("Process%1.ini").arg(n)))) {
      state.SkipWithError("cannot write a process file");
      return;
    }
  }
  constexpr std::int64_t kSimulatedMs = 6 * 3'600'000;
  for (auto _ : state) {
    vorta::ChaiReset();
    vorta::TVirtualTimerService time;
    vorta::TStderrMessageSink messages;
    vorta::THeadlessWindowFactory windows;
    vorta::THeadlessMainWindow window;
    vorta::TPlantHost plant(folder.path(), time);
    vorta::TAdapterFactory factory;
    vorta::RegisterStandardAdapters(factory);
    vorta::TCANService dm(time, factory);
    vorta::TMainForm form({time, messages, windows, window, dm}, folder.path());
    if (form.Start() != vorta::TMainForm::TStartResult::Running) {
      state.SkipWithError("the controller did not start");
      return;
    }
    vorta::TFrameQueue& queue = dm.FrameQueue();
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
    vorta::StartDemoVessels(form.Processes());
    time.AdvanceBy(3'000);
    queue.ResetPeak();
    sent = 0;
    for (std::int64_t s = 0; s < kSimulatedMs / 1000; ++s) {
      inSecond = 0;
      time.AdvanceBy(1'000);
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
    form.Program().ShutdownRequested = true;
    time.AdvanceBy(40);
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
