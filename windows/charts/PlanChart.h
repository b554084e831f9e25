#pragma once
// A plan's trial run as one picture: a strip per channel with its value and
// setpoint over the run's hours, the plan's steps marked across all strips.
// Drawn off screen with the chart window's chart library, so that it needs
// no display (an application object must exist).

#include <QImage>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <vector>

namespace vorta {

struct TPlanChartChannel {
  QString Name;                   // "pH", "t°C", …
  std::int32_t Color = 0;         // the system's colour, red in the low byte
  std::vector<QPointF> Value;     // (hours, value); a gap where a reading was invalid is left out
  std::vector<QPointF> Setpoint;  // (hours, setpoint)
};

struct TPlanChartMark {
  double Hours = 0;
  QString Label;  // short: the step's number
};

struct TPlanChartData {
  QString Title;
  double Hours = 0;  // the run's length: the time axis spans 0..Hours
  std::vector<TPlanChartChannel> Channels;
  std::vector<TPlanChartMark> Steps;
};

// width × (height per channel strip); an empty image when there is nothing to draw.
QImage DrawPlanChart(const TPlanChartData& data, int width = 1200, int stripHeight = 220);

}  // namespace vorta
