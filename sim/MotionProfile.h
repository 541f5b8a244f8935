// The setpoint generator of an emulated axis: a trapezoidal velocity profile computed cycle by
// cycle (so that a new target, a jog or a stop can take over at any time), optionally smoothed by
// a moving average of the velocity, which limits the jerk without moving the end point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct ProfileLimits {
  double velocity = 0.0;      // mm/s, > 0
  double acceleration = 0.0;  // mm/s², > 0
  double deceleration = 0.0;  // mm/s², > 0
  double smoothing = 0.0;     // s, length of the moving average; 0: plain trapezoid
};

// Time from rest to rest over `distance` with `limits`, as the generator runs it (up to one
// cycle of rounding).
double ProfileDuration(double distance, const ProfileLimits& limits);

class MotionProfile {
 public:
  enum class Phase : uint8_t { Idle, Accelerating, Constant, Decelerating };

  // Starts at rest at `position`.
  void Reset(double position);
  // A move to `target`; a move in progress is taken over from its current velocity.
  void MoveTo(double target, const ProfileLimits& limits);
  // A stop with the given deceleration (the other limits stay).
  void Stop(double deceleration);
  // Moves the whole profile by `delta` (the position scale changed under it).
  void Shift(double delta);
  // Advances by one cycle of `dt` seconds.
  void Step(double dt);

  double Position() const { return position_; }  // smoothed setpoint
  double Velocity() const { return velocity_; }  // smoothed setpoint velocity
  double Target() const { return target_; }
  Phase CurrentPhase() const { return phase_; }
  // True once the setpoint stands still at its end point.
  bool Done() const { return phase_ == Phase::Idle && velocity_ == 0.0 && rawPosition_ == target_; }

 private:
  void Resize(double dt);

  ProfileLimits limits_;
  double target_ = 0.0;
  double rawPosition_ = 0.0;
  double rawVelocity_ = 0.0;
  double position_ = 0.0;
  double velocity_ = 0.0;
  bool stopping_ = false;
  Phase phase_ = Phase::Idle;
  // Moving average of the raw velocity.
  std::vector<double> window_;
  size_t windowAt_ = 0;
  double windowSum_ = 0.0;
  size_t nonZero_ = 0;  // samples in the window that are not 0
  double windowDt_ = 0.0;
};

}  // namespace sim
