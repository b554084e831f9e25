#pragma once
// A raw code converted by the channel's calibration, and the minute
// statistics over the 2-s samples.

#include <cstdint>

namespace vorta {

class TVortaProcess;

struct TConversion {
  double Value = 0;
  std::int32_t Error = 0;  // 0, 2 equal calibration codes, 3 code 0
  // No error and inside the limits: tells a measured 0 from an invalid one.
  bool Valid = false;
};

// Two-point calibration of a raw code; 0 when invalid or outside the limits.
TConversion ConvertChannel(std::uint16_t code, std::uint16_t calAdc1, std::uint16_t calAdc2,
                           double calValue1, double calValue2, double linAdjust, double minValue,
                           double maxValue);

// Minute statistics over the 2-s samples.
void AccumulateSample(TVortaProcess& p, int slot);
void CloseMinute(TVortaProcess& p);

}  // namespace vorta
