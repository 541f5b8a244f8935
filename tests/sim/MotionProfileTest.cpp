#include <gtest/gtest.h>

#include <cmath>

#include "sim/MotionProfile.h"

namespace {

constexpr double kDt = 0.001;

TEST(MotionProfile, EndsExactlyAtTheTargetWithinItsLimitsAndDuration) {
  struct Case {
    double distance;
    sim::ProfileLimits limits;
  };
  const Case cases[] = {
      {150.0, {100.0, 1000.0, 1000.0, 0.0}},   // trapezoid
      {-230.0, {250.0, 1000.0, 500.0, 0.02}},  // down, slower braking, smoothed
      {1.5, {200.0, 1000.0, 1000.0, 0.02}},    // triangle: never at full speed
      {0.0004, {50.0, 2000.0, 2000.0, 0.0}},   // less than one cycle of way
      {400.0, {300.0, 5000.0, 800.0, 0.1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance);
    sim::MotionProfile p;
    p.Reset(100.0);
    p.MoveTo(100.0 + c.distance, c.limits);
    const double predicted = sim::ProfileDuration(c.distance, c.limits);
    double t = 0, lastV = 0, maxV = 0, maxA = 0;
    while (!p.Done() && t < predicted + 1.0) {
      p.Step(kDt);
      t += kDt;
      maxV = std::max(maxV, std::fabs(p.Velocity()));
      maxA = std::max(maxA, std::fabs(p.Velocity() - lastV) / kDt);
      lastV = p.Velocity();
      // Never past the end point.
      EXPECT_LE((p.Position() - 100.0) * (c.distance > 0 ? 1 : -1), std::fabs(c.distance) + 1e-9);
    }
    ASSERT_TRUE(p.Done());
    EXPECT_EQ(p.Position(), 100.0 + c.distance);
    EXPECT_NEAR(t, predicted, 3 * kDt + 1e-9);
    EXPECT_LE(maxV, c.limits.velocity + 1e-9);
    if (c.limits.smoothing == 0.0 && std::fabs(c.distance) > 1.0) {
      EXPECT_LE(maxA, std::max(c.limits.acceleration, c.limits.deceleration) * 1.001);
    }
  }
}

TEST(MotionProfile, StopAndNewTargetTakeOverFromTheCurrentVelocity) {
  sim::MotionProfile p;
  p.Reset(0.0);
  const sim::ProfileLimits limits{100.0, 1000.0, 1000.0, 0.02};
  p.MoveTo(1e6, limits);
  for (int i = 0; i < 500; ++i) p.Step(kDt);
  ASSERT_NEAR(p.Velocity(), 100.0, 1e-9);
  // A stop brakes with its deceleration: v² / 2d plus what the smoothing still carries.
  const double at = p.Position();
  p.Stop(500.0);
  int cycles = 0;
  while (!p.Done() && cycles < 5000) {
    const double v = p.Velocity();
    p.Step(kDt);
    EXPECT_LE(p.Velocity(), v + 1e-9);  // never speeds up again
    ++cycles;
  }
  ASSERT_TRUE(p.Done());
  EXPECT_NEAR(p.Position() - at, 100.0 * 100.0 / (2 * 500.0) + 100.0 * 0.02 / 2, 0.2);
  EXPECT_EQ(p.Target(), p.Position());

  // A new target behind the axis: it brakes first, then comes back.
  p.MoveTo(at + 50.0, limits);
  p.MoveTo(at, limits);
  p.MoveTo(1e6, limits);
  for (int i = 0; i < 300; ++i) p.Step(kDt);
  p.MoveTo(at, limits);
  double furthest = p.Position();
  while (!p.Done()) {
    p.Step(kDt);
    furthest = std::max(furthest, p.Position());
  }
  EXPECT_GT(furthest, at + 10.0);
  EXPECT_EQ(p.Position(), at);
}

}  // namespace
