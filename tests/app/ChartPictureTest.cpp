// A demo vessel's chart after an hour on virtual time: the lines hold the
// hour, the axis ends at the newest point, and with VORTA_SCREENSHOT_DIR set
// the window is written as chart-synthetic.png (from module codes of its own).

#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QLineSeries>
#include <QMenu>
#include <cmath>

#include "process/CycleContext.h"
#include "process/MeasurementCycle.h"
#include "process/RegulationCycle.h"
#include "tests/app/DemoPanelFixture.h"
#include "windows/charts/ChartForm.h"

namespace vorta::testing {
namespace {

class ChartPictureTest : public DemoPanelFixture {
 protected:
  void SetUp() override { LoadDemo(1); }

  // A culture's first hour as the module would report it: the jacket brings
  // the broth to 37 °C, growth pulls oxygen and redox down, and pH sags
  // between alkali doses.
  void FeedBoard(double minutes, int tick) {
    const double noise = std::sin(tick * 12.9898) * 0.5;
    const double ph = 7.0 - 0.12 * std::fmod(minutes, 6.0) / 6.0 + 0.01 * noise;
    const double temp = 37.0 - 7.0 * std::exp(-minutes / 10.0) + 0.05 * noise;
    const double o2 = 95.0 - 55.0 * (1.0 - std::exp(-minutes / 25.0)) + 0.8 * noise;
    const double eh = -100.0 - 60.0 * minutes / 60.0 + 2.0 * noise;
    const int codes[] = {static_cast<int>(1170 + (ph - 4.0) / 5.0 * 1755),
                         static_cast<int>(819 + (temp - 20.0) / 60.0 * 2457),
                         static_cast<int>(o2 / 100.0 * 2047),
                         static_cast<int>(1023 + (eh + 500.0) / 1000.0 * 2048)};
    std::vector<std::uint8_t> data;
    for (int v : codes) {
      data.push_back(static_cast<std::uint8_t>(v & 0xFF));
      data.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    adapter_->Inject(MakeFrame(0x1000 + 32, data, kFlagExtended));
  }

  static void SetScale(TChartForm& c, int position, int item) {
    c.NameBox()->setCurrentIndex(position);
    c.NameBoxChosen(position);
    c.ScaleBox()->setCurrentIndex(item);
    c.ScaleBoxChosen(item);
  }
};

TEST_F(ChartPictureTest, anHourOfADemoVesselFitsTheWindowAtThirtySeconds) {
  TVortaProcess& p = *list_.ProcessAt(0);
  auto& c = dynamic_cast<TChartForm&>(*p.ChartForm);
  c.resize(760, 470);
  c.SetFormVisible(true);
  // What an operator does first: a 30-s interval, pH ten times larger and
  // eH a tenth, so that all four lines share the axis.
  Form(p)
      .MenuItem({QStringLiteral("График"), QStringLiteral("Масштаб"), QStringLiteral("30 сек")})
      ->trigger();
  SetScale(c, 0, 3);
  SetScale(c, 3, 1);
  c.NameBox()->setCurrentIndex(0);
  c.NameBoxChosen(0);

  TCycleContext cycles = Cycles();
  constexpr int kTicks = 1800;  // an hour of 2-s ticks
  for (int tick = 0; tick < kTicks; ++tick) {
    for (int k = 0; k < 4; ++k) {
      FeedBoard(tick / 30.0, tick);
      time_.AdvanceBy(500);
      MeasurementCycle(cycles);
    }
    RegulationCycle(cycles);
  }

  ASSERT_EQ(c.SeriesCount(), 4);
  const int points = c.Series(0)->count();
  EXPECT_NEAR(points, 120, 2) << "one point per 30 s";
  const QPointF last = c.Series(0)->at(points - 1);
  EXPECT_NEAR(last.y(), 70, 1.5) << "pH x 10";
  EXPECT_NEAR(c.Series(1)->at(points - 1).y(), 37, 0.5);
  EXPECT_EQ(c.AxisX()->max().toMSecsSinceEpoch(), static_cast<qint64>(last.x()));
  const qint64 shownMs =
      c.AxisX()->max().toMSecsSinceEpoch() - c.AxisX()->min().toMSecsSinceEpoch();
  EXPECT_GT(shownMs, 3'600'000) << "the whole hour is in view";

  const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
  if (!dir.isEmpty()) {
    QDir().mkpath(dir);
    c.grab().save(QDir(dir).filePath(QStringLiteral("chart-synthetic.png")));
  }
}

}  // namespace
}  // namespace vorta::testing
