#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "commands/PanelActions.h"
#include "process/CycleContext.h"
#include "process/Foam.h"
#include "process/MeasurementCycle.h"
#include "process/OutputChannels.h"
#include "process/OutputCycle.h"
#include "process/RegulationCycle.h"
#include "tests/windows/panel/PanelFixture.h"

namespace vorta::testing {
namespace {

bool Bit(const TVortaProcess& p, int output) {
  return (p.OutputWord & (1U << (output - 1))) != 0;
}

QColor TextColor(const QPushButton* b) {
  return b->palette().color(QPalette::Active, QPalette::ButtonText);
}

using VortaFormTest = PanelFixture;

TEST_F(VortaFormTest, controlsSitAtTheirPlacesWithTheirCaptions) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  EXPECT_EQ(form.size(), QSize(349, 195));
  for (int k = 1; k <= 7; ++k) {
    EXPECT_EQ(form.ManualButton(k)->geometry(), QRect(0, 4 + 25 * (k - 1), 98, 21)) << k;
  }
  EXPECT_EQ(form.ManualButton(6)->text(), QStringLiteral("Охлаждение"));
  EXPECT_EQ(form.ValueGrid()->geometry(), QRect(108, 4, 240, 144));
  EXPECT_EQ(form.FoamIndicator()->geometry(), QRect(109, 154, 58, 21));
  EXPECT_EQ(form.ManualButton(8)->geometry(), QRect(170, 154, 58, 21));
  EXPECT_EQ(form.ManualButton(8)->text(), QStringLiteral("Свет"));
  EXPECT_TRUE(form.ManualButton(8)->isVisibleTo(&form)) << "ExistLight=1";
  const int widths[] = {18, 74, 146, 48, 50};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(form.StatusPanel(i)->width(), widths[i]) << i;
  EXPECT_EQ(form.StatusPanel(1)->text(), QStringLiteral("Об/мин: 0"));
  // Mode and clock from the load on, not only after the first ticks.
  EXPECT_EQ(form.StatusPanel(2)->text(), QStringLiteral("Режим: Неконтролируемый"));
  EXPECT_EQ(form.StatusPanel(4)->text(), QStringLiteral("EFT:0:0"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("F1"));
}

TEST_F(VortaFormTest, gridShowsRowsAndColumnsInTheirFormats) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  QTableWidget* g = form.ValueGrid();
  EXPECT_EQ(g->item(0, 2)->text(), QStringLiteral("t°C"));
  EXPECT_EQ(g->item(6, 0)->text(), QStringLiteral("ADC"));
  EXPECT_EQ(g->item(2, 1)->text(), QStringLiteral("7.00"));
  EXPECT_EQ(g->item(2, 2)->text(), QStringLiteral("37.50"));
  EXPECT_EQ(g->item(2, 4)->text(), QStringLiteral("-1.50"));

  p.Channel[1].Value = 6.996;
  p.Channel[3].Value = -0.001;  // rounds to zero: no sign
  p.Channel[1].AdcHistory = {0, 3000, 1000, 2000};
  p.Channel[2].Minute.Avg = 37.126;
  p.Channel[2].Minute.Min = 1.5;
  p.Channel[2].Minute.Max = 100.0;
  form.ShowCurrentValues();
  EXPECT_EQ(g->item(1, 1)->text(), QStringLiteral("7.00"));
  EXPECT_EQ(g->item(1, 3)->text(), QStringLiteral("0.00"));
  EXPECT_EQ(g->item(6, 1)->text(), QStringLiteral("2000")) << "median of three";
  EXPECT_EQ(g->item(3, 2)->text(), QString()) << "minute rows wait for the minute";
  form.ShowMinuteValues();
  EXPECT_EQ(g->item(3, 2)->text(), QStringLiteral("37.13"));
  EXPECT_EQ(g->item(4, 2)->text(), QStringLiteral("1.50"));
  EXPECT_EQ(g->item(5, 2)->text(), QStringLiteral("100.00"));
  Shot(form, QStringLiteral("grid-filled"));
}

TEST_F(VortaFormTest, currentValuesOfASilentModuleAreGreyedUntilItAnswers) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  QTableWidget* g = form.ValueGrid();
  const QBrush grey = QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
  InjectCodes(1500, 1500, 1500, 1500);
  form.ShowCurrentValues();
  EXPECT_EQ(g->item(1, 1)->foreground().style(), Qt::NoBrush);
  time_.AdvanceBy(10'000);
  form.ShowCurrentValues();
  EXPECT_EQ(g->item(1, 1)->foreground(), grey);
  EXPECT_EQ(g->item(6, 4)->foreground(), grey);
  EXPECT_EQ(g->item(2, 1)->foreground().style(), Qt::NoBrush) << "setpoints are no readings";
  InjectCodes(1500, 1500, 1500, 1500);
  form.ShowCurrentValues();
  EXPECT_EQ(g->item(1, 1)->foreground().style(), Qt::NoBrush);
  EXPECT_EQ(g->item(6, 4)->foreground().style(), Qt::NoBrush);
}

TEST_F(VortaFormTest, button6TogglesCoolingAndFlipsHeartbeat) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  ASSERT_EQ(ManualButtonOutput(p, 6), 6);
  ASSERT_FALSE(Bit(p, 6));
  const bool heartbeat0 = p.HeartbeatState != 0;

  QTest::mouseClick(form.ManualButton(6), Qt::LeftButton);
  EXPECT_TRUE(Bit(p, 6));
  EXPECT_EQ(Bit(p, 16), heartbeat0);
  time_.AdvanceBy(500);  // the frame queue's pacer sends it
  EXPECT_EQ(LastSentWord(), p.OutputWord) << "the module gets the whole word";
  TCycleContext c = Cycles();
  OutputCycle(c);
  EXPECT_EQ(p.ManualState[6], 1);
  EXPECT_EQ(p.OutputChannels[6].ChState, 1);
  EXPECT_EQ(TextColor(form.ManualButton(6)), QColor(Qt::yellow));
  Shot(form, QStringLiteral("cooling-on"));

  QTest::mouseClick(form.ManualButton(6), Qt::LeftButton);
  EXPECT_FALSE(Bit(p, 6));
  EXPECT_EQ(Bit(p, 16), !heartbeat0) << "heartbeat written on every press";
  form.OutputsChanged();
  EXPECT_EQ(p.ManualState[6], 0);
  EXPECT_NE(TextColor(form.ManualButton(6)), QColor(Qt::yellow));
}

TEST_F(VortaFormTest, pressAlwaysInvertsWhatTheButtonShows) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  // The regulator switched pH up (output 1, button 2) on behind the button's back.
  SetOutput(p, 1, true);
  form.OutputsChanged();
  EXPECT_EQ(p.ManualState[2], 1);
  QTest::mouseClick(form.ManualButton(2), Qt::LeftButton);
  EXPECT_FALSE(Bit(p, 1));
}

TEST_F(VortaFormTest, buttonWithoutAnOutputNeverShowsOn) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  ASSERT_EQ(ManualButtonOutput(p, 4), 0);  // pO2 up is not configured
  p.OutputWord = 0xFFFF;
  form.OutputsChanged();
  EXPECT_EQ(p.ManualState[4], 0);
  EXPECT_EQ(p.ManualState[6], 1);
  QTest::mouseClick(form.ManualButton(4), Qt::LeftButton);
  EXPECT_EQ(p.OutputWord & 0x7FFF, 0x7FFF) << "no output changes but the heartbeat";
}

TEST_F(VortaFormTest, chemostatClearsRegulationOutputsAndWritesTheModeAtTheNextTick) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  p.OutputWord = 0xFFFF;
  QAction* item = form.MenuItem({QStringLiteral("Режим"), QStringLiteral("Chemostat")});
  ASSERT_NE(item, nullptr);
  item->trigger();
  EXPECT_EQ(p.OutputWord, 0xF800);
  time_.AdvanceBy(500);
  EXPECT_EQ(LastSentWord(), 0xF800);
  EXPECT_EQ(p.Mode, TVesselMode::Chemostat);
  EXPECT_EQ(p.SaveRequest, TPendingWriteBack(TWriteBackGroup::Mode));
  EXPECT_EQ(form.StatusPanel(2)->text(), QStringLiteral("Режим: Chemostat"));
  EXPECT_FALSE(ReadFile(QStringLiteral("proc1.ini")).contains("mode=2"));

  TCycleContext c = Cycles();
  MeasurementCycle(c);
  EXPECT_TRUE(p.SaveRequest.Empty());
  TProfileFile f(p.IniFileName);
  EXPECT_EQ(f.ReadString(QStringLiteral("Mode"), QStringLiteral("mode"), QString()), u"2");
}

TEST_F(VortaFormTest, modeMenuChecksTheCurrentModeOnOpening) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  p.Mode = TVesselMode::Turbidostat;
  QAction* mode = form.MenuItem({QStringLiteral("Режим")});
  ASSERT_NE(mode, nullptr);
  Q_EMIT mode->menu()->aboutToShow();
  EXPECT_TRUE(form.MenuItem({QStringLiteral("Режим"), QStringLiteral("Turbidostat")})->isChecked());
  EXPECT_FALSE(form.MenuItem({QStringLiteral("Режим"), QStringLiteral("Butch")})->isChecked());
}

TEST_F(VortaFormTest, protocolItemsCheckOnlyTheChosenPeriodAndItIsSaved) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  p.ProtocolCounter = 7;
  form.MenuItem({QStringLiteral("Протокол"), QStringLiteral("5 мин.")})->trigger();
  EXPECT_EQ(p.Config.ProtocolPeriodmin, 5);
  EXPECT_EQ(p.ProtocolCounter, 0);
  int checked = 0;
  for (QAction* a : form.MenuItem({QStringLiteral("Протокол")})->menu()->actions()) {
    checked += a->isChecked() ? 1 : 0;
  }
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(form.MenuItem({QStringLiteral("Протокол"), QStringLiteral("5 мин.")})->isChecked());
  list_.Clear();  // the normal end writes the file back
  TProfileFile f(program_.ProgramFolder + QStringLiteral("proc1.ini"));
  EXPECT_EQ(f.ReadInteger(QStringLiteral("Port"), QStringLiteral("ProtocolPeriodmin"), 0), 5);
}

TEST_F(VortaFormTest, periodNotOfferedLoadsWithNoProtocolItemChecked) {
  WriteFile(QStringLiteral("p.ini"),
            PanelProcessIni(1).replace("ProtocolPeriodmin=1", "ProtocolPeriodmin=3"));
  list_.Add(std::make_unique<TVortaProcess>(env_, QStringLiteral("p.ini")));
  TVortaForm& form = Form(*list_.ProcessAt(0));
  for (QAction* a : form.MenuItem({QStringLiteral("Протокол")})->menu()->actions()) {
    EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
  }
}

TEST_F(VortaFormTest, hiddenItemsStayHiddenAndDriveItemFollowsTheDrive) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  for (const QStringList& path :
       {QStringList{QStringLiteral("Заполнение")}, QStringList{QStringLiteral("Свернуть")},
        QStringList{QStringLiteral("График"), QStringLiteral("Срабатывания")},
        QStringList{QStringLiteral("График"), QStringLiteral("Пауза")},
        QStringList{QStringLiteral("Параметры двигателя")}}) {
    QAction* a = form.MenuItem(path);
    ASSERT_NE(a, nullptr) << path.join(u'/').toStdString();
    EXPECT_FALSE(a->isVisible()) << path.join(u'/').toStdString();
  }
  WriteFile(QStringLiteral("dc.ini"), PanelProcessIni(2).replace("Mixer=\r\n", "Mixer=Mix1\r\n"));
  list_.Add(std::make_unique<TVortaProcess>(env_, QStringLiteral("dc.ini")));
  TVortaForm& dc = Form(*list_.ProcessAt(1));
  EXPECT_TRUE(dc.MenuItem({QStringLiteral("Параметры двигателя")})->isVisible());
}

TEST_F(VortaFormTest, chartItemFollowsTheChartWindow) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  QAction* chart = form.MenuItem({QStringLiteral("График")});
  EXPECT_FALSE(chart->isChecked());
  EXPECT_NE(form.MenuItem({QStringLiteral("График"), QStringLiteral("Показать")}), nullptr);
  form.ToggleChartItem();
  EXPECT_TRUE(chart->isChecked());
  EXPECT_NE(form.MenuItem({QStringLiteral("График"), QStringLiteral("Спрятать")}), nullptr);
  form.ToggleChartItem();
  EXPECT_NE(form.MenuItem({QStringLiteral("График"), QStringLiteral("Показать")}), nullptr);
}

TEST_F(VortaFormTest, lostLinkShowsNetErrOnAYellowBar) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  time_.AdvanceBy(11'000);  // no answer from the module for longer than its timeout
  TCycleContext c = Cycles();
  RegulationCycle(c);
  form.PanelStateChanged();
  EXPECT_EQ(form.StatusPanel(3)->text(), QStringLiteral("Net Err"));
  EXPECT_EQ(form.StatusPanel(3)->palette().color(QPalette::Window), QColor(Qt::yellow));
  Shot(form, QStringLiteral("net-err"));

  InjectCodes(1700, 1500, 1300, 1100);
  RegulationCycle(c);
  form.PanelStateChanged();
  EXPECT_EQ(form.StatusPanel(3)->text(), QStringLiteral("Net OK"));
  EXPECT_NE(form.StatusPanel(3)->palette().color(QPalette::Window), QColor(Qt::yellow));
}

TEST_F(VortaFormTest, foamLightsTheIndicator) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  EXPECT_FALSE(form.FoamIndicator()->isEnabled());
  // InversPena=1: input 1 is foam; penaperiod 1 decides on every call.
  adapter_->Inject(MakeFrame(kBoardUid + 48, {0x01}, kFlagExtended));
  DetectFoam(p);
  form.PanelStateChanged();
  EXPECT_TRUE(form.FoamIndicator()->isEnabled());
  Shot(form, QStringLiteral("foam-on"));
  adapter_->Inject(MakeFrame(kBoardUid + 48, {0x00}, kFlagExtended));
  DetectFoam(p);
  form.PanelStateChanged();
  EXPECT_FALSE(form.FoamIndicator()->isEnabled());
}

TEST_F(VortaFormTest, lightButtonSwitchesTheLightAndTurnsYellow) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  QTest::mouseClick(form.ManualButton(8), Qt::LeftButton);
  EXPECT_TRUE(Bit(p, 9));
  EXPECT_EQ(p.LightCountdown, 2);
  EXPECT_EQ(TextColor(form.ManualButton(8)), QColor(Qt::yellow));
}

TEST_F(VortaFormTest, latinMOpensTheMenuTwentyPixelsIntoThePanel) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  form.move(100, 80);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::keyClick(&form, 'M');  // upper case: not the menu key
  EXPECT_FALSE(form.PopupMenu()->isVisible());
  // The same key on a Russian layout.
  QTest::sendKeyEvent(QTest::Click, &form, Qt::Key_M, QStringLiteral("ь"), Qt::NoModifier);
  EXPECT_FALSE(form.PopupMenu()->isVisible());
  QTest::keyClick(form.ManualButton(1), 'm');  // a focused button passes it on
  ASSERT_TRUE(form.PopupMenu()->isVisible());
  EXPECT_EQ(form.PopupMenu()->pos(), form.pos() + QPoint(20, 20));
  Shot(*form.PopupMenu(), QStringLiteral("menu-open"));
  form.PopupMenu()->hide();
}

TEST_F(VortaFormTest, chartExportDialogStartsInTheProgramFolder) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  QString shown;
  form.ExecExportDialog = [&shown](QFileDialog& d) {
    shown = d.directory().absolutePath();
    return static_cast<int>(QDialog::Rejected);
  };
  form.MenuItem({QStringLiteral("График"), QStringLiteral("Экспорт")})->trigger();
  EXPECT_EQ(shown, QDir(program_.ProgramFolder).absolutePath());
}

TEST_F(VortaFormTest, closingIsRefusedAndAsksForShutdown) {
  TVortaProcess& p = AddProcess(1);
  TVortaForm& form = Form(p);
  form.show();
  ASSERT_FALSE(program_.ShutdownRequested);
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(program_.ShutdownRequested);
  program_.ShutdownRequested = false;
  form.MenuItem({QStringLiteral("Выход")})->trigger();
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(program_.ShutdownRequested);
}

}  // namespace
}  // namespace vorta::testing
