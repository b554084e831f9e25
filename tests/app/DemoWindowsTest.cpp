// The demo as an operator sees it: the real windows over the controller and
// the virtual plant, an hour of virtual time. With VORTA_SCREENSHOT_DIR set
// it writes the four panels and the first vessel's chart as pictures.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>

#include "DemoRunFixture.h"
#include "RecordingMessages.h"
#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "app/PlantHost.h"
#include "can/AdapterFactory.h"
#include "can/Chai.h"
#include "commands/PanelActions.h"
#include "devices/CANService.h"
#include "platform/RealTimerService.h"
#include "platform/VirtualTimerService.h"
#include "sim/VirtualPlant.h"
#include "windows/charts/ChartForm.h"
#include "windows/panel/QtWindowFactory.h"
#include "windows/panel/VortaForm.h"

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
    chart.SetFormVisible(true);  // at the size it opens with
    chart.grab().save(QDir(dir).filePath(QStringLiteral("chart.png")));
    if (auto* mixer = Panel(*form->Processes().ProcessAt(0)).Windows().Mixer.Window<QWidget>()) {
      mixer->grab().save(QDir(dir).filePath(QStringLiteral("mixer.png")));
    }
  }
};

}  // namespace

// A new user's first look: every button does what its caption says on the
// plant, the log's dose column k is button k's output, and the chart opens
// large enough to read.
TEST_F(DemoWindowsTest, buttonsDoseWhatTheySayAndTheChartOpensReadable) {
  TVortaProcess& p = *form->Processes().ProcessAt(0);
  EXPECT_EQ(Panel(p).StatusPanel(2)->text(), QStringLiteral("Режим: Batch"));
  const sim::TVesselConfig& plantSide = plant->Plant()->Vessel(0).Config;
  const std::pair<sim::TActuator, const char*> roles[] = {
      {sim::TActuator::Acid, "Кислота"},      {sim::TActuator::Base, "Щёлочь"},
      {sim::TActuator::Antifoam, "Пеногаш."}, {sim::TActuator::Feed1, "Подпитка 1"},
      {sim::TActuator::Feed2, "Подпитка 2"},  {sim::TActuator::Cooler, "Охлажд."},
      {sim::TActuator::Heater, "Нагрев"}};
  QStringList captions;
  for (int k = 1; k <= 7; ++k) {
    const auto& [actuator, caption] = roles[k - 1];
    EXPECT_EQ(Panel(p).ManualButton(k)->text(), QString::fromUtf8(caption)) << k;
    EXPECT_EQ(ManualButtonOutput(p, k), k) << caption;
    EXPECT_EQ(plantSide.Outputs[static_cast<int>(actuator)], k) << caption;
    captions << QString::fromUtf8(caption);
  }
  QFile log(folder.File(QStringLiteral("Protocol1.txt")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(QString::fromLocal8Bit(log.readLine()).contains(captions.join(u'\t')));

  // Opened ten minutes in, as the operator might; the window's own size.
  time.AdvanceBy(10 * 60'000);
  Panel(p).MenuItem({QStringLiteral("График"), QStringLiteral("Показать")})->trigger();
  TChartForm& chart = Chart(p);
  ASSERT_TRUE(chart.isVisible());
  EXPECT_GE(chart.width(), 700);
  EXPECT_GE(chart.height(), 400);
  const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
  if (!dir.isEmpty()) chart.grab().save(QDir(dir).filePath(QStringLiteral("chart-open.png")));
}

TEST_F(DemoWindowsTest, anHourOfTheDemoShowsRegulatedVesselsAndTheirCurves) {
  time.AdvanceBy(kHourMs);
  for (int i = 0; i < 4; ++i) {
    TVortaProcess& p = *form->Processes().ProcessAt(i);
    SCOPED_TRACE(p.Caption().toStdString());
    TVortaForm& panel = Panel(p);
    EXPECT_EQ(panel.StatusPanel(3)->text(), QStringLiteral("Net OK"));
    // Row "Текущее" shows the regulated pH near its setpoint row.
    QTableWidget* grid = panel.ValueGrid();
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
