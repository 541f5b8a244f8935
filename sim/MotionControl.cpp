// The position controller of an emulated axis: the setpoint generator's position and velocity,
// a lag controller (P, integral within a window, windup and output limits) with feed-forward,
// and the valve output shaped as the parameters describe the valve (velocity ratio, bend point,
// overlap compensation or the recorded characteristic). It sees the cylinder only through the
// quantised encoder position and the measured velocity.
#include <cmath>

#include "sim/MotionParams.h"

namespace sim {

namespace {

// Output fraction for velocity fraction `w` (-1 to 1) through the characteristic table: the
// first segment that holds `w`, else the nearer end.
double FromTable(const MotionAxis::Params& p, double w) {
  size_t best = 0;
  for (size_t i = 0; i + 1 < p.tableSize; ++i) {
    const double a = p.tableValue[i], b = p.tableValue[i + 1];
    if (a != b && (w - a) * (w - b) <= 0) {
      const double t = (w - a) / (b - a);
      return p.tableOutput[i] + t * (p.tableOutput[i + 1] - p.tableOutput[i]);
    }
    if (std::fabs(p.tableValue[i + 1] - w) < std::fabs(p.tableValue[best] - w)) best = i + 1;
  }
  return p.tableOutput[best];
}

// The valve output for velocity fraction `w`.
double Shape(const MotionAxis::Params& p, double w) {
  if (p.tableSize > 0) return FromTable(p, w);
  double u = std::fabs(w);
  if (p.bendVelo > 0) {
    u = u <= p.bendVelo ? u * p.bendOutput / p.bendVelo
                        : p.bendOutput + (u - p.bendVelo) * (1 - p.bendOutput) / (1 - p.bendVelo);
  }
  // The valve's overlap is compensated: the output jumps over it, faded in over the first
  // thousandth so that it has no step at zero.
  const double overlap = w >= 0 ? p.overlapPos : p.overlapNeg;
  u = u * (1.0 - overlap) + overlap * std::min(u / 0.001, 1.0);
  return Sign(w) * std::min(u, 1.0);
}

}  // namespace

void MotionAxis::Measure(const Params& p) {
  if (encoderFault_) {
    actualVelo_ = 0.0;
    return;
  }
  const HydraulicState& s = cylinder_.State();
  actual_ = std::round(s.position / p.encoderStep) * p.encoderStep + offset_;
  actualVelo_ = s.velocity;
}

double MotionAxis::ClosedLoop(const Params& p) {
  const double before = profile_.Velocity();
  profile_.Step(p.cycle);
  lag_ = profile_.Position() - actual_;
  // Feed-forward of the setpoint velocity and, over the valve's response time, of its change.
  const double accel = (profile_.Velocity() - before) / p.cycle;
  const double feed = (profile_.Velocity() + accel * p.responseTime) * p.preFeed;
  // The integral part works only within the window of dX around the setpoint, so that it does
  // not wind up during a move.
  if (p.lagTi > 0 && (p.lagDx <= 0 || std::fabs(lag_) <= p.lagDx)) {
    integral_ += p.lagKp * lag_ * p.cycle / p.lagTi;
    if (p.lagWuLimit > 0) integral_ = std::clamp(integral_, -p.lagWuLimit, p.lagWuLimit);
  } else if (p.lagTi <= 0) {
    integral_ = 0.0;
  }
  correction_ = p.lagKp * lag_ + integral_;
  if (p.lagOutLimit > 0) correction_ = std::clamp(correction_, -p.lagOutLimit, p.lagOutLimit);
  const double v = feed + correction_;
  return Shape(p, std::clamp(v / p.VMax(v), -1.0, 1.0));
}

void MotionAxis::Control(const Params& p) {
  if (mode_ == Mode::Error) {
    // The controller lets go: the output ramps down within the emergency ramp, the setpoint
    // follows the axis.
    const double step = p.cycle / p.emergencyRamp;
    command_ = std::fabs(command_) <= step ? 0.0 : command_ - Sign(command_) * step;
    profile_.Reset(actual_);
    lag_ = integral_ = correction_ = 0.0;
    return;
  }
  if ((enableBits_ & kEnableControl) == 0) {
    if (mode_ != Mode::Idle) MotionLog(axis_, LogClass::Warning, "Control enable missing", 0.0);
    mode_ = Mode::Idle;
    command_ = 0.0;
    profile_.Reset(actual_);
    target_ = actual_;
    lag_ = integral_ = correction_ = 0.0;
    return;
  }
  command_ = ClosedLoop(p);
}

}  // namespace sim
