#include "tune/Identify.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tune {

namespace {

double Sign(double v) {
  return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0);
}

// The controller's shaping of a velocity fraction into the valve output: the bend point, then
// the overlap compensation, which jumps over the band with a fade over the first thousandth.
double Shape(const OutputShape& s, double w) {
  double u = std::fabs(w);
  if (s.bendVelo > 0 && s.bendVelo < 1) {
    u = u <= s.bendVelo ? u * s.bendOutput / s.bendVelo
                        : s.bendOutput + (u - s.bendVelo) * (1 - s.bendOutput) / (1 - s.bendVelo);
  }
  const double overlap = w >= 0 ? s.overlapPos : s.overlapNeg;
  u = u * (1.0 - overlap) + overlap * std::min(u / 0.001, 1.0);
  return Sign(w) * std::min(u, 1.0);
}

struct LineFit {
  Eigen::VectorXd coef;
  double rss = 0;
};

LineFit LeastSquares(const Eigen::MatrixXd& a, const Eigen::VectorXd& y) {
  LineFit f;
  f.coef = a.colPivHouseholderQr().solve(y);
  f.rss = (a * f.coef - y).squaredNorm();
  return f;
}

}  // namespace

OutputShape OutputShape::Of(const model::ParamRecord& p) {
  OutputShape s;
  s.referenceVelo = p.ReferenceVelo;
  s.veloRatio = p.VeloRatio > 0 ? p.VeloRatio : 1.0;
  s.preFeed = p.PreFeed;
  s.bendVelo = p.BendPointVelo;
  s.bendOutput = p.BendPointOutput;
  s.overlapPos = p.OverlapCompensation;
  s.overlapNeg = p.OverlapCompensation2;
  return s;
}

double ValveOutput(const OutputShape& shape, double setpointVelo, double lagController) {
  if (!(shape.referenceVelo > 0)) return 0.0;
  const double v = shape.preFeed * setpointVelo + lagController;
  const double vmax = v >= 0 ? shape.referenceVelo : shape.referenceVelo / shape.veloRatio;
  return Shape(shape, std::clamp(v / vmax, -1.0, 1.0));
}

std::optional<VeloPoint> SteadyPoint(std::span<const trend::Sample> samples, double velocity,
                                     const OutputShape& shape, double settle) {
  const double tolerance = std::max(std::fabs(velocity) * 0.005, 1e-6);
  std::vector<const trend::Sample*> plateau;
  for (const trend::Sample& s : samples) {
    if (std::fabs(s.values[trend::kSetpointVelo] - velocity) <= tolerance) plateau.push_back(&s);
  }
  const size_t skip =
      static_cast<size_t>(static_cast<double>(plateau.size()) * std::clamp(settle, 0.0, 0.9));
  if (plateau.size() < skip + 5) return std::nullopt;
  VeloPoint p;
  for (size_t i = skip; i < plateau.size(); ++i) {
    const trend::Sample& s = *plateau[i];
    p.velocity += s.values[trend::kActualVelo];
    p.output += ValveOutput(shape, s.values[trend::kSetpointVelo], s.values[trend::kLagController]);
  }
  const double n = static_cast<double>(plateau.size() - skip);
  p.velocity /= n;
  p.output /= n;
  return p;
}

std::optional<DirectionFit> FitDirection(std::span<const VeloPoint> points, bool positive) {
  std::vector<std::pair<double, double>> xy;
  for (const VeloPoint& p : points) {
    if ((p.velocity > 0) == positive && p.velocity != 0 && std::isfinite(p.output)) {
      xy.emplace_back(std::fabs(p.velocity), std::fabs(p.output));
    }
  }
  if (xy.size() < 2) return std::nullopt;
  std::sort(xy.begin(), xy.end());
  const auto n = static_cast<Eigen::Index>(xy.size());
  Eigen::MatrixXd a(n, 2);
  Eigen::VectorXd y(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    a(i, 0) = 1.0;
    a(i, 1) = xy[static_cast<size_t>(i)].first;
    y(i) = xy[static_cast<size_t>(i)].second;
  }
  const LineFit line = LeastSquares(a, y);
  const double o = line.coef(0), b = line.coef(1);
  if (!(b > 0) || !(o < 1)) return std::nullopt;
  DirectionFit fit;
  fit.overlap = std::max(o, 0.0);
  fit.fullVelo = (1.0 - o) / b;
  // The friction that grows with the velocity bends the points slightly, so that a line's
  // intercept falls short of the overlap; a parabola's intercept does not.
  if (n >= 3) {
    Eigen::MatrixXd q(n, 3);
    q.leftCols(2) = a;
    for (Eigen::Index i = 0; i < n; ++i) q(i, 2) = a(i, 1) * a(i, 1);
    const double o2 = LeastSquares(q, y).coef(0);
    if (o2 >= 0 && o2 < 1) fit.overlap = o2;
  }
  fit.rms = std::sqrt(line.rss / static_cast<double>(n));

  // A knee at one of the inner points: a hinge added to the line.
  double bestRss = line.rss;
  std::optional<std::pair<double, Eigen::VectorXd>> best;
  for (Eigen::Index k = 1; n >= 4 && k + 1 < n; ++k) {
    const double xk = xy[static_cast<size_t>(k)].first;
    Eigen::MatrixXd h(n, 3);
    h.leftCols(2) = a;
    for (Eigen::Index i = 0; i < n; ++i) h(i, 2) = std::max(a(i, 1) - xk, 0.0);
    const LineFit bent = LeastSquares(h, y);
    if (bent.rss < bestRss) {
      bestRss = bent.rss;
      best.emplace(xk, bent.coef);
    }
  }
  if (best && bestRss <= 0.5 * line.rss) {
    const auto& [xk, c] = *best;
    const double o2 = c(0), b1 = c(1), b2 = c(1) + c(2);
    if (b1 > 0 && b2 > 0 && std::fabs(c(2)) >= 0.1 * b1 && o2 < 1) {
      const double full = (1.0 - o2 + c(2) * xk) / b2;
      if (full > xk) {
        fit.bent = true;
        fit.overlap = std::max(o2, 0.0);
        fit.fullVelo = full;
        fit.bendVelo = xk / full;
        fit.bendOutput = b1 * xk / (1.0 - o2);
        fit.rms = std::sqrt(bestRss / static_cast<double>(n));
      }
    }
  }
  return fit;
}

std::optional<Characteristic> FitCharacteristic(std::span<const VeloPoint> points) {
  const std::optional<DirectionFit> out = FitDirection(points, true);
  const std::optional<DirectionFit> in = FitDirection(points, false);
  if (!out || !in) return std::nullopt;
  return Characteristic{*out, *in, out->fullVelo / in->fullVelo};
}

double Ringing::HzNatural() const {
  return omega / (2.0 * std::numbers::pi);
}

std::optional<Ringing> FitRinging(std::span<const trend::Sample> samples, double t0, double t1,
                                  size_t channel) {
  std::vector<std::pair<double, double>> raw;
  for (const trend::Sample& s : samples) {
    if (s.t >= t0 && s.t <= t1) raw.emplace_back(s.t, trend::ChannelValue(s, channel));
  }
  if (raw.size() < 12) return std::nullopt;
  const double dt = (raw.back().first - raw.front().first) / static_cast<double>(raw.size() - 1);
  if (!(dt > 0)) return std::nullopt;
  // Evenly spaced by linear interpolation, so that a late answer does not bend the fit.
  std::vector<double> y(raw.size());
  size_t j = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    const double t = raw.front().first + dt * static_cast<double>(i);
    while (j + 2 < raw.size() && raw[j + 1].first < t) ++j;
    const auto& [ta, ya] = raw[j];
    const auto& [tb, yb] = raw[j + 1];
    y[i] = tb > ta ? ya + (yb - ya) * std::clamp((t - ta) / (tb - ta), 0.0, 1.0) : ya;
  }
  // y[k] = a1·y[k-1] + a2·y[k-2] + a3·y[k-3] + c: a slow real mode and the oscillating pair,
  // the constant for where the axis comes to rest.
  constexpr Eigen::Index kOrder = 3;
  const auto rows = static_cast<Eigen::Index>(y.size()) - kOrder;
  Eigen::MatrixXd a(rows, kOrder + 1);
  Eigen::VectorXd b(rows);
  for (Eigen::Index r = 0; r < rows; ++r) {
    for (Eigen::Index c = 0; c < kOrder; ++c) a(r, c) = y[static_cast<size_t>(r + kOrder - 1 - c)];
    a(r, kOrder) = 1.0;
    b(r) = y[static_cast<size_t>(r + kOrder)];
  }
  const Eigen::VectorXd coef = a.colPivHouseholderQr().solve(b);
  Eigen::Matrix3d companion = Eigen::Matrix3d::Zero();
  companion.row(0) = coef.head(kOrder).transpose();
  companion(1, 0) = companion(2, 1) = 1.0;
  const Eigen::EigenSolver<Eigen::Matrix3d> solver(companion, false);
  std::optional<Ringing> found;
  for (Eigen::Index i = 0; i < kOrder; ++i) {
    const std::complex<double> z = solver.eigenvalues()(i);
    if (z.imag() <= 0 || std::abs(z) <= 0) continue;
    const std::complex<double> s = std::log(z) / dt;
    const double fd = s.imag() / (2.0 * std::numbers::pi);
    if (fd < 0.5 || fd > 0.25 / dt) continue;
    Ringing r{std::abs(s), -s.real() / std::abs(s)};
    if (!found || r.zeta < found->zeta) found = r;
  }
  return found;
}

Reached ReachedAcceleration(std::span<const trend::Sample> samples, double smoothing) {
  Reached r;
  size_t j = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    j = std::max(j, i + 1);
    while (j < samples.size() && samples[j].t - samples[i].t < smoothing) ++j;
    if (j >= samples.size()) break;
    const double dt = samples[j].t - samples[i].t;
    if (!(dt > 0)) continue;
    const double a = (std::fabs(samples[j].values[trend::kActualVelo]) -
                      std::fabs(samples[i].values[trend::kActualVelo])) /
                     dt;
    if (a > 0) r.acceleration = std::max(r.acceleration, a);
    if (a < 0) r.deceleration = std::max(r.deceleration, -a);
  }
  return r;
}

}  // namespace tune
