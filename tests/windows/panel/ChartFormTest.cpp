// The chart window of a process: built from the process file, fed by the 2-s
// cycle, driven from the panel's menu, saved at the end of the run.

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QValueAxis>

#include "tests/windows/panel/PanelFixture.h"
#include "windows/charts/ChartForm.h"

namespace vorta::testing {
namespace {

const QByteArray kFiveLines =
    "[Chart]\r\nChart1Dimen=1,2,3,4,5\r\nChart1Show=1,1,1,0,1\r\n"
    "Chart1Colors=255,32768,16711680,0,8388736\r\nChart1Point=1,0,0,0,0\r\n"
    "Chart1Scale=1,1,0.1,1,0.01\r\n";

class ChartFormTest : public PanelFixture {
 protected:
  static TChartForm& Chart(TVortaProcess& p) {
    auto* chart = dynamic_cast<TChartForm*>(p.ChartForm.get());
    EXPECT_NE(chart, nullptr);
    return *chart;
  }
  // A 2-s cycle's hand-over, two seconds after the last one, with the module
  // heard from.
  void Tick(TVortaProcess& p, double ph, double t, double po2) {
    time_.AdvanceBy(2000);
    InjectCodes(1500, 1500, 1500, 1500);
    p.Channel[1].Value = ph;
    p.Channel[2].Value = t;
    p.Channel[3].Value = po2;
    p.ChartForm->FeedChart();
  }
  QString Key(int num, const QString& section, const QString& key) {
    TProfileFile file(program_.ProgramFolder + QStringLiteral("proc%1.ini").arg(num));
    return file.ReadString(section, key, QStringLiteral("<missing>"));
  }
  // Ends the run as the shutdown does and loads the same file again.
  TVortaProcess& Restart(int num) {
    list_.Clear();
    list_.Add(std::make_unique<TVortaProcess>(env_, QStringLiteral("proc%1.ini").arg(num)));
    return *list_.ProcessAt(0);
  }
  static int ChartMenuItems(TVortaProcess& p) {
    return static_cast<int>(Form(p).MenuItem({QStringLiteral("График")})->menu()->actions().size());
  }
};

TEST_F(ChartFormTest, withoutDimenThereAreNoLinesAndSavingWritesEmptyLists) {
  TVortaProcess& p = AddProcess(1);
  TChartForm& c = Chart(p);
  EXPECT_EQ(c.windowTitle(), QStringLiteral("Графики - F1"));
  EXPECT_EQ(c.SeriesCount(), 0);
  EXPECT_EQ(ChartMenuItems(p), 6) << "no submenus appended";
  for (int j = 0; j < 5; ++j) EXPECT_EQ(c.SeriesLabel(j), nullptr);
  // Geometry keys missing: readable at once, beside its panel, not in the corner.
  EXPECT_EQ(c.size(), kChartOpenMinimum);
  EXPECT_NE(c.pos(), QPoint(0, 0));
  c.resize(100, 60);
  EXPECT_EQ(c.size(), QSize(150, 150));

  c.ExportData(program_.ProgramFolder + QStringLiteral("out.dat"));
  EXPECT_TRUE(QFile::exists(program_.ProgramFolder + QStringLiteral("out.dat")));
  EXPECT_EQ(ReadFile(QStringLiteral("out.dat")), QByteArray());

  list_.Clear();
  for (const char* key : {"Chart1Colors", "Chart1Show", "Chart1Point", "Chart1Scale"}) {
    EXPECT_EQ(Key(1, QStringLiteral("Chart"), QString::fromLatin1(key)), QString()) << key;
  }
  EXPECT_EQ(Key(1, QStringLiteral("Defoult"), QStringLiteral("ChartWidth")), QStringLiteral("150"));
}

TEST_F(ChartFormTest, dimenAloneGivesFiveHiddenBlackLinesWithLabelsAndSubmenus) {
  TVortaProcess& p = AddProcess(1, "[Chart]\r\nChart1Dimen=1,2,3,4,5\r\n");
  TChartForm& c = Chart(p);
  ASSERT_EQ(c.SeriesCount(), 5);
  const char* names[] = {"pH", "tC", "pO2", "eH", "Common"};
  for (int j = 0; j < 5; ++j) {
    QLineSeries* s = c.Series(j);
    EXPECT_FALSE(s->isVisible()) << j;
    EXPECT_EQ(s->color(), QColor(Qt::black)) << j;
    EXPECT_FALSE(s->pointsVisible()) << j;
    EXPECT_EQ(s->name(), QString::fromUtf8(names[j]));
    EXPECT_EQ(p.ChartScale[static_cast<size_t>(j)], 1);
    ASSERT_NE(c.SeriesLabel(j), nullptr);
    EXPECT_EQ(c.SeriesLabel(j)->y(), 36 + 16 * j);
    EXPECT_GE(c.SeriesLabel(j)->x(), 42) << "never over the value axis' numbers";
    QMenu* menu = c.LineMenu(j);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QString::fromUtf8(names[j]));
    EXPECT_FALSE(menu->menuAction()->isChecked());
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Показать"));
    EXPECT_FALSE(menu->actions()[2]->isChecked()) << "markers off";
  }
  EXPECT_EQ(c.SeriesLabel(0)->text(), QStringLiteral("pH x 1"));
  EXPECT_EQ(c.SeriesLabel(1)->text(), QStringLiteral("tC x "));
  EXPECT_EQ(ChartMenuItems(p), 11);
  EXPECT_EQ(c.NameBox()->currentText(), QStringLiteral("pH"));
  EXPECT_EQ(c.ScaleBox()->currentText(), QStringLiteral("1"));
  // No line has a point before its first valid value.
  EXPECT_EQ(c.Series(4)->count(), 0);
}

TEST_F(ChartFormTest, lineSubmenusShowHideRecolourAndToggleMarkers) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  EXPECT_TRUE(c.Series(0)->isVisible());
  EXPECT_TRUE(c.Series(0)->pointsVisible());
  EXPECT_FALSE(c.Series(3)->isVisible());
  EXPECT_EQ(c.Series(2)->color(), QColor(Qt::blue));
  QMenu* menu = c.LineMenu(0);
  EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Спрятать"));
  menu->actions()[0]->trigger();
  EXPECT_FALSE(c.Series(0)->isVisible());
  EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Показать"));
  EXPECT_FALSE(menu->menuAction()->isChecked());
  menu->actions()[2]->trigger();
  EXPECT_FALSE(c.Series(0)->pointsVisible());

  const QColor labelColor = c.SeriesLabel(0)->palette().color(QPalette::WindowText);
  c.ChooseColor = [](const QColor&) { return QColor(Qt::green); };
  menu->actions()[1]->trigger();
  EXPECT_EQ(c.Series(0)->color(), QColor(Qt::green));
  EXPECT_EQ(c.SeriesLabel(0)->palette().color(QPalette::WindowText), labelColor);
  c.ChooseColor = [](const QColor&) { return QColor(); };  // cancelled
  menu->actions()[1]->trigger();
  EXPECT_EQ(c.Series(0)->color(), QColor(Qt::green));
}

TEST_F(ChartFormTest, cycleValuesArePlottedScaledOnTheEngineClock) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  p.MixerRpm = 400;
  Tick(p, 7.1, 37.0, 45.0);
  ASSERT_EQ(c.Series(0)->count(), 1);
  EXPECT_DOUBLE_EQ(c.Series(0)->at(0).y(), 7.1);
  EXPECT_DOUBLE_EQ(c.Series(2)->at(0).y(), 4.5) << "pO2 x 0.1";
  EXPECT_DOUBLE_EQ(c.Series(4)->at(0).y(), 4.0) << "rpm x 0.01";
  EXPECT_NEAR(c.FromAxisMs(static_cast<qint64>(c.Series(0)->at(0).x())), time_.Now(),
              0.001 * OneSecond);
  EXPECT_EQ(c.AxisX()->max().toMSecsSinceEpoch(), static_cast<qint64>(c.Series(0)->at(0).x()));
  EXPECT_EQ(c.AxisX()->format(), QStringLiteral("H:mm:ss"));
}

TEST_F(ChartFormTest, aNewIntervalEmptiesTheChartUntilTheNextPoint) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  for (int i = 0; i < 5; ++i) Tick(p, 7, 37, 40);
  ASSERT_EQ(c.Series(0)->count(), 5);
  QAction* tenSeconds = Form(p).MenuItem(
      {QStringLiteral("График"), QStringLiteral("Масштаб"), QStringLiteral("10 сек")});
  ASSERT_NE(tenSeconds, nullptr);
  tenSeconds->trigger();
  EXPECT_TRUE(tenSeconds->isChecked());
  EXPECT_EQ(c.Model.ZoomIndex, 1);
  EXPECT_TRUE(c.MenuDelayTimer()->isActive());
  for (int j = 0; j < 5; ++j) EXPECT_EQ(c.Series(j)->count(), 0) << j;
  // The next point waits for the new interval.
  Tick(p, 7, 37, 40);
  EXPECT_EQ(c.Series(0)->count(), 0);
  for (int i = 0; i < 4; ++i) Tick(p, 7, 37, 40);
  EXPECT_EQ(c.Series(0)->count(), 1);
}

TEST_F(ChartFormTest, noPointUntilAValueIsValidAlsoAfterASecondStart) {
  TVortaProcess& p = AddProcess(1, "[Chart]\r\nChart1Dimen=1,2\r\nChart1Show=1,1\r\n");
  TChartForm& c = Chart(p);
  time_.AdvanceBy(2000);  // the module not heard from yet
  p.ChartForm->FeedChart();
  for (int j = 0; j < 2; ++j) EXPECT_EQ(c.Series(j)->count(), 0) << j;
  p.Channel[1].ReadingInvalid = 1;
  Tick(p, 0, 37, 40);
  EXPECT_EQ(c.Series(0)->count(), 0) << "pH invalid";
  EXPECT_EQ(c.Series(1)->count(), 1);
  p.Channel[1].ReadingInvalid = 0;
  Tick(p, 7, 37, 40);
  c.ExportData(program_.ProgramFolder + QStringLiteral("out.dat"));
  const QStringList rows =
      QString::fromUtf8(ReadFile(QStringLiteral("out.dat"))).split(QStringLiteral("\r\n"));
  ASSERT_EQ(rows.size(), 4);  // the header, two rows, nothing after the last break
  EXPECT_EQ(rows[1].section(u'\t', 1, 2), QStringLiteral("\t37.00"));
  EXPECT_EQ(rows[2].section(u'\t', 1, 2), QStringLiteral("7.00\t37.00"));

  TChartForm& again = Chart(Restart(1));
  for (int j = 0; j < 2; ++j) EXPECT_EQ(again.Series(j)->count(), 0) << j;
}

TEST_F(ChartFormTest, scaleBoxFollowsTheNameAndChangesTheFactorForNewPoints) {
  TVortaProcess& p =
      AddProcess(1, "[Chart]\r\nChart1Dimen=1,2,3\r\nChart1Show=1,1,1\r\nChart1Scale=2,10,1\r\n");
  TChartForm& c = Chart(p);
  EXPECT_EQ(c.ScaleBox()->currentIndex(), -1) << "2 is not a box item";
  c.NameBox()->setCurrentIndex(1);
  c.NameBoxChosen(1);
  EXPECT_EQ(c.ScaleBox()->currentText(), QStringLiteral("10"));
  Tick(p, 7, 37, 40);
  c.ScaleBox()->setCurrentIndex(1);
  c.ScaleBoxChosen(1);  // "0.1"
  EXPECT_EQ(p.ChartScale[1], 0.1);
  EXPECT_EQ(c.SeriesLabel(1)->text(), QStringLiteral("tC x 0.1"));
  Tick(p, 7, 37, 40);
  EXPECT_DOUBLE_EQ(c.Series(1)->at(0).y(), 370) << "plotted points keep their value";
  EXPECT_DOUBLE_EQ(c.Series(1)->at(1).y(), 3.7);

  const QString out = program_.ProgramFolder + QStringLiteral("out.dat");
  c.ExportData(out);
  const QList<QByteArray> rows = ReadFile(QStringLiteral("out.dat")).split('\n');
  ASSERT_GE(rows.size(), 3);
  EXPECT_TRUE(rows[1].contains("\t37.00\t")) << "exported as measured: " << rows[1].toStdString();
  EXPECT_TRUE(rows[2].contains("\t37.00\t")) << rows[2].toStdString();
}

// Chart1Dimen may list channels in any order: each line keeps its own
// channel's factor in its label, its points, the name box and the file.
TEST_F(ChartFormTest, channelsListedOutOfOrderKeepTheirOwnScales) {
  TVortaProcess& p =
      AddProcess(1,
                 "[Chart]\r\nChart1Dimen=3,1\r\nChart1Show=1,1\r\nChart1Scale=0.1,10\r\n"
                 "[Defoult]\r\nChartLeft=5\r\nChartTop=6\r\nChartWidth=150\r\nChartHeight=150\r\n");
  TChartForm& c = Chart(p);
  EXPECT_EQ(c.pos(), QPoint(5, 6));
  EXPECT_EQ(c.size(), kChartOpenMinimum) << "a saved size too small to read is not kept";
  EXPECT_EQ(c.SeriesLabel(0)->text(), QStringLiteral("pO2 x 0.1"));
  EXPECT_EQ(c.SeriesLabel(1)->text(), QStringLiteral("pH x 10"));
  Tick(p, 7, 37, 45);
  EXPECT_DOUBLE_EQ(c.Series(0)->at(0).y(), 4.5);
  EXPECT_DOUBLE_EQ(c.Series(1)->at(0).y(), 70);
  EXPECT_EQ(c.ScaleBox()->currentText(), QStringLiteral("10")) << "pH selected";
  c.NameBox()->setCurrentIndex(2);
  c.NameBoxChosen(2);
  EXPECT_EQ(c.ScaleBox()->currentText(), QStringLiteral("0.1"));
  c.NameBox()->setCurrentIndex(0);
  c.ScaleBox()->setCurrentIndex(2);
  c.ScaleBoxChosen(2);  // pH x 1
  EXPECT_EQ(c.SeriesLabel(1)->text(), QStringLiteral("pH x 1"));
  EXPECT_EQ(c.SeriesLabel(0)->text(), QStringLiteral("pO2 x 0.1"));
  Tick(p, 7, 37, 45);
  EXPECT_DOUBLE_EQ(c.Series(1)->at(1).y(), 7);
  Restart(1);
  EXPECT_EQ(Key(1, QStringLiteral("Chart"), QStringLiteral("Chart1Scale")),
            QStringLiteral("0.10,1.00"));
}

// A place saved on a larger screen (or a monitor that is gone) opens in sight.
TEST_F(ChartFormTest, aPlaceSavedOffTheScreenOpensWhollyOnIt) {
  TVortaProcess& p = AddProcess(
      1, "[Defoult]\r\nChartLeft=1700\r\nChartTop=900\r\nChartWidth=760\r\nChartHeight=420\r\n");
  QCoreApplication::processEvents();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_LT(screen.right(), 1700);
  EXPECT_TRUE(screen.contains(Chart(p).frameGeometry()))
      << Chart(p).frameGeometry().x() << "," << Chart(p).frameGeometry().y();
}

TEST_F(ChartFormTest, savedSettingsReloadToTheSameChart) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  c.SetFormVisible(true);
  c.move(30, 40);
  c.resize(500, 320);
  c.LineMenu(3)->actions()[0]->trigger();  // show eH
  c.ChooseColor = [](const QColor&) { return QColor(0x12, 0x34, 0x56); };
  c.LineMenu(1)->actions()[1]->trigger();
  c.SetZoom(4);
  c.SetStripVisible(true);
  c.NameBox()->setCurrentIndex(4);
  c.ScaleBox()->setCurrentIndex(4);
  c.ScaleBoxChosen(4);  // rpm x 100

  TVortaProcess& q = Restart(1);
  TChartForm& r = Chart(q);
  EXPECT_EQ(Key(1, QStringLiteral("Chart"), QStringLiteral("Chart1Dimen")),
            QStringLiteral("1,2,3,4,5"));
  EXPECT_EQ(Key(1, QStringLiteral("Chart"), QStringLiteral("Chart1Scale")),
            QStringLiteral("1.00,1.00,0.10,1.00,100.00"));
  EXPECT_TRUE(r.isVisible());
  EXPECT_EQ(r.pos(), QPoint(30, 40));
  EXPECT_EQ(r.size(), QSize(500, 320));
  EXPECT_EQ(r.Model.ZoomIndex, 4);
  EXPECT_TRUE(r.StripVisible());
  EXPECT_TRUE(
      Form(q).MenuItem({QStringLiteral("График"), QStringLiteral("Срабатывания")})->isChecked());
  EXPECT_TRUE(
      Form(q)
          .MenuItem({QStringLiteral("График"), QStringLiteral("Масштаб"), QStringLiteral("5 мин")})
          ->isChecked());
  ASSERT_EQ(r.SeriesCount(), 5);
  EXPECT_TRUE(r.Series(3)->isVisible());
  EXPECT_EQ(r.Series(1)->color(), QColor(0x12, 0x34, 0x56));
  EXPECT_TRUE(r.Series(0)->pointsVisible());
  EXPECT_FALSE(r.Series(1)->pointsVisible());
  EXPECT_EQ(q.ChartScale[4], 100);
}

TEST_F(ChartFormTest, windowVisibilityKeepsThePanelMarkInStep) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  QAction* chartItem = Form(p).MenuItem({QStringLiteral("График")});
  QAction* toggle = chartItem->menu()->actions()[0];
  EXPECT_FALSE(chartItem->isChecked());
  EXPECT_EQ(toggle->text(), QStringLiteral("Показать"));
  toggle->trigger();
  EXPECT_TRUE(c.isVisible());
  EXPECT_TRUE(chartItem->isChecked());
  EXPECT_EQ(toggle->text(), QStringLiteral("Спрятать"));
  c.close();  // the close box only hides
  EXPECT_FALSE(c.isVisible());
  EXPECT_FALSE(chartItem->isChecked());
  EXPECT_EQ(toggle->text(), QStringLiteral("Показать"));
  c.hide();  // no change, no flip
  EXPECT_FALSE(chartItem->isChecked());
}

TEST_F(ChartFormTest, pauseSetsBothMarksAndStopsTheAxesNotThePoints) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  QAction* panelPause = Form(p).MenuItem({QStringLiteral("График"), QStringLiteral("Пауза")});
  panelPause->trigger();
  EXPECT_TRUE(c.Model.Paused);
  EXPECT_TRUE(panelPause->isChecked());
  EXPECT_TRUE(c.PauseAction()->isChecked());
  const QDateTime max = c.AxisX()->max();
  Tick(p, 7, 37, 40);
  EXPECT_EQ(c.Series(0)->count(), 1);
  EXPECT_EQ(c.AxisX()->max(), max);
  c.PauseAction()->trigger();
  EXPECT_FALSE(c.Model.Paused);
  EXPECT_FALSE(panelPause->isChecked());
  Tick(p, 7, 37, 40);
  EXPECT_GT(c.AxisX()->max(), max);
}

TEST_F(ChartFormTest, readoutFindsThePointUnderTheCursorAndNothingBesideIt) {
  TVortaProcess& p = AddProcess(1, "[Chart]\r\nChart1Dimen=1\r\nChart1Show=1\r\n");
  TChartForm& c = Chart(p);
  c.resize(600, 400);
  c.SetFormVisible(true);
  Tick(p, 7.25, 37, 40);
  Tick(p, 3.5, 37, 40);
  c.ScrollAxes();
  const QPointF drawn = c.LinesChart()->mapToPosition(c.Series(0)->at(0), c.Series(0));
  const QPoint at(qRound(drawn.x()) + 2, qRound(drawn.y()) - 2);
  c.LinesMouseMove(at);
  ASSERT_TRUE(c.HintsOn());
  EXPECT_TRUE(c.Hint().startsWith(QStringLiteral("7.25  "))) << c.Hint().toStdString();
  c.LinesMouseMove(at + QPoint(1, 0));
  EXPECT_FALSE(c.HintsOn()) << "3 pixels beside the point";
  // A hidden line shows nothing.
  c.LineMenu(0)->actions()[0]->trigger();
  c.LinesMouseMove(at);
  EXPECT_FALSE(c.HintsOn());
}

TEST_F(ChartFormTest, stripReadoutGivesTheBarDuration) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  c.resize(600, 400);
  c.SetFormVisible(true);
  c.SetStripVisible(true);
  const double now = time_.Now();
  const int row = c.Model.AddGanttRow(255);
  c.Model.AddGanttBar(row, now - 60 * OneSecond, now - 30 * OneSecond);
  c.SyncStrip();
  c.ScrollAxes();
  QCoreApplication::processEvents();
  const QPointF a =
      c.StripView()->chart()->mapToPosition(QPointF(c.ToAxisMs(now - 45 * OneSecond), 0));
  c.StripMouseMove(a.toPoint());
  ASSERT_TRUE(c.HintsOn());
  EXPECT_TRUE(c.Hint().endsWith(QStringLiteral("0:00:30.0"))) << c.Hint().toStdString();
  c.StripMouseMove(a.toPoint() + QPoint(0, 20));
  EXPECT_FALSE(c.HintsOn());
}

TEST_F(ChartFormTest, anAbnormalEndSavesNothingAndOnlyHidesTheWindow) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  c.SetFormVisible(true);
  c.LineMenu(0)->actions()[0]->trigger();
  p.Config.Terminated = QStringLiteral("N");
  TProfileFile file(p.IniFileName);
  c.SaveSettings(file);
  EXPECT_FALSE(file.Modified());
  EXPECT_FALSE(c.isVisible());
  EXPECT_FALSE(Form(p).MenuItem({QStringLiteral("График")})->isChecked());
}

TEST_F(ChartFormTest, aFailedExportTellsTheOperatorAndLeavesTheChart) {
  TVortaProcess& p = AddProcess(1, kFiveLines);
  TChartForm& c = Chart(p);
  Tick(p, 7, 37, 40);
  c.ExportData(program_.ProgramFolder + QStringLiteral("no/such/folder/out.dat"));
  ASSERT_EQ(messages_.Errors.size(), 1);
  EXPECT_TRUE(messages_.Errors[0].contains(QStringLiteral("out.dat")));
  EXPECT_EQ(c.Series(0)->count(), 1);
}

}  // namespace
}  // namespace vorta::testing
