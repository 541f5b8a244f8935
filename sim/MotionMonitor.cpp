// The monitors of an emulated axis: the lag monitor, the feed enables, the arrival in the
// target window and its time limit, the end of a stop and of the index search.
#include <cmath>

#include "sim/MotionParams.h"

namespace sim {

namespace {

constexpr double kArrivalLimit = 2.0;  // s after the setpoint arrived to reach the target

}  // namespace

void MotionAxis::Monitor(const Params& p) {
  const double dt = p.cycle;
  const bool still = std::fabs(actualVelo_) < kStill;
  const bool controlled =
      mode_ != Mode::Error && mode_ != Mode::Characteristic && (enableBits_ & kEnableControl) != 0;
  lagTime_ = controlled && p.maxLagOn && std::fabs(lag_) > p.maxLag ? lagTime_ + dt : 0.0;
  if (lagTime_ > p.maxLagFilter) Raise(kErrLag, "Lag error: %.3f mm", lag_);

  // A feed enable taken away stops a motion in its direction.
  if (mode_ == Mode::Position || mode_ == Mode::Jog || mode_ == Mode::Homing) {
    const double dir = Sign(profile_.Target() - profile_.Position());
    if ((dir > 0 && (enableBits_ & kEnableFeedPositive) == 0) ||
        (dir < 0 && (enableBits_ & kEnableFeedNegative) == 0)) {
      MotionLog(axis_, LogClass::Warning, "Feed enable missing", 0.0);
      Stop();
    }
  }

  switch (mode_) {
    case Mode::Position:
      arrivalTime_ = profile_.Done() ? arrivalTime_ + dt : 0.0;
      if (arrivalTime_ > kArrivalLimit + p.targetFilter) {
        Raise(kErrTargetTimeout, "Target not reached, distance %.3f mm", target_ - actual_);
      }
      break;
    case Mode::Stopping:
      if (profile_.Done() && still) {
        mode_ = Mode::Idle;
        target_ = profile_.Target();
      }
      break;
    case Mode::Homing:
      if (homeFound_) {
        if (profile_.Done() && still) {
          homed_ = true;
          mode_ = Mode::Idle;
          target_ = profile_.Target();
          MotionLog(axis_, LogClass::Activity, "Axis homed", 0.0);
        }
      } else if (profile_.Done()) {
        if (homeReversals_ > 0) {
          Raise(kErrTargetTimeout, "Reference index not found", 0.0);
        } else {
          ++homeReversals_;
          homeDir_ = -homeDir_;
          profile_.MoveTo(SearchEnd(homeDir_), homeLimits_);
        }
      }
      break;
    default:
      break;
  }

  const bool canArrive = mode_ == Mode::Idle || mode_ == Mode::Position;
  const bool window =
      canArrive && profile_.Done() && still && std::fabs(target_ - actual_) <= p.targetRange;
  targetTime_ = window ? targetTime_ + dt : 0.0;
  inTarget_ = window && targetTime_ >= p.targetFilter;
  if (mode_ == Mode::Position && inTarget_) {
    mode_ = Mode::Idle;
    arrivalTime_ = 0.0;
  }
}

}  // namespace sim
