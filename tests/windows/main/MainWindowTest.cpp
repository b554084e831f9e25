#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>

#include "windows/main/MainWindow.h"

namespace vorta {
namespace {

TEST(MainWindow, closesTheModalWindowThatHoldsTheProgramBeforeTheShutdown) {
  TMainWindow window;
  EXPECT_FALSE(window.CloseModalWindows());
  auto* dialog = new QDialog;
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
  ASSERT_TRUE(dialog->isVisible());
  EXPECT_TRUE(window.CloseModalWindows());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(window.CloseModalWindows());
}

TEST(MainWindow, staysHiddenDuringWorkAndShowsItsPanelAtTheEnd) {
  TMainWindow window;
  window.SetCaption(QStringLiteral("Vorta2"));
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Vorta2"));
  window.SetCaption(QString());
  window.ShowShutdownPanel();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.ShutdownLabel()->isVisible());
  EXPECT_EQ(window.ShutdownLabel()->text(), QStringLiteral("Идет завершение процессов"));
}

}  // namespace
}  // namespace vorta
