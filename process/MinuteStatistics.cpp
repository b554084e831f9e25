// Conversion of raw codes into values and the statistics of one minute.

#include "process/ProcessCycles.h"
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

bool IsControlledMode(std::uint8_t mode) {
  return mode >= 1 && mode <= 3;
}

int ModeIndex(std::uint8_t mode) {
  return mode <= 3 ? mode : 0;
}

void AccumulateSample(TVortaProcess& p, int slot) {
  // Slots are 1..30; a counter pushed past the minute must not write beyond it.
  if (slot < 0 || slot > 30) return;
  const auto s = static_cast<std::uint16_t>(slot);
  for (size_t ch = 1; ch <= 4; ++ch) {
    const double v = p.CurrentValue[ch];
    p.MinuteSamples[ch][s] = v;
    // An invalid reading's 0 would pull the mean towards a value nobody measured.
    if (p.ReadingInvalid[ch] != 0) {
      p.MinuteInvalidSamples[ch] += 1;
      continue;
    }
    p.MinuteSum[ch] += v;
    if (v < p.MinuteLow[ch]) {
      p.MinuteLow[ch] = v;
      p.MinuteLowIndex[ch] = s;
    }
    if (v > p.MinuteHigh[ch]) {
      p.MinuteHigh[ch] = v;
      p.MinuteHighIndex[ch] = s;
    }
  }
}

namespace {

// A minute with invalid readings: the mean of the valid ones less their lowest
// and highest; without three valid readings there is no mean.
void CloseMinuteWithGaps(TVortaProcess& p, size_t ch) {
  const int divisor = 28 - p.MinuteInvalidSamples[ch];
  p.MinuteAvgInvalid[ch] = divisor < 1 ? 1 : 0;
  if (divisor < 1) {
    p.MinuteAvg[ch] = 0;
    p.MinuteMax[ch] = 0;
    p.MinuteMin[ch] = 0;
    return;
  }
  // Valid readings lie within MinValue..MaxValue, so a bound left unchanged
  // is the true lowest (highest) value.
  p.MinuteAvg[ch] = (p.MinuteSum[ch] - p.MinuteLow[ch] - p.MinuteHigh[ch]) / divisor;
  p.MinuteMax[ch] = p.MinuteHigh[ch];
  p.MinuteMin[ch] = p.MinuteLow[ch];
}

}  // namespace

void CloseMinute(TVortaProcess& p) {
  for (size_t ch = 1; ch <= 4; ++ch) {
    if (p.MinuteInvalidSamples[ch] != 0) {
      CloseMinuteWithGaps(p, ch);
    } else {
      p.MinuteSum[ch] -=
          p.MinuteSamples[ch][p.MinuteLowIndex[ch]] + p.MinuteSamples[ch][p.MinuteHighIndex[ch]];
      // 30 samples less the lowest and the highest.
      p.MinuteAvg[ch] = p.MinuteSum[ch] / 28;
      p.MinuteMax[ch] = p.MinuteHigh[ch];
      p.MinuteMin[ch] = p.MinuteLow[ch];
      p.MinuteAvgInvalid[ch] = 0;
    }
    p.MinuteInvalidSamples[ch] = 0;
    p.MinuteSum[ch] = 0;
    p.MinuteLow[ch] = p.MaxValue[ch];
    p.MinuteHigh[ch] = p.MinValue[ch];
  }
}

}  // namespace vorta
