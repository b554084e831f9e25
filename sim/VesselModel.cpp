#include "sim/VesselModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorta::sim {

namespace {

constexpr double kO2MolarMass = 32.0;  // g/mol

// Cardinal temperature model with inflection: 0 outside (min, max), 1 at opt.
double CardinalT(double t, double tmin, double topt, double tmax) {
  if (t <= tmin || t >= tmax) {
    return 0.0;
  }
  const double num = (t - tmax) * (t - tmin) * (t - tmin);
  const double den =
      (topt - tmin) * ((topt - tmin) * (t - topt) - (topt - tmax) * (topt + tmin - 2.0 * t));
  return den == 0 ? 0.0 : std::clamp(num / den, 0.0, 1.0);
}

// Cardinal pH model: 0 outside (min, max), 1 at opt.
double CardinalPh(double ph, double pmin, double popt, double pmax) {
  if (ph <= pmin || ph >= pmax) {
    return 0.0;
  }
  const double a = (ph - pmin) * (ph - pmax);
  const double den = a - (ph - popt) * (ph - popt);
  return den == 0 ? 0.0 : std::clamp(a / den, 0.0, 1.0);
}

// O2 solubility in water, mmol/L, at temperature t °C (air, 1 atm).
double O2Saturation(double t) {
  const double tk = t + 273.15;
  const double lnC = -139.34410 + 1.575701e5 / tk - 6.642308e7 / (tk * tk) +
                     1.243800e10 / (tk * tk * tk) - 8.621949e11 / (tk * tk * tk * tk);
  return std::exp(lnC) / kO2MolarMass;
}

double Relax(double value, double target, double dt, double tau) {
  return target + (value - target) * std::exp(-dt / std::max(tau, 1e-6));
}

}  // namespace

TVesselModel::TVesselModel(const TVesselParams& params, std::uint32_t seed)
    : p_(params), rng_(seed) {
  s_.V = p_.V0;
  s_.X = p_.X0;
  s_.S = p_.S0;
  s_.PH = p_.PH0;
  s_.T = p_.T0;
  s_.Tj = p_.T0;
  s_.C = O2Saturation(p_.T0);
  s_.E = p_.EO - 0.1984 * (p_.T0 + 273.15) * (p_.PH0 - 7.0);
  const std::array<TCodeScale, kChannelCount> scales{TCodeScale{0, 14}, TCodeScale{0, 100},
                                                     TCodeScale{0, 200}, TCodeScale{-1000, 1000}};
  for (int i = 0; i < kChannelCount; ++i) {
    probes_[i] = TProbe(p_.ProbeTau[i], p_.ProbeSigma[i], scales[i]);
    probes_[i].Reset(TrueValue(static_cast<TChannel>(i)));
  }
}

double TVesselModel::OxygenSaturation() const {
  return O2Saturation(s_.T);
}

double TVesselModel::DoPercent() const {
  return 100.0 * s_.C / OxygenSaturation();
}

double TVesselModel::KLa() const {
  const double n = std::max(0.0, in_.StirrerRpm) / p_.NRef;
  const double q = std::max(0.0, p_.Qg) / p_.QRef;
  const double af = 1.0 - p_.AAF * s_.CAF / (s_.CAF + 10.0);
  return (p_.KLa0 + p_.KLaRef * std::pow(n, p_.Alpha) * std::pow(q, p_.Beta)) * af;
}

double TVesselModel::BufferCapacity() const {
  const double ka = std::pow(10.0, -p_.PKa2);
  const double h = std::pow(10.0, -s_.PH);
  return p_.Beta0 + 2.303 * p_.CP * ka * h / ((ka + h) * (ka + h));
}

double TVesselModel::Effective(TActuator a) const {
  const int i = static_cast<int>(a);
  return failed_[i] ? 0.0 : std::clamp(in_.Duty[i], 0.0, 1.0);
}

double TVesselModel::TrueValue(TChannel ch) const {
  switch (ch) {
    case TChannel::pH:
      return s_.PH;
    case TChannel::Temperature:
      return s_.T;
    case TChannel::Oxygen:
      return DoPercent();
    case TChannel::Redox:
      return s_.E;
  }
  return 0;
}

void TVesselModel::Step(double dt) {
  while (dt > 1e-9) {
    const double h = std::min(dt, p_.MaxStep);
    StepOnce(h);
    dt -= h;
  }
}

// Growth, substrate and dissolved O2 over dt; returns through the state the
// growth rate and O2 limitation, and leaves the acid made in acidMade_.
void TVesselModel::StepBiology(double dt, double dilution, double feedRate) {
  // Stiff near S -> 0 with a dense culture: cut the step so the Monod term
  // cannot overshoot.
  const double stiffness = s_.X * p_.MuMax / (p_.YXS * p_.Ks) / 3600.0;
  const int pieces = std::clamp(static_cast<int>(std::ceil(dt * stiffness)), 1, 100);
  const double h = dt / pieces;
  const double kla = KLa() / 3600.0;
  const double cStar = OxygenSaturation();
  const double fT = CardinalT(s_.T, p_.TMin, p_.TOpt, p_.TMax);
  const double fPh = CardinalPh(s_.PH, p_.PHMin, p_.PHOpt, p_.PHMax);
  const double titrantRate = dilution - feedRate;  // 1/h of non-substrate inflow

  for (int k = 0; k < pieces; ++k) {
    const double monod = s_.S / (p_.Ks + s_.S);
    const double muDem = p_.MuMax * monod * fT * fPh;
    const double qO2Dem = 1000.0 / kO2MolarMass * muDem / p_.YXO + p_.MO;  // mmol/(g·h)
    // Semi-implicit: uptake is stiff as C -> 0.
    s_.C = (s_.C + h * kla * cStar) / (1.0 + h * (kla + qO2Dem * s_.X / 3600.0 / (p_.KO + s_.C)));
    const double phi = s_.C / (p_.KO + s_.C);
    const double mu = phi * muDem;
    const double qS = muDem / p_.YXS + p_.MS * monod;  // g/(g·h)
    // H+ from growth, and from the glucose fermented to acids when O2 is short.
    const double rH = p_.YHX * mu * s_.X + p_.YHF * (1.0 - phi) * qS * s_.X;  // mmol/(L·h)
    const double dX = (mu - dilution) * s_.X;
    const double dS = -qS * s_.X + feedRate * (p_.SFeed - s_.S) - titrantRate * s_.S;
    s_.X = std::max(0.0, s_.X + h / 3600.0 * dX);
    s_.S = std::max(0.0, s_.S + h / 3600.0 * dS);
    acidMade_ += rH * h / 3600.0;
    oxygenUsed_ += phi * qO2Dem * s_.X * h / 3600.0;
    s_.Mu = mu;
    s_.Phi = phi;
  }
}

void TVesselModel::StepHeat(double dt, double uH, double uC, double gain) {
  if (!p_.Jacket) {
    const double heat = p_.Ph * uH + gain - p_.UAa * (s_.T - p_.Ta) - p_.UAc * uC * (s_.T - p_.Tcw);
    s_.T += dt * heat / p_.Mv;
    s_.Tj = s_.T;
    return;
  }
  const double coolFlow = p_.CoolWater / 60.0 * 4186.0 * uC;  // W/K
  const double toBroth = p_.UAjv * (s_.Tj - s_.T);
  double jacket = -toBroth - coolFlow * (s_.Tj - p_.Tcw) - p_.UAja * (s_.Tj - p_.Ta);
  if (!p_.Steam) {
    jacket += p_.Ph * uH;
  }
  s_.Tj += dt * jacket / p_.Mj;
  // Steam condenses in the jacket for the part of the step the valve is open.
  if (p_.Steam && uH > 0) {
    s_.Tj = Relax(s_.Tj, 121.0, dt * uH, p_.TauSteam);
  }
  s_.T += dt * (toBroth + gain - p_.UAtop * (s_.T - p_.Ta)) / p_.Mv;
}

void TVesselModel::StepOnce(double dt) {
  const auto idx = [](TActuator a) { return static_cast<int>(a); };
  const double uB = Effective(TActuator::Base), uA = Effective(TActuator::Acid);
  const double uH = Effective(TActuator::Heater), uC = Effective(TActuator::Cooler);
  const double uAF = Effective(TActuator::Antifoam);
  // Flows in mL/min.
  const double qB = p_.QBase * in_.Speed[idx(TActuator::Base)] * uB;
  const double qA = p_.QAcid * in_.Speed[idx(TActuator::Acid)] * uA;
  const double qF1 = p_.QFeed1 * in_.Speed[idx(TActuator::Feed1)] * Effective(TActuator::Feed1);
  const double qF2 = p_.QFeed2 * in_.Speed[idx(TActuator::Feed2)] * Effective(TActuator::Feed2);
  const double qF = qF1 + qF2;
  const double evapFactor = p_.Qg * std::exp(0.06 * (s_.T - 37.0));
  const double fIn = (qB + qA + qF) * 0.06;  // L/h
  const double fEvap = p_.EvapFlow / 1000.0 * evapFactor;

  acidMade_ = 0;
  oxygenUsed_ = 0;
  StepBiology(dt, fIn / s_.V, qF * 0.06 / s_.V);

  // pH: titrant doses against the acid made, over the buffer capacity.
  const double baseIn = p_.CBase * qB / 60.0 * dt;  // mmol
  const double acidIn = p_.CAcid * qA / 60.0 * dt;
  s_.PH += ((baseIn - acidIn) / s_.V - acidMade_) / BufferCapacity();
  s_.PH = std::clamp(s_.PH, 1.0, 13.0);

  // Heat the broth gains besides heating and cooling, W.
  const double n = std::max(0.0, in_.StirrerRpm) / p_.NRef;
  const double pStir = p_.PStirRef * n * n * n;
  const double qMet = p_.DHO2 * oxygenUsed_ * s_.V / dt;  // J/mmol · mmol/L · L / s
  StepHeat(dt, uH, uC, pStir + qMet - p_.EvapHeat * evapFactor);

  // Redox relaxes toward the oxidised or reduced couple, weighted by DO.
  const double slope = 0.1984 * (s_.T + 273.15);
  const double doPct = DoPercent();
  const double eOx =
      p_.EO + slope / 4.0 * std::log10(std::max(doPct, 0.01) / 100.0) - slope * (s_.PH - 7.0);
  const double eRed = p_.ER - slope * (s_.PH - 7.0);
  const double w = doPct / (doPct + p_.KE);
  s_.E = Relax(s_.E, w * eOx + (1.0 - w) * eRed, dt, p_.TauE);

  // Antifoam: dosed, then broken down.
  s_.CAF += 1000.0 * p_.RhoAF * p_.QAF * uAF / (60.0 * s_.V) * dt;
  s_.CAF *= std::exp(-dt / p_.TauAF);

  // Foam: gas and stirring build it, it drains with a life that biomass
  // lengthens and antifoam shortens.
  const double area = std::numbers::pi * p_.Diameter * p_.Diameter / 4.0;
  const double vs = p_.Qg * s_.V / 1000.0 / 60.0 / area;  // m/s
  const double tauF = (p_.Tau0 + p_.KX * s_.X) / (1.0 + s_.CAF / p_.KAF);
  const double build = 100.0 * vs / p_.Epsilon * std::pow(n, p_.Gamma);  // cm/s
  s_.H = Relax(s_.H, build * tauF, dt, tauF);
  if (s_.H > p_.HProbe) {
    s_.FoamContact = true;
  } else if (s_.H < p_.HProbe - 0.3) {
    s_.FoamContact = false;
  }

  // Volume; above the overflow level broth leaves at its own concentrations.
  s_.V = std::min(p_.VMax, std::max(0.1, s_.V + dt / 3600.0 * (fIn - fEvap)));
  for (int i = 0; i < kActuatorCount; ++i) {
    s_.OnSeconds[static_cast<size_t>(i)] += Effective(static_cast<TActuator>(i)) * dt;
  }
  s_.Dosed[idx(TActuator::Base)] += qB / 60.0 * dt;
  s_.Dosed[idx(TActuator::Acid)] += qA / 60.0 * dt;
  s_.Dosed[idx(TActuator::Feed1)] += qF1 / 60.0 * dt;
  s_.Dosed[idx(TActuator::Feed2)] += qF2 / 60.0 * dt;
  s_.Dosed[idx(TActuator::Antifoam)] += p_.QAF * uAF / 60.0 * dt;
  s_.Seconds += dt;

  for (int i = 0; i < kChannelCount; ++i) {
    probes_[i].Step(dt, TrueValue(static_cast<TChannel>(i)), rng_);
  }
}

}  // namespace vorta::sim
