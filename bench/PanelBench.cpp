// The panel windows' share of the main timers, 8 vessels, offscreen: the 2-s
// refresh (grid rows 1 and 6 and the status bar) and the 40-ms output
// display. Targets: 1% of 2 s (20 ms) and 2% of 40 ms (0.8 ms).

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "windows/panel/QtWindowFactory.h"
#include "platform/Messages.h"
#include "platform/VirtualTimerService.h"
#include "process/ProcessRecord.h"

namespace vorta {
namespace {

constexpr int kVessels = 8;

QByteArray ProcessFile(int num) {
  QByteArray text = "[Port]\r\nNameProcess=F%d\r\nNumProcess=" + QByteArray::number(num) +
                    "\r\nProtocolname=Protocol" + QByteArray::number(num) + ".txt\r\n" +
                    "[Channels]\r\nch1=1 A\r\nch2=1 B\r\nch3=1 C\r\nch4=1 D\r\nch5=1 E\r\n"
                    "ch6=1 F\r\nch7=1 G\r\n[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2\r\n4=eH\r\n"
                    "[CtrlSpume]\r\nspumech=3\r\n";
  for (const char* ch : {"pH", "tC", "pO2", "eH"}) {
    text += QByteArray("[") + ch + "]\r\nSet=7.00\r\nLin=0\r\nMin=0\r\nMax=99\r\nV1=0\r\n" +
            "V2=10\r\nA1=1000\r\nA2=2000\r\n[Ctrl" + ch +
            "]\r\nPer=1\r\nUp=1\r\nDown=2\r\nEn=1\r\nLow=0\r\nHigh=99\r\nDead=0\r\nGUp=1\r\n"
            "GDown=1\r\nModes=0,1,1,1\r\n";
  }
  return text;
}

// Eight processes with real panels on files of their own.
class TPanels {
 public:
  TPanels() {
    program_.ProgramFolder = dir_.path() + u'/';
    for (int n = 1; n <= kVessels; ++n) {
      const QString name = QStringLiteral("p%1.ini").arg(n);
      QFile f(program_.ProgramFolder + name);
      if (f.open(QIODevice::WriteOnly)) f.write(ProcessFile(n));
      f.close();
      list_.Add(std::make_unique<TVortaProcess>(env_, name));
      // Shown, so that every refresh is also painted.
      if (auto* w = dynamic_cast<QWidget*>(list_.ProcessAt(n - 1)->Panel.get())) w->show();
    }
    QCoreApplication::processEvents();
  }
  ~TPanels() { list_.Clear(); }
  TVortaProcessList& List() { return list_; }

 private:
  QTemporaryDir dir_;
  TVirtualTimerService time_;
  TProgramState program_;
  TStderrMessageSink messages_;
  TQtWindowFactory windows_{false};
  TVortaProcessList list_;
  TVortaEnv env_{program_, time_, messages_, windows_, nullptr, &list_};
};

void BM_Refresh2sec(benchmark::State& state) {
  TPanels panels;
  int tick = 0;
  for (auto _ : state) {
    ++tick;
    for (const auto& p : panels.List()) {
      // New values every tick, as the measurement brings them.
      for (size_t ch = 1; ch <= 4; ++ch) {
        p->Channel[ch].Value = 7.0 + 0.01 * ((tick + static_cast<int>(ch)) % 50);
        p->Channel[ch].AdcHistory = {0, static_cast<std::uint16_t>(1500 + tick % 7), 1600, 1700};
      }
      p->PanelState.StatusText[0] = QString::number((tick % 30) * 2);
      p->PanelState.StatusText[1] = QStringLiteral("Об/мин: %1").arg(400 + tick % 9);
      p->PanelState.StatusText[3] = QStringLiteral("Net OK");
      p->Panel->ShowCurrentValues();
      p->Panel->PanelStateChanged();
    }
    QCoreApplication::processEvents();  // the repaint the changes asked for
  }
}
BENCHMARK(BM_Refresh2sec)->Unit(benchmark::kMillisecond);

void BM_OutputDisplay40ms(benchmark::State& state) {
  TPanels panels;
  int tick = 0;
  for (auto _ : state) {
    ++tick;
    for (const auto& p : panels.List()) {
      // A dosing pulse ends now and then; most ticks change nothing.
      if (tick % 25 == 0) p->OutputWord ^= 0x0002;
      p->Panel->OutputsChanged();
    }
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_OutputDisplay40ms)->Unit(benchmark::kMicrosecond);

class TTargetReporter final : public benchmark::ConsoleReporter {
 public:
  TTargetReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    static const std::map<std::string, double> kTargetMs{{"BM_Refresh2sec", 20.0},
                                                         {"BM_OutputDisplay40ms", 0.8}};
    for (const Run& run : runs) {
      const auto t = kTargetMs.find(run.benchmark_name());
      if (run.error_occurred || t == kTargetMs.end()) continue;
      const double ms =
          run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond ? 1.0 : 1e-3);
      char line[160];
      std::snprintf(line, sizeof line, "%s, %d vessels: %.4f ms (target %.1f ms, %s)",
                    run.benchmark_name().c_str(), kVessels, ms, t->second,
                    ms <= t->second ? "met" : "MISSED");
      lines_.emplace_back(line);
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
}  // namespace vorta

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  vorta::TTargetReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
