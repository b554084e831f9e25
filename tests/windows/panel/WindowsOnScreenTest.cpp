// Windows placed beside a panel that sits in the screen's corner open in
// sight, not half past the screen's edge.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include "tests/windows/panel/DialogFixture.h"
#include "windows/dialogs/CalibrationForm.h"
#include "windows/dialogs/ControlParamsDialog.h"
#include "windows/dialogs/SetpointsDialog.h"
#include "windows/dialogs/StatusWindow.h"

namespace vorta::testing {
namespace {

using WindowsOnScreenTest = DialogFixture;

TEST_F(WindowsOnScreenTest, dialogsOfAPanelInTheCornerOpenWhollyOnTheScreen) {
  TVortaProcess& p = AddProcess(1);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  Form(p).move(screen.bottomRight() - QPoint(Form(p).width() - 1, Form(p).height() - 1));
  ASSERT_TRUE(screen.contains(Form(p).frameGeometry()));

  Menu(p, {QStringLiteral("Уставки")});
  Menu(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  Menu(p, {QStringLiteral("Параметры управления"), QStringLiteral("pH")});
  Menu(p, {QStringLiteral("Калибровка"), QStringLiteral("pH")});
  const QWidget* windows[] = {Opened<TSetpointsDialog>(Windows(p).Setpoints),
                              Opened<TStatusWindow>(Windows(p).Status),
                              Opened<TControlParamsDialog>(Windows(p).ControlParams),
                              Opened<TCalibrationForm>(Windows(p).Calibration)};
  QCoreApplication::processEvents();  // shown: their frames are known
  for (const QWidget* w : windows) {
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(screen.contains(w->frameGeometry()))
        << w->metaObject()->className() << " at " << w->frameGeometry().x() << ","
        << w->frameGeometry().y();
  }
}

}  // namespace
}  // namespace vorta::testing
