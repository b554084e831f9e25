// The demo as an operator sees it: the real windows over the controller and
// the virtual plant, an hour of virtual time. With VORTA_SCREENSHOT_DIR set
// it writes the four panels and the first vessel's chart as pictures.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>

#include "DemoRunFixture.h"
#include "RecordingMessages.h"
#include "app/DemoFolder.h"
#include "app/PlantHost.h"
#include "app/mainf.h"
#include "can/AdapterFactory.h"
#include "can/VortaWork.h"
#include "charts/ChartUnit.h"
#include "panel/QtWindowFactory.h"
#include "panel/VortaForm.h"
#include "platform/Chai.h"
#include "platform/RealTimerService.h"
#include "platform/VirtualTimerService.h"

using namespace vorta;

namespace {

constexpr std::int64_t kHourMs = 3'600'000;

class DemoWindowsTest : public test::TDemoRunFixture<TQtWindowFactory, false> {
 protected:
  void SetUp() override {
    TDemoRunFixture::SetUp();
    StartDemoVessels(form->Processes());
  }

  static TVortaForm& Panel(TVortaProcess& p) { return dynamic_cast<TVortaForm&>(*p.Panel); }
  static TChartForm& Chart(TVortaProcess& p) { return dynamic_cast<TChartForm&>(*p.ChartForm); }

  void WritePictures() {
    const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    constexpr int kTitle = 22;
    const QSize cell(TVortaForm::kClientWidth, TVortaForm::kClientHeight + kTitle);
    QImage image(cell.width() * 2 + 3, cell.height() * 2 + 3, QImage::Format_RGB32);
    image.fill(QColor(0x40, 0x60, 0x80));
    QPainter painter(&image);
    for (int i = 0; i < 4; ++i) {
      TVortaForm& panel = Panel(*form->Processes().ProcessAt(i));
      const QPoint at(1 + (i % 2) * (cell.width() + 1), 1 + (i / 2) * (cell.height() + 1));
      painter.fillRect(QRect(at, QSize(cell.width(), kTitle)), QColor(0x2B, 0x57, 0x97));
      painter.setPen(Qt::white);
      painter.drawText(QRect(at + QPoint(8, 0), QSize(cell.width() - 8, kTitle)), Qt::AlignVCenter,
                       panel.windowTitle());
      painter.drawPixmap(at + QPoint(0, kTitle), panel.grab());
    }
    painter.end();
    image.save(QDir(dir).filePath(QStringLiteral("panels.png")));
    TChartForm& chart = Chart(*form->Processes().ProcessAt(0));
    chart.resize(760, 420);
    chart.grab().save(QDir(dir).filePath(QStringLiteral("chart.png")));
    if (auto* mixer = qobject_cast<QWidget*>(form->Processes().ProcessAt(0)->MixForm.data())) {
      mixer->grab().save(QDir(dir).filePath(QStringLiteral("mixer.png")));
    }
  }
};

}  // namespace

TEST_F(DemoWindowsTest, anHourOfTheDemoShowsRegulatedVesselsAndTheirCurves) {
  time.AdvanceBy(kHourMs);
  for (int i = 0; i < 4; ++i) {
    TVortaProcess& p = *form->Processes().ProcessAt(i);
    SCOPED_TRACE(p.Caption().toStdString());
    TVortaForm& panel = Panel(p);
    EXPECT_EQ(panel.StatusPanel(3)->text(), QStringLiteral("Net OK"));
    // Row "Текущее" shows the regulated pH near its setpoint row.
    QTableWidget* grid = panel.StringGrid1();
    const double ph = grid->item(1, 1)->text().toDouble();
    const double set = grid->item(2, 1)->text().toDouble();
    EXPECT_NEAR(ph, set, 0.15);
    EXPECT_GT(p.MixerRpm, 100);  // the stirrer was started at load and runs
    // The chart has followed the hour at its interval.
    const TChartForm& chart = Chart(p);
    ASSERT_FALSE(chart.Model.Lines.empty());
    EXPECT_GE(chart.Model.Lines.front().Points.size(), 100U);
  }
  WritePictures();
}
