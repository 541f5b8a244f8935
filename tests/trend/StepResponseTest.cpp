// The step-response figures on synthetic curves whose figures are known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

#include "trend/StepResponse.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Curves {
  std::vector<double> t, pos, lag, velo;
};

// Samples `pos` and `velo` (functions of the time since the step) at 1 kHz for `seconds`.
Curves Sampled(double seconds, const std::function<double(double)>& pos,
               const std::function<double(double)>& velo,
               const std::function<double(double)>& lag) {
  Curves c;
  for (int i = 0; i <= static_cast<int>(seconds * 1000); ++i) {
    const double t = i * 0.001;
    c.t.push_back(t);
    c.pos.push_back(pos(t));
    c.velo.push_back(velo(t));
    c.lag.push_back(lag(t));
  }
  return c;
}

struct Case {
  const char* name;
  Curves curves;
  double start, target, band;
  trend::StepFigures expected;  // NaN: not known in closed form, not checked
};

// First order with time constant tau, ending `err` short of the target; its lag is that of a
// first-order follower of a ramp of velocity v.
Case FirstOrder() {
  const double tau = 0.1, start = 0, target = 100, err = 0.05, band = 0.5, v = 200;
  const double s = target - start - err;
  Case c{"first order",
         Sampled(
             2.0, [=](double t) { return start + s * (1 - std::exp(-t / tau)); },
             [=](double t) { return s / tau * std::exp(-t / tau); },
             [=](double t) { return v * tau * (1 - std::exp(-t / tau)); }),
         start,
         target,
         band,
         {}};
  c.expected = {start,
                target,
                tau * std::log((s - 10) / (s - 90)),
                0,
                0,
                tau * std::log(s / (band - err)),
                v * tau * (1 - std::exp(-20.0)),
                err,
                s / tau};
  return c;
}

// Second order with damping zeta and natural frequency wn, up or down.
Case SecondOrder(const char* name, double start, double target) {
  const double zeta = 0.3, wn = 20, step = target - start;
  const double root = std::sqrt(1 - zeta * zeta), wd = wn * root;
  auto pos = [=](double t) {
    return start + step * (1 - std::exp(-zeta * wn * t) *
                                   (std::cos(wd * t) + zeta / root * std::sin(wd * t)));
  };
  auto velo = [=](double t) {
    return step * wn / root * std::exp(-zeta * wn * t) * std::sin(wd * t);
  };
  Case c{name, Sampled(3.0, pos, velo, [](double) { return 0.0; }), start, target, 0.1, {}};
  const double overshoot = std::exp(-zeta * std::numbers::pi / root);
  const double tPeakVelo = std::atan2(root, zeta) / wd;
  c.expected = {start,
                target,
                kNaN,
                std::fabs(step) * overshoot,
                100 * overshoot,
                kNaN,
                0,
                0,
                step * wn * std::exp(-zeta * wn * tPeakVelo)};
  return c;
}

void ExpectNear(const char* what, double actual, double expected) {
  if (std::isnan(expected)) return;
  EXPECT_NEAR(actual, expected, std::max(0.01 * std::fabs(expected), 1e-4)) << what;
}

TEST(StepResponseTest, FiguresMatchClosedFormStepResponsesWithinOnePercent) {
  for (const Case& c : {FirstOrder(), SecondOrder("second order up", 100, 150),
                        SecondOrder("second order down", 150, 100)}) {
    SCOPED_TRACE(c.name);
    const trend::StepFigures f = trend::MeasureStep(
        {c.curves.t, c.curves.pos, c.curves.lag, c.curves.velo}, c.start, c.target, c.band);
    ExpectNear("rise time", f.riseTime, c.expected.riseTime);
    ExpectNear("overshoot", f.overshoot, c.expected.overshoot);
    ExpectNear("overshoot %", f.overshootPercent, c.expected.overshootPercent);
    ExpectNear("settling time", f.settlingTime, c.expected.settlingTime);
    ExpectNear("peak lag", f.peakLag, c.expected.peakLag);
    ExpectNear("steady-state error", f.steadyStateError, c.expected.steadyStateError);
    ExpectNear("peak velocity", f.peakVelocity, c.expected.peakVelocity);
  }
}

TEST(StepResponseTest, FiguresACurveDoesNotYieldAreNaN) {
  // Stops halfway and outside the band: no 90 % level, no settling.
  const std::vector<double> t{0, 1, 2, 3}, half{0, 30, 50, 50};
  EXPECT_TRUE(std::isnan(trend::RiseTime(t, half, 0, 100)));
  EXPECT_TRUE(std::isnan(trend::SettlingTime(t, half, 100, 1)));
  // A step of zero has no levels and no overshoot in per cent; already inside the band, it has
  // settled at once.
  const std::vector<double> still{5, 5, 5, 5};
  const trend::StepFigures f = trend::MeasureStep({t, still, still, still}, 5, 5, 0.1);
  EXPECT_TRUE(std::isnan(f.riseTime));
  EXPECT_TRUE(std::isnan(f.overshootPercent));
  EXPECT_EQ(f.settlingTime, 0);
}

}  // namespace
