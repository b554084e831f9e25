// What MQTT publishing costs the main thread at one 2-s tick for eight
// vessels (each vessel's state as JSON, handed to the publisher's thread),
// against the 2-s period; the time until a subscriber has all eight (p50
// and p99 of single ticks); and a day of eight vessels' data log rows
// replayed after an outage, counted at a subscriber. Starts its own broker
// (the system's mosquitto) on a free loopback port.

#include <benchmark/benchmark.h>
#include <mosquitto.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Messages.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"
#include "telemetry/MqttPublisher.h"
#include "telemetry/MqttTelemetry.h"

namespace vorta {
namespace {

constexpr int kVessels = 8;

class TQuietMessages final : public IMessageSink {
 public:
  void ShowError(const QString& /*text*/) override {}
  void ShowInfo(const QString& /*text*/) override {}
};

struct TBench {
  TBench() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    port = probe.serverPort();
    probe.close();
    QFile conf(dir.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write("user root\nlog_dest none\nallow_anonymous true\nmax_queued_messages 0\nlistener " +
               QByteArray::number(port) + " 127.0.0.1\n");
    conf.close();
    QString mosquitto = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"});
    broker.start(mosquitto, {"-c", conf.fileName()});
    broker.waitForStarted(5000);

    env.Processes = &processes;
    for (int n = 1; n <= kVessels; ++n) {
      const QString name = QStringLiteral("Process%1.ini").arg(n);
      QFile f(dir.filePath(name));
      f.open(QIODevice::WriteOnly);
      f.write(QStringLiteral("[Port]\r\nNameProcess=Ферментер %d\r\nNumProcess=%1\r\n")
                  .arg(n)
                  .toUtf8());
      f.close();
      processes.Add(std::make_unique<TVortaProcess>(env, name));
    }
    TMqttSettings s;
    s.Host = "127.0.0.1";
    s.Port = port;
    s.TopicRoot = "bench";
    s.ClientId = "vorta-bench";
    s.RetryMinMs = 100;
    telemetry = std::make_unique<TMqttTelemetry>(env, s);
    for (int i = 0; i < 100 && !telemetry->Publisher().Connected(); ++i) QThread::msleep(50);
  }
  ~TBench() {
    telemetry.reset();
    processes.Clear();
    broker.terminate();
    broker.waitForFinished(3000);
  }

  QTemporaryDir dir;
  QProcess broker;
  quint16 port = 0;
  TVirtualTimerService time{46000.0};
  TQuietMessages messages;
  THeadlessWindowFactory windows;
  TProgramState program = [this] {
    TProgramState p;
    p.ProgramFolder = QDir(dir.path()).absolutePath() + u'/';
    return p;
  }();
  TVortaEnv env{program, time, messages, windows};
  TVortaProcessList processes;
  std::unique_ptr<TMqttTelemetry> telemetry;
};

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 10, '\n');
  }
  return 0;
}

TBench& Bench() {
  static TBench bench;
  return bench;
}

void BM_MainThread_OneTickEightVessels(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.telemetry->Publisher().Connected()) {
    state.SkipWithError("no broker (is mosquitto installed?)");
    return;
  }
  for (auto _ : state) b.telemetry->Tick();
}
BENCHMARK(BM_MainThread_OneTickEightVessels)->Unit(benchmark::kMicrosecond);

void BM_StateJson_OneVessel(benchmark::State& state) {
  TBench& b = Bench();
  const TVortaProcess& p = *b.processes.ProcessAt(0);
  for (auto _ : state) benchmark::DoNotOptimize(StateJson(p, 1'796'032'800'000));
}
BENCHMARK(BM_StateJson_OneVessel)->Unit(benchmark::kMicrosecond);

// From the tick to a subscriber holding all eight states (loopback broker).
void BM_TickToSubscriber_EightVessels(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.telemetry->Publisher().Connected()) {
    state.SkipWithError("no broker (is mosquitto installed?)");
    return;
  }
  std::atomic<int> received{0};
  mosquitto* sub = mosquitto_new("vorta-bench-sub", true, &received);
  mosquitto_message_callback_set(sub, [](mosquitto*, void* n, const mosquitto_message*) {
    ++*static_cast<std::atomic<int>*>(n);
  });
  mosquitto_connect(sub, "127.0.0.1", b.port, 30);
  mosquitto_subscribe(sub, nullptr, "bench/+/state", 0);
  mosquitto_loop_start(sub);
  QThread::msleep(200);
  for (auto _ : state) {
    received = 0;
    b.telemetry->Tick();
    while (received < kVessels) std::this_thread::yield();
  }
  mosquitto_disconnect(sub);
  mosquitto_loop_stop(sub, false);
  mosquitto_destroy(sub);
}
BENCHMARK(BM_TickToSubscriber_EightVessels)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A subscriber of its own on the bench's broker, counting what arrives.
struct TCounter {
  TCounter(quint16 port, const char* id, const char* topic) {
    sub = mosquitto_new(id, true, this);
    mosquitto_message_callback_set(sub, [](mosquitto*, void* self, const mosquitto_message*) {
      auto* c = static_cast<TCounter*>(self);
      c->last = std::chrono::steady_clock::now();
      ++c->received;
    });
    mosquitto_connect(sub, "127.0.0.1", port, 30);
    mosquitto_subscribe(sub, nullptr, topic, 0);
    mosquitto_loop_start(sub);
    QThread::msleep(200);
  }
  ~TCounter() {
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
  }
  bool WaitFor(int count, std::chrono::seconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (received < count && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return received >= count;
  }

  mosquitto* sub = nullptr;
  std::atomic<int> received{0};
  std::atomic<std::chrono::steady_clock::time_point> last{};
};

// Single ticks, each waited for at the subscriber: the delay a state has
// from the main thread's hand-over to a client of the broker.
void BM_TickToSubscriber_Latency(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.telemetry->Publisher().Connected()) {
    state.SkipWithError("no broker (is mosquitto installed?)");
    return;
  }
  TCounter counter(b.port, "vorta-bench-latency", "bench/+/state");
  std::vector<double> ms;
  for (auto _ : state) {
    const int before = counter.received;
    const auto start = std::chrono::steady_clock::now();
    b.telemetry->Tick();
    if (!counter.WaitFor(before + kVessels, std::chrono::seconds(5))) {
      state.SkipWithError("states did not arrive");
      return;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(counter.last.load() - start).count());
    // Ticks apart, as in the program, not back to back.
    state.PauseTiming();
    QThread::msleep(5);
    state.ResumeTiming();
  }
  std::sort(ms.begin(), ms.end());
  state.counters["p50_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}
BENCHMARK(BM_TickToSubscriber_Latency)->Iterations(300)->Unit(benchmark::kMillisecond);

// A day of eight vessels at a row a minute (11,520 rows of about 120 bytes,
// as the program writes them), published from the start of the files by a
// publisher that finds no offsets: what a restart after a day's outage sends.
void BM_ReplayDayOfEightVessels(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.telemetry->Publisher().Connected()) {
    state.SkipWithError("no broker (is mosquitto installed?)");
    return;
  }
  constexpr int kRows = 1440;
  QTemporaryDir dir;
  std::vector<TPublishedFile> files;
  for (int v = 1; v <= kVessels; ++v) {
    const QString path = dir.filePath(QStringLiteral("Protocol%1.txt").arg(v));
    std::ofstream log(path.toStdString(), std::ios::binary);
    log << "Date\tTime\tpH\tSetpH\ttC\tSettC\tpO2\tSetpO\teH\tSeteH\tКислота\tЩёлочь\t"
           "Пеногаш.\tПодпитка 1\tПодпитка 2\tОхлажд.\tНагрев\tMixRpm\tMix I(mA)\t"
           "Mix Status\tNet\tMode\r\n";
    char row[200];
    for (int m = 0; m < kRows; ++m) {
      std::snprintf(row, sizeof row,
                    "7 Dec \t%d:%d:56\t%.2f\t7.00\t%.2f\t37.00\t%.2f\t30.00\t%.2f\t-150.00\t"
                    "0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.%02d\t%d\t%d\t0001\tNet OK\tButch\r\n",
                    m / 60, m % 60, 6.9 + 0.01 * (m % 20), 36.9 + 0.01 * (m % 13),
                    30.0 + 0.1 * (m % 97), 140.0 + 0.1 * (m % 51), m % 100, 480 + m % 50,
                    380 + m % 40);
      log << row;
    }
    files.push_back({path, QStringLiteral("Protocol%1.txt").arg(v), v, false, 0});
  }
  TMqttSettings s;
  s.Host = "127.0.0.1";
  s.Port = b.port;
  s.TopicRoot = "replay";
  s.ClientId = "vorta-bench-replay";
  const int total = kRows * kVessels;
  double rowsPerSecond = 0;
  long rssGrowthKb = 0;
  for (auto _ : state) {
    QFile::remove(dir.filePath("offsets"));
    TCounter counter(b.port, "vorta-bench-replay-sub", "replay/+/minute");
    const long rssBefore = RssKb();
    const auto start = std::chrono::steady_clock::now();
    TMqttPublisher publisher(s, files, dir.filePath("offsets"));
    publisher.Start();
    if (!counter.WaitFor(total, std::chrono::seconds(120))) {
      state.SkipWithError("not every row arrived");
      return;
    }
    const double seconds = std::chrono::duration<double>(counter.last.load() - start).count();
    state.SetIterationTime(seconds);
    rowsPerSecond = total / seconds;
    rssGrowthKb = RssKb() - rssBefore;
  }
  state.counters["rows"] = total;
  state.counters["rows_per_s"] = rowsPerSecond;
  state.counters["rss_growth_kB"] = static_cast<double>(rssGrowthKb);
}
BENCHMARK(BM_ReplayDayOfEightVessels)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
}  // namespace vorta

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("targets: tick to subscriber p99 <= 5 ms; replay >= 20000 rows/s with memory flat\n");
  return 0;
}
