// Physics of one vessel against the figures of docs/plant-model.md.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/VesselModel.h"

namespace vorta::sim {
namespace {

constexpr double kMinute = 60.0;

// A vessel without noise so that physical checks are exact.
TVesselParams Quiet() {
  TVesselParams p;
  p.ProbeSigma = {0, 0, 0, 0};
  return p;
}

TEST(VesselModel, Oxygen_fallsWithGrowthAndRecoversWithStirringAndWhenGlucoseRunsOut) {
  TVesselModel m(Quiet());
  m.SetStirrer(500);
  EXPECT_NEAR(m.OxygenSaturation(), 0.210, 0.002);  // 6.73 mg/L at 37 °C
  EXPECT_NEAR(m.DoPercent(), 100.0, 0.1);
  m.Step(5 * kMinute);
  const double after5 = m.DoPercent();
  EXPECT_LT(after5, 40.0);  // 100 % -> about 30 % within 5 min

  m.SetStirrer(1000);  // kLa about 340 1/h: far more transfer than uptake
  m.Step(2 * kMinute);
  EXPECT_GT(m.DoPercent(), after5 + 30.0);

  // Glucose runs out within the hour at 2 g/L; then DO climbs above 90 %.
  m.Step(80 * kMinute);
  EXPECT_LT(m.State().S, 0.01);
  EXPECT_GT(m.DoPercent(), 90.0);
  EXPECT_NEAR(m.State().X, 1.0 + 0.5 * 2.0, 0.15);  // yield on 2 g/L glucose, less maintenance
}

TEST(VesselModel, Ph_fallsWithoutControlAbout0_2In70Minutes) {
  TVesselModel m(Quiet());
  m.SetStirrer(800);  // enough oxygen: the acid comes from growth, not fermentation
  m.Step(70 * kMinute);
  EXPECT_NEAR(m.State().PH, 6.80, 0.06);
  EXPECT_NEAR(m.BufferCapacity(), 33.0, 3.0);  // phosphate is a weaker buffer below pKa
}

TEST(VesselModel, Ph_underOxygenShortageFallsFasterAndRedoxGoesNegative) {
  TVesselModel rich(Quiet()), starved(Quiet());
  rich.SetStirrer(800);
  starved.SetStirrer(100);
  rich.Step(40 * kMinute);
  starved.Step(40 * kMinute);
  EXPECT_LT(starved.State().Phi, 0.8);
  EXPECT_LT(starved.State().PH, rich.State().PH - 0.02);
  EXPECT_LT(starved.State().E, -100.0);  // -100 to -300 mV when O2 is short
  EXPECT_GT(starved.State().E, -300.0);
  EXPECT_GT(rich.State().E, 100.0);
}

TEST(VesselModel, BasePulse_raisesPhByTheScaleCheckAmount_andShortPulsesDoseExactly) {
  TVesselParams p = Quiet();
  p.X0 = 0;  // no culture: only the titrant moves pH
  TVesselModel m(p);
  const double ph0 = m.State().PH;
  m.SetActuator(TActuator::Base, true);
  m.Step(1.0);
  m.SetActuator(TActuator::Base, false);
  const double rise = m.State().PH - ph0;
  EXPECT_NEAR(rise, 1.8e-4, 0.1e-4);  // 1 s of 2 M NaOH at 1 mL/min into 5 L

  // 0.2 s inside one 0.5 s step: a fifth of the dose
  const double ph1 = m.State().PH;
  m.Inputs().Duty[static_cast<int>(TActuator::Base)] = 0.4;
  m.Step(0.5);
  EXPECT_NEAR(m.State().PH - ph1, rise / 5.0, 0.05 * rise);
  EXPECT_NEAR(m.State().BaseDosed(), 1.2 / 60.0, 1e-9);  // mL
  EXPECT_NEAR(m.State().Dosed[static_cast<int>(TActuator::Base)], 1.2 / 60.0, 1e-9);
  EXPECT_NEAR(m.State().OnSeconds[static_cast<int>(TActuator::Base)], 1.2, 1e-9);

  // Acid (1 M) lowers it, half as strongly per second.
  m.Inputs().Duty[static_cast<int>(TActuator::Base)] = 0;
  const double ph2 = m.State().PH;
  m.SetActuator(TActuator::Acid, true);
  m.Step(2.0);
  EXPECT_NEAR(m.State().PH - ph2, -rise, 0.1 * rise);
}

TEST(VesselModel, OnOffBase_holdsPhAtAboutAThirdDutyAtX1_5) {
  TVesselParams p = Quiet();
  p.X0 = 1.5;
  p.S0 = 10;
  TVesselModel m(p);
  m.SetStirrer(1000);
  double on = 0;
  const int steps = 10 * 120;  // 10 min of 0.5 s steps
  for (int i = 0; i < steps; ++i) {
    const bool low = m.State().PH < 7.0;
    m.SetActuator(TActuator::Base, low);
    on += low;
    m.Step(0.5);
  }
  EXPECT_NEAR(m.State().PH, 7.0, 0.005);
  EXPECT_NEAR(on / steps, 0.3, 0.06);
}

// Holds pH and temperature as a perfect controller would, so that only the
// feed sets the growth rate.
void RunChemostat(TVesselModel& m, double hours) {
  for (int i = 0; i < hours * 360; ++i) {
    m.MutableState().PH = 7.0;
    m.MutableState().T = 37.0;
    m.Step(10.0);
  }
}

TEST(VesselModel, Chemostat_reachesTheMonodSteadyStateAndWashesOutAboveMuMax) {
  TVesselParams p = Quiet();
  p.SFeed = 4;
  p.V0 = p.VMax;  // full: the overflow keeps the volume
  TVesselModel m(p);
  m.SetStirrer(800);
  m.SetActuator(TActuator::Feed1, true);
  m.Inputs().Speed[static_cast<int>(TActuator::Feed1)] = 2.5;  // 1.5 L/h into 6 L
  RunChemostat(m, 40);
  const double d = 1.5 / p.VMax;
  const double mu = p.MuMax * 0.95;  // cardinal temperature factor at 37 °C
  const double sStar = p.Ks * d / (mu - d);
  EXPECT_NEAR(m.State().S, sStar, 0.2 * sStar);
  const double qS = d / p.YXS + p.MS * sStar / (p.Ks + sStar);
  EXPECT_NEAR(m.State().X, d * (p.SFeed - sStar) / qS, 0.05);
  EXPECT_NEAR(m.State().V, p.VMax, 1e-9);

  TVesselModel fast(p);
  fast.SetStirrer(800);
  fast.SetActuator(TActuator::Feed1, true);
  fast.Inputs().Speed[static_cast<int>(TActuator::Feed1)] = 8;  // D = 0.8 1/h > mu max
  RunChemostat(fast, 40);
  EXPECT_LT(fast.State().X, 0.05);
  EXPECT_GT(fast.State().S, 0.9 * p.SFeed);
}

TEST(VesselModel, FailedPump_getsItsCommandButDoesNotPump) {
  TVesselParams p = Quiet();
  p.X0 = 0;
  TVesselModel m(p);
  m.SetActuatorFailed(TActuator::Base, true);
  m.SetActuator(TActuator::Base, true);
  m.Step(60);
  EXPECT_DOUBLE_EQ(m.State().PH, 7.0);
  EXPECT_EQ(m.State().BaseDosed(), 0.0);
  EXPECT_EQ(m.State().OnSeconds[static_cast<int>(TActuator::Base)], 0.0);
  m.SetActuatorFailed(TActuator::Base, false);
  m.Step(1);
  EXPECT_GT(m.State().PH, 7.0);
}

TEST(VesselModel, Temperature_fallsWithoutHeatingAndFollowsHeaterAndCooler) {
  TVesselModel m(Quiet());
  m.SetStirrer(600);
  m.Step(110 * kMinute);
  EXPECT_NEAR(37.0 - m.State().T, 3.4, 0.8);

  TVesselParams p = Quiet();
  p.X0 = 0;
  TVesselModel idle(p), h(p), c(p);
  idle.Step(60);
  EXPECT_LT(idle.State().T, 37.0);  // losses to the room and by evaporation
  h.SetActuator(TActuator::Heater, true);
  h.Step(60);
  EXPECT_NEAR(h.State().T - idle.State().T, 300.0 * 60 / 24000, 0.01);  // 0.75 K per minute
  c.SetActuator(TActuator::Cooler, true);
  c.Step(60);
  // 10 W/K to 12 °C cooling water
  EXPECT_NEAR(c.State().T - idle.State().T, -10.0 * 25 * 60 / 24000, 0.02);
}

TEST(VesselModel, Jacket_lagsTheHeaterAndSteamDrivesItToward121) {
  TVesselParams p = Quiet();
  p.X0 = 0;
  TVesselModel direct(p);
  p.Jacket = true;
  TVesselModel water(p);
  for (auto* m : {&direct, &water}) {
    m->SetActuator(TActuator::Heater, true);
  }
  direct.Step(60);
  water.Step(60);
  EXPECT_GT(water.State().Tj, water.State().T + 1.0);  // the heat goes into the jacket first
  EXPECT_LT(water.State().T, direct.State().T - 0.2);
  water.Step(30 * kMinute);  // and then reaches the broth
  EXPECT_GT(water.State().T, 45.0);

  p.Steam = true;
  TVesselModel steam(p);
  steam.SetActuator(TActuator::Heater, true);
  steam.Step(30);
  EXPECT_GT(steam.State().Tj, 110.0);
  EXPECT_LT(steam.State().Tj, 121.0);
  steam.SetActuator(TActuator::Heater, false);
  steam.SetActuator(TActuator::Cooler, true);
  steam.Step(5 * kMinute);
  EXPECT_LT(steam.State().Tj, 40.0);  // cooling water flushes the jacket
  EXPECT_GT(steam.State().T, 37.0);   // after the broth took up the steam's heat
}

TEST(VesselModel, Foam_tripsTheContactAndAntifoamCollapsesItUntilItDecays) {
  TVesselParams p = Quiet();
  p.S0 = 0;  // hold the biomass where it is
  p.X0 = 2;
  TVesselModel m2(p);
  m2.SetStirrer(500);
  m2.Step(60);
  EXPECT_NEAR(m2.State().H, 2.9, 0.15);
  EXPECT_FALSE(m2.State().FoamContact);

  p.X0 = 3;
  TVesselModel m(p);
  m.SetStirrer(500);
  m.Step(60);
  EXPECT_NEAR(m.State().H, 4.3, 0.2);
  EXPECT_TRUE(m.State().FoamContact);

  m.SetActuator(TActuator::Antifoam, true);
  m.Step(2);
  m.SetActuator(TActuator::Antifoam, false);
  m.Step(20);
  EXPECT_FALSE(m.State().FoamContact);
  EXPECT_LT(m.State().H, 1.5);

  m.Step(120 * kMinute);  // the antifoam is broken down: the foam is back
  EXPECT_TRUE(m.State().FoamContact);
}

TEST(VesselModel, Probes_lagTheTrueValueAndMapToTwelveBitCodes) {
  TVesselParams p = Quiet();
  p.X0 = 0;
  TVesselModel m(p);
  // pH 7 on 0..14 is code 2048 (4095/2 rounded to even)
  EXPECT_EQ(m.Code(TChannel::pH), 2048);
  EXPECT_EQ(m.Code(TChannel::Temperature), static_cast<int>(std::nearbyint(4095 * 0.37)));

  m.SetActuator(TActuator::Heater, true);
  m.Step(60);  // 0.75 K rise, Pt100 lag 20 s: the reading trails
  EXPECT_LT(m.Probe(TChannel::Temperature).Reading(), m.State().T - 0.2);
  EXPECT_GT(m.Probe(TChannel::Temperature).Reading(), 37.3);

  TProbe probe(1, 0, TCodeScale{0, 14});
  probe.Reset(7.0);
  probe.SetError(1.03, 0.0);  // 3 % gain error: the uncalibrated reading is off
  EXPECT_EQ(probe.ToCode(7.0), static_cast<int>(std::nearbyint(4095 * 7.21 / 14)));
  EXPECT_EQ(probe.ToCode(-1.0), 0);
  EXPECT_EQ(probe.ToCode(20.0), 4095);

  TCodeScale fromCal;  // 4.00 at code 1000, 9.00 at code 3000
  ASSERT_TRUE(fromCal.FromCalibration(4.0, 9.0, 1000, 3000));
  probe.SetError(1.0, 0.0);
  probe.SetScale(fromCal);
  EXPECT_EQ(probe.ToCode(4.0), 1000);
  EXPECT_EQ(probe.ToCode(6.5), 2000);
  EXPECT_FALSE(fromCal.FromCalibration(4.0, 9.0, 1000, 1000));

  TProbe drifting(5, 0, TCodeScale{0, 14});  // a batch's worth of pH drift in an hour
  drifting.Reset(7.0);
  drifting.SetDriftPerHour(0.1);
  std::mt19937 rng(1);
  for (int i = 0; i < 7200; ++i) {
    drifting.Step(0.5, 7.0, rng);
  }
  EXPECT_NEAR(drifting.Reading(), 7.1, 1e-9);
}

TEST(VesselModel, ProbeFaults_stuckHoldsTheCodeBrokenGivesZero) {
  TVesselModel m;
  m.SetStirrer(500);
  m.Probe(TChannel::Oxygen).SetFault(TProbeFault::Stuck);
  const auto held = m.Code(TChannel::Oxygen);
  m.Probe(TChannel::pH).SetFault(TProbeFault::Broken);
  m.Step(5 * kMinute);  // DO falls a lot meanwhile
  EXPECT_EQ(m.Code(TChannel::Oxygen), held);
  EXPECT_EQ(m.Code(TChannel::pH), 0);
  m.Probe(TChannel::Oxygen).SetFault(TProbeFault::None);
  EXPECT_LT(m.Code(TChannel::Oxygen), held - 500);
}

TEST(VesselModel, SameSeed_repeatsTheRunExactly) {
  TVesselModel a({}, 42), b({}, 42), c({}, 43);
  for (auto* m : {&a, &b, &c}) {
    m->SetStirrer(500);
  }
  bool differs = false;
  for (int i = 0; i < 600; ++i) {
    a.Step(0.5);
    b.Step(0.5);
    c.Step(0.5);
    for (int ch = 0; ch < kChannelCount; ++ch) {
      ASSERT_EQ(a.Code(static_cast<TChannel>(ch)), b.Code(static_cast<TChannel>(ch))) << i;
      differs |= a.Code(static_cast<TChannel>(ch)) != c.Code(static_cast<TChannel>(ch));
    }
  }
  EXPECT_TRUE(differs);  // the noise is really there
}

TEST(VesselModel, LongStep_isCutAndMatchesSmallSteps) {
  TVesselModel a(Quiet()), b(Quiet());
  a.SetStirrer(500);
  b.SetStirrer(500);
  a.Step(600);
  for (int i = 0; i < 1200; ++i) {
    b.Step(0.5);
  }
  EXPECT_NEAR(a.State().X, b.State().X, 1e-9);
  EXPECT_NEAR(a.State().C, b.State().C, 1e-9);
}

}  // namespace
}  // namespace vorta::sim
