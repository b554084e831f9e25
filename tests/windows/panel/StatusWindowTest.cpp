#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "JournalRows.h"
#include "commands/StatusClock.h"
#include "process/StatusMessages.h"
#include "tests/windows/panel/DialogFixture.h"
#include "windows/dialogs/StatusWindow.h"

namespace vorta::testing {
namespace {

using StatusWindowTest = DialogFixture;

TStatusWindow* OpenStatus(TVortaProcess& p, const QStringList& path) {
  QAction* a = DialogFixture::Panel(p).MenuItem(path);
  if (a == nullptr) return nullptr;
  a->trigger();
  return DialogFixture::Panel(p).Windows().Status.Window<TStatusWindow>();
}

TEST_F(StatusWindowTest, processSubjectStartsTheClockAndStartTwiceRestartsIt) {
  TVortaProcess& p = AddProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  TStatusWindow* w = OpenStatus(p, {QStringLiteral("Режим"), QStringLiteral("Процесс")});
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(Windows(p).Status.IsOpen());
  EXPECT_EQ(p.StatusSubject, 8);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Статус - Процесс"));
  EXPECT_EQ(w->size(), QSize(TStatusWindow::kClientWidth, TStatusWindow::kClientHeight));
  EXPECT_TRUE(w->StartButton()->isVisibleTo(w));
  EXPECT_TRUE(w->StartedEdit()->text().isEmpty()) << "never started: no made-up date";
  EXPECT_TRUE(w->ElapsedEdit()->text().isEmpty());
  EXPECT_EQ(w->pos(), Form(p).pos() + QPoint(20, 20));

  QTest::mouseClick(w->StartButton(), Qt::LeftButton);
  EXPECT_TRUE(program_.EftRunning);
  const double first = program_.EftStart;
  EXPECT_EQ(first, time_.Now());
  EXPECT_EQ(w->StartedEdit()->text(), StatusDateTimeText(first));
  EXPECT_TRUE(w->StartedEdit()->text().contains(QStringLiteral("9:00:00")))
      << w->StartedEdit()->text().toStdString();
  Shot(*w, QStringLiteral("status-process"));

  time_.AdvanceBy(3'725'000);
  MeasurementTick();
  program_.TwoSecondTicks = 11;
  EXPECT_EQ(program_.EftSeconds, 3725);
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:1:2"));

  QTest::mouseClick(w->StartButton(), Qt::LeftButton);
  EXPECT_GT(program_.EftStart, first);
  EXPECT_EQ(program_.EftSeconds, 0);
  EXPECT_EQ(program_.EftLastSecond, 0);
  EXPECT_EQ(program_.TwoSecondTicks, 0);
  time_.AdvanceBy(60'000);
  MeasurementTick();
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:0:1")) << "counted from the second press";

  QTest::mouseClick(w->StopButton(), Qt::LeftButton);
  EXPECT_FALSE(program_.EftRunning);
  EXPECT_EQ(w->ElapsedEdit()->text(), StatusDateTimeText(time_.Now()));
  time_.AdvanceBy(600'000);
  MeasurementTick();
  EXPECT_EQ(program_.EftText, QStringLiteral("EFT:0:1")) << "stopped clock keeps its text";
  // The clock is the program's: no vessel in its records.
  EXPECT_EQ(journal.Changes(), (QStringList{"|Часы EFT|стоят, EFT:0:0|идут с нуля|Panel",
                                            "|Часы EFT|идут, EFT:1:2|идут с нуля|Panel",
                                            "|Часы EFT|идут, EFT:0:1|стоят, EFT:0:1|Panel"}));

  QTest::mouseClick(w->CloseButton(), Qt::LeftButton);
  EXPECT_FALSE(Windows(p).Status.IsOpen());
  EXPECT_EQ(p.StatusSink, nullptr);

  // Opened again, it shows the clock's start and stop at once.
  const QString stopped = w->ElapsedEdit()->text();
  TStatusWindow* again = OpenStatus(p, {QStringLiteral("Режим"), QStringLiteral("Процесс")});
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->StartedEdit()->text(), StatusDateTimeText(program_.EftStart));
  EXPECT_EQ(again->ElapsedEdit()->text(), stopped);
  QTest::mouseClick(again->StartButton(), Qt::LeftButton);
  EXPECT_TRUE(again->ElapsedEdit()->text().isEmpty()) << "running: no stop time";
}

TEST_F(StatusWindowTest, stopWithoutStartOnlyShowsTheStopTime) {
  TVortaProcess& p = AddProcess(1);
  TStatusWindow* w = OpenStatus(p, {QStringLiteral("Режим"), QStringLiteral("Процесс")});
  ASSERT_NE(w, nullptr);
  QTest::mouseClick(w->StopButton(), Qt::LeftButton);
  EXPECT_FALSE(program_.EftRunning);
  EXPECT_EQ(program_.EftStart, 0);
  EXPECT_TRUE(w->StartedEdit()->text().isEmpty());
  EXPECT_EQ(w->ElapsedEdit()->text(), StatusDateTimeText(time_.Now()));
}

TEST_F(StatusWindowTest, captionsBySubjectAndClockOnlyForTheProcess) {
  TVortaProcess& p = AddProcess(1);
  const QString st = QStringLiteral("Статус");
  const std::pair<const char*, const char*> items[] = {{"pH", "Статус - pH"},
                                                       {"t°C", "Статус - tC"},
                                                       {"Миксер", "Статус - Миксер"},
                                                       {"USB", "Статус - USB"}};
  for (const auto& [item, caption] : items) {
    TStatusWindow* w = OpenStatus(p, {st, QString::fromUtf8(item)});
    ASSERT_NE(w, nullptr) << item;
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8(caption));
    EXPECT_FALSE(w->StartButton()->isVisibleTo(w));
    EXPECT_FALSE(w->ElapsedEdit()->isVisibleTo(w));
    EXPECT_TRUE(w->CloseButton()->isVisibleTo(w));
    if (QString::fromUtf8(item) == QStringLiteral("pH")) {
      EXPECT_EQ(OpenStatus(p, {st, QStringLiteral("USB")}), w) << "one window at a time";
      EXPECT_EQ(p.StatusSubject, 1);
      Shot(*w, QStringLiteral("status-channel"));
    }
    QTest::mouseClick(w->CloseButton(), Qt::LeftButton);
  }
  EXPECT_EQ(StatusCaption(p, 7), st);
  EXPECT_EQ(StatusCaption(p, 0), st);
  EXPECT_FALSE(StatusShowsClock(7));
}

TEST_F(StatusWindowTest, memoIsFedByTheStatusLinesOfItsSubjectWhileOpen) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = TVesselMode::Batch;
  p.Channel[1].Status = TRegulationStatus::InDeadZone;
  TStatusWindow* w = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(p.StatusSink, static_cast<IStatusSink*>(w));
  EXPECT_EQ(w->Lines()->toPlainText(), QStringLiteral("Зона нечувствительности"))
      << "filled as it opens, not at the next cycle";
  p.Channel[1].Status = TRegulationStatus::AboveHigh;
  ShowStatusLine(p, 1);
  ShowStatusLine(p, 2);  // t°C: another subject
  EXPECT_EQ(w->Lines()->toPlainText(),
            QStringLiteral("Зона нечувствительности\nПревышение верхней границы"));

  p.Mode = TVesselMode::Uncontrolled;
  ShowStatusLine(p, 1);
  ShowStatusLine(p, 1);
  EXPECT_EQ(w->Lines()->toPlainText(),
            QStringLiteral("Неконтролируемый режим\nПревышение верхней границы"));

  QTest::mouseClick(w->CloseButton(), Qt::LeftButton);
  ShowStatusLine(p, 1);  // nothing is written to a closed window
  EXPECT_EQ(w->Lines()->toPlainText().count(u'\n'), 1);

  TStatusWindow* again = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Lines()->toPlainText(), QStringLiteral("Неконтролируемый режим"))
      << "the old lines are gone, the current one is there";
  ShowStatusLine(p, 1);
  EXPECT_EQ(again->Lines()->toPlainText(), QStringLiteral("Неконтролируемый режим"));
}

}  // namespace
// The status window's subject is its own: a dialog opened meanwhile for
// another channel does not turn the window to that channel.
TEST_F(StatusWindowTest, anotherDialogOpenedMeanwhileLeavesTheSubjectAlone) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = TVesselMode::Batch;
  p.Channel[1].Status = TRegulationStatus::InDeadZone;
  p.Channel[3].Status = TRegulationStatus::AboveHigh;
  TStatusWindow* w = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(w, nullptr);
  QAction* ctrl =
      Panel(p).MenuItem({QStringLiteral("Параметры управления"), QStringLiteral("pO2")});
  ASSERT_NE(ctrl, nullptr);
  ctrl->trigger();
  ASSERT_TRUE(Windows(p).ControlParams.IsOpen());
  ShowStatusLine(p, 3);
  ShowStatusLine(p, 1);
  EXPECT_EQ(w->Lines()->toPlainText(),
            QStringLiteral("Зона нечувствительности\nЗона нечувствительности"));
}

TEST_F(StatusWindowTest, memoLeftOpenForDaysKeepsOnlyTheNewestLines) {
  TVortaProcess& p = AddProcess(1);
  p.Mode = TVesselMode::Batch;
  TStatusWindow* w = OpenStatus(p, {QStringLiteral("Статус"), QStringLiteral("pH")});
  ASSERT_NE(w, nullptr);
  p.Channel[1].Status = TRegulationStatus::InDeadZone;
  for (int i = 0; i < TStatusWindow::kMaxMemoLines + 50; ++i) ShowStatusLine(p, 1);
  p.Channel[1].Status = TRegulationStatus::AboveHigh;
  ShowStatusLine(p, 1);
  EXPECT_EQ(w->Lines()->blockCount(), TStatusWindow::kMaxMemoLines);
  EXPECT_TRUE(w->Lines()->toPlainText().endsWith(QStringLiteral("Превышение верхней границы")));
}

}  // namespace vorta::testing
