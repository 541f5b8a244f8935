#include "sim/Hydraulic.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

double Sanitised(double v, double fallback, double lo, double hi) {
  return std::isfinite(v) ? std::clamp(v, lo, hi) : fallback;
}

// Factor of a first-order lag with time constant `t` over one step of `dt`.
double LagFactor(double dt, double t) {
  return t <= 1e-9 ? 1.0 : 1.0 - std::exp(-dt / t);
}

}  // namespace

HydraulicCylinder::HydraulicCylinder(const HydraulicSpec& spec) : spec_(spec) {
  HydraulicSpec& s = spec_;
  s.strokeMin = Sanitised(s.strokeMin, -10.0, -1e6, 1e6);
  s.strokeMax = Sanitised(s.strokeMax, 510.0, s.strokeMin + 1.0, 1e6 + 1.0);
  s.veloPos = Sanitised(s.veloPos, 300.0, 0.1, 1e5);
  s.veloNeg = Sanitised(s.veloNeg, 500.0, 0.1, 1e5);
  s.valveTime = Sanitised(s.valveTime, 0.02, 0.0, 10.0);
  s.moveTime = Sanitised(s.moveTime, 0.01, 0.0, 10.0);
  s.overlap = Sanitised(s.overlap, 0.0, 0.0, 0.5);
  s.restPressure = Sanitised(s.restPressure, 42.0, 0.0, 1000.0);
  s.supplyPressure = Sanitised(s.supplyPressure, 210.0, s.restPressure, 2000.0);
  s.pressureTime = Sanitised(s.pressureTime, 0.03, 0.0, 10.0);
  s.indexMark = Sanitised(s.indexMark, (s.strokeMin + s.strokeMax) / 2, s.strokeMin, s.strokeMax);
  Place((s.strokeMin + s.strokeMax) / 2);
}

void HydraulicCylinder::Place(double position) {
  state_ = HydraulicState{};
  state_.position = Sanitised(position, (spec_.strokeMin + spec_.strokeMax) / 2, spec_.strokeMin,
                              spec_.strokeMax);
  blocked_ = false;
}

void HydraulicCylinder::Step(double command, double dt) {
  if (!(dt > 0.0) || !std::isfinite(dt)) return;
  if (dt != lastDt_) {
    lastDt_ = dt;
    kValve_ = LagFactor(dt, spec_.valveTime);
    kMove_ = LagFactor(dt, spec_.moveTime);
    kPressure_ = LagFactor(dt, spec_.pressureTime);
  }
  HydraulicState& s = state_;
  const double u = std::isfinite(command) ? std::clamp(command, -1.0, 1.0) : 0.0;
  if (!valveStuck_) s.spool += (u - s.spool) * kValve_;

  // Flow through the valve as a fraction of the full flow, zero inside the overlap.
  const double open = std::max(0.0, std::fabs(s.spool) - spec_.overlap) / (1.0 - spec_.overlap);
  const double flow = s.spool < 0 ? -open : open;
  const double vFree = flow > 0 ? flow * spec_.veloPos : flow * spec_.veloNeg;
  blocked_ = (jammed_ && flow != 0.0) || (s.position >= spec_.strokeMax && flow > 0) ||
             (s.position <= spec_.strokeMin && flow < 0);
  const double target = blocked_ || jammed_ ? 0.0 : vFree;
  s.velocity += (target - s.velocity) * kMove_;
  if (jammed_) s.velocity = 0.0;
  s.position += s.velocity * dt;
  if (s.position >= spec_.strokeMax || s.position <= spec_.strokeMin) {
    s.position = std::clamp(s.position, spec_.strokeMin, spec_.strokeMax);
    s.velocity = 0.0;
  }

  // A blocked piston turns the valve opening into pressure; a moving one needs a little for
  // friction and the flow losses.
  const double span = spec_.supplyPressure - spec_.restPressure;
  const double vMax = flow > 0 ? spec_.veloPos : spec_.veloNeg;
  const double load = blocked_ ? span * std::min(1.0, std::fabs(flow) * 10.0)
                               : span * 0.1 * std::min(1.0, std::fabs(s.velocity) / vMax);
  const double signedLoad = flow < 0 || (flow == 0 && s.velocity < 0) ? -load : load;
  s.loadPressure += (signedLoad - s.loadPressure) * kPressure_;
}

double HydraulicCylinder::PressureA() const {
  return spec_.restPressure + std::max(0.0, state_.loadPressure);
}

double HydraulicCylinder::PressureB() const {
  return spec_.restPressure + std::max(0.0, -state_.loadPressure);
}

double HydraulicCylinder::Pressure() const {
  return spec_.restPressure + std::fabs(state_.loadPressure);
}

}  // namespace sim
