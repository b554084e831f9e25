// Every window that changes a vessel does it through the command layer: each
// change lands in the record and is journalled once, with the source Panel.

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "JournalRows.h"
#include "devices/MixerDC.h"
#include "tests/windows/panel/MixerFixture.h"
#include "windows/devices/DriveParamsWindow.h"
#include "windows/devices/MixerWindow.h"
#include "windows/dialogs/CalibrationForm.h"
#include "windows/dialogs/ControlParamsDialog.h"
#include "windows/dialogs/SetpointsDialog.h"
#include "windows/dialogs/StatusWindow.h"

namespace vorta::testing {
namespace {

class WindowChangesTest : public MixerFixture {
 protected:
  void Menu(TVortaProcess& p, const QStringList& path) {
    QAction* item = Form(p).MenuItem(path);
    ASSERT_NE(item, nullptr) << path.join(u'/').toStdString();
    item->trigger();
  }
};

TEST_F(WindowChangesTest, eachWindowChangesTheRecordThroughTheCommandLayerAsPanel) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixCode=127\r\n");
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  p.Channel[1].Config.LinAdjust = 0.35;
  p.Channel[2].Config.CtrlPeriod = 10;  // even: the dialog stores it as shown
  qsizetype seen = 0;
  // The records one action added: exactly `count`, every one the panel's.
  const auto added = [&](const char* what, qsizetype count) {
    const QStringList all = journal.Changes();
    const QStringList mine = all.mid(seen);
    seen = all.size();
    EXPECT_EQ(mine.size(), count) << what << ": " << mine.join(u'\n').toStdString();
    for (const QString& r : mine)
      EXPECT_TRUE(r.endsWith(u"|Panel")) << what << ": " << r.toStdString();
    return mine;
  };

  Menu(p, {QStringLiteral("Уставки")});
  auto* setpoints = Windows(p).Setpoints.Window<TSetpointsDialog>();
  ASSERT_NE(setpoints, nullptr);
  setpoints->Edit(1)->setText(QStringLiteral("6,5"));
  QTest::mouseClick(setpoints->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.Setpoint, 6.5);
  added("setpoints", 1);

  Menu(p, {QStringLiteral("Параметры управления"), QStringLiteral("t°C")});
  auto* ctrl = Windows(p).ControlParams.Window<TControlParamsDialog>();
  ASSERT_NE(ctrl, nullptr);
  ctrl->Edit(&TCtrlFields::High)->setText(QStringLiteral("39.5"));
  QTest::mouseClick(ctrl->OkButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[2].Config.CtrlHigh, 39.5);
  added("control parameters", 1);

  Menu(p, {QStringLiteral("Калибровка"), QStringLiteral("pH")});
  auto* calibration = Windows(p).Calibration.Window<TCalibrationForm>();
  ASSERT_NE(calibration, nullptr);
  QTest::mouseClick(calibration->SaveButton(), Qt::LeftButton);
  EXPECT_EQ(p.Channel[1].Config.LinAdjust, 0.0);
  added("calibration", 1);

  Menu(p, {QStringLiteral("Миксер")});
  auto* mixer = Windows(p).Mixer.Window<TMixerWindow>();
  ASSERT_NE(mixer, nullptr);
  QTest::mouseClick(mixer->SpinUp(), Qt::LeftButton);
  EXPECT_EQ(p.MixCode, 128);
  added("mixer", 1);

  for (int k = 0; k < 28; k += 4) {
    InjectRegisters(k,
                    {static_cast<std::uint16_t>(1000 + k), static_cast<std::uint16_t>(1001 + k),
                     static_cast<std::uint16_t>(1002 + k), static_cast<std::uint16_t>(1003 + k)});
  }
  TDriveParamsWindow drive(time_, messages_, nullptr);
  drive.SetProcess(p);
  drive.LoadDrive(*dynamic_cast<TMixerDC*>(p.Mixer));
  drive.Pages()->setCurrentIndex(0);
  drive.Edit(QStringLiteral("EditIstop"))->setText(QStringLiteral("500"));
  drive.WriteClick();
  const std::vector<TSentFrame> limit = SentTo(kMixUid + 2U * 12U);
  ASSERT_EQ(limit.size(), 1U);
  EXPECT_EQ(limit[0].Word(), 500);
  added("drive parameters", 1);

  Menu(p, {QStringLiteral("Режим"), QStringLiteral("Chemostat")});
  EXPECT_EQ(p.Mode, TVesselMode::Chemostat);
  Menu(p, {QStringLiteral("Протокол"), QStringLiteral("5 мин.")});
  EXPECT_EQ(p.Config.ProtocolPeriodmin, 5);
  QTest::mouseClick(Form(p).ManualButton(1), Qt::LeftButton);
  QTest::mouseClick(Form(p).ManualButton(8), Qt::LeftButton);
  EXPECT_GT(p.LightCountdown, 0);
  added("panel menu and buttons", 4);

  Menu(p, {QStringLiteral("Режим"), QStringLiteral("Процесс")});
  auto* status = Windows(p).Status.Window<TStatusWindow>();
  ASSERT_NE(status, nullptr);
  QTest::mouseClick(status->StartButton(), Qt::LeftButton);
  EXPECT_TRUE(env_.Program.EftRunning);
  QTest::mouseClick(status->StopButton(), Qt::LeftButton);
  EXPECT_FALSE(env_.Program.EftRunning);
  added("status window clock", 2);
}

}  // namespace
}  // namespace vorta::testing
