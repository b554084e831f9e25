// What MQTT publishing costs the main thread at one 2-s tick for eight
// vessels (each vessel's state as JSON, handed to the publisher's thread),
// against the 2-s period; and the time until a subscriber has all eight.
// Starts its own broker (the system's mosquitto) on a free loopback port.

#include <benchmark/benchmark.h>
#include <mosquitto.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/Messages.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttPayloads.h"
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
    conf.write("user root\nlog_dest none\nallow_anonymous true\nlistener " +
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

}  // namespace
}  // namespace vorta

BENCHMARK_MAIN();
