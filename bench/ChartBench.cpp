// One 2-s point on 8 vessels' chart windows, each with 5 full lines (450
// points) fed by a live I/O module, including the drawing of each window
// into an image. The target is 1 % of the 2-s period for all 8 together:
// under 20 ms.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "devices/IoModule.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"
#include "process/ProcessRecord.h"
#include "windows/charts/ChartForm.h"

namespace {

using namespace vorta;

constexpr int kVessels = 8;

QByteArray ProcessIni(int num) {
  QByteArray text = "[Port]\r\nNameProcess=F%d\r\nNumProcess=" + QByteArray::number(num) +
                    "\r\nProtocolname=Protocol" + QByteArray::number(num) +
                    ".txt\r\n[Hardware]\r\nBoard=\r\nMixer=\r\n"
                    "[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2\r\n4=eH\r\n5=Common\r\n";
  for (const char* name : {"pH", "tC", "pO2", "eH"}) {
    text += QByteArray("[") + name +
            "]\r\nSet=1\r\nLin=0\r\nMin=-100\r\nMax=100\r\nV1=0\r\nV2=10\r\nA1=1000\r\n"
            "A2=2000\r\n[Ctrl" +
            name +
            "]\r\nPer=1\r\nUp=0\r\nDown=0\r\nEn=0\r\nLow=-100\r\nHigh=100\r\nDead=0.05\r\n"
            "GUp=1\r\nGDown=1\r\nModes=0,1,1,1\r\n";
  }
  return text +
         "[Terminate]\r\nsucsesful=Y\r\n[Chart]\r\nChart1Dimen=1,2,3,4,5\r\n"
         "Chart1Show=1,1,1,1,1\r\nChart1Colors=255,32768,16711680,8388736,0\r\n"
         "Chart1Point=1,1,1,1,1\r\nChart1Scale=10,1,1,0.1,0.1\r\n";
}

struct TRig {
  QTemporaryDir dir;
  TVirtualTimerService time;
  TProgramState program;
  TStderrMessageSink messages;
  THeadlessWindowFactory windows;
  TVortaEnv env{program, time, messages, windows};
  // A point is plotted only while the vessel's module answers.
  std::vector<std::unique_ptr<TIoModule>> modules;
  std::vector<std::unique_ptr<TVortaProcess>> processes;
  std::vector<std::unique_ptr<TChartForm>> charts;
  QImage canvas{700, 450, QImage::Format_ARGB32_Premultiplied};

  TRig() {
    program.ProgramFolder = dir.path() + u'/';
    for (int n = 1; n <= kVessels; ++n) {
      const QString name = QStringLiteral("p%1.ini").arg(n);
      QFile f(program.ProgramFolder + name);
      f.open(QIODevice::WriteOnly);
      f.write(ProcessIni(n));
      f.close();
      auto p = std::make_unique<TVortaProcess>(env, name);
      auto module = std::make_unique<TIoModule>(time);
      p->Board = module.get();
      modules.push_back(std::move(module));
      auto chart = std::make_unique<TChartForm>(*p);
      TProfileFile file(p->IniFileName);
      chart->LoadSettings(file);
      chart->resize(700, 450);
      chart->show();
      processes.push_back(std::move(p));
      charts.push_back(std::move(chart));
    }
    for (int i = 0; i < 460; ++i) Tick(i);
  }

  // Draws every window as the screen would get it: repaint() draws nothing
  // on the offscreen platform.
  void Draw() {
    for (auto& chart : charts) chart->render(&canvas);
  }

  // Empty when every window plots all its lines in full; otherwise what not.
  [[nodiscard]] QString Shortfall(std::size_t points) const {
    for (const auto& chart : charts) {
      for (int line = 0; line < chart->SeriesCount(); ++line) {
        if (static_cast<std::size_t>(chart->Series(line)->count()) < points) {
          return QStringLiteral("%1, line %2: %3 points")
              .arg(chart->Process.Caption())
              .arg(line + 1)
              .arg(chart->Series(line)->count());
        }
      }
      if (chart->SeriesCount() != 5) return chart->Process.Caption() + QStringLiteral(": no lines");
    }
    return {};
  }

  void Tick(int i) {
    time.AdvanceBy(2000);
    for (size_t v = 0; v < processes.size(); ++v) {
      TVortaProcess& p = *processes[v];
      modules[v]->LastReceiveMs = time.MonotonicMs();
      p.Channel[1].Value = 7 + 0.1 * ((i + static_cast<int>(v)) % 7);
      p.Channel[2].Value = 37 + 0.05 * (i % 11);
      p.Channel[3].Value = 40 + (i % 13);
      p.Channel[4].Value = -150 + (i % 17);
      p.MixerRpm = static_cast<std::uint16_t>(400 + i % 19);
      charts[v]->FeedChart();
    }
  }
};

void BM_AddPointsAndRedraw8Charts(benchmark::State& state) {
  TRig rig;
  if (const QString missing = rig.Shortfall(450); !missing.isEmpty()) {
    state.SkipWithError(("lines not full: " + missing).toUtf8().constData());
    return;
  }
  int i = 460;
  for (auto _ : state) {
    rig.Tick(i++);
    rig.Draw();
  }
  if (const QString missing = rig.Shortfall(450); !missing.isEmpty()) {
    state.SkipWithError(("lines not full: " + missing).toUtf8().constData());
  }
  state.counters["points_per_line"] =
      static_cast<double>(rig.charts.front()->Model.Lines.back().Points.size());
}
BENCHMARK(BM_AddPointsAndRedraw8Charts)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
