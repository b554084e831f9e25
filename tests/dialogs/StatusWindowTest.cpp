#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "JournalRows.h"
#include "dialogs/StatusUnit.h"
#include "dialogs/StatusWindow.h"
#include "panel/mainlo.h"
#include "tests/dialogs/DialogFixture.h"

namespace vorta::testing {
namespace {

using StatusWindowTest = DialogFixture;

TForm5* OpenStatus(TVortaProcess& p, const QStringList& path) {
  QAction* a = DialogFixture::Panel(p).MenuItem(path);
  if (a == nullptr) return nullptr;
  a->trigger();
  return qobject_cast<TForm5*>(p.StatusForm.data());
}

TEST_F(StatusWindowTest, processSubjectStartsTheClockAndStartTwiceRestartsIt) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  TForm5* w = OpenStatus(p, {QStringLiteral("Режим"), QStringLiteral("Процесс")});
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(p.StatusFormOpen, 1);
  EXPECT_EQ(p.DialogChannel, 8);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Статус - Процесс"));
  EXPECT_EQ(w->size(), QSize(TForm5::kClientWidth, TForm5::kClientHeight));
  EXPECT_TRUE(w->ButtonStart()->isVisibleTo(w));
  EXPECT_EQ(w->Edit1()->text(), QStringLiteral("01/01/11 00:00:00"));
  EXPECT_EQ(w->pos(), Form(p).pos() + QPoint(20, 20));

  QTest::mouseClick(w->ButtonStart(), Qt::LeftButton);
  EXPECT_TRUE(program_.EftRunning);
  const double first = program_.EftStart;
  EXPECT_EQ(first, time_.Now());
  EXPECT_EQ(w->Edit1()->text(), StatusDateTimeText(first));
  EXPECT_TRUE(w->Edit1()->text().contains(QStringLiteral("9:00:00")))
      << w->Edit1()->text().toStdString();
  Shot(*w, QStringLiteral("status-process"));

  time_.AdvanceBy(3'725'000);
  MeasurementTick();
  program_.TwoSecondTicks = 11;
  EXPECT_EQ(program_.EftSeconds, 3725);
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:1:2"));

  QTest::mouseClick(w->ButtonStart(), Qt::LeftButton);
  EXPECT_GT(program_.EftStart, first);
  EXPECT_EQ(program_.EftSeconds, 0);
  EXPECT_EQ(program_.EftLastSecond, 0);
  EXPECT_EQ(program_.TwoSecondTicks, 0);
  time_.AdvanceBy(60'000);
  MeasurementTick();
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:0:1")) << "counted from the second press";

  QTest::mouseClick(w->ButtonStop(), Qt::LeftButton);
  EXPECT_FALSE(program_.EftRunning);
  EXPECT_EQ(w->Edit2()->text(), StatusDateTimeText(time_.Now()));
  time_.AdvanceBy(600'000);
  MeasurementTick();
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:0:1")) << "stopped clock keeps its text";
  // The clock is the program's: no vessel in its records.
  EXPECT_EQ(journal.Changes(), (QStringList{"|Часы EFT|стоят, EFT:0:0|идут с нуля|Button",
                                            "|Часы EFT|идут, EFT:1:2|идут с нуля|Button",
                                            "|Часы EFT|идут, EFT:0:1|стоят, EFT:0:1|Button"}));

  QTest::mouseClick(w->Button1(), Qt::LeftButton);
  EXPECT_EQ(p.StatusFormOpen, 0);
  EXPECT_EQ(p.StatusSink, nullptr);
}

TEST_F(StatusWindowTest, stopWithoutStartOnlyShowsTheStopTime) {
  TVortaProcess& p = AddProcess(1);
  TForm5* w = OpenStatus(p, {QStringLiteral("Режим"), QStringLiteral("Процесс")});
  ASSERT_NE(w, nullptr);
  QTest::mouseClick(w->ButtonStop(), Qt::LeftButton);
  EXPECT_FALSE(program_.EftRunning);
  EXPECT_EQ(program_.EftStart, 0);
  EXPECT_EQ(w->Edit1()->text(), QStringLiteral("01/01/11 00:00:00"));
  EXPECT_NE(w->Edit2()->text(), QStringLiteral("01/01/11 00:00:00"));
}

TEST_F(StatusWindowTest, captionsBySubjectAndClockOnlyForTheProcess) {
  TVortaProcess& p = AddProcess(1);
  const QString st = QStringLiteral("Статус");
  const std::pair<const char*, const char*> items[] = {{"pH", "Статус - pH"},
                                                       {"t°C", "Статус - tC"},
                                                       {"Миксер", "Статус - Миксер"},
                                                       {"USB", "Статус - USB"}};
  for (const auto& [item, caption] : items) {
    TForm5* w = OpenStatus(p, {st, QString::fromUtf8(item)});
    ASSERT_NE(w, nullptr) << item;
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8(caption));
    EXPECT_FALSE(w->ButtonStart()->isVisibleTo(w));
    EXPECT_FALSE(w->Edit2()->isVisibleTo(w));
    EXPECT_TRUE(w->Button1()->isVisibleTo(w));
    if (QString::fromUtf8(item) == QStringLiteral("pH")) {
      EXPECT_EQ(OpenStatus(p, {st, QStringLiteral("USB")}), w) << "one window at a time";
      EXPECT_EQ(p.DialogChannel, 1);
      Shot(*w, QStringLiteral("status-channel"));
    }
    QTest::mouseClick(w->Button1(), Qt::LeftButton);
  }
  EXPECT_EQ(StatusCaption(p, 7), st);
  EXPECT_EQ(StatusCaption(p, 0), st);
  EXPECT_FALSE(StatusShowsClock(7));
}

TEST_F(StatusWindowTest, memoIsFedByTheStatusLinesOfItsSubjectWhileOpen) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = 1;
  TForm5* w = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(p.StatusSink, static_cast<IStatusSink*>(w));
  p.CtrlStatus[1] = 3;
  ErrorMessage(p, 1);
  p.CtrlStatus[1] = 4;
  ErrorMessage(p, 1);
  ErrorMessage(p, 2);  // t°C: another subject
  EXPECT_EQ(w->Memo1()->toPlainText(),
            QStringLiteral("Зона нечувствительности\nПревышение верхней границы"));

  p.Mode = 0;
  ErrorMessage(p, 1);
  ErrorMessage(p, 1);
  EXPECT_EQ(w->Memo1()->toPlainText(),
            QStringLiteral("Неконтролируемый режим\nПревышение верхней границы"));

  QTest::mouseClick(w->Button1(), Qt::LeftButton);
  ErrorMessage(p, 1);  // nothing is written to a closed window
  EXPECT_EQ(w->Memo1()->toPlainText().count(u'\n'), 1);

  TForm5* again = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->Memo1()->toPlainText().isEmpty());
  ErrorMessage(p, 1);
  EXPECT_EQ(again->Memo1()->toPlainText(), QStringLiteral("Неконтролируемый режим"));
}

}  // namespace
TEST_F(StatusWindowTest, memoLeftOpenForDaysKeepsOnlyTheNewestLines) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = 1;
  TForm5* w = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(w, nullptr);
  p.CtrlStatus[1] = 3;
  for (int i = 0; i < TForm5::kMaxMemoLines + 50; ++i) ErrorMessage(p, 1);
  p.CtrlStatus[1] = 4;
  ErrorMessage(p, 1);
  EXPECT_EQ(w->Memo1()->blockCount(), TForm5::kMaxMemoLines);
  EXPECT_TRUE(w->Memo1()->toPlainText().endsWith(QStringLiteral("Превышение верхней границы")));
}

}  // namespace vorta::testing
