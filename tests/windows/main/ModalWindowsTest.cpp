// A modal window (the drive parameters) over windows that otherwise stay on
// top (calibration): the modal one is above them all, and what it blocks is
// shaded until it closes. With VORTA_SCREENSHOT_DIR set it writes the shaded
// calibration window.

#include <QDialog>
#include <QFile>
#include <QWindow>

#include "tests/windows/panel/DialogFixture.h"
#include "windows/devices/DriveParamsWindow.h"
#include "windows/dialogs/CalibrationForm.h"
#include "windows/main/MainWindow.h"

namespace vorta::testing {
namespace {

using ModalWindowsTest = DialogFixture;

bool OnTop(const QWidget* w) {
  return w->windowHandle() != nullptr &&
         w->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

const QWidget* Shade(const QWidget* w) {
  const auto* shade = w->findChild<QWidget*>(QStringLiteral("ModalShade"));
  return shade != nullptr && shade->isVisible() && shade->geometry() == w->rect() ? shade : nullptr;
}

TEST_F(ModalWindowsTest, aModalWindowIsAboveTheStayOnTopOnesAndShadesWhatItBlocks) {
  const TMainWindow mainWindow;  // brings the program's rule for modal windows
  TVortaProcess& p = AddProcess(1);
  Form(p).show();
  Menu(p, {QStringLiteral("Калибровка"), QStringLiteral("pH")});
  auto* calibration = Opened<TCalibrationForm>(Windows(p).Calibration);
  ASSERT_NE(calibration, nullptr);
  ASSERT_TRUE(OnTop(calibration));

  {
    TDriveParamsWindow drive(time_, messages_, &Form(p));
    drive.setWindowModality(Qt::ApplicationModal);
    drive.show();
    EXPECT_FALSE(OnTop(calibration)) << "would float above the modal window";
    EXPECT_TRUE(calibration->isVisible());
    EXPECT_NE(Shade(calibration), nullptr);
    EXPECT_NE(Shade(&Form(p)), nullptr);
    EXPECT_EQ(Shade(&drive), nullptr) << "the modal window itself is usable";
    Shot(*calibration, QStringLiteral("calibration-under-modal"));

    QDialog box(&drive);  // a message over the modal window
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    EXPECT_NE(Shade(&drive), nullptr);
    box.hide();
    EXPECT_EQ(Shade(&drive), nullptr);
    EXPECT_FALSE(OnTop(calibration)) << "still under the first modal window";
    EXPECT_NE(Shade(calibration), nullptr);
    drive.hide();
  }
  EXPECT_TRUE(OnTop(calibration));
  EXPECT_TRUE(calibration->isVisible());
  EXPECT_EQ(Shade(calibration), nullptr);
  EXPECT_EQ(Shade(&Form(p)), nullptr);
  calibration->close();
  Form(p).hide();
}

}  // namespace
}  // namespace vorta::testing
