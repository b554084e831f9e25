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
#include <optional>
#include <vector>

#include "charts/ChartSettings.h"

namespace vorta {

struct TChannelSlot {
  bool Active = false;
  std::uint8_t SeriesIndex = 0;
  double Value = 0;  // already multiplied by Scale
  double Scale = 1;
  // A measurement was handed in since the last point: only then does the
  // line get one, so that it never plots an invalid or stale value as 0.
  bool Valid = false;
};

struct TChartPoint {
  double Time = 0;
  double Value = 0;  // as plotted
  // The factor the value was plotted with: a later change of scale must not
  // change what an export says was measured.
  double Scale = 1;
  // The point round it was taken in: a line misses the rounds in which its
  // value was not valid, and the export lines the lines up by round.
  std::uint64_t Round = 0;
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
  // valid: the value is a live measurement; otherwise the line gets no point.
  void SetChannelValue(int channel, double value, double scale = 1, bool valid = true);
  // A point round at the date-time t when the monotonic clock (nowMs) has
  // reached NextPointMs: one point per active line whose slot holds a valid
  // value; true for a round, even if no line took one.
  bool AddPoints(double t, std::int64_t nowMs);
  // The same with the monotonic clock read off t.
  bool AddPoints(double t);
  // The axes start at t; no line gets a point before its first valid value.
  void ResetPoints(double t);
  void ClearPoints();
  // A new interval discards the history: see SetZoom of the window.
  void SetZoomIndex(int index);

  // The window the time axis shows after new data; LatestSeen follows.
  // axisMax: the axis maximum as it stands (mouse zoom and pan move it).
  TAxisWindow Scroll(double axisMax, int widthPixels);
  // The latest point round or point of any line (LatestSeen before any):
  // the axis moves on while no value is valid.
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
  std::optional<std::int64_t> NextPointMs;  // none: the next round is due at once
  double LatestSeen = 0;
  double LastRoundTime = 0;  // 0 before the first round or reset
  std::uint64_t Rounds = 0;
  bool FirstPointTaken = false;  // any line got a point since the window was built
  bool Paused = false;
  std::vector<TGanttRow> GanttRows;
  std::vector<TGanttBar> GanttBars;

 private:
  [[nodiscard]] bool AnyValueValid() const;
};

// The time format of the operator's machine without a zone name: "H:mm:ss".
QString LongTimeFormat(const QLocale& locale);
QString LongTimeText(double time, const QLocale& locale);
// Mouse read-out of a point: "7.00  13:05:09".
QString PointReadout(double value, double time, const QLocale& locale);
// Read-out of a bar: its duration as a time of day, "." and the milliseconds.
QString DurationReadout(double start, double end, const QLocale& locale);

}  // namespace vorta
