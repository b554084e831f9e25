#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "windows/main/MessageBoxSink.h"
#include "windows/main/RussianQtTexts.h"

namespace vorta {
namespace {

TEST(MessageBoxSink, showsAModalBoxWithOneOkButtonWithoutBlockingTheCaller) {
  TMessageBoxSink sink;
  // Returning at all proves the caller (a timer of the main form) goes on.
  sink.ShowError(QStringLiteral("Ошибка конфигурирования."));
  QMessageBox* box = sink.LastBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(box->text(), QStringLiteral("Ошибка конфигурирования."));
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  ASSERT_EQ(box->buttons().size(), 1);
  EXPECT_EQ(box->standardButton(box->buttons().front()), QMessageBox::Ok);

  sink.ShowInfo(QStringLiteral("Файл Protocol.txt занят другим приложением"));
  QMessageBox* info = sink.LastBox();
  ASSERT_NE(info, nullptr);
  EXPECT_NE(info, box);
  EXPECT_EQ(info->icon(), QMessageBox::Information);
  info->buttons().front()->click();
  box->buttons().front()->click();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(sink.LastBox(), nullptr);  // closed boxes are freed
}

// Qt's own buttons and dialogs speak the operator's language too.
TEST(RussianQtTexts, standardButtonsReadInRussian) {
  ASSERT_TRUE(InstallRussianQtTexts(*QCoreApplication::instance()));
  QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
}

}  // namespace
}  // namespace vorta
