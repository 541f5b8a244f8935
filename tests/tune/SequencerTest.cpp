// The tuning runs on the demo plant in this process: what they identify against the closed
// form of the cylinder's hydraulics, and that an aborted run leaves the axis standing with its
// parameters as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "trend/TrendRig.h"
#include "tune/Sequencer.h"

namespace {

// The feed table: axis 3 of the V3.0.35 server, bore 100, rod 70, 1500 kg, 120 l/min at 70 bar.
constexpr uint16_t kFeedTable = 3;
constexpr double kBore = 0.100, kRod = 0.070, kMass = 1500, kBeta = 14000e5, kStroke = 0.800;
constexpr double kDead = 400e-6, kSupply = 210e5, kTank = 1e5, kFlow = 120e-3 / 60, kDp = 70e5;
constexpr double kCoulomb = 600, kViscous = 8000;
// Encoder reading at the retracted end: the configuration reads x itself.
constexpr double kZero = 0;

double AreaA() {
  return std::numbers::pi / 4 * kBore * kBore;
}
double AreaB() {
  return AreaA() - std::numbers::pi / 4 * kRod * kRod;
}

// Extending at full opening: both edges pass K·√Δp, the forces balance with the friction.
double FullVelocityOut() {
  const double k = kFlow / std::sqrt(kDp / 2);
  double v = 0.5;
  for (int i = 0; i < 50; ++i) {
    const double friction = kCoulomb + kViscous * v;
    // pA = pS − (A_A·v/K)², pB = pT + (A_B·v/K)², pA·A_A − pB·A_B = friction.
    const double a3 = (std::pow(AreaA(), 3) + std::pow(AreaB(), 3)) / (k * k);
    v = std::sqrt((kSupply * AreaA() - kTank * AreaB() - friction) / a3);
  }
  return v * 1000;
}

// ω_h² = β/m · (A_A²/V_A + A_B²/V_B) with the piston at `xMm`.
double NaturalHz(double xMm) {
  const double x = (xMm - kZero) / 1000;
  const double va = kDead + AreaA() * x, vb = kDead + AreaB() * (kStroke - x);
  return std::sqrt(kBeta / kMass * (AreaA() * AreaA() / va + AreaB() * AreaB() / vb)) /
         (2 * std::numbers::pi);
}

struct TuneRig : trendtest::PlantRig {
  trend::SampleRing ring{4096};
  std::unique_ptr<trend::Sampler> sampler;

  explicit TuneRig(uint16_t axis) {
    Select(trendtest::kBatchPort, axis);
    sampler = std::make_unique<trend::Sampler>(own, Target(trendtest::kBatchPort, axis), 1000.0,
                                               clock, ring);
  }
  tune::Sequencer Make(const tune::Limits& limits, std::function<bool()> stop = {}) {
    return tune::Sequencer(doc, *sampler, ring, clock, limits, std::move(stop));
  }
  bool Standing() {
    EXPECT_EQ(sampler->SampleOnce(), 0);
    std::vector<trend::Sample> s;
    ring.CopySince(ring.Total() - 1, s);
    return !s.empty() && trend::ChannelValue(s.back(), trend::kBitNotMoving) != 0.0;
  }
  model::ParamRecord ReadBack() {
    EXPECT_TRUE(doc.ReselectAxis(model::kPageAll));
    return doc.paramsRead;
  }
};

TEST(Sequencer, IdentifiesTheFeedTableAndRestoresItsParameters) {
  TuneRig rig(kFeedTable);
  const model::ParamRecord before = rig.ReadBack();
  auto seq = rig.Make({100, 700, 400, 0});
  const tune::RunResult r = seq.Run({});
  ASSERT_EQ(r.end, tune::EndReason::Done) << r.message;
  EXPECT_TRUE(r.restored);
  EXPECT_EQ(rig.ReadBack(), before);

  ASSERT_TRUE(r.measured.characteristic);
  const double vOut = FullVelocityOut();
  EXPECT_NEAR(r.measured.characteristic->out.fullVelo, vOut, 0.05 * vOut);
  ASSERT_TRUE(r.measured.ringing);
  // The steps end at 355 and 445 mm.
  const double hz = 0.5 * (NaturalHz(355) + NaturalHz(445));
  EXPECT_NEAR(r.measured.ringing->HzNatural(), hz, 0.15 * hz);
  for (const auto& v : r.proposal) EXPECT_FALSE(v.reason.empty()) << v.name;
}

TEST(Sequencer, RefusesAnAxisOrWindowThatDoesNotAllowARun) {
  struct Case {
    uint16_t axis;
    tune::Limits limits;
    const char* message;
  };
  const Case cases[] = {
      {2, {5, 115, 50, 0}, "the axis is in error 0x4650"},
      {kFeedTable, {500, 700, 100, 0}, "the axis stands at 400.000 mm, outside the window"},
      {kFeedTable, {5, 700, 100, 0}, "the window begins below the soft limit 10.000 mm"},
      {kFeedTable, {700, 100, 100, 0}, "the window is empty"},
  };
  for (const Case& c : cases) {
    TuneRig rig(c.axis);
    auto seq = rig.Make(c.limits);
    const tune::RunResult r = seq.Run({});
    EXPECT_EQ(r.end, tune::EndReason::Refused);
    EXPECT_EQ(r.message, c.message);
  }
}

TEST(Sequencer, AnAbortStopsTheAxisAndWritesBackWhatTheRunChanged) {
  struct Case {
    tune::Steps steps;
    double lagBound;
    int stopAfter;  // samples; 0: never
    tune::EndReason end;
  };
  const Case cases[] = {
      {{false, true}, 0, 1500, tune::EndReason::StopRequested},
      {{true, false}, 0, 3000, tune::EndReason::StopRequested},
      {{false, true}, 2.0, 0, tune::EndReason::LagBound},
  };
  for (const Case& c : cases) {
    TuneRig rig(kFeedTable);
    const model::ParamRecord before = rig.ReadBack();
    int n = 0;
    auto seq = rig.Make({100, 700, 400, c.lagBound},
                        [&] { return c.stopAfter > 0 && ++n >= c.stopAfter; });
    const tune::RunResult r = seq.Run(c.steps);
    EXPECT_EQ(r.end, c.end) << r.message;
    EXPECT_TRUE(r.restored);
    EXPECT_EQ(rig.ReadBack(), before);
    EXPECT_TRUE(rig.Standing());
  }
}

}  // namespace
