#pragma once
// What the chart window plots, without the window: the lines' points, the
// point interval, the channel slots the 2-s cycle fills, the time window the
// axes follow, and the actuation strip's rows and bars. Times are the
// system's date-time (days; one second is 1/86400).

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "charts/ChartSettings.h"

namespace vorta {

struct TChannelSlot {
  bool Active = false;
  std::uint8_t SeriesIndex = 0;
  double Value = 0;  // already multiplied by Scale
  double Scale = 1;
};

struct TChartPoint {
  double Time = 0;
  double Value = 0;  // as plotted
  // The factor the value was plotted with: a later change of scale must not
  // change what an export says was measured.
  double Scale = 1;
};

struct TChartLine {
  int Channel = 0;
  std::deque<TChartPoint> Points;
};

struct TAxisWindow {
  double Min = 0;
  double Max = 0;
};

struct TGanttBar {
  double Start = 0;
  double End = 0;
  int Row = 0;
  std::int32_t Color = 0;
};

struct TGanttRow {
  std::int32_t Color = 0;
  std::vector<int> Bars;  // indexes into the bar list
};

class TChartModel {
 public:
  static constexpr std::size_t kMaxPoints = 450;
  // 2 s, 10 s, 30 s, 1 min, 5 min, 15 min.
  static const std::array<double, kZoomSteps> ZoomSteps;

  // A new line for channel (1..5); its slot becomes active. The index of the line.
  int AddLine(int channel);
  void SetChannelValue(int channel, double value, double scale = 1);
  // One point per active line when t has reached NextPointTime; true if added.
  bool AddPoints(double t);
  // Every line gets the point (t, 0); the axes start at t.
  void ResetPoints(double t);
  void ClearPoints();
  // A new interval discards the history: see SetZoom of the window.
  void SetZoomIndex(int index);

  // The window the time axis shows after new data; LatestSeen follows.
  // axisMax: the axis maximum as it stands (mouse zoom and pan move it).
  TAxisWindow Scroll(double axisMax, int widthPixels);
  // The largest time of the first line (LatestSeen without lines).
  [[nodiscard]] double LatestTime() const;
  [[nodiscard]] double ZoomStep() const { return ZoomSteps[static_cast<size_t>(ZoomIndex)]; }

  // Actuation strip: nothing produces rows or bars yet; they are kept so
  // that the strip, its read-out and its saved colours work when one does.
  int AddGanttRow(std::int32_t color);
  int AddGanttBar(int row, double start, double end);
  void SetGanttRowColor(int row, std::int32_t color);
  [[nodiscard]] std::vector<std::int32_t> GanttColors() const;

  std::array<TChannelSlot, kChartChannels + 1> ChannelSlot{};  // [1..5]
  std::vector<TChartLine> Lines;
  int ZoomIndex = 0;
  double NextPointTime = 0;
  double LatestSeen = 0;
  bool Paused = false;
  std::vector<TGanttRow> GanttRows;
  std::vector<TGanttBar> GanttBars;
};

// The time format of the operator's machine without a zone name: "H:mm:ss".
QString LongTimeFormat(const QLocale& locale);
QString LongTimeText(double time, const QLocale& locale);
// Mouse read-out of a point: "7.00  13:05:09".
QString PointReadout(double value, double time, const QLocale& locale);
// Read-out of a bar: its duration as a time of day, "." and the milliseconds.
QString DurationReadout(double start, double end, const QLocale& locale);

}  // namespace vorta
