// The chart keys: lists read with their fallbacks, odd entries skipped, and
// written back so that a reload gives the same chart.

#include <gtest/gtest.h>

#include "ProgramFolder.h"
#include "charts/ChartSettings.h"
#include "platform/ProfileFile.h"

namespace vorta {
namespace {

class ChartSettingsTest : public ::testing::Test {
 protected:
  TChartSettings Read(const QByteArray& text) {
    folder_.Write(QStringLiteral("p.ini"), text);
    TProfileFile file(folder_.File(QStringLiteral("p.ini")));
    return ReadChartSettings(file);
  }
  QString Key(const QString& section, const QString& key) {
    TProfileFile file(folder_.File(QStringLiteral("p.ini")));
    return file.ReadString(section, key, QStringLiteral("<missing>"));
  }
  test::TProgramFolder folder_;
};

TEST_F(ChartSettingsTest, noKeysGiveNoLinesAndDefaults) {
  const TChartSettings s = Read("[Port]\r\nNumProcess=1\r\n");
  EXPECT_TRUE(s.Lines.empty());
  EXPECT_EQ(s.Left, 0);
  EXPECT_EQ(s.Width, 0);
  EXPECT_FALSE(s.Visible);
  EXPECT_EQ(s.Zoom, 0);
  EXPECT_FALSE(s.StripVisible);
  EXPECT_FALSE(s.HasPosition);
}

TEST_F(ChartSettingsTest, dimenAloneGivesHiddenBlackLinesWithoutMarkersAndScaleOne) {
  const TChartSettings s = Read("[Chart]\r\nChart1Dimen=1,2,3,4,5\r\n");
  ASSERT_EQ(s.Lines.size(), 5U);
  for (int j = 0; j < 5; ++j) {
    const TChartLineSetting& line = s.Lines[static_cast<size_t>(j)];
    EXPECT_EQ(line.Channel, j + 1);
    EXPECT_EQ(line.Position, j);
    EXPECT_FALSE(line.Shown);
    EXPECT_EQ(line.Color, 0);
    EXPECT_FALSE(line.Markers);
    EXPECT_EQ(line.Scale, 1);
  }
  // The default list "1" has one token: the other labels get no scale text.
  EXPECT_EQ(s.Lines[0].ScaleText, QStringLiteral("1"));
  EXPECT_EQ(s.Lines[1].ScaleText, QString());
}

TEST_F(ChartSettingsTest, listsAreReadPerLineAndUnreadableTokensFallBack) {
  const TChartSettings s = Read(
      "[chart]\r\nchart1dimen=1,3\r\nChart1Show=1,x\r\nChart1Colors=255,oops\r\n"
      "Chart1Point=0,1\r\nChart1Scale=0,10.00\r\nZOOM=3\r\nChart2Visible=1\r\n"
      "[Defoult]\r\nChartLeft=10\r\nChartTop=20\r\nChartWidth=300\r\nChartHeight=200\r\n"
      "ChartVisible=1\r\n");
  ASSERT_EQ(s.Lines.size(), 2U);
  EXPECT_TRUE(s.Lines[0].Shown);
  EXPECT_EQ(s.Lines[0].Color, 255);
  EXPECT_FALSE(s.Lines[0].Markers);
  EXPECT_EQ(s.Lines[0].Scale, 1) << "a scale of 0 is taken as 1";
  EXPECT_EQ(s.Lines[1].Channel, 3);
  EXPECT_FALSE(s.Lines[1].Shown);
  EXPECT_EQ(s.Lines[1].Color, 0);
  EXPECT_TRUE(s.Lines[1].Markers);
  EXPECT_EQ(s.Lines[1].Scale, 10);
  EXPECT_EQ(s.Zoom, 3);
  EXPECT_TRUE(s.StripVisible);
  EXPECT_EQ(s.Left, 10);
  EXPECT_EQ(s.Top, 20);
  EXPECT_TRUE(s.HasPosition);
  EXPECT_EQ(s.Width, 300);
  EXPECT_EQ(s.Height, 200);
  EXPECT_TRUE(s.Visible);
}

TEST_F(ChartSettingsTest, oddEntriesAreSkippedButKeepTheirPlace) {
  // "x" is no number, 7 is no channel, the second 2 is a repeat, and the
  // 1 stands at the sixth place: none of them makes a line.
  const TChartSettings s = Read(
      "[Chart]\r\nChart1Dimen=x,2,7,2,4,1\r\nChart1Show=1,1,1\r\nChart1Colors=5,6,7\r\n"
      "Chart1Scale=9,10,0.1,100,0.01,3\r\n");
  ASSERT_EQ(s.Lines.size(), 2U);
  EXPECT_EQ(s.Lines[0].Channel, 2);
  EXPECT_EQ(s.Lines[0].Position, 1);
  EXPECT_EQ(s.Lines[0].Color, 5) << "skipped entries take no tokens of the other lists";
  EXPECT_EQ(s.Lines[1].Channel, 4);
  EXPECT_EQ(s.Lines[1].Position, 4);
  EXPECT_EQ(s.Lines[1].Color, 6);
  EXPECT_EQ(s.Lines[0].Scale, 9) << "the scale tokens go with the lines";
  EXPECT_EQ(s.Lines[1].Scale, 10);
}

TEST_F(ChartSettingsTest, zoomOutsideTheSixIntervalsIsBroughtIntoRange) {
  EXPECT_EQ(Read("[Chart]\r\nZoom=9\r\n").Zoom, 5);
  EXPECT_EQ(Read("[Chart]\r\nZoom=-2\r\n").Zoom, 0);
  EXPECT_EQ(MapZoomIndex(4), 4);
}

TEST_F(ChartSettingsTest, writeWithoutLinesGivesEmptyListsAndNoDimen) {
  Read("[Chart]\r\nChart1Colors=1,2\r\n");
  TProfileFile file(folder_.File(QStringLiteral("p.ini")));
  WriteChartSettings(file, TChartSettings{}, {});
  ASSERT_TRUE(file.UpdateFile());
  for (const char* key :
       {"Chart1Colors", "Chart1Show", "Chart1Point", "Chart1Scale", "Chart2Colors"}) {
    EXPECT_EQ(Key(QStringLiteral("Chart"), QString::fromLatin1(key)), QString()) << key;
  }
  EXPECT_EQ(Key(QStringLiteral("Chart"), QStringLiteral("Chart1Dimen")),
            QStringLiteral("<missing>"));
  EXPECT_EQ(Key(QStringLiteral("Defoult"), QStringLiteral("ChartVisible")), QStringLiteral("0"));
}

TEST_F(ChartSettingsTest, writtenSettingsReadBackTheSame) {
  const QByteArray dimen = "[Chart]\r\nChart1Dimen=3,x,1\r\n";
  Read(dimen);
  TChartSettings s;
  s.Left = 5;
  s.Top = 6;
  s.Width = 400;
  s.Height = 300;
  s.Visible = true;
  s.Zoom = 2;
  s.StripVisible = true;
  s.Lines = {{3, 0, true, 16711680, true, 10, {}}, {1, 2, false, 255, false, 0.01, {}}};
  TProfileFile file(folder_.File(QStringLiteral("p.ini")));
  WriteChartSettings(file, s, {255, 65280});
  ASSERT_TRUE(file.UpdateFile());
  EXPECT_EQ(Key(QStringLiteral("Chart"), QStringLiteral("Chart1Scale")),
            QStringLiteral("10.00,0.01"));
  EXPECT_EQ(Key(QStringLiteral("Chart"), QStringLiteral("Chart1Colors")),
            QStringLiteral("16711680,255"));
  EXPECT_EQ(Key(QStringLiteral("Chart"), QStringLiteral("Chart2Colors")),
            QStringLiteral("255,65280"));

  TProfileFile again(folder_.File(QStringLiteral("p.ini")));
  const TChartSettings r = ReadChartSettings(again);
  EXPECT_EQ(r.Left, 5);
  EXPECT_EQ(r.Height, 300);
  EXPECT_TRUE(r.Visible);
  EXPECT_EQ(r.Zoom, 2);
  EXPECT_TRUE(r.StripVisible);
  ASSERT_EQ(r.Lines.size(), 2U);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(r.Lines[i].Channel, s.Lines[i].Channel);
    EXPECT_EQ(r.Lines[i].Position, s.Lines[i].Position);
    EXPECT_EQ(r.Lines[i].Shown, s.Lines[i].Shown);
    EXPECT_EQ(r.Lines[i].Color, s.Lines[i].Color);
    EXPECT_EQ(r.Lines[i].Markers, s.Lines[i].Markers);
  }
  EXPECT_EQ(r.Lines[0].Scale, 10);
  EXPECT_EQ(r.Lines[1].Scale, 0.01);
}

TEST(ChartPlacementTest, besideThePanelOnTheSideWithRoomAndAlwaysOnScreen) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize chart(760, 420);
  EXPECT_EQ(ChartBesidePanel(QRect(611, 300, 350, 220), chart, screen), QPoint(961, 300));
  EXPECT_EQ(ChartBesidePanel(QRect(1300, 300, 350, 220), chart, screen), QPoint(540, 300))
      << "no room on the right";
  EXPECT_EQ(ChartBesidePanel(QRect(400, 900, 350, 220), chart, QRect(0, 0, 1280, 1024)),
            QPoint(520, 604))
      << "neither side fits: the roomier one, kept on the screen";
}

TEST(ScaleIndexTest, findsTheBoxItemOrNone) {
  EXPECT_EQ(FindScaleIndex(0.01), 0);
  EXPECT_EQ(FindScaleIndex(1), 2);
  EXPECT_EQ(FindScaleIndex(100), 4);
  EXPECT_EQ(FindScaleIndex(2), 5);
  EXPECT_EQ(FormatTwoDecimals(1), QStringLiteral("1.00"));
  EXPECT_EQ(FormatTwoDecimals(10), QStringLiteral("10.00"));
}

}  // namespace
}  // namespace vorta
