#pragma once
// One virtual fermenter: growth on a single substrate, dissolved oxygen,
// a phosphate-buffered pH, broth temperature with a direct heater and a
// cooling coil, redox, foam with antifoam, and the four probes the I/O module
// digitises (pH, t°C, pO2, eH). Equations and default figures: the project's
// docs/plant-model.md. Everything is deterministic for a given seed.

#include <array>
#include <cstdint>
#include <random>

#include "sim/VesselProbe.h"

namespace vorta::sim {

// What the I/O module's outputs can drive in a vessel.
enum class TActuator : int { Base, Acid, Heater, Cooler, Antifoam, Feed1, Feed2, Light };
inline constexpr int kActuatorCount = 8;

// The probes, in the order of the module's analog inputs 0..3.
enum class TChannel : int { pH, Temperature, Oxygen, Redox };
inline constexpr int kChannelCount = 4;

struct TVesselParams {
  // Growth (rates per hour, concentrations per litre)
  double MuMax = 0.7, Ks = 0.05, KO = 0.003;
  double YXS = 0.5, MS = 0.03, YXO = 1.1, MO = 0.3, RQ = 1.0;
  double YHX = 7.0, YHF = 11.0;  // mmol H+ per g biomass / per g glucose fermented
  double TMin = 5, TOpt = 40, TMax = 47;
  double PHMin = 4.0, PHOpt = 7.0, PHMax = 9.5;
  // Start
  double V0 = 5.0, X0 = 1.0, S0 = 2.0, PH0 = 7.0, T0 = 37.0;
  double VMax = 6.0;  // overflow level: above it broth leaves as fast as it comes
  // Oxygen transfer
  double KLa0 = 3, KLaRef = 120, NRef = 500, Alpha = 1.5, Beta = 0.3;
  double Qg = 1.0, QRef = 1.0;  // gas flow, vvm
  double AAF = 0.3;
  // Buffer and titrants
  double CP = 64, Beta0 = 2, PKa2 = 7.2;
  double CBase = 2.0, CAcid = 1.0;  // mol/L
  double QBase = 1.0, QAcid = 1.0;  // mL/min at speed code 100
  // Feeds: substrate in the medium, pump flows at speed code 100
  double SFeed = 20, QFeed1 = 10, QFeed2 = 10;  // g/L, mL/min
  // Heat
  double Mv = 24000, Ph = 300, UAa = 1.5, Ta = 22, UAc = 10, Tcw = 12;  // J/K, W, W/K, °C
  double PStirRef = 2.5;                                                // W at NRef
  double EvapHeat = 9, EvapFlow = 13;  // W and mL/h at 1 vvm and 37 °C
  double DHO2 = 460;                   // kJ/mol O2
  // Water jacket instead of the direct heater and cooling coil: the heater
  // warms the jacket water, cooling water flows through it; with Steam the
  // heater output is a steam valve that drives the jacket toward 121 °C.
  bool Jacket = false, Steam = false;
  double Mj = 6300, UAjv = 25, UAja = 1.0, UAtop = 0.5;  // J/K, W/K
  double CoolWater = 1.0, TauSteam = 10;                 // L/min, s
  // Redox
  double EO = 150, ER = -250, KE = 0.5, TauE = 60;
  // Foam
  double Diameter = 0.17, Epsilon = 0.82, Tau0 = 0.5, KX = 3, Gamma = 0.5;
  double HProbe = 3.0, KAF = 2, TauAF = 1800, RhoAF = 1.0, QAF = 1.0;  // cm, mg/L, s, g/mL, mL/min
  // Probes: lag (s) and noise
  std::array<double, kChannelCount> ProbeTau{5, 20, 25, 45};
  std::array<double, kChannelCount> ProbeSigma{0.004, 0.02, 0.3, 1.0};
  // Longest explicit step; longer steps are cut into pieces of this size.
  double MaxStep = 0.5;
};

struct TVesselState {
  double V = 5;     // L
  double X = 1;     // g/L biomass
  double S = 2;     // g/L substrate
  double C = 0.21;  // mmol/L dissolved O2
  double PH = 7;
  double T = 37;   // °C
  double Tj = 37;  // °C, jacket water (jacket variant)
  double E = 0;    // mV
  double H = 0;    // cm foam
  double CAF = 0;  // mg/L antifoam
  double Mu = 0;   // 1/h, last step
  double Phi = 1;  // O2 limitation factor, last step
  double Seconds = 0;
  bool FoamContact = false;
  // Per output: how long it delivered (a failed one does not), s, and what
  // its pump dosed, mL (0 for the heater, cooler and light).
  std::array<double, kActuatorCount> OnSeconds{};
  std::array<double, kActuatorCount> Dosed{};
  [[nodiscard]] double BaseDosed() const {
    return Dosed[static_cast<std::size_t>(TActuator::Base)];
  }
};

// Inputs held for the next step. Duty is the fraction of the step an output
// was on (a dosing pulse shorter than the step delivers its exact dose);
// Speed scales a pump's nominal flow (1 = speed code 100).
struct TVesselInputs {
  std::array<double, kActuatorCount> Duty{};
  std::array<double, kActuatorCount> Speed{1, 1, 1, 1, 1, 1, 1, 1};
  double StirrerRpm = 0;
};

class TVesselModel {
 public:
  explicit TVesselModel(const TVesselParams& params = {}, std::uint32_t seed = 1);

  [[nodiscard]] const TVesselParams& Params() const { return p_; }
  [[nodiscard]] const TVesselState& State() const { return s_; }
  // For tests and scenarios: set a state directly (e.g. a denser culture).
  TVesselState& MutableState() { return s_; }

  TVesselInputs& Inputs() { return in_; }
  void SetActuator(TActuator a, bool on) { in_.Duty[static_cast<int>(a)] = on ? 1.0 : 0.0; }
  void SetStirrer(double rpm) { in_.StirrerRpm = rpm; }

  // Advances by dt seconds (cut into steps of at most MaxStep).
  void Step(double dtSeconds);

  // Derived figures at the current state.
  [[nodiscard]] double OxygenSaturation() const;  // C*, mmol/L
  [[nodiscard]] double DoPercent() const;
  [[nodiscard]] double KLa() const;             // 1/h
  [[nodiscard]] double BufferCapacity() const;  // mmol/(L·pH)

  [[nodiscard]] TProbe& Probe(TChannel ch) { return probes_[static_cast<int>(ch)]; }
  [[nodiscard]] const TProbe& Probe(TChannel ch) const { return probes_[static_cast<int>(ch)]; }
  [[nodiscard]] std::uint16_t Code(TChannel ch) const { return Probe(ch).Code(); }

  // Fault: the pump (or heater, cooler) gets its command but delivers nothing.
  void SetActuatorFailed(TActuator a, bool failed) { failed_[static_cast<int>(a)] = failed; }
  [[nodiscard]] bool ActuatorFailed(TActuator a) const { return failed_[static_cast<int>(a)]; }

 private:
  void StepOnce(double dt);
  void StepBiology(double dt, double dilution, double feedRate);
  void StepHeat(double dt, double uH, double uC, double gain);
  [[nodiscard]] double Effective(TActuator a) const;
  [[nodiscard]] double TrueValue(TChannel ch) const;

  TVesselParams p_;
  TVesselState s_;
  TVesselInputs in_;
  std::array<bool, kActuatorCount> failed_{};
  std::array<TProbe, kChannelCount> probes_;
  std::mt19937 rng_;
  // Totals of the biology sub-steps of one step, per litre.
  double acidMade_ = 0;    // mmol H+
  double oxygenUsed_ = 0;  // mmol O2
};

}  // namespace vorta::sim
