// How fast the virtual plant runs: 8 vessels with their I/O modules and
// stirrer drives on virtual time, one simulated hour per iteration.
// The counter "x_realtime" is simulated time per wall time.

#include <benchmark/benchmark.h>

#include "platform/VirtualTimerService.h"
#include "sim/VirtualPlant.h"

namespace {

using namespace vorta;
using namespace vorta::sim;

TPlantConfig EightVessels() {
  TPlantConfig c;
  for (int i = 0; i < 8; ++i) {
    const auto base = static_cast<std::uint32_t>(0x1000 * (i + 1));
    c.Devices.push_back({QStringLiteral("IO%1").arg(i), TDeviceKind::IoModule, base, true, true});
    c.Devices.push_back(
        {QStringLiteral("MIX%1").arg(i), TDeviceKind::DcDrive, base + 0x100, true, true});
    TVesselConfig v;
    v.ProcessFile = QStringLiteral("V%1.ini").arg(i);
    v.Board = QStringLiteral("IO%1").arg(i);
    v.Mixer = QStringLiteral("MIX%1").arg(i);
    v.Outputs = {1, 2, 3, 4, 5, 6, 7, 8};
    c.Vessels.push_back(v);
  }
  return c;
}

TCANFrame Write(std::uint32_t id, std::uint8_t lo, std::uint8_t hi) {
  TCANFrame f;
  f.Id = id;
  f.Flags = kFlagExtended;
  f.Len = 2;
  f.Data[0] = lo;
  f.Data[1] = hi;
  return f;
}

void BM_EightVesselsOneHour(benchmark::State& state) {
  TVirtualTimerService time;
  TVirtualPlant plant(EightVessels());
  std::int64_t frames = 0;
  plant.OnFrame = [&](const TCANFrame&) { ++frames; };
  for (std::uint32_t i = 0; i < 8; ++i) {
    const std::uint32_t mixer = 0x1000 * (i + 1) + 0x100;
    plant.HandleFrame(Write(mixer + 4, 0xF4, 0x01));  // 500 rpm
    plant.HandleFrame(Write(mixer + 2, 0x01, 0x01));  // run
  }
  plant.Attach(time);
  constexpr std::int64_t kHourMs = std::int64_t{3600} * 1000;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    // Heater on for the first half of every hour, like a slow regulator.
    for (std::uint32_t i = 0; i < 8; ++i) {
      plant.HandleFrame(Write(0x1000 * (i + 1) + 50, 0x04, 0));
    }
    time.AdvanceBy(kHourMs / 2);
    for (std::uint32_t i = 0; i < 8; ++i) {
      plant.HandleFrame(Write(0x1000 * (i + 1) + 50, 0, 0));
    }
    time.AdvanceBy(kHourMs / 2);
  }
  benchmark::DoNotOptimize(frames);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 3600.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EightVesselsOneHour)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
