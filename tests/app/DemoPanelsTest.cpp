// The demo's four vessels on panels: placed as a block, filled by the cycles.
// (ChartPictureTest draws the picture of the block over the virtual plant.)

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>

#include "process/CycleContext.h"
#include "process/MeasurementCycle.h"
#include "process/RegulationCycle.h"
#include "tests/app/DemoPanelFixture.h"

namespace vorta::testing {
namespace {

class DemoPanelsTest : public DemoPanelFixture {
 protected:
  void SetUp() override { LoadDemo(4); }

  // Codes that read near the demo's setpoints, a little different per vessel.
  void FeedBoards(int step) {
    for (int n = 0; n < 4; ++n) {
      const auto uid = static_cast<std::uint32_t>(0x1000 + 0x200 * n);
      std::vector<std::uint8_t> data;
      const int codes[] = {2400 + 7 * n + step % 5, 1850 + 3 * n, 620 + 11 * n + step % 3,
                           1700 - 9 * n};
      for (int v : codes) {
        data.push_back(static_cast<std::uint8_t>(v & 0xFF));
        data.push_back(static_cast<std::uint8_t>(v >> 8));
      }
      adapter_->Inject(MakeFrame(uid + 32, data, kFlagExtended));
    }
  }
};

TEST_F(DemoPanelsTest, fourPanelsTileTheMiddleAndFillAsTheCyclesRun) {
  ASSERT_EQ(list_.Count(), 4);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QRect block;
  for (int i = 0; i < 4; ++i) {
    TVortaForm& form = Form(*list_.ProcessAt(i));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Ферментёр %1").arg(i + 1));
    for (int j = 0; j < i; ++j) {
      EXPECT_FALSE(form.frameGeometry().intersects(Form(*list_.ProcessAt(j)).frameGeometry()))
          << i << " overlaps " << j;
    }
    block |= form.frameGeometry();
  }
  EXPECT_LE(std::abs(block.center().x() - screen.center().x()), 1);

  TCycleContext c = Cycles();
  for (int tick = 0; tick < 31; ++tick) {  // a minute of 2-s ticks, samples between
    for (int k = 0; k < 4; ++k) {
      FeedBoards(tick);
      time_.AdvanceBy(500);
      MeasurementCycle(c);
    }
    RegulationCycle(c);
  }
  for (int i = 0; i < 4; ++i) {
    TVortaForm& form = Form(*list_.ProcessAt(i));
    QTableWidget* g = form.ValueGrid();
    EXPECT_NE(g->item(6, 1)->text(), QStringLiteral("0")) << i;
    EXPECT_NE(g->item(1, 1)->text(), QString()) << i;
    EXPECT_NE(g->item(3, 1)->text(), QString()) << "minute row, panel " << i;
    EXPECT_EQ(form.StatusPanel(3)->text(), QStringLiteral("Net OK")) << i;
  }
}

}  // namespace
}  // namespace vorta::testing
