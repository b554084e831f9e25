// Conversion of raw codes into values and the statistics of one minute.

#include "process/MinuteStatistics.h"
#include "process/ProcessRecord.h"

namespace vorta {

TConversion ConvertChannel(std::uint16_t code, std::uint16_t calAdc1, std::uint16_t calAdc2,
                           double calValue1, double calValue2, double linAdjust, double minValue,
                           double maxValue) {
  TConversion r;
  // Equal calibration codes would divide by zero: the value is invalid.
  if (calAdc1 == calAdc2) r.Error = 2;
  if (code == 0) r.Error = 3;
  if (r.Error == 0) {
    const int span = static_cast<int>(calAdc2) - static_cast<int>(calAdc1);
    const int offset = static_cast<int>(code) - static_cast<int>(calAdc1);
    r.Value = calValue1 + (calValue2 - calValue1) / span * offset + linAdjust;
  }
  r.Valid = r.Error == 0 && r.Value >= minValue && r.Value <= maxValue;
  if (!(r.Value >= minValue)) r.Value = 0;
  if (r.Value > maxValue) r.Value = 0;
  return r;
}

void AccumulateSample(TVortaProcess& p, int slot) {
  // Slots are 1..30; a counter pushed past the minute must not write beyond it.
  if (slot < 0 || slot > 30) return;
  const auto s = static_cast<std::uint16_t>(slot);
  for (size_t ch = 1; ch <= 4; ++ch) {
    const TChannel& c = p.Channel[ch];
    TMinuteStatistics& m = p.Channel[ch].Minute;
    const double v = c.Value;
    m.Samples[s] = v;
    // An invalid reading's 0 would pull the mean towards a value nobody measured.
    if (c.ReadingInvalid != 0) {
      m.InvalidSamples += 1;
      continue;
    }
    m.Sum += v;
    if (v < m.Low) {
      m.Low = v;
      m.LowIndex = s;
    }
    if (v > m.High) {
      m.High = v;
      m.HighIndex = s;
    }
  }
}

namespace {

// A minute with invalid readings: the mean of the valid ones less their lowest
// and highest; without three valid readings there is no mean.
void CloseMinuteWithGaps(TMinuteStatistics& m) {
  const int divisor = 28 - m.InvalidSamples;
  m.AvgInvalid = divisor < 1 ? 1 : 0;
  if (divisor < 1) {
    m.Avg = 0;
    m.Max = 0;
    m.Min = 0;
    return;
  }
  // Valid readings lie within MinValue..MaxValue, so a bound left unchanged
  // is the true lowest (highest) value.
  m.Avg = (m.Sum - m.Low - m.High) / divisor;
  m.Max = m.High;
  m.Min = m.Low;
}

}  // namespace

void CloseMinute(TVortaProcess& p) {
  for (size_t ch = 1; ch <= 4; ++ch) {
    TChannel& c = p.Channel[ch];
    TMinuteStatistics& m = c.Minute;
    if (m.InvalidSamples != 0) {
      CloseMinuteWithGaps(m);
    } else {
      m.Sum -= m.Samples[m.LowIndex] + m.Samples[m.HighIndex];
      // 30 samples less the lowest and the highest.
      m.Avg = m.Sum / 28;
      m.Max = m.High;
      m.Min = m.Low;
      m.AvgInvalid = 0;
    }
    m.InvalidSamples = 0;
    m.Sum = 0;
    m.Low = c.Config.MaxValue;
    m.High = c.Config.MinValue;
  }
}

}  // namespace vorta
