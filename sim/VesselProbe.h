#pragma once
// A probe and its converter channel: first-order lag toward the true value,
// optional drift, Gaussian noise, a gain/offset error, and the 12-bit code
// the I/O module reports.

#include <cstdint>
#include <random>

namespace vorta::sim {

enum class TProbeFault { None, Stuck, Broken };

// Which physical values the codes 0 and 4095 stand for.
struct TCodeScale {
  double Lo = 0;
  double Hi = 4095;

  // The scale that a controller's two-point calibration (value v1 at code a1,
  // v2 at a2) reads back exactly. Invalid points (equal codes or values)
  // leave the scale unchanged and return false.
  bool FromCalibration(double v1, double v2, double a1, double a2);
};

class TProbe {
 public:
  TProbe() = default;
  TProbe(double tau, double sigma, TCodeScale scale) : tau_(tau), sigma_(sigma), scale_(scale) {}

  // Follows the true value x for dt seconds and draws the noise for this step.
  void Step(double dt, double x, std::mt19937& rng);
  // Starts the lag at x (no transient at the beginning of a run).
  void Reset(double x) {
    y_ = x;
    reading_ = x;
    code_ = ToCode(x);
  }

  [[nodiscard]] double Lagged() const { return y_; }
  [[nodiscard]] double Reading() const { return reading_; }
  [[nodiscard]] std::uint16_t Code() const { return code_; }
  [[nodiscard]] std::uint16_t ToCode(double reading) const;

  void SetScale(TCodeScale s);
  [[nodiscard]] const TCodeScale& Scale() const { return scale_; }
  // Gain error g (1 = none) and offset o, in the probe's units.
  void SetError(double gain, double offset) {
    gain_ = gain;
    offset_ = offset;
  }
  void SetDriftPerHour(double d) { driftRate_ = d; }
  void SetNoise(double sigma) { sigma_ = sigma; }

  // Stuck holds the code of the moment; Broken reports code 0.
  void SetFault(TProbeFault f);
  [[nodiscard]] TProbeFault Fault() const { return fault_; }

 private:
  double tau_ = 1;
  double sigma_ = 0;
  TCodeScale scale_;
  double gain_ = 1;
  double offset_ = 0;
  double driftRate_ = 0;
  double drift_ = 0;
  double y_ = 0;
  double reading_ = 0;
  std::uint16_t code_ = 0;
  TProbeFault fault_ = TProbeFault::None;
};

}  // namespace vorta::sim
