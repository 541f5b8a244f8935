// The emulated cylinder and its controller against the textbook's closed forms for the same
// parameters: the orifice and area balance, the hydraulic natural frequency, the following error
// of a P controller and its stability limit.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "MotionRig.h"
#include "sim/Hydraulic.h"
#include "sim/Plant.h"

using namespace simtest;

namespace {

constexpr double kBar = 1e5;

// A cylinder without leakage or friction, unless a case adds them.
sim::HydraulicSpec Frictionless() {
  sim::HydraulicSpec s;
  s.leakageLpmPerBar = 0;
  s.coulombN = 0;
  s.viscousNsPerM = 0;
  return s;
}

// The orifice gain of one edge (m³/s per √Pa) at full opening.
double EdgeGain(const sim::HydraulicSpec& s) {
  return s.nominalFlowLpm / 60000.0 / std::sqrt(s.nominalDpBar * kBar / 2);
}

// Steady velocity (m/s) at spool `u`: flow in through one edge and out through the other equal
// A·v on each side, and the pressures balance load and friction:
//   out: (pS − pA)·(K·a)² = (A_A·v)², (pB − pT)·(K·a)² = (A_B·v)², pA·A_A − pB·A_B = F + Fc + b·v
// and mirrored for the way in, which gives c·v² + b·v = R.
double SteadyVelocity(const sim::HydraulicSpec& s, double u) {
  const double o = s.overlapPct / 100;
  const double ka = EdgeGain(s) * (std::fabs(u) - o) / (1 - o);
  const double aA = s.AreaA(), aB = s.AreaB();
  const double pS = s.supplyBar * kBar, pT = s.tankBar * kBar;
  const double c = (aA * aA * aA + aB * aB * aB) / (ka * ka);
  const double r =
      u > 0 ? pS * aA - pT * aB - s.loadN - s.coulombN : pS * aB - pT * aA + s.loadN - s.coulombN;
  const double b = s.viscousNsPerM;
  const double v = (-b + std::sqrt(b * b + 4 * c * r)) / (2 * c);
  return u > 0 ? v : -v;
}

TEST(Hydraulic, SteadyVelocityFollowsTheOrificeAndAreaBalance) {
  struct Case {
    double u, loadN, coulombN, viscous;
  };
  const Case cases[] = {
      {0.6, 0, 0, 0},          {-0.6, 0, 0, 0},           // out and in, no load
      {0.8, 40000, 0, 0},      {-0.8, 40000, 0, 0},       // a weight lifted and lowered
      {0.3, 15000, 800, 5000}, {-0.3, 15000, 800, 5000},  // with friction
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.u << " " << c.loadN);
    sim::HydraulicSpec s = Frictionless();
    s.strokeMm = 3000;
    s.loadN = c.loadN;
    s.coulombN = c.coulombN;
    s.viscousNsPerM = c.viscous;
    s.startMm = c.u > 0 ? 100 : 2900;
    sim::HydraulicCylinder cyl(s);
    double sum = 0;
    int n = 0;
    for (int i = 0; i < 1500; ++i) {
      cyl.Step(c.u, 0.001);
      if (i >= 1000) {
        sum += cyl.State().velocity;
        ++n;
      }
    }
    const double expected = SteadyVelocity(s, c.u) * 1e3;
    EXPECT_NEAR(sum / n, expected, std::fabs(expected) * 0.03);
    EXPECT_GT(cyl.PressureA(), s.tankBar);  // the balance holds only without cavitation
    EXPECT_GT(cyl.PressureB(), s.tankBar);
  }
}

TEST(Hydraulic, LockedValveRingsAtTheNaturalFrequencyWithoutGainingEnergy) {
  for (double x : {80.0, 260.0, 440.0}) {
    SCOPED_TRACE(x);
    sim::HydraulicSpec s = Frictionless();
    s.loadN = 30000;  // keeps both chambers well above tank while they ring
    s.startMm = x;
    sim::HydraulicCylinder cyl(s);
    // A short opening, then the valve stays closed inside its overlap.
    for (int i = 0; i < 10; ++i) cyl.Step(0.3, 0.001);
    constexpr double dt = 1e-5;
    for (int i = 0; i < 2000; ++i) cyl.Step(0.0, dt);  // the spool settles inside the band
    ASSERT_LT(std::fabs(cyl.State().spool), s.overlapPct / 100);
    int crossings = 0;
    double first = -1, last = 0, peakEarly = 0, peakLate = 0;
    double before = cyl.State().velocity;
    constexpr int kSteps = 40000;  // 0.4 s
    for (int i = 0; i < kSteps; ++i) {
      cyl.Step(0.0, dt);
      const double v = cyl.State().velocity;
      if (before < 0 && v >= 0) {
        if (first < 0) first = i * dt;
        last = i * dt;
        ++crossings;
      }
      (i < kSteps / 4 ? peakEarly : peakLate) =
          std::max(i < kSteps / 4 ? peakEarly : peakLate, std::fabs(v));
      before = v;
    }
    ASSERT_GT(crossings, 5);
    const double measured = (crossings - 1) / (last - first);
    const double expected = s.NaturalFrequency(cyl.State().position) / (2 * std::numbers::pi);
    EXPECT_NEAR(measured, expected, expected * 0.1);
    // Energy never grows: the ringing's amplitude is no larger late than early.
    EXPECT_LE(peakLate, peakEarly * 1.01);
    EXPECT_GT(peakLate, 0.0);
  }
}

TEST(Hydraulic, NothingMovesInsideTheOverlap) {
  // The spool overshoots its command by a few percent (damping 0.7), so the band's edge is kept
  // clear of.
  for (double u : {0.045, -0.045, 0.02, -0.001}) {
    SCOPED_TRACE(u);
    sim::HydraulicSpec s;
    s.loadN = 20000;
    s.leakageLpmPerBar = 0;
    sim::HydraulicCylinder cyl(s);
    const double pA = cyl.PressureA(), pB = cyl.PressureB();
    for (int i = 0; i < 2000; ++i) cyl.Step(u, 0.001);
    EXPECT_EQ(cyl.State().position, s.startMm);
    EXPECT_EQ(cyl.PressureA(), pA);
    EXPECT_EQ(cyl.PressureB(), pB);
  }
}

// The rig's axis on a frictionless cylinder without leakage, under a P controller whose
// reference velocity is `vrefFactor` times the cylinder's true velocity at full output.
struct PRig {
  explicit PRig(double kP, double vrefFactor = 1.0, sim::HydraulicSpec spec = Frictionless()) {
    rig.Motion().SetHydraulics(spec);
    model::ParamRecord& p = rig.Params();
    const double out = SteadyVelocity(spec, 1.0) * 1e3, in = -SteadyVelocity(spec, -1.0) * 1e3;
    p.ReferenceVelo = out * vrefFactor;
    p.VeloRatio = out / in;
    p.LagKp = kP;
    p.PreFeed = 0;
    p.LagTi = 0;
    p.LagOutLimit = 0;
    p.BendPointVelo = p.BendPointOutput = 0;
    p.OverlapCompensation = p.OverlapCompensation2 = spec.overlapPct / 100;
    p.MaxLag = 50;
    p.JerkEnabled = 0;
  }
  MotionRig rig;
};

TEST(Hydraulic, PControlFollowsWithTheLagVelocityOverGain) {
  struct Case {
    double kP, vrefFactor, target, velocity;
  };
  const Case cases[] = {
      {10, 1, 450, 50},   // out
      {20, 1, 60, 80},    // in
      {10, 2, 450, 50},   // twice the true reference velocity halves the loop gain
      {25, 0.8, 60, 60},  // a smaller one raises it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kP << " " << c.vrefFactor << " " << c.target);
    PRig p(c.kP, c.vrefFactor);
    ASSERT_EQ(p.rig.Move(1, c.target, c.velocity), 0);
    p.rig.Run(1.5);
    const model::RuntimeRecord r = p.rig.Sample();
    ASSERT_EQ(r.CurrentStep, c.target > 250 ? sim::kStepConstVeloP : sim::kStepConstVeloM);
    const double expected = (c.target > 250 ? 1 : -1) * c.velocity * c.vrefFactor / c.kP;
    EXPECT_NEAR(r.Lag, expected, std::fabs(expected) * 0.1);
    EXPECT_NEAR(std::fabs(r.ActualVelo), c.velocity, c.velocity * 0.03);
  }
}

TEST(Hydraulic, PControlTurnsUnstableAboveTwiceDampingTimesNaturalFrequency) {
  // A damping of 0.2 from viscous friction alone; the controller fast against the oil column.
  sim::HydraulicSpec s = Frictionless();
  s.loadN = 20000;  // both chambers above tank at rest
  s.valveHz = 400;
  s.overlapPct = 0;
  const double wh = s.NaturalFrequency(s.startMm);
  constexpr double zeta = 0.2;
  s.viscousNsPerM = 2 * zeta * s.massKg * wh;
  const double limit = 2 * zeta * wh;  // 1/s
  for (double factor : {0.3, 3.0}) {
    SCOPED_TRACE(factor);
    // The velocity per output near zero opening, so that the loop gain is kP.
    PRig p(factor * limit, 1.0, s);
    model::ParamRecord& r = p.rig.Params();
    const double pS = s.supplyBar * kBar, pT = s.tankBar * kBar;
    const double aA = s.AreaA(), aB = s.AreaB();
    r.ReferenceVelo = EdgeGain(s) *
                      std::sqrt((pS * aA - pT * aB - s.loadN) / (aA * aA * aA + aB * aB * aB)) *
                      1e3;
    r.CycleTime = 0.0005;
    r.PreFeed = 1;
    r.MaxLag = 0.5;
    r.MaxLagFilter = 0.004;  // shorter than half a period of the oscillation
    ASSERT_EQ(p.rig.Move(1, 255, 10), 0);
    double t = p.rig.RunUntil([](const auto& v) { return v.ErrorCode != 0 || InTarget(v); }, 3.0);
    ASSERT_GT(t, 0.0);
    const model::RuntimeRecord end = p.rig.Sample();
    if (factor < 1) {
      EXPECT_EQ(end.ErrorCode, 0);
      EXPECT_NEAR(end.ActualPos, 255, r.TargetRange);
    } else {
      EXPECT_EQ(end.ErrorCode, sim::kErrLag);
      int reversals = 0;
      for (size_t i = 1; i < p.rig.seen.size(); ++i) {
        reversals += p.rig.seen[i].Lag * p.rig.seen[i - 1].Lag < 0;
      }
      EXPECT_GE(reversals, 2);  // it oscillated before the monitor stopped it
    }
  }
}

TEST(Hydraulic, ConfigurationGivesTheAxisItsCylinderAndRefusesNonsense) {
  const auto load = [](const std::string& hydraulics, std::string& error) {
    const std::string text =
        R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": ["Ram", {"name": "Clamp",
      "hydraulics": )" +
        hydraulics + R"(}], "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]})";
    return sim::LoadPlant(text, kNetId, sim::DefaultServerFeatures(), error);
  };
  std::string error;
  auto plant = load(R"({"massKg": 120, "strokeMm": 200, "startMm": 35.5})", error);
  ASSERT_TRUE(plant) << error;
  sim::SimAxis& axis = *plant->Server(851)->Axis(2);
  const sim::HydraulicCylinder& cyl = sim::MotionOf(axis)->Cylinder();
  EXPECT_EQ(cyl.Spec().massKg, 120);
  EXPECT_EQ(cyl.Spec().pistonDiameterMm, sim::HydraulicSpec{}.pistonDiameterMm);
  EXPECT_EQ(cyl.State().position, 35.5);
  EXPECT_EQ(sim::RuntimeOf(axis)->values.ActualPos, 35.5);

  const struct {
    const char* hydraulics;
    const char* key;
  } bad[] = {
      {R"({"massKg": -5})", "massKg"},
      {R"({"rodDiameterMm": 110})", "rodDiameterMm"},
      {R"({"pistonDiameterMm": 50, "rodDiameterMm": 50})", "rodDiameterMm"},
      {R"({"supplyBar": "high"})", "supplyBar"},
      {R"({"startMm": 600})", "startMm"},
      {R"({"reliefBar": 100})", "reliefBar"},
      {R"({"massKg": 0.001})", "massKg"},
      {R"({"valveHz": 0})", "valveHz"},
      {R"({"massKG": 10})", "massKG"},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.hydraulics);
    EXPECT_FALSE(load(b.hydraulics, error));
    EXPECT_NE(error.find(std::string("axes[1].hydraulics")), std::string::npos) << error;
    EXPECT_NE(error.find(b.key), std::string::npos) << error;
    EXPECT_NE(error.find("\"Clamp\""), std::string::npos) << error;
  }
}

}  // namespace
