// Dispatch of received frames over a full device table, and the frame text.
// The figure of merit is the ratio to the highest frame rate of a 125 kbit/s
// bus (about 1,126 frames/s), printed after the table.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "can/CANAdapter.h"
#include "devices/CANBus.h"
#include "devices/CANDevice.h"
#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "devices/MixerInverter.h"
#include "platform/VirtualTimerService.h"

namespace {

using namespace vorta;

constexpr double kBusFramesPerSecond = 1126.0;

struct TFullBus {
  TVirtualTimerService time;
  std::vector<std::unique_ptr<TCANDevice>> devices;
  TCANBus bus;

  TFullBus() {
    for (int i = 0; i < TCANBus::kCapacity; ++i) {
      std::unique_ptr<TCANDevice> device;
      switch (i % 3) {
        case 0:
          device = std::make_unique<TIoModule>(time);
          break;
        case 1:
          device = std::make_unique<TMixerDC>(time);
          break;
        default:
          device = std::make_unique<TMixerInverter>(time);
          break;
      }
      device->DeviceUID = 0x100 * (i + 1);
      bus.Add(device.get());
      devices.push_back(std::move(device));
    }
  }
};

void BM_DispatchFullTable(benchmark::State& state) {
  TFullBus rig;
  // Replies spread over the table, as a polled bus delivers them.
  std::array<TCANFrame, 64> frames{};
  for (std::size_t k = 0; k < frames.size(); ++k) {
    frames[k].Id = static_cast<std::uint32_t>(0x100 * (k % TCANBus::kCapacity + 1) + 32 + k % 24);
    frames[k].Flags = kFlagExtended;
    frames[k].Len = 8;
    for (std::uint8_t& b : frames[k].Data) b = static_cast<std::uint8_t>(k);
  }
  std::size_t k = 0;
  for (auto _ : state) {
    rig.bus.Dispatch(frames[k]);
    k = (k + 1) % frames.size();
  }
  benchmark::DoNotOptimize(rig.devices.front()->Regs.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchFullTable);

void BM_FrameText(benchmark::State& state) {
  TCANFrame frame;
  frame.Id = 0x1028;
  frame.Flags = kFlagExtended | kFlagRemote;
  frame.Len = 8;
  for (auto _ : state) {
    QString text = FrameText(frame);
    benchmark::DoNotOptimize(text.constData());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameText);

// The console table, then one line per benchmark with its ratio to the bus.
class TRatioReporter final : public benchmark::ConsoleReporter {
 public:
  TRatioReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto it = run.counters.find("items_per_second");
      if (run.error_occurred || it == run.counters.end()) continue;
      const double rate = it->second.value;
      lines_.push_back(run.benchmark_name() + ": " + std::to_string(std::llround(rate)) +
                       " frames/s = " + std::to_string(std::llround(rate / kBusFramesPerSecond)) +
                       "x the 125 kbit/s bus (1,126 frames/s)");
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const std::string& line : lines_) std::printf("%s\n", line.c_str());
  }

 private:
  std::vector<std::string> lines_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
