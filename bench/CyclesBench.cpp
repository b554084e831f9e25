// Eight vessels with every channel regulating, on virtual time, with the I/O
// modules and DC drives answering their polls through an in-memory adapter:
// how much faster than real time the cycles run, and the wall time of one
// 2-s cycle as the program runs it (alarm checks included), of the minute's
// close and of one 40-ms cycle over the eight processes.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "devices/CANService.h"
#include "devices/IoModule.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "process/AlarmChecks.h"
#include "process/CycleContext.h"
#include "process/CycleTimers.h"
#include "process/MeasurementCycle.h"
#include "process/OutputCycle.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "process/RegulationCycle.h"

namespace vorta {
namespace {

constexpr int kVessels = 8;

// Answers every remote request from the device's side: analog codes near the
// setpoints for the modules, a speed for the drives.
class TAnsweringAdapter final : public TCANAdapter {
 public:
  void SetActive(bool value) override { SetActiveState(value); }
  void Send(TCANFrame& frame) override {
    ++sent;
    if ((frame.Flags & kFlagRemote) == 0) return;
    TCANFrame reply = frame;
    reply.Flags = static_cast<std::uint8_t>(frame.Flags & ~kFlagRemote);
    const std::uint32_t offset = frame.Id & 0xFFU;
    ++noise;
    const auto jitter = static_cast<std::uint16_t>(noise % 7);
    const std::uint16_t words[4] = {
        static_cast<std::uint16_t>(1675 + jitter), static_cast<std::uint16_t>(1360 + jitter),
        static_cast<std::uint16_t>(1250 + jitter), static_cast<std::uint16_t>(1400 + jitter)};
    for (int i = 0; i < 4; ++i) {
      reply.Data[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
      reply.Data[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    if (offset == 58) {  // drive: registers 29..32, speed in 30
      reply.Data[2] = 0x2C;
      reply.Data[3] = 0x01;
    }
    Receive(reply);
  }
  std::uint64_t sent = 0;
  std::uint32_t noise = 0;
};

QByteArray CanIni() {
  QByteArray text = "[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=16\n";
  QByteArray sections;
  for (int k = 0; k < kVessels; ++k) {
    const QByteArray n = QByteArray::number(k + 1);
    text += "Name" + QByteArray::number(2 * k) + "=Board" + n + "\n";
    text += "Name" + QByteArray::number(2 * k + 1) + "=Mix" + n + "\n";
    sections += "[Board" + n +
                "]\nType=TSUABB\nActive=OFF\nDeviceUID=" + QByteArray::number(0x1000 * (k + 1)) +
                "\n";
    sections += "[Mix" + n + "]\nType=TMixerDC\nActive=OFF\nDeviceUID=" +
                QByteArray::number(0x1000 * (k + 1) + 0x800) + "\n";
  }
  return text + sections;
}

QByteArray ProcessIni(int k) {
  const QByteArray n = QByteArray::number(k);
  QByteArray text = "[Port]\nNameProcess=F%d\nNumProcess=" + n + "\nProtocolname=Protocol" + n +
                    ".txt\n[Hardware]\nBoard=Board" + n + "\nMixer=Mix" + n +
                    "\n[Channels]\nch1=1 Acid\nch2=1 Alkali\nch3=1 Base\nch4=1 Feed\n"
                    "ch5=1 Air\nch6=1 Heat\nch7=1 Cool\n"
                    "[AssignName]\n1=pH\n2=tC\n3=O2\n4=eH\n5=Common\n"
                    "[Ctrlpo2]\npo2ctrlmotor=1\npo2motorperiod=2\n"
                    "[EPP]\neppperiod=5\neppact=2\neppexist=1\neppch=5\n"
                    "[Terminate]\nsucsesful=N\n";
  // "pO2" would make "CtrlpO2", the same section as "Ctrlpo2".
  const char* names[] = {"pH", "tC", "O2", "eH"};
  const char* sets[] = {"7.00", "37.00", "3.00", "4.50"};
  for (int c = 0; c < 4; ++c) {
    text += QByteArray("[") + names[c] + "]\nS=" + sets[c] +
            "\nL=0.00\nMin=0.00\nMax=100.00\nV1=0.00\nV2=10.00\nA1=1000\nA2=2000\n";
    text += QByteArray("[Ctrl") + names[c] + "]\nP=1\nU=" + QByteArray::number(2 * c + 1) +
            "\nD=" + QByteArray::number(2 * c + 2) +
            "\nE=1\nLo=-100.00\nHi=100.00\nDZ=0.01\nGU=1.00\nGD=1.00\nM=0,1,1,1\n";
  }
  return text;
}

// The whole program's engine side for eight vessels.
struct TPlant {
  TPlant() {
    program.ProgramFolder = dir.path() + u'/';
    Write(QStringLiteral("VortaCAN.ini"), CanIni());
    TAdapterFactory factory;
    auto creator = [this](const TAdapterConfig&) {
      auto a = std::make_unique<TAnsweringAdapter>();
      adapter = a.get();
      return a;
    };
    factory.Register(TAdapterFactory::kUsbType, creator);
    module = std::make_unique<TCANService>(time, factory);
    TProfileFile can(program.ProgramFolder + QStringLiteral("VortaCAN.ini"));
    module->LoadConfig(can);
    adapter->SetOnReceive([this](TCANFrame& f) { module->HandleFrame(f); });
    module->StartTimers();
    env.Bus = &module->Bus();
    env.canService = module.get();
    // The cycles run with the journal as in the program.
    journal.Open();
    env.Journal = &journal;
    env.Alarms = &alarms;
    for (int k = 1; k <= kVessels; ++k) {
      const QString name = QStringLiteral("proc%1.ini").arg(k);
      // A log ending in "Butch" restores batch mode at load.
      Write(QStringLiteral("Protocol%1.txt").arg(k), "Date\tMode\r\nx\tButch\r\n");
      Write(name, ProcessIni(k));
      list.Add(std::make_unique<TVortaProcess>(env, name));
    }
  }

  void Write(const QString& name, const QByteArray& text) {
    QFile f(program.ProgramFolder + name);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
  }

  void StartCycles() {
    cycles = std::make_unique<TCycleTimers>(time, context);
    cycles->Start();
  }

  QTemporaryDir dir;
  TVirtualTimerService time;
  TJournal journal{dir.filePath(QStringLiteral("VortaJournal.txt")), time};
  TStderrMessageSink messages;
  THeadlessWindowFactory windows;
  TProgramState program;
  TVortaProcessList list;
  TAnsweringAdapter* adapter = nullptr;
  std::unique_ptr<TCANService> module;
  TVortaEnv env{program, time, messages, windows, nullptr, &list};
  TAlarms alarms{time, env.Journal};
  TAlarmChecks checks{env, alarms};
  TCycleContext context{program, list, time, &checks};
  std::unique_ptr<TCycleTimers> cycles;
};

void PrintRealTimeRatio() {
  TPlant plant;
  plant.StartCycles();
  plant.time.AdvanceBy(60'000);  // warm up: the first minute and log rows
  constexpr std::int64_t kSimMs = 6LL * 3600 * 1000;
  const auto start = std::chrono::steady_clock::now();
  plant.time.AdvanceBy(kSimMs);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int dosing = 0;
  for (const auto& p : plant.list) {
    for (size_t ch = 1; ch <= 4; ++ch) dosing += p->Channel[ch].Status == TRegulationStatus::Normal;
  }
  std::printf("8 vessels, 6 h simulated in %.3f s wall: %.0fx real time (target >= 20000x)\n", wall,
              kSimMs / 1000.0 / wall);
  std::printf("channels regulating with status 0 at the end: %d of 32; frames sent: %llu\n", dosing,
              static_cast<unsigned long long>(plant.adapter->sent));
}

TPlant& SharedPlant() {
  static TPlant plant;
  static bool warmed = false;
  if (!warmed) {
    // A minute on the cycles' own timers: the modules and drives answer, the
    // histories and minute statistics fill. Time then stands, so the links
    // stay alive for the benchmarks.
    plant.StartCycles();
    plant.time.AdvanceBy(60'000);
    warmed = true;
  }
  return plant;
}

// Empty when every vessel regulates on live readings: a cycle over dead
// links or idle vessels would measure next to nothing.
std::string Idle(const TPlant& plant) {
  if (plant.context.AlarmChecks == nullptr) return "the alarm checks are left out";
  for (const auto& p : plant.list) {
    if (p->Board == nullptr || !p->Board->LinkOK()) return "a module does not answer";
    if (!IsControlledMode(p->Mode)) return "a vessel is not regulating";
    for (std::size_t ch = 1; ch <= 4; ++ch) {
      if (p->Channel[ch].ReadingInvalid != 0) return "a reading is invalid";
    }
  }
  return {};
}

qint64 LogBytes(const TPlant& plant) {
  qint64 bytes = 0;
  for (const auto& p : plant.list) bytes += QFileInfo(p->ProtocolFileName).size();
  return bytes;
}

void BM_RegulationCycle8(benchmark::State& state) {
  TPlant& plant = SharedPlant();
  if (const std::string idle = Idle(plant); !idle.empty()) {
    state.SkipWithError(idle.c_str());
    return;
  }
  for (auto _ : state) {
    // Stay inside the minute so that every iteration is an ordinary 2-s tick.
    if (plant.program.TwoSecondTicks >= 28) plant.program.TwoSecondTicks = 0;
    RegulationCycle(plant.context);
  }
}
BENCHMARK(BM_RegulationCycle8)->Unit(benchmark::kMicrosecond);

void BM_MinuteClose8(benchmark::State& state) {
  TPlant& plant = SharedPlant();
  const qint64 before = LogBytes(plant);
  std::int64_t closes = 0;
  for (auto _ : state) {
    // The 30th tick: the minute's close and eight log rows.
    plant.program.TwoSecondTicks = 29;
    RegulationCycle(plant.context);
    ++closes;
  }
  // Each close wrote a row of at least a few dozen bytes per vessel.
  if (LogBytes(plant) - before < closes * kVessels * 40)
    state.SkipWithError("log rows not written");
}
BENCHMARK(BM_MinuteClose8)->Unit(benchmark::kMicrosecond);

void BM_OutputCycle8(benchmark::State& state) {
  TPlant& plant = SharedPlant();
  if (const std::string idle = Idle(plant); !idle.empty()) {
    state.SkipWithError(idle.c_str());
    return;
  }
  for (auto _ : state) OutputCycle(plant.context);
}
BENCHMARK(BM_OutputCycle8)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorta

int main(int argc, char** argv) {
  vorta::PrintRealTimeRatio();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("target: one 2-s cycle over 8 vessels, alarm checks included, <= 3 us\n");
  return 0;
}
