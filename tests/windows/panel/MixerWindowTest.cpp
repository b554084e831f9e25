#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "JournalRows.h"
#include "process/CycleContext.h"
#include "process/MeasurementCycle.h"
#include "process/ProcessConfig.h"
#include "process/RegulationCycle.h"
#include "tests/windows/panel/MixerFixture.h"
#include "windows/devices/MixerWindow.h"

namespace vorta::testing {
namespace {

using MixerWindowTest = MixerFixture;

TMixerWindow* MixerWindow(TVortaProcess& p) {
  return PanelFixture::Windows(p).Mixer.Window<TMixerWindow>();
}

int OpenMixerWindows() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += qobject_cast<TMixerWindow*>(w) != nullptr;
  return n;
}

TEST_F(MixerWindowTest, loadOpensTheWindowAtItsPlace_andTheMenuDoesNotOpenASecond) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixTop=140\r\nMixLeft=230\r\nMixCode=77\r\n");
  TMixerWindow* form = MixerWindow(p);
  ASSERT_NE(form, nullptr) << "opened by the loader";
  EXPECT_TRUE(Windows(p).Mixer.IsOpen());
  EXPECT_EQ(form->pos(), QPoint(230, 140));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("F1 - Миксер"));
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form->CodeEdit()->text(), QStringLiteral("77"));

  const int before = OpenMixerWindows();
  Form(p).MenuItem({QStringLiteral("Миксер")})->trigger();
  EXPECT_EQ(MixerWindow(p), form);
  EXPECT_EQ(OpenMixerWindows(), before);
}

TEST_F(MixerWindowTest, aPlaceSavedOffTheScreenOpensWhollyOnIt) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixTop=-300\r\nMixLeft=5000\r\n");
  ASSERT_NE(MixerWindow(p), nullptr);
  QCoreApplication::processEvents();  // shown: the frame is known
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(MixerWindow(p)->frameGeometry()))
      << MixerWindow(p)->x() << "," << MixerWindow(p)->y();
}

TEST_F(MixerWindowTest, codeStepsWrapAndEachSendsOneSpeedFrame) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixCode=127\r\nMixSet=400\r\n");
  TMixerWindow* form = MixerWindow(p);
  ASSERT_NE(form, nullptr);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  Sent.clear();
  QTest::mouseClick(form->SpinUp(), Qt::LeftButton);
  ASSERT_EQ(SentTo(kMixUid + 4).size(), 1U);
  EXPECT_EQ(SentTo(kMixUid + 4).back().Word(), 201) << "128 * 400 / 255 = 200.78";
  EXPECT_EQ(form->CodeEdit()->text(), QStringLiteral("128"));

  p.MixCode = 1;
  Sent.clear();
  QTest::keyClick(form->StartButton(), Qt::Key_Down);  // wherever the focus is
  EXPECT_EQ(p.MixCode, 255);
  ASSERT_EQ(SentTo(kMixUid + 4).size(), 1U);
  EXPECT_EQ(SentTo(kMixUid + 4).back().Word(), 400);
  EXPECT_EQ(form->CodeEdit()->text(), QStringLiteral("255"));

  Sent.clear();
  QTest::keyClick(form, Qt::Key_Up);
  EXPECT_EQ(p.MixCode, 1);
  ASSERT_EQ(SentTo(kMixUid + 4).size(), 1U);
  EXPECT_EQ(SentTo(kMixUid + 4).back().Word(), 2) << "400 / 255 = 1.57";
  EXPECT_TRUE(SentTo(kMixUid + 2).empty()) << "a step does not start the drive";
  EXPECT_EQ(journal.Changes(),
            (QStringList{"1 F1|[Mixer] MixCode|127|128|Panel", "1 F1|[Mixer] MixCode|1|255|Panel",
                         "1 F1|[Mixer] MixCode|255|1|Panel"}));
}

TEST_F(MixerWindowTest, startRunsTheDriveAndTheSoftStart_stopStopsIt) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixCode=60\r\nRestartDeltaCode=10\r\n");
  TMixerWindow* form = MixerWindow(p);
  ASSERT_NE(form, nullptr);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  Sent.clear();
  QTest::mouseClick(form->StartButton(), Qt::LeftButton);
  ASSERT_EQ(SentTo(kMixUid + 2).size(), 1U);
  EXPECT_EQ(SentTo(kMixUid + 2)[0].Word(), 0x0101);
  EXPECT_EQ(p.MixRampActive, 1);
  EXPECT_EQ(p.MixRampCode, 20);

  // The 2-s cycle raises the ramp and the window shows the ramp's code.
  TCycleContext c = Cycles();
  RegulationCycle(c);
  EXPECT_EQ(form->CodeEdit()->text(), QStringLiteral("30"));

  QTest::mouseClick(form->StopButton(), Qt::LeftButton);
  ASSERT_EQ(SentTo(kMixUid + 2).size(), 2U);
  EXPECT_EQ(SentTo(kMixUid + 2)[1].Word(), 0);
  EXPECT_EQ(journal.Changes(),
            (QStringList{"1 F1|Миксер||Старт|Panel", "1 F1|Миксер||Стоп|Panel"}));
}

TEST_F(MixerWindowTest, refreshShowsTheDcDriveStatus_yellowWhenTheLinkIsLost) {
  TVortaProcess& p = AddMixerProcess(1);
  TMixerWindow* form = MixerWindow(p);
  ASSERT_NE(form, nullptr);
  InjectRegisters(29, {0x0A12, 350, 45, 750});
  TCycleContext c = Cycles();
  RegulationCycle(c);
  EXPECT_EQ(form->StatusPanel(0)->text(), QStringLiteral(" I = 0750 mA"));
  EXPECT_EQ(form->StatusPanel(1)->text(), QStringLiteral(" t°C = 45"));
  EXPECT_EQ(form->StatusPanel(2)->text(), QStringLiteral(" Статус: 0A12"));
  EXPECT_FALSE(form->StatusSimple()->isVisibleTo(form));
  const QColor face = form->StatusBar()->palette().color(QPalette::Window);
  EXPECT_NE(face, QColor(Qt::yellow));

  time_.AdvanceBy(11'000);  // no answer for longer than the link timeout
  RegulationCycle(c);
  EXPECT_EQ(form->StatusBar()->palette().color(QPalette::Window), QColor(Qt::yellow));
  Shot(*form, QStringLiteral("mixer"));
}

TEST_F(MixerWindowTest, withoutADriveTheStatusBarSaysSo_andStepsSendNothing) {
  TVortaProcess& p = AddMixerProcess(1, {}, "");
  TMixerWindow* form = MixerWindow(p);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->StatusSimple()->text(), QStringLiteral("Миксер не задан!"));
  EXPECT_TRUE(form->StatusSimple()->isVisibleTo(form));
  adapter_->Sent.clear();
  QTest::mouseClick(form->SpinUp(), Qt::LeftButton);
  QTest::mouseClick(form->StartButton(), Qt::LeftButton);
  time_.AdvanceBy(3000);  // the queue goes out, one frame per 20 ms
  for (const TCANFrame& f : adapter_->Sent) {
    if ((f.Flags & kFlagRemote) == 0) {
      EXPECT_NE(std::uint32_t{f.Id} & 0xF00, kMixUid) << std::uint32_t{f.Id};
    }
  }
  Shot(*form, QStringLiteral("mixer-no-drive"));
}

TEST_F(MixerWindowTest, closeKeepsThePosition_andTheCodeReachesTheFile) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixCode=90\r\n");
  TMixerWindow* form = MixerWindow(p);
  ASSERT_NE(form, nullptr);
  form->show();
  form->move(321, 234);
  QTest::mouseClick(form->SpinUp(), Qt::LeftButton);
  form->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(MixerWindow(p), nullptr) << "not reused";
  EXPECT_FALSE(Windows(p).Mixer.IsOpen());
  EXPECT_EQ(p.MixLeft, 321);
  EXPECT_EQ(p.MixTop, 234);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::MixerCode));
  TCycleContext c = Cycles();
  MeasurementCycle(c);
  EXPECT_TRUE(ReadFile(QStringLiteral("proc1.ini")).contains("MixCode=91"));

  // The menu opens a new one where the old one was.
  Form(p).MenuItem({QStringLiteral("Миксер")})->trigger();
  ASSERT_NE(MixerWindow(p), nullptr);
  EXPECT_EQ(MixerWindow(p)->pos(), QPoint(321, 234));
}

// The engine asks the panel whether the window is open: a normal end saves it.
TEST_F(MixerWindowTest, aNormalEndSavesWhetherTheWindowIsOpen) {
  TVortaProcess& p = AddMixerProcess(1);
  ASSERT_NE(MixerWindow(p), nullptr);
  SaveProcessFile(p);
  EXPECT_TRUE(ReadFile(QStringLiteral("proc1.ini")).contains("MixVisible=1"));
  MixerWindow(p)->close();
  SaveProcessFile(p);
  EXPECT_TRUE(ReadFile(QStringLiteral("proc1.ini")).contains("MixVisible=0"));
}

TEST_F(MixerWindowTest, startStatusOneStartsTheDriveAtLoad) {
  TVortaProcess& p = AddMixerProcess(1, "[Mixer]\r\nMixStartStatus=1\r\n");
  EXPECT_NE(MixerWindow(p), nullptr);
  EXPECT_EQ(p.MixRampActive, 1);
  time_.AdvanceBy(3000);  // the queue goes out, one frame per 20 ms
  int starts = 0;
  for (const TCANFrame& f : adapter_->Sent) {
    starts += f.Id == kMixUid + 2 && f.Len == 2 && f.Data[0] == 1 && f.Data[1] == 1;
  }
  EXPECT_EQ(starts, 1);
}

}  // namespace
}  // namespace vorta::testing
