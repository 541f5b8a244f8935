// The identification and the proposal against signals whose figures are known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "tune/Identify.h"
#include "tune/Proposal.h"

namespace {

using trend::Sample;

Sample At(double t, double actualVelo, double setpointVelo = 0, double lagController = 0) {
  Sample s;
  s.t = t;
  s.values[trend::kActualVelo] = actualVelo;
  s.values[trend::kSetpointVelo] = setpointVelo;
  s.values[trend::kLagController] = lagController;
  return s;
}

TEST(Identify, SteadyPointTakesTheSettledPlateauThroughTheOutputShape) {
  // 100 mm/s commanded with 20 mm/s from the lag controller: 120 / 500 of the output, plus the
  // compensated overlap of 4 %: 0.04 + 0.96 · 0.24.
  tune::OutputShape shape;
  shape.referenceVelo = 500;
  shape.overlapPos = 0.04;
  std::vector<Sample> s;
  for (int i = 0; i < 50; ++i) s.push_back(At(i * 0.01, i < 20 ? 0.0 : 100.0, i * 10.0));
  for (int i = 0; i < 100; ++i) s.push_back(At(0.5 + i * 0.01, i < 30 ? 50.0 : 99.0, 100, 20));
  const auto p = tune::SteadyPoint(s, 100, shape);
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->velocity, 99.0, 1e-9);
  EXPECT_NEAR(p->output, 0.04 + 0.96 * 0.24, 1e-9);
  EXPECT_FALSE(tune::SteadyPoint(s, 200, shape));
}

// A valve opening (|u| − o)/(1 − o) along g, the axis at full opening V.
double Opening(double w, double bendVelo, double bendOutput) {
  return w <= bendVelo ? w * bendOutput / bendVelo
                       : bendOutput + (w - bendVelo) * (1 - bendOutput) / (1 - bendVelo);
}

TEST(Identify, CharacteristicFromSteadyPoints) {
  struct Case {
    double vOut, vIn, oOut, oIn, bendVelo, bendOutput;
    bool bent;
  };
  const Case cases[] = {
      {585, 417, 0.05, 0.04, 0.5, 0.5, false},
      {300, 250, 0.08, 0.08, 0.4, 0.6, true},
  };
  for (const Case& c : cases) {
    std::vector<tune::VeloPoint> points;
    for (double w : {0.05, 0.1, 0.2, 0.3, 0.4, 0.5, 0.7, 0.9}) {
      const double g = Opening(w, c.bendVelo, c.bendOutput);
      points.push_back({w * c.vOut, c.oOut + (1 - c.oOut) * g});
      points.push_back({-w * c.vIn, -(c.oIn + (1 - c.oIn) * g)});
    }
    const auto fit = tune::FitCharacteristic(points);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->out.fullVelo, c.vOut, 1e-6 * c.vOut);
    EXPECT_NEAR(fit->in.fullVelo, c.vIn, 1e-6 * c.vIn);
    EXPECT_NEAR(fit->veloRatio, c.vOut / c.vIn, 1e-6);
    EXPECT_NEAR(fit->out.overlap, c.oOut, 1e-9);
    EXPECT_NEAR(fit->in.overlap, c.oIn, 1e-9);
    EXPECT_EQ(fit->out.bent, c.bent);
    EXPECT_NEAR(fit->out.bendVelo, c.bendVelo, 1e-6);
    EXPECT_NEAR(fit->out.bendOutput, c.bendOutput, 1e-6);
  }
  EXPECT_FALSE(tune::FitCharacteristic(std::vector<tune::VeloPoint>{{100, 0.3}, {200, 0.6}}));
}

TEST(Identify, RingingOfADampedSinusoidBesideASlowMode) {
  struct Case {
    double hz, zeta, rate;
  };
  const Case cases[] = {{24.5, 0.1, 1000}, {43, 0.3, 1000}, {8, 0.05, 200}, {106, 0.15, 1000}};
  for (const Case& c : cases) {
    const double w = 2 * std::numbers::pi * c.hz;
    const double wd = w * std::sqrt(1 - c.zeta * c.zeta);
    std::vector<Sample> s;
    for (int i = 0; i < static_cast<int>(0.3 * c.rate); ++i) {
      const double t = i / c.rate;
      s.push_back(At(5.0 + t, 40 * std::exp(-c.zeta * w * t) * std::sin(wd * t + 0.3) +
                                  25 * std::exp(-t / 0.08) + 2));
    }
    const auto r = tune::FitRinging(s, 5.0, 5.3);
    ASSERT_TRUE(r) << c.hz;
    EXPECT_NEAR(r->HzNatural(), c.hz, 0.01 * c.hz);
    EXPECT_NEAR(r->zeta, c.zeta, 0.01);
  }
  EXPECT_FALSE(tune::FitRinging(std::vector<Sample>(5), 0, 1));
}

TEST(Identify, ReachedAccelerationOfATrapezoid) {
  // Up at 3000 mm/s² to 300 mm/s, held, down at 5000 mm/s²; retracting alike.
  for (double sign : {1.0, -1.0}) {
    std::vector<Sample> s;
    for (int i = 0; i <= 600; ++i) {
      const double t = i * 0.001;
      const double v = t < 0.1 ? 3000 * t : (t < 0.4 ? 300 : std::max(0.0, 300 - 5000 * (t - 0.4)));
      s.push_back(At(t, sign * v));
    }
    const tune::Reached r = tune::ReachedAcceleration(s);
    EXPECT_NEAR(r.acceleration, 3000, 1);
    EXPECT_NEAR(r.deceleration, 5000, 1);
  }
}

TEST(Proposal, GainFromTheHydraulicOrTheCycleBoundWithReasons) {
  struct Case {
    double cycle, kp;
    const char* reason;
  };
  // 2·0.18·2π·38 = 85.95 1/s; a 10 ms cycle bounds it at 33.3 1/s instead.
  const Case cases[] = {
      {0.002, 85.95 / 3, "ω_h 38 Hz, ζ 0.18 → kP ≤ 86 1/s; proposed 28.7 (margin 3)"},
      {0.010, 33.33 / 3,
       "ω_h 38 Hz, ζ 0.18 → kP ≤ 86 1/s, cycle 10 ms → kP ≤ 33.3; proposed 11.1 (margin 7.74)"},
  };
  for (const Case& c : cases) {
    tune::Measurements m;
    m.ringing = tune::Ringing{2 * std::numbers::pi * 38, 0.18};
    m.reached = tune::Reached{5000, 8000};
    model::ParamRecord p;
    p.CycleTime = c.cycle;
    p.ReferenceVelo = 300;
    p.LagKp = 10;
    const auto values = tune::Propose(m, p);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0].name, "LagKp");
    EXPECT_NEAR(values[0].proposed, c.kp, 0.01);
    EXPECT_EQ(values[0].current, 10);
    EXPECT_EQ(values[0].reason, c.reason);
    EXPECT_EQ(values[1].name, "MaxLag");
    EXPECT_NEAR(values[1].proposed, 1.5 * 300 / c.kp, 0.01);
    EXPECT_EQ(values[2].name, "Acceleration");
    EXPECT_NEAR(values[2].proposed, 3000, 1e-9);
    EXPECT_EQ(values[3].name, "Deceleration");
    EXPECT_NEAR(values[3].proposed, 4800, 1e-9);
  }
  EXPECT_TRUE(tune::Propose({}, model::ParamRecord{}).empty());
}

}  // namespace
