#include "trend/StepResponse.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trend {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Steps smaller than this (mm) have no direction.
constexpr double kMinStep = 1e-9;
// The end of a curve whose mean is its steady state.
constexpr double kTailFraction = 0.1;

bool Usable(std::span<const double> t, std::span<const double> y) {
  return !t.empty() && y.size() == t.size();
}

// Where the line through (t0, y0) and (t1, y1) reaches `level`.
double Interpolate(double t0, double y0, double t1, double y1, double level) {
  if (y1 == y0) return t1;
  return t0 + (level - y0) / (y1 - y0) * (t1 - t0);
}

}  // namespace

double CrossingTime(std::span<const double> t, std::span<const double> y, double start,
                    double level) {
  if (!Usable(t, y)) return kNaN;
  const double dir = level >= start ? 1.0 : -1.0;
  for (size_t i = 0; i < t.size(); ++i) {
    if ((y[i] - level) * dir < 0) continue;
    if (i == 0) return t[0];
    return Interpolate(t[i - 1], y[i - 1], t[i], y[i], level);
  }
  return kNaN;
}

double RiseTime(std::span<const double> t, std::span<const double> y, double start, double target) {
  const double step = target - start;
  if (!(std::fabs(step) > kMinStep)) return kNaN;
  const double t10 = CrossingTime(t, y, start, start + 0.1 * step);
  const double t90 = CrossingTime(t, y, start, start + 0.9 * step);
  return t90 - t10;  // NaN when either level was never reached
}

double Overshoot(std::span<const double> y, double start, double target) {
  const double step = target - start;
  if (!(std::fabs(step) > kMinStep) || y.empty()) return kNaN;
  const double dir = step > 0 ? 1.0 : -1.0;
  double most = 0.0;
  for (const double v : y) {
    if (std::isfinite(v)) most = std::max(most, (v - target) * dir);
  }
  return most;
}

double SettlingTime(std::span<const double> t, std::span<const double> y, double target,
                    double band) {
  if (!Usable(t, y) || !(band > 0)) return kNaN;
  size_t last = t.size();  // the last sample outside the band
  for (size_t i = t.size(); i-- > 0;) {
    if (!(std::fabs(y[i] - target) <= band)) {
      last = i;
      break;
    }
  }
  if (last == t.size()) return 0.0;
  if (last + 1 == t.size()) return kNaN;
  const double edge = target + (y[last] > target ? band : -band);
  return Interpolate(t[last], y[last], t[last + 1], y[last + 1], edge);
}

double PeakValue(std::span<const double> v) {
  double peak = kNaN;
  for (const double x : v) {
    if (std::isfinite(x) && !(std::fabs(x) <= std::fabs(peak))) peak = x;
  }
  return peak;
}

double SteadyStateError(std::span<const double> t, std::span<const double> y, double target) {
  if (!Usable(t, y)) return kNaN;
  const double from = t.back() - kTailFraction * (t.back() - t.front());
  double sum = 0.0;
  size_t n = 0;
  for (size_t i = t.size(); i-- > 0 && (t[i] >= from || n == 0);) {
    sum += y[i];
    ++n;
  }
  return target - sum / static_cast<double>(n);
}

StepFigures MeasureStep(const StepCurve& curve, double start, double target, double band) {
  StepFigures f;
  f.start = start;
  f.target = target;
  f.riseTime = RiseTime(curve.t, curve.pos, start, target);
  f.overshoot = Overshoot(curve.pos, start, target);
  f.overshootPercent = f.overshoot / std::fabs(target - start) * 100.0;
  f.settlingTime = SettlingTime(curve.t, curve.pos, target, band);
  f.peakLag = PeakValue(curve.lag);
  f.steadyStateError = SteadyStateError(curve.t, curve.pos, target);
  f.peakVelocity = PeakValue(curve.velo);
  return f;
}

}  // namespace trend
