#include "sim/MotionProfile.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr size_t kMaxWindow = 4096;

}  // namespace

double ProfileDuration(double distance, const ProfileLimits& l) {
  const double d = std::fabs(distance);
  if (d == 0.0) return 0.0;
  const double v = l.velocity, a = l.acceleration, b = l.deceleration;
  const double ramps = v * v / (2 * a) + v * v / (2 * b);
  double t = 0.0;
  if (d >= ramps) {
    t = (d - ramps) / v + v / a + v / b;
  } else {
    const double peak = std::sqrt(2 * d * a * b / (a + b));
    t = peak / a + peak / b;
  }
  return t + l.smoothing;
}

void MotionProfile::Reset(double position) {
  target_ = rawPosition_ = position_ = position;
  rawVelocity_ = velocity_ = 0.0;
  stopping_ = false;
  phase_ = Phase::Idle;
  std::fill(window_.begin(), window_.end(), 0.0);
  windowAt_ = 0;
  windowSum_ = 0.0;
  nonZero_ = 0;
}

void MotionProfile::MoveTo(double target, const ProfileLimits& limits) {
  limits_ = limits;
  target_ = target;
  stopping_ = false;
}

void MotionProfile::Stop(double deceleration) {
  limits_.deceleration = deceleration;
  // The point where the generator comes to rest braking with `deceleration` from now on
  // (the discrete braking curve of Step, one cycle included).
  const double v = std::fabs(rawVelocity_);
  const double dt = windowDt_ > 0 ? windowDt_ : 0.001;
  const double way = (v * v + v * deceleration * dt) / (2 * deceleration);
  target_ = rawPosition_ + (rawVelocity_ < 0 ? -way : way);
  stopping_ = true;
}

void MotionProfile::Shift(double delta) {
  target_ += delta;
  rawPosition_ += delta;
  position_ += delta;
}

void MotionProfile::Resize(double dt) {
  windowDt_ = dt;
  const double n = std::round(limits_.smoothing / dt);
  const size_t size = n >= 1 ? std::min(kMaxWindow, static_cast<size_t>(n)) : 1;
  if (size == window_.size()) return;
  window_.assign(size, 0.0);
  windowAt_ = 0;
  windowSum_ = 0.0;
}

void MotionProfile::Step(double dt) {
  // The smoothing length follows the limits only while the window is empty, so that it never
  // changes the end point of a move in progress.
  if ((nonZero_ == 0 && rawVelocity_ == 0.0) || window_.empty()) Resize(dt);

  const double before = rawPosition_;
  const double rem = target_ - rawPosition_;
  Phase phase = Phase::Idle;
  if (rem != 0.0 || rawVelocity_ != 0.0) {
    const double dir = rem > 0 || (rem == 0 && rawVelocity_ < 0) ? 1.0 : -1.0;
    const double a = limits_.acceleration, b = limits_.deceleration;
    double s = rawVelocity_ * dir;  // speed towards the target
    const double old = s;
    if (s < 0) {
      s = std::min(0.0, s + b * dt);  // moving away: brake first
      phase = Phase::Decelerating;
    } else {
      const double brake = std::sqrt(b * b * dt * dt / 4 + 2 * b * std::fabs(rem)) - b * dt / 2;
      const double wanted = std::min(stopping_ ? old : limits_.velocity, brake);
      s = s < wanted ? std::min(wanted, s + a * dt) : std::max(wanted, s - b * dt);
      phase = s > old ? Phase::Accelerating : s < old ? Phase::Decelerating : Phase::Constant;
    }
    if (s >= 0 && std::fabs(rem) <= s * dt) {
      rawPosition_ = target_;
      rawVelocity_ = 0.0;
    } else {
      rawPosition_ += dir * s * dt;
      rawVelocity_ = dir * s;
    }
  }

  // Moving average of the raw velocity: the smoothed setpoint covers the same way.
  const double sample = (rawPosition_ - before) / dt;
  double& slot = window_[windowAt_];
  if (slot != 0.0) --nonZero_;
  if (sample != 0.0) ++nonZero_;
  windowSum_ += sample - slot;
  slot = sample;
  windowAt_ = (windowAt_ + 1) % window_.size();
  if (nonZero_ == 0 && rawVelocity_ == 0.0) {
    windowSum_ = 0.0;
    velocity_ = 0.0;
    position_ = rawPosition_;
    phase_ = Phase::Idle;
    stopping_ = false;
    return;
  }
  velocity_ = windowSum_ / static_cast<double>(window_.size());
  position_ += velocity_ * dt;
  phase_ = phase == Phase::Idle ? Phase::Decelerating : phase;
}

}  // namespace sim
