#pragma once
// The chart window's keys in the process file: read with every fallback the
// operator's hand-edited lists can need, and written back in the same form.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace vorta {

class TProfileFile;

// Channels 1..5: pH, t°C, pO2, eH, mixer rpm.
inline constexpr int kChartChannels = 5;
// The positional lists (scales, labels, name box) have five places.
inline constexpr int kChartPositions = 5;
inline constexpr int kZoomSteps = 6;

// One line of the main chart as the lists describe it.
struct TChartLineSetting {
  int Channel = 0;   // 1..5
  int Position = 0;  // place in Chart1Dimen, 0..4
  bool Shown = false;
  std::int32_t Color = 0;  // red in the low byte
  bool Markers = false;
  // The line's own factor (never 0) and its token as read, for the label.
  double Scale = 1;
  QString ScaleText;
};

struct TChartSettings {
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = false;
  int Zoom = 0;  // always 0..5
  bool StripVisible = false;
  // False when the file gives neither ChartLeft nor ChartTop.
  bool HasPosition = false;
  std::vector<TChartLineSetting> Lines;
};

TChartSettings ReadChartSettings(const TProfileFile& file);

// Writes everything but Chart1Dimen, which only the operator edits.
// stripColors: one colour per actuation row.
void WriteChartSettings(TProfileFile& file, const TChartSettings& settings,
                        const std::vector<std::int32_t>& stripColors);

// A value with two decimals, at least four characters, a point: "1.00".
QString FormatTwoDecimals(double value);

// The scale box items and the index of the first equal to s; 5 (no
// selection) when none is.
const QStringList& ScaleItems();
int FindScaleIndex(double s);

// The smallest size a chart window opens with, whatever the file says: the
// name and scale boxes, the line labels and the time labels fit whole.
inline constexpr QSize kChartOpenMinimum{480, 300};

// Where a chart without a saved position opens: beside its panel (right when
// it fits, else left, else the roomier side), top-aligned, inside the screen.
QPoint ChartBesidePanel(const QRect& panel, QSize chart, const QRect& screen);

// A Zoom key outside 0..5 is brought to the nearest interval.
int MapZoomIndex(std::int32_t zoom);

}  // namespace vorta
