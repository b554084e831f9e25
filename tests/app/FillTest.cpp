#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "HeadlessFormFixture.h"
#include "JournalRows.h"
#include "commands/FillRun.h"
#include "platform/TimerService.h"
#include "windows/fill/FillWindow.h"

namespace vorta::testing {
namespace {

// Vessel 1 holds the phase table: medium on its own output 2, feed pump on
// output 5 of vessel 2, its valve on output 4. Vessel 2's valve is output 6.
QByteArray Vessel(int num, const QByteArray& podpitka) {
  return "[Port]\r\nNameProcess=V%d\r\nNumProcess=" + QByteArray::number(num) +
         "\r\nProtocolname=log" + QByteArray::number(num) + ".txt\r\n[Podpitka]\r\n" + podpitka +
         "[Terminate]\r\nsucsesful=Y\r\n";
}

const QByteArray kFirstTable =
    "Ventil=1,3\r\nSreda=1,2\r\nPump=2,5\r\nKlapan=4\r\nFazaCount=3\r\n"
    "Faza0=1,1,1\r\nFaza1=0,1,0\r\nFaza2=0,0,0\r\n";
const QByteArray kSecondTable =
    "Ventil=1,3\r\nPump=1,1\r\nKlapan=6\r\nFazaCount=3\r\nFaza0=0,0,1\r\nFaza1=0,0,1\r\n";

// Writes the window to $VORTA_SCREENSHOT_DIR/fill.png when that is set.
void Shot(QWidget& w) {
  const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
  if (!dir.isEmpty()) w.grab().save(QDir(dir).filePath(QStringLiteral("fill.png")));
}

bool Bit(const TVortaProcess& p, int output) {
  return (p.OutputWord & (1U << (output - 1))) != 0;
}

class FillTest : public test::THeadlessFormFixture {
 protected:
  // Starts the program on two vessels; the fill timer's ticks are counted.
  TFillControl& Start(const QByteArray& firstTable = kFirstTable) {
    folder_.Write("Vorta.ini",
                  "[Processes]\r\nv1.ini=1\r\nv2.ini=1\r\n[Podpitka]\r\nFazaPeriod=120\r\n"
                  "DozeCount=7\r\n");
    folder_.Write("v1.ini", Vessel(1, firstTable));
    folder_.Write("v2.ini", Vessel(2, kSecondTable));
    form_ = std::make_unique<TMainForm>(TMainForm::TDeps{time, messages, windows, window_, dm_},
                                        folder_.Path());
    EXPECT_EQ(form_->Start(), TMainForm::TStartResult::Running);
    TFillControl& fill = *form_->Fill();
    auto tick = fill.FillTimer->OnTimer;
    fill.FillTimer->OnTimer = [this, tick] {
      ++ticks_;
      tick();
    };
    return fill;
  }

  TVortaProcess& Vessel1() { return *form_->Processes().ProcessAt(0); }
  TVortaProcess& Vessel2() { return *form_->Processes().ProcessAt(1); }

  test::TProgramFolder folder_;
  THeadlessMainWindow window_;
  TCANService dm_{time, TAdapterFactory{}};
  std::unique_ptr<TMainForm> form_;
  int ticks_ = 0;
};

TEST_F(FillTest, startUpTakesTheTargetFromTheMainFile_andShutdownWritesItBack) {
  TFillControl& fill = Start();
  EXPECT_EQ(fill.FillTarget, 7);
  EXPECT_EQ(fill.TargetText, QStringLiteral("7"));
  EXPECT_EQ(fill.FillTimer->Interval(), 120);
  EXPECT_EQ(fill.BoxEnabled, (std::array<bool, 4>{true, true, false, false}));
  fill.StepTargetUpClick();
  form_->Shutdown();
  EXPECT_EQ(form_->Fill(), nullptr);
  EXPECT_TRUE(folder_.Read("Vorta.ini").contains("DozeCount=8"));
}

TEST_F(FillTest, threePhasesAndTargetTwo_sixTicksTwoDosesThenTheRunStops) {
  TFillControl& fill = Start();
  fill.SetBoxChecked(1, true);
  fill.SetBoxChecked(2, true);
  fill.TargetEdited(QStringLiteral("2"));
  fill.StartStopClick();
  ASSERT_TRUE(fill.FillRunning);
  EXPECT_EQ(fill.ButtonCaption, QStringLiteral("Стоп"));
  EXPECT_FALSE(fill.GroupsEnabled);
  EXPECT_FALSE(form_->MeasureTimer().Enabled());
  EXPECT_FALSE(form_->RegulationTimer().Enabled());
  EXPECT_TRUE(form_->OutputTimer().Enabled());

  time.AdvanceBy(120);  // phase 0: medium, pump and both valves on
  EXPECT_EQ(ticks_, 1);
  EXPECT_TRUE(Bit(Vessel1(), 2));
  EXPECT_TRUE(Bit(Vessel2(), 5));
  EXPECT_TRUE(Bit(Vessel1(), 4));
  EXPECT_TRUE(Bit(Vessel2(), 6)) << "vessel 2's valve follows its own table";
  time.AdvanceBy(120);  // phase 1
  EXPECT_FALSE(Bit(Vessel1(), 2));
  EXPECT_TRUE(Bit(Vessel2(), 5));
  EXPECT_FALSE(Bit(Vessel1(), 4));
  EXPECT_TRUE(Bit(Vessel2(), 6));
  time.AdvanceBy(120);
  EXPECT_EQ(fill.FillDone, 1);

  time.AdvanceBy(120 * 10);
  EXPECT_EQ(ticks_, 6);
  EXPECT_FALSE(fill.FillRunning);
  EXPECT_FALSE(fill.FillTimer->Enabled());
  EXPECT_EQ(fill.FillDone, 0);
  EXPECT_EQ(fill.ButtonCaption, QStringLiteral("Пуск"));
  EXPECT_TRUE(fill.GroupsEnabled);
  EXPECT_TRUE(fill.ButtonEnabled);
  EXPECT_FALSE(form_->MeasureTimer().Enabled()) << "suspended until the window closes";
  EXPECT_TRUE(fill.CloseQuery());
  EXPECT_TRUE(form_->MeasureTimer().Enabled());
  EXPECT_TRUE(form_->RegulationTimer().Enabled());
  // The run is the program's; the stop at the target is not the operator's.
  EXPECT_EQ(test::JournalChanges(folder_.File(QStringLiteral("VortaJournal.txt"))),
            (QStringList{"|Подпитка|Стоп|Пуск (V1, V2; доз: 2)|Button",
                         "|Подпитка|Пуск|Стоп (выполнено доз: 2)|Engine"}));
}

TEST_F(FillTest, targetZeroRunsUntilStopped_andStopFinishesTheDoseUnderWay) {
  TFillControl& fill = Start();
  fill.SetBoxChecked(2, true);
  fill.SetTarget(0);
  fill.StartStopClick();
  time.AdvanceBy(120 * 31);  // ten doses and one phase
  EXPECT_TRUE(fill.FillRunning);
  EXPECT_EQ(fill.FillDone, 10);
  EXPECT_EQ(fill.FillStep, 1);
  EXPECT_FALSE(Bit(Vessel1(), 4)) << "vessel 1 is not selected";

  fill.StartStopClick();  // returns once the dose is complete
  // Two phases finish the dose; the tick after it finds the run stopped and
  // switches the timer off.
  EXPECT_EQ(ticks_, 34);
  EXPECT_EQ(fill.FillStep, 0);
  EXPECT_EQ(fill.FillDone, 11);
  EXPECT_FALSE(fill.FillTimer->Enabled());
  EXPECT_EQ(fill.ButtonCaption, QStringLiteral("Пуск"));
  time.AdvanceBy(1000);
  EXPECT_EQ(ticks_, 34);
  EXPECT_EQ(test::JournalChanges(folder_.File(QStringLiteral("VortaJournal.txt"))),
            (QStringList{"|Подпитка|Стоп|Пуск (V2; доз: 0)|Button",
                         "|Подпитка|Пуск|Стоп (выполнено доз: 10)|Button"}));
}

TEST_F(FillTest, stopDuringTheLastDoseEndsTheRunInsteadOfStartingAnother) {
  TFillControl& fill = Start();
  fill.SetBoxChecked(2, true);
  fill.SetTarget(2);
  fill.StartStopClick();
  time.AdvanceBy(120 * 4);  // the second (last) dose is under way
  ASSERT_EQ(fill.FillDone, 1);
  fill.StartStopClick();  // the operator's stop waits for that dose
  EXPECT_EQ(ticks_, 7) << "two phases end the dose, the next tick the timer: no second run";
  EXPECT_FALSE(fill.FillRunning);
  EXPECT_FALSE(fill.FillTimer->Enabled());
  EXPECT_EQ(test::JournalChanges(folder_.File(QStringLiteral("VortaJournal.txt"))).size(), 2);
}

TEST_F(FillTest, nothingTickedShowsTheMessageAndStartsNothing) {
  TFillControl& fill = Start();
  messages.Infos.clear();
  fill.StartStopClick();
  EXPECT_EQ(messages.Infos, QStringList{QStringLiteral("Выберите хотя бы один процесс")});
  EXPECT_FALSE(fill.FillRunning);
  EXPECT_TRUE(fill.ButtonEnabled);
  EXPECT_TRUE(form_->MeasureTimer().Enabled());
}

TEST_F(FillTest, anEmptyPhaseTableRefusesToStart) {
  TFillControl& fill = Start("Ventil=1,3\r\nSreda=1,2\r\nPump=2,5\r\nFazaCount=0\r\n");
  fill.SetBoxChecked(1, true);
  fill.StartStopClick();
  EXPECT_FALSE(fill.FillRunning);
  EXPECT_FALSE(fill.FillTimer->Enabled());
  EXPECT_TRUE(form_->MeasureTimer().Enabled());
  ASSERT_EQ(messages.Errors.filter(QStringLiteral("Заполнение не запущено")).size(), 1);
  EXPECT_TRUE(fill.ButtonEnabled);
}

TEST_F(FillTest, theWindowRefusesToCloseDuringARun_andRestoresTheTimersAfter) {
  TFillControl& fill = Start();
  TFillWindow window(fill);
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Заполнение"));
  EXPECT_EQ(window.TargetEdit()->text(), QStringLiteral("7"));
  EXPECT_FALSE(window.CheckBox(3)->isEnabled());
  window.CheckBox(1)->setChecked(true);
  QTest::mouseClick(window.SpinDown(), Qt::LeftButton);
  EXPECT_EQ(window.TargetEdit()->text(), QStringLiteral("6"));
  QTest::mouseClick(window.StartStopButton(), Qt::LeftButton);
  EXPECT_EQ(window.StartStopButton()->text(), QStringLiteral("Стоп"));
  EXPECT_FALSE(window.GroupFill()->isEnabled());
  time.AdvanceBy(120 * 4);
  EXPECT_EQ(window.DoneEdit()->text(), QStringLiteral("1"));
  Shot(window);

  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  QTest::mouseClick(window.StartStopButton(), Qt::LeftButton);
  EXPECT_EQ(window.StartStopButton()->text(), QStringLiteral("Пуск"));
  EXPECT_EQ(window.DoneEdit()->text(), QStringLiteral("2"));
  QTest::mouseClick(window.ResetButton(), Qt::LeftButton);
  EXPECT_EQ(window.DoneEdit()->text(), QStringLiteral("0"));
  // The window's start and stop go through the command layer, once each.
  const QStringList run = test::JournalChanges(folder_.File("VortaJournal.txt")).filter("Подпитка");
  ASSERT_EQ(run.size(), 2) << run.join(u'\n').toStdString();
  EXPECT_TRUE(run[0].endsWith(u"|Panel") && run[0].contains(u"|Стоп|Пуск")) << run[0].toStdString();
  EXPECT_TRUE(run[1].endsWith(u"|Panel") && run[1].contains(u"|Пуск|Стоп")) << run[1].toStdString();
  EXPECT_FALSE(form_->MeasureTimer().Enabled());
  EXPECT_TRUE(window.close());
  EXPECT_TRUE(form_->MeasureTimer().Enabled());
  EXPECT_TRUE(form_->RegulationTimer().Enabled());
}

TEST_F(FillTest, shutdownWhileAStopWaitsForItsDoseFreesTheRunCleanly) {
  TFillControl& fill = Start();
  TFillWindow window(fill);
  window.CheckBox(1)->setChecked(true);
  fill.StartStopClick();
  time.AdvanceBy(120);
  ASSERT_EQ(fill.FillStep, 1);
  // The next 40-ms tick, inside the stop's wait, runs the shutdown.
  form_->Program().ShutdownRequested = true;
  fill.StartStopClick();
  EXPECT_TRUE(form_->Closed());
  EXPECT_EQ(form_->Fill(), nullptr);
  EXPECT_EQ(window.Fill(), nullptr);
  EXPECT_TRUE(window.close()) << "nothing holds the window any more";
}

}  // namespace
}  // namespace vorta::testing
