#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>

#include "HeadlessFormFixture.h"
#include "commands/PanelActions.h"
#include "journal/JournalSession.h"
#include "platform/ProfileFile.h"
#include "platform/RealTimerService.h"
#include "tests/can/FakeAdapter.h"

using namespace vorta;

namespace {

const QByteArray kMain =
    "; main configuration\r\n[Processes]\r\nfirst.ini=1\r\nsecond.ini=01\r\nskipped.ini=10\r\n"
    "missing.ini=1\r\n\r\n[Podpitka]\r\nFazaPeriod=200\r\nDozeCount=7\r\n"
    "[WARMCTRL]\r\nDefWarm=1\r\nIndexWater=8\r\nIndexSteam=5\r\n";

const QByteArray kFirst =
    "[Port]\r\nNameProcess=Первый\r\nNumProcess=1\r\nProtocolname=log1.txt\r\n"
    "[Podpitka]\r\nVentil=2,3\r\nPump=9,1\r\nFazaCount=2\r\n"
    "[Terminate]\r\nsucsesful=Y\r\n; trailing comment\r\n";
const QByteArray kSecond =
    "[Port]\r\nNameProcess=3\r\nNumProcess=2\r\nProtocolname=log2.txt\r\n"
    "[Podpitka]\r\nVentil=1,3\r\nPump=1,1\r\nFazaCount=2\r\n"
    "[Terminate]\r\nsucsesful=Y\r\n";

class MainFormTest : public test::THeadlessFormFixture {
 protected:
  std::unique_ptr<TMainForm> MakeForm(THeadlessMainWindow& window) {
    return std::make_unique<TMainForm>(TMainForm::TDeps{time, messages, windows, window, dm},
                                       folder.Path());
  }

  test::TProgramFolder folder;
  THeadlessMainWindow window;
  TCANService dm{time, TAdapterFactory{}};
};

}  // namespace

TEST_F(MainFormTest, startsEnabledProcessesAndResolvesFeedReferences) {
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", kFirst);
  folder.Write("second.ini", kSecond);
  folder.Write("skipped.ini", kSecond);
  auto form = MakeForm(window);
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  EXPECT_EQ(window.Caption, "Vorta2");
  // The CAN configuration is missing: the one configuration error box.
  EXPECT_TRUE(messages.Errors.contains(QStringLiteral("Ошибка конфигурирования.")));
  ASSERT_EQ(form->Processes().Count(), 2);
  TVortaProcess& first = *form->Processes().ProcessAt(0);
  TVortaProcess& second = *form->Processes().ProcessAt(1);
  EXPECT_EQ(first.Config.NameProcess, QStringLiteral("Первый"));
  EXPECT_EQ(second.Config.NumProcess, 2);
  // Process numbers became list positions; an unknown feed pump clears the programme.
  EXPECT_EQ(first.Config.Ventil[0], 1);
  EXPECT_EQ(first.Config.PodpPump[0], -1);
  EXPECT_EQ(first.Config.FazaCount, 0);
  EXPECT_EQ(second.Config.Ventil[0], 0);
  EXPECT_EQ(second.Config.FazaCount, 2);
  EXPECT_EQ(form->FillPhaseTimer().Interval(), 200);
  EXPECT_EQ(form->DozeCount, 7);
  EXPECT_EQ(form->Program().DefWarm, 1);
  // Steam heating: the t°C up output is IndexSteam.
  EXPECT_EQ(first.Channel[2].Config.CtrlOutUp, 5);
  EXPECT_TRUE(form->OutputTimer().Enabled());
  EXPECT_TRUE(form->MeasureTimer().Enabled());
  EXPECT_TRUE(form->RegulationTimer().Enabled());
  EXPECT_EQ(form->Program().EftText, "EFT:0:0");
}

// A start from the menu shows no standard output: where it put the demo is
// said in a box, once, with the vessels' windows open.
TEST_F(MainFormTest, theStartNoteIsSaidOnceInAWindow) {
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", kFirst);
  auto form = MakeForm(window);
  form->StartNote = QStringLiteral("Демонстрация подготовлена в папке /home/op/.local/share/vorta");
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  EXPECT_EQ(messages.Infos.count(form->StartNote), 1) << messages.Infos.join(u'|').toStdString();
}

TEST_F(MainFormTest, FindProcessTriesNumberThenNameThenFormattedName) {
  folder.Write("Vorta.ini", "[Processes]\r\na.ini=1\r\nb.ini=1\r\nc.ini=1\r\n");
  folder.Write("a.ini", "[Port]\r\nNumProcess=3\r\nNameProcess=Alpha\r\nProtocolname=a.txt\r\n");
  folder.Write("b.ini", "[Port]\r\nNumProcess=4\r\nNameProcess=3\r\nProtocolname=b.txt\r\n");
  folder.Write("c.ini", "[Port]\r\nNumProcess=5\r\nNameProcess=V%02d\r\nProtocolname=c.txt\r\n");
  auto form = MakeForm(window);
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  const TVortaProcessList& list = form->Processes();
  EXPECT_EQ(list.FindProcess("3"), 0);
  EXPECT_EQ(list.FindProcess("4"), 1);
  EXPECT_EQ(list.FindProcess("Alpha"), 0);
  EXPECT_EQ(list.FindProcess("V05"), 2);
  EXPECT_EQ(list.FindProcess("V%02d"), 2);
  EXPECT_EQ(list.FindProcess("alpha"), -1);
  EXPECT_EQ(list.FindProcess("6"), -1);
}

TEST_F(MainFormTest, shutdownWritesBackOnlyItsKeys) {
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", kFirst);
  folder.Write("second.ini", kSecond);
  auto form = MakeForm(window);
  bool terminated = false;
  form->OnTerminate = [&] { terminated = true; };
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  form->DozeCount = 12;
  form->Processes().ProcessAt(0)->MixTop = 40;
  form->Program().ShutdownRequested = true;
  time.AdvanceBy(40);  // the next 40-ms tick runs the shutdown

  EXPECT_TRUE(terminated);
  EXPECT_TRUE(window.ShutdownShown);
  EXPECT_EQ(window.Caption, "");
  EXPECT_EQ(form->Processes().Count(), 0);
  EXPECT_FALSE(form->OutputTimer().Enabled());
  QByteArray main = kMain;
  main.replace("DozeCount=7", "DozeCount=12");
  EXPECT_EQ(folder.Read("Vorta.ini"), main);
  EXPECT_EQ(folder.Read("first.ini"),
            "[Port]\r\nNameProcess=Первый\r\nNumProcess=1\r\nProtocolname=log1.txt\r\n"
            "ProtocolPeriodmin=1\r\n"
            "[Podpitka]\r\nVentil=2,3\r\nPump=9,1\r\nFazaCount=2\r\n"
            "[Terminate]\r\nsucsesful=Y\r\n; trailing comment\r\n"
            "[Mode]\r\nmode=0\r\nCurrent=1\r\n"
            "[Mixer]\r\nMixTop=40\r\nMixLeft=100\r\nMixVisible=0\r\n");
}

TEST_F(MainFormTest, shutdownWaitsUntilTheOpenModalWindowHasClosed) {
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", kFirst);
  auto form = MakeForm(window);
  bool terminated = false;
  form->OnTerminate = [&] { terminated = true; };
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  window.ModalWindowsOpen = 1;  // a dialog's loop is running under the timer
  form->Program().ShutdownRequested = true;
  time.AdvanceBy(40);
  EXPECT_FALSE(terminated);
  EXPECT_EQ(window.ModalWindowsOpen, 0);  // it was asked to close
  EXPECT_EQ(form->Processes().Count(), 1);
  time.AdvanceBy(40);
  EXPECT_TRUE(terminated);
  EXPECT_EQ(form->Processes().Count(), 0);
}

TEST_F(MainFormTest, missingMainConfigurationStartsNothing) {
  auto form = MakeForm(window);
  EXPECT_EQ(form->Start(), TMainForm::TStartResult::NoMainConfig);
  EXPECT_FALSE(form->OutputTimer().Enabled());
  EXPECT_EQ(window.Caption, "-");
}

TEST_F(MainFormTest, secondCopyAsksTheFirstToRaiseAndWritesNothing) {
  folder.Write("Vorta.ini", kMain);
  folder.Write("first.ini", kFirst);
  auto form = MakeForm(window);
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  const QByteArray firstFile = folder.Read("first.ini");

  THeadlessMainWindow secondWindow;
  auto second = MakeForm(secondWindow);
  EXPECT_EQ(second->Start(), TMainForm::TStartResult::SecondInstance);
  EXPECT_EQ(second->Processes().Count(), 0);
  EXPECT_EQ(folder.Read("first.ini"), firstFile);
  for (int i = 0; i < 50 && window.RaiseRequests == 0; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  EXPECT_EQ(window.RaiseRequests, 1);
}

TEST_F(MainFormTest, anEndFromOutsideKeepsTheModesAndTheOperatorsEndDoesNot) {
  folder.Write("Vorta.ini", "[Processes]\r\nfirst.ini=1\r\n");
  folder.Write("first.ini", kFirst);
  const auto runOnce = [this](bool fromOutside, int newMode) {
    THeadlessMainWindow w;
    auto form = MakeForm(w);
    EXPECT_EQ(form->Start(), TMainForm::TStartResult::Running);
    const int mode = static_cast<int>(form->Processes().ProcessAt(0)->Mode);
    // Changed a moment before the end: no data log row holds it yet.
    if (newMode >= 0) ChangeMode(*form->Processes().ProcessAt(0), newMode);
    form->Program().KeepModesAtEnd = fromOutside;
    form->Shutdown();
    return mode;
  };
  runOnce(false, 2);
  EXPECT_EQ(runOnce(true, 3), 0);    // the operator ended the run before
  EXPECT_EQ(runOnce(false, -1), 3);  // the service's stop kept the mode
  EXPECT_EQ(runOnce(false, -1), 0);
  EXPECT_TRUE(folder.Read("VortaJournal.txt").contains(kJournalEndFromOutside.toUtf8()));
  EXPECT_TRUE(folder.Read("first.ini").contains("KeptMode=-1"));
}

// An output past the module's 16 would be cut to a byte and drive another
// output (257 is output 1): refused, naming the file and key, and the vessel
// it would steer does not start; a readable file beside it does.
TEST_F(MainFormTest, anOutputNumberPastTheModuleIsRefusedAndItsVesselDoesNotStart) {
  folder.Write("Vorta.ini", "[Processes]\r\nfirst.ini=1\r\nsecond.ini=1\r\n");
  folder.Write("first.ini", kFirst +
                                "[AssignName]\r\n1=pH\r\n[CtrlpH]\r\nPer=1\r\nUp=3\r\nDown=257\r\n"
                                "[Light]\r\nLightCh=x7\r\n");
  folder.Write("second.ini", kSecond);
  {
    auto form = MakeForm(window);
    ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
    ASSERT_EQ(form->Processes().Count(), 1);
    EXPECT_EQ(form->Processes().ProcessAt(0)->Config.NumProcess, 2);
    const QStringList refusals = messages.Errors.filter(QStringLiteral("first.ini"));
    ASSERT_EQ(refusals.size(), 1) << messages.Errors.join(u'|').toStdString();
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("Down=257")));
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("LightCh=x7")));
    form->Shutdown();
  }
  EXPECT_FALSE(folder.Read("first.ini").contains("Sucsesful")) << "a refused file is not written";

  // The heating output of every vessel: none starts.
  messages.Errors.clear();
  folder.Write("Vorta.ini", "[Processes]\r\nsecond.ini=1\r\n[WARMCTRL]\r\nIndexWater=257\r\n");
  THeadlessMainWindow w;
  auto form = MakeForm(w);
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  EXPECT_EQ(form->Processes().Count(), 0);
  const QStringList refusals = messages.Errors.filter(QStringLiteral("IndexWater=257"));
  ASSERT_EQ(refusals.size(), 1) << messages.Errors.join(u'|').toStdString();
  EXPECT_TRUE(refusals[0].contains(QStringLiteral("Vorta.ini")));
}

TEST_F(MainFormTest, emptyProcessListStillRunsTheTimers) {
  folder.Write("Vorta.ini", "[Processes]\r\n");
  auto form = MakeForm(window);
  ASSERT_EQ(form->Start(), TMainForm::TStartResult::Running);
  time.AdvanceBy(10'000);
  EXPECT_EQ(form->Processes().Count(), 0);
  EXPECT_TRUE(form->RegulationTimer().Enabled());
}

TEST(RealTimeReconnect, firstRetryComesTenSecondsAfterStartAtTheEarliest) {
  test::EnsureCoreApplication();
  test::TProgramFolder folder;
  folder.Write("VortaCAN.ini", "[CANAdapter]\r\nType=Marathon\r\n");
  TRealTimerService time;
  vorta::testing::TFakeAdapter* adapter = nullptr;
  TCANService dm(time, vorta::testing::FakeFactory(&adapter, false));
  TProfileFile can(folder.File("VortaCAN.ini"));
  dm.LoadConfig(can);
  ASSERT_NE(adapter, nullptr);
  ASSERT_EQ(adapter->OpenAttempts, 1);
  // Start 200-300 ms into a second of the monotonic clock: a timer that rounds
  // its due time to whole seconds would then come early.
  const auto phase = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() %
           1000;
  };
  while (phase() < 200 || phase() >= 300) QThread::msleep(1);
  QElapsedTimer clock;
  clock.start();
  dm.StartTimers();
  while (adapter->OpenAttempts < 2 && clock.elapsed() < 12'000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  const qint64 at = clock.elapsed();
  EXPECT_EQ(adapter->OpenAttempts, 2);
  // Coarse timers may fire up to 5 % early; the retry never may.
  EXPECT_GE(at, 10'000);
  EXPECT_LT(at, 11'500);
}
