#include "charts/ChartModel.h"

#include <QRegularExpression>
#include <QTime>
#include <cmath>

#include "platform/TimerService.h"

namespace vorta {

const std::array<double, kZoomSteps> TChartModel::ZoomSteps{2 * OneSecond,   10 * OneSecond,
                                                            30 * OneSecond,  60 * OneSecond,
                                                            300 * OneSecond, 900 * OneSecond};

int TChartModel::AddLine(int channel) {
  if (channel < 1 || channel > kChartChannels) return -1;
  TChannelSlot& slot = ChannelSlot[static_cast<size_t>(channel)];
  slot.Active = true;
  slot.SeriesIndex = static_cast<std::uint8_t>(Lines.size());
  Lines.push_back(TChartLine{channel, {}});
  return slot.SeriesIndex;
}

void TChartModel::SetChannelValue(int channel, double value, double scale, bool valid) {
  if (channel < 1 || channel > kChartChannels) return;
  TChannelSlot& slot = ChannelSlot[static_cast<size_t>(channel)];
  if (!slot.Active) return;
  slot.Value = value;
  slot.Scale = scale == 0 ? 1 : scale;
  slot.Valid = valid;
}

bool TChartModel::AddPoints(double t) {
  return AddPoints(t, std::llround(t * 86'400'000.0));
}

bool TChartModel::AddPoints(double t, std::int64_t nowMs) {
  // The interval runs on the monotonic clock: a clock set back an hour
  // must not stop the chart for that hour. The 2-s cycle that feeds the
  // chart reads that clock a little late, by more one time than the next:
  // half a cycle's slack keeps such a tick from losing its point.
  const std::int64_t slackMs = std::llround(ZoomSteps[0] * 86'400'000.0) / 2;
  const bool early = NextPointMs && nowMs < *NextPointMs - slackMs;
  // Until the chart's first point, a round without a valid value does not
  // use up the interval: the first valid reading is plotted when it comes,
  // not up to 15 minutes later.
  if (early && (FirstPointTaken || !AnyValueValid())) return false;
  ++Rounds;
  for (size_t c = 1; c <= kChartChannels; ++c) {
    TChannelSlot& slot = ChannelSlot[c];
    if (!slot.Active || slot.SeriesIndex >= Lines.size()) continue;
    if (slot.Valid) {
      auto& points = Lines[slot.SeriesIndex].Points;
      while (points.size() >= kMaxPoints) points.pop_front();
      points.push_back(TChartPoint{t, slot.Value, slot.Scale, Rounds});
      FirstPointTaken = true;
    }
    slot.Value = 0;
    slot.Valid = false;
  }
  NextPointMs = nowMs + std::llround(ZoomStep() * 86'400'000.0);
  LastRoundTime = t;
  return true;
}

bool TChartModel::AnyValueValid() const {
  for (size_t c = 1; c <= kChartChannels; ++c) {
    const TChannelSlot& slot = ChannelSlot[c];
    if (slot.Active && slot.SeriesIndex < Lines.size() && slot.Valid) return true;
  }
  return false;
}

void TChartModel::ResetPoints(double t) {
  LastRoundTime = t;
  LatestSeen = t;
}

void TChartModel::ClearPoints() {
  for (TChartLine& line : Lines) line.Points.clear();
}

void TChartModel::SetZoomIndex(int index) {
  ZoomIndex = MapZoomIndex(index);
}

double TChartModel::LatestTime() const {
  double latest = LastRoundTime != 0 ? LastRoundTime : LatestSeen;
  for (const TChartLine& line : Lines) {
    for (const TChartPoint& p : line.Points) latest = std::max(latest, p.Time);
  }
  return latest;
}

TAxisWindow TChartModel::Scroll(double axisMax, int widthPixels) {
  const double latest = LatestTime();
  // Moved back by more than 2.5 intervals: the operator is looking at the
  // past, so the view moves on only as far as the data did.
  const double backLimit = 5 * OneSecond * ZoomStep() / ZoomSteps[0];
  const double max = latest > axisMax + backLimit ? axisMax + (latest - LatestSeen) : latest;
  LatestSeen = latest;
  // One interval per 5 pixels.
  const double span = ZoomStep() * 0.2 * std::max(widthPixels, 1);
  return TAxisWindow{max - span, max};
}

int TChartModel::AddGanttRow(std::int32_t color) {
  GanttRows.push_back(TGanttRow{color, {}});
  return static_cast<int>(GanttRows.size()) - 1;
}

int TChartModel::AddGanttBar(int row, double start, double end) {
  if (row < 0 || row >= static_cast<int>(GanttRows.size())) return -1;
  TGanttRow& r = GanttRows[static_cast<size_t>(row)];
  GanttBars.push_back(TGanttBar{start, end, row, r.Color});
  r.Bars.push_back(static_cast<int>(GanttBars.size()) - 1);
  return r.Bars.back();
}

void TChartModel::SetGanttRowColor(int row, std::int32_t color) {
  if (row < 0 || row >= static_cast<int>(GanttRows.size())) return;
  TGanttRow& r = GanttRows[static_cast<size_t>(row)];
  r.Color = color;
  for (int bar : r.Bars) GanttBars[static_cast<size_t>(bar)].Color = color;
}

std::vector<std::int32_t> TChartModel::GanttColors() const {
  std::vector<std::int32_t> colors;
  for (const TGanttRow& r : GanttRows) colors.push_back(r.Color);
  return colors;
}

QString LongTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  // Qt's long format names the time zone; the operator's clock does not.
  static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
  format.replace(zone, QStringLiteral(" "));
  format = format.trimmed();
  return format.isEmpty() ? QStringLiteral("H:mm:ss") : format;
}

QString LongTimeText(double time, const QLocale& locale) {
  const double fraction = time - std::floor(time);
  const auto ms = static_cast<int>(std::llround(fraction * 86'400'000.0) % 86'400'000);
  return locale.toString(QTime::fromMSecsSinceStartOfDay(ms), LongTimeFormat(locale));
}

QString PointReadout(double value, double time, const QLocale& locale) {
  return FormatTwoDecimals(value) + QStringLiteral("  ") + LongTimeText(time, locale);
}

QString DurationReadout(double start, double end, const QLocale& locale) {
  const double duration = std::max(0.0, end - start);
  const std::int64_t ms = std::llround(duration * 86'400'000.0);
  return LongTimeText(duration, locale) + u'.' + QString::number(ms % 1000);
}

}  // namespace vorta
