#include "charts/ChartSettings.h"

#include <algorithm>

#include "process/ProcessConfig.h"
#include "platform/Numbers.h"
#include "platform/ProfileFile.h"

namespace vorta {

namespace {

const QString kDefoult = QStringLiteral("Defoult");
const QString kChart = QStringLiteral("Chart");

QString JoinInts(const std::vector<std::int64_t>& values) {
  QStringList parts;
  for (std::int64_t v : values) parts << QString::number(v);
  return parts.join(u',');
}

}  // namespace

QPoint ChartBesidePanel(const QRect& panel, QSize chart, const QRect& screen) {
  const int roomLeft = panel.left() - screen.left();
  const int roomRight = screen.right() - panel.right();
  const bool right =
      roomRight >= chart.width() || (roomLeft < chart.width() && roomRight >= roomLeft);
  const int x = right ? panel.right() + 1 : panel.left() - chart.width();
  const int maxX = std::max(screen.left(), screen.right() + 1 - chart.width());
  const int maxY = std::max(screen.top(), screen.bottom() + 1 - chart.height());
  return {std::clamp(x, screen.left(), maxX), std::clamp(panel.top(), screen.top(), maxY)};
}

int MapZoomIndex(std::int32_t zoom) {
  return std::clamp<std::int32_t>(zoom, 0, kZoomSteps - 1);
}

TChartSettings ReadChartSettings(const TProfileFile& file) {
  TChartSettings s;
  s.HasPosition = file.ValueExists(kDefoult, QStringLiteral("ChartLeft")) ||
                  file.ValueExists(kDefoult, QStringLiteral("ChartTop"));
  s.Left = file.ReadInteger(kDefoult, QStringLiteral("ChartLeft"), 0);
  s.Top = file.ReadInteger(kDefoult, QStringLiteral("ChartTop"), 0);
  s.Width = file.ReadInteger(kDefoult, QStringLiteral("ChartWidth"), 0);
  s.Height = file.ReadInteger(kDefoult, QStringLiteral("ChartHeight"), 0);
  s.Visible = file.ReadInteger(kDefoult, QStringLiteral("ChartVisible"), 0) != 0;
  s.Zoom = MapZoomIndex(file.ReadInteger(kChart, QStringLiteral("Zoom"), 0));
  s.StripVisible = file.ReadInteger(kChart, QStringLiteral("Chart2Visible"), 0) != 0;

  QString dimen = file.ReadString(kChart, QStringLiteral("Chart1Dimen"), QString());
  QString show = file.ReadString(kChart, QStringLiteral("Chart1Show"), QString());
  QString colors = file.ReadString(kChart, QStringLiteral("Chart1Colors"), QString());
  QString points = file.ReadString(kChart, QStringLiteral("Chart1Point"), QString());
  QString scales = file.ReadString(kChart, QStringLiteral("Chart1Scale"), QStringLiteral("1"));

  std::array<bool, kChartChannels + 1> taken{};
  for (int j = 0; !dimen.isEmpty(); ++j) {
    const QString token = NextToken(dimen);
    // Only a real chart channel at one of the five places makes a line; a
    // channel listed twice would leave its first line without points.
    const std::int32_t channel = ParseIntDef(token, -1);
    if (j >= kChartPositions || channel < 1 || channel > kChartChannels ||
        taken[static_cast<size_t>(channel)]) {
      continue;
    }
    taken[static_cast<size_t>(channel)] = true;
    TChartLineSetting line;
    line.Channel = channel;
    line.Position = j;
    line.Shown = ParseIntDef(NextToken(show), 0) != 0;
    line.Color = ParseIntDef(NextToken(colors), 0);
    line.Markers = ParseIntDef(NextToken(points), 0) != 0;
    line.ScaleText = NextToken(scales);
    const double scale = ParseRealDef(line.ScaleText, 0);
    line.Scale = scale == 0 ? 1 : scale;
    s.Lines.push_back(line);
  }
  return s;
}

void WriteChartSettings(TProfileFile& file, const TChartSettings& s,
                        const std::vector<std::int32_t>& stripColors) {
  file.WriteInteger(kDefoult, QStringLiteral("ChartLeft"), s.Left);
  file.WriteInteger(kDefoult, QStringLiteral("ChartTop"), s.Top);
  file.WriteInteger(kDefoult, QStringLiteral("ChartWidth"), s.Width);
  file.WriteInteger(kDefoult, QStringLiteral("ChartHeight"), s.Height);
  file.WriteBool(kDefoult, QStringLiteral("ChartVisible"), s.Visible);
  file.WriteInteger(kChart, QStringLiteral("Zoom"), s.Zoom);

  std::vector<std::int64_t> colors, show, markers;
  QStringList scaleTexts;
  for (const TChartLineSetting& line : s.Lines) {
    colors.push_back(line.Color);
    show.push_back(line.Shown ? 1 : 0);
    markers.push_back(line.Markers ? 1 : 0);
    scaleTexts << FormatTwoDecimals(line.Scale);
  }
  file.WriteString(kChart, QStringLiteral("Chart1Colors"), JoinInts(colors));
  file.WriteString(kChart, QStringLiteral("Chart1Show"), JoinInts(show));
  file.WriteString(kChart, QStringLiteral("Chart1Point"), JoinInts(markers));
  file.WriteString(kChart, QStringLiteral("Chart1Scale"), scaleTexts.join(u','));
  file.WriteBool(kChart, QStringLiteral("Chart2Visible"), s.StripVisible);
  file.WriteString(kChart, QStringLiteral("Chart2Colors"),
                   JoinInts(std::vector<std::int64_t>(stripColors.begin(), stripColors.end())));
}

QString FormatTwoDecimals(double value) {
  return FormatFixed(value, 2).rightJustified(4, u' ');
}

const QStringList& ScaleItems() {
  static const QStringList items{QStringLiteral("0.01"), QStringLiteral("0.1"), QStringLiteral("1"),
                                 QStringLiteral("10"), QStringLiteral("100")};
  return items;
}

int FindScaleIndex(double s) {
  const QStringList& items = ScaleItems();
  for (int i = 0; i < items.size(); ++i) {
    if (ParseRealDef(items[i], 0) == s) return i;
  }
  return static_cast<int>(items.size());
}

}  // namespace vorta
