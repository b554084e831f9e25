#include "sim/VesselProbe.h"

#include <algorithm>
#include <cmath>

namespace vorta::sim {

bool TCodeScale::FromCalibration(double v1, double v2, double a1, double a2) {
  if (a1 == a2 || v1 == v2) {
    return false;
  }
  const double perCode = (v2 - v1) / (a2 - a1);
  Lo = v1 - a1 * perCode;
  Hi = v1 + (4095.0 - a1) * perCode;
  return true;
}

std::uint16_t TProbe::ToCode(double reading) const {
  const double span = scale_.Hi - scale_.Lo;
  if (span == 0) {
    return 0;
  }
  const double c = std::nearbyint(4095.0 * (gain_ * reading + offset_ - scale_.Lo) / span);
  return static_cast<std::uint16_t>(std::clamp(c, 0.0, 4095.0));
}

void TProbe::Step(double dt, double x, std::mt19937& rng) {
  // Exact discretisation of the first-order lag: stable for any dt.
  y_ += (x - y_) * (1.0 - std::exp(-dt / std::max(tau_, 1e-6)));
  drift_ += driftRate_ * dt / 3600.0;
  // The noise is drawn even while faulted so that a fault does not shift the
  // random sequence of the rest of the run.
  std::normal_distribution<double> noise(0.0, 1.0);
  reading_ = y_ + drift_ + sigma_ * noise(rng);
  switch (fault_) {
    case TProbeFault::None:
      code_ = ToCode(reading_);
      break;
    case TProbeFault::Stuck:
      break;
    case TProbeFault::Broken:
      code_ = 0;
      break;
  }
}

void TProbe::SetScale(TCodeScale s) {
  scale_ = s;
  if (fault_ == TProbeFault::None) {
    code_ = ToCode(reading_);
  }
}

void TProbe::SetFault(TProbeFault f) {
  fault_ = f;
  if (f == TProbeFault::Broken) {
    code_ = 0;
  }
  if (f == TProbeFault::None) {
    code_ = ToCode(reading_);
  }
}

}  // namespace vorta::sim
