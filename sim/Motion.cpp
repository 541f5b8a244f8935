#include "sim/Motion.h"

#include <algorithm>
#include <cmath>

#include "oxa/Bytes.h"
#include "sim/MotionParams.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace sim {

namespace {

constexpr double kFar = 1e6;          // mm: the end point of a jog without a soft limit
constexpr double kMaxPosition = 1e9;  // mm: positions beyond are refused as malformed
constexpr double kIndexWidth = 0.5;   // mm: half the width of the reference index signal
constexpr double kMaxCatchUp = 60.0;  // s simulated at most in one catch-up

}  // namespace

bool DecodeMoveBlock(std::span<const uint8_t> data, MoveBlock& out) {
  if (data.size() != kMoveBlockLength) return false;
  return oxa::bytes::Get(data, 0, out.mode) && oxa::bytes::Get(data, 4, out.position) &&
         oxa::bytes::Get(data, 12, out.velocity);
}

void MotionLog(SimAxis& axis, LogClass cls, const char* format, double value, int32_t code) {
  if (AxisLog* log = LogOf(axis)) log->AddReal(cls, format, value, code);
}

ProfileLimits Bounded(ProfileLimits l) {
  l.velocity = std::min(l.velocity, 1e5);
  l.acceleration = std::min(l.acceleration, 1e7);
  l.deceleration = std::min(l.deceleration, 1e7);
  return l;
}

MotionAxis::MotionAxis(SimAxis& axis) : axis_(axis) {
  actual_ = cylinder_.State().position;
  profile_.Reset(actual_);
  target_ = actual_;
}

void MotionAxis::SetHydraulics(const HydraulicSpec& spec) {
  const bool stuck = cylinder_.ValveStuck(), jammed = cylinder_.Jammed();
  cylinder_ = HydraulicCylinder(spec);
  cylinder_.SetValveStuck(stuck);
  cylinder_.SetJammed(jammed);
  offset_ = 0.0;
  actual_ = cylinder_.State().position;
  profile_.Reset(actual_);
  target_ = actual_;
}

void MotionAxis::Activate() {
  if (!dormant_) return;
  dormant_ = false;
  const AxisRuntime* rt = RuntimeOf(axis_);
  if (rt == nullptr) return;
  // Take over the state the axis was configured with: the piston stays where it is, and the
  // encoder's zero lies where the configured position puts it.
  const model::RuntimeRecord& v = rt->values;
  const double pos = std::isfinite(v.ActualPos)
                         ? std::clamp(v.ActualPos, -kMaxPosition, kMaxPosition)
                         : cylinder_.State().position + offset_;
  offset_ = pos - cylinder_.State().position;
  actual_ = pos;
  profile_.Reset(pos);
  target_ = pos;
  homed_ = (v.StateBits & kStateHomed) != 0;
  enableBits_ = v.EnableBits & (kEnableControl | kEnableFeedPositive | kEnableFeedNegative);
  error_ = v.ErrorCode;
  mode_ = error_ != 0 ? Mode::Error : Mode::Idle;
}

int32_t MotionAxis::Published(int32_t result) {
  Publish(Read());
  return result;
}

bool MotionAxis::Moving() const {
  return (mode_ != Mode::Idle && mode_ != Mode::Error) || std::fabs(actualVelo_) >= kStill;
}

int32_t MotionAxis::CheckStart(const Params& p) const {
  if (error_ != 0) return kErrAxisNotReady;
  if (mode_ == Mode::Homing || mode_ == Mode::Characteristic) return kErrNotStartable;
  if ((enableBits_ & kEnableControl) == 0) return kErrNoControlEnable;
  if (!(p.vref > 0)) return kErrReferenceVelo;
  if (!(p.acc > 0)) return kErrAcceleration;
  if (!(p.dec > 0)) return kErrDeceleration;
  return 0;
}

int32_t MotionAxis::Move(int32_t mode, double position, double velocity) {
  Activate();
  const Params p = Read();
  if (const int32_t e = CheckStart(p)) return Published(e);
  if (mode != 1 && mode != 3 && mode != 4) return Published(kErrStartType);
  if (!std::isfinite(velocity) || velocity <= 0 || velocity > p.vref)
    return Published(kErrVelocity);
  double target = 0.0;
  bool limited = true;  // the end point is a real position, not the far end of a jog
  if (mode == 1) {
    if (!std::isfinite(position) || std::fabs(position) > kMaxPosition)
      return Published(kErrBeyondSoftLimit);
    if ((p.softMinOn && position < p.softMin) || (p.softMaxOn && position > p.softMax)) {
      return Published(kErrBeyondSoftLimit);
    }
    target = position;
  } else if (mode == 3) {
    if (p.softMaxOn && profile_.Position() >= p.softMax) return Published(kErrBeyondSoftLimit);
    limited = p.softMaxOn;
    target = limited ? p.softMax : actual_ + kFar;
  } else {
    if (p.softMinOn && profile_.Position() <= p.softMin) return Published(kErrBeyondSoftLimit);
    limited = p.softMinOn;
    target = limited ? p.softMin : actual_ - kFar;
  }
  const double from = profile_.Position();
  const double way = target - from;
  if (way > 0 && (enableBits_ & kEnableFeedPositive) == 0) return Published(kErrNoFeedPositive);
  if (way < 0 && (enableBits_ & kEnableFeedNegative) == 0) return Published(kErrNoFeedNegative);
  const double v = profile_.Velocity();
  if (v * way > 0 && std::fabs(way) < v * v / (2 * std::min(p.dec, 1e7))) {
    return Published(kErrBelowBrakeDistance);
  }

  const ProfileLimits limits = Bounded({velocity, p.acc, p.dec, p.smoothing});
  profile_.MoveTo(target, limits);
  predicted_ = ProfileDuration(way, limits);
  mode_ = mode == 1 ? Mode::Position : Mode::Jog;
  jogDir_ = mode == 1 ? 0 : mode == 3 ? 1 : -1;
  jogLimited_ = limited;
  target_ = target;
  stopped_ = false;
  inTarget_ = false;
  targetTime_ = arrivalTime_ = 0.0;
  if (mode == 1) {
    MotionLog(axis_, LogClass::Activity, "Start to %.3f mm", target);
  } else {
    MotionLog(axis_, LogClass::Activity, "Jog at %.3f mm/s", jogDir_ * velocity);
  }
  return Published(0);
}

int32_t MotionAxis::Stop() {
  Activate();
  const Params p = Read();
  switch (mode_) {
    case Mode::Position:
    case Mode::Jog:
    case Mode::Homing:
      stopFromJog_ = mode_ == Mode::Jog;
      profile_.Stop(p.dec > 0 ? std::min(p.dec, 1e7) : 1000.0);
      mode_ = Mode::Stopping;
      stopped_ = true;
      target_ = profile_.Target();
      jogLimited_ = true;
      break;
    case Mode::Characteristic:
      EndCharacteristic();
      stopped_ = true;
      MotionLog(axis_, LogClass::Warning, "Characteristic run stopped", 0.0);
      break;
    default:
      break;
  }
  return Published(0);
}

int32_t MotionAxis::Reset() {
  Activate();
  if (error_ != 0) {
    error_ = 0;
    mode_ = Mode::Idle;
    profile_.Reset(actual_);
    target_ = actual_;
    lagTime_ = arrivalTime_ = 0.0;
    MotionLog(axis_, LogClass::Activity, "Axis reset", 0.0);
    return Published(0);
  }
  return Stop();
}

int32_t MotionAxis::Home() {
  Activate();
  const Params p = Read();
  if (const int32_t e = CheckStart(p)) return Published(e);
  // The index search velocity is a fraction of the reference velocity.
  const double velocity = p.searchVelo * p.vref;
  if (!(velocity > 0) || velocity > p.vref) return Published(kErrVelocity);
  homeDir_ = p.searchPositive ? 1 : -1;
  const uint32_t feed = homeDir_ > 0 ? kEnableFeedPositive : kEnableFeedNegative;
  if ((enableBits_ & feed) == 0)
    return Published(homeDir_ > 0 ? kErrNoFeedPositive : kErrNoFeedNegative);
  homeReversals_ = 0;
  homeFound_ = false;
  homed_ = false;
  homeLimits_ = Bounded({velocity, p.acc, p.dec, p.smoothing});
  profile_.MoveTo(SearchEnd(homeDir_), homeLimits_);
  mode_ = Mode::Homing;
  stopped_ = false;
  inTarget_ = false;
  target_ = actual_;
  MotionLog(axis_, LogClass::Activity, "Homing started", 0.0);
  return Published(0);
}

double MotionAxis::SearchEnd(int dir) const {
  return (dir > 0 ? cylinder_.Spec().strokeMm - 2.0 : 2.0) + offset_;
}

int32_t MotionAxis::SetPosition(double position) {
  Activate();
  if (encoderFault_) return Published(kErrSetPosition);
  if (Moving()) return Published(kErrNotStartable);
  const double delta = position - actual_;
  offset_ += delta;
  actual_ = position;
  profile_.Reset(position);
  target_ = position;
  homed_ = true;
  inTarget_ = false;
  targetTime_ = 0.0;
  MotionLog(axis_, LogClass::Activity, "Actual position set to %.3f mm", position);
  return Published(0);
}

void MotionAxis::SetEnableBits(uint32_t bits) {
  Activate();
  enableBits_ = bits & (kEnableControl | kEnableFeedPositive | kEnableFeedNegative);
  Published(0);
}

void MotionAxis::SetFault(MotionFault fault, bool on) {
  Activate();
  switch (fault) {
    case MotionFault::ValveStuck:
      cylinder_.SetValveStuck(on);
      break;
    case MotionFault::LagError:
      cylinder_.SetJammed(on);
      break;
    case MotionFault::EncoderFault:
      encoderFault_ = on;
      if (on) homed_ = false;
      break;
    case MotionFault::DriveNotReady:
      driveNotReady_ = on;
      break;
  }
  Published(0);
}

bool MotionAxis::FaultOn(MotionFault fault) const {
  switch (fault) {
    case MotionFault::ValveStuck:
      return cylinder_.ValveStuck();
    case MotionFault::LagError:
      return cylinder_.Jammed();
    case MotionFault::EncoderFault:
      return encoderFault_;
    case MotionFault::DriveNotReady:
      return driveNotReady_;
  }
  return false;
}

void MotionAxis::AdvanceTo(double now) {
  if (!std::isfinite(now)) return;
  if (!timeKnown_ || dormant_) {
    time_ = now;
    timeKnown_ = true;
    return;
  }
  if (!(now > time_)) return;
  const Params p = Read();
  const double cycles = std::floor((now - time_) / p.cycle);
  if (cycles * p.cycle > kMaxCatchUp) {
    const auto n = static_cast<uint64_t>(kMaxCatchUp / p.cycle);
    for (uint64_t i = 0; i < n; ++i) Cycle(p);
    time_ = now;
    return;
  }
  const auto n = static_cast<uint64_t>(cycles);
  for (uint64_t i = 0; i < n; ++i) Cycle(p);
  time_ += static_cast<double>(n) * p.cycle;
}

void MotionAxis::Run(uint64_t cycles) {
  if (dormant_) return;
  const Params p = Read();
  for (uint64_t i = 0; i < cycles; ++i) Cycle(p);
}

void MotionAxis::Raise(int32_t code, const char* format, double value) {
  if (error_ != 0) return;
  error_ = code;
  mode_ = Mode::Error;
  inTarget_ = false;
  MotionLog(axis_, LogClass::Error, format, value, code);
}

void MotionAxis::Cycle(const Params& p) {
  if (driveNotReady_) Raise(kErrDriveNotReady, "Drive fault: drive unit not ready", 0.0);
  if (encoderFault_) Raise(kErrEncoder, "Encoder fault", 0.0);
  if (mode_ == Mode::Characteristic) {
    CharacteristicCycle(p);
  } else {
    Control(p);
  }
  const double before = cylinder_.State().position;
  cylinder_.Step(driveNotReady_ ? 0.0 : command_, p.cycle);
  const double now = cylinder_.State().position;
  Measure(p);
  if (mode_ == Mode::Homing && !homeFound_) {
    const double mark = IndexMark();
    const bool crossed = homeDir_ > 0 ? before <= mark && now > mark : before >= mark && now < mark;
    if (crossed && !encoderFault_) {
      // The index sets the scale: here the axis stands at the home position.
      const double delta = p.homePos + (now - mark) - actual_;
      offset_ += delta;
      actual_ += delta;
      profile_.Shift(delta);
      profile_.Stop(p.dec > 0 ? std::min(p.dec, 1e7) : 1000.0);
      homeFound_ = true;
    }
  }
  Monitor(p);
  Publish(p);
}

int16_t MotionAxis::StepCode() const {
  const MotionProfile::Phase phase = profile_.CurrentPhase();
  const bool up = profile_.Target() >= profile_.Position();
  switch (mode_) {
    case Mode::Idle:
      return kStepIdle;
    case Mode::Error:
      return command_ != 0.0 || std::fabs(actualVelo_) >= kStill ? kStepEmergencyBreak : kStepFault;
    case Mode::Characteristic:
      return kStepExtGenerated;
    case Mode::Jog:
      if (profile_.Done()) return jogDir_ > 0 ? kStepFeedStopPos : kStepFeedStopNeg;
      if (phase == MotionProfile::Phase::Accelerating) return up ? kStepCvAccP : kStepCvAccM;
      if (phase == MotionProfile::Phase::Constant) return up ? kStepConstVeloP : kStepConstVeloM;
      return up ? kStepCvDecP : kStepCvDecM;
    case Mode::Stopping:
      if (stopFromJog_) return profile_.Velocity() >= 0 ? kStepCvDecP : kStepCvDecM;
      return profile_.Velocity() >= 0 ? kStepPcDecP : kStepPcDecM;
    case Mode::Position:
    case Mode::Homing:
      break;
  }
  if (phase == MotionProfile::Phase::Accelerating) return up ? kStepPcAccP : kStepPcAccM;
  if (phase == MotionProfile::Phase::Constant) return up ? kStepConstVeloP : kStepConstVeloM;
  return up ? kStepPcDecP : kStepPcDecM;
}

int16_t MotionAxis::StateCode() const {
  switch (mode_) {
    case Mode::Idle:
      return (enableBits_ & kEnableControl) != 0 ? kStateStandstill : kStateDisabled;
    case Mode::Position:
      return kStateDiscreteMotion;
    case Mode::Jog:
    case Mode::Characteristic:
      return kStateContinuousMotion;
    case Mode::Stopping:
      return kStateStopping;
    case Mode::Homing:
      return kStateHoming;
    case Mode::Error:
      return kStateErrorStop;
  }
  return kStateStandstill;
}

void MotionAxis::Publish(const Params& p) {
  AxisRuntime* rt = RuntimeOf(axis_);
  if (rt == nullptr) return;
  model::RuntimeRecord& v = rt->values;
  const bool still = std::fabs(actualVelo_) < kStill;
  // A jog without a soft limit and the index search have no end point to show: they show where
  // the setpoint is.
  const double target =
      (mode_ == Mode::Jog && !jogLimited_) || mode_ == Mode::Homing ? profile_.Position() : target_;
  v.ActualPos = actual_;
  v.SetpointPos = profile_.Position();
  v.TargetPos = v.TargetPosAux = target;
  v.ActualPressure = cylinder_.PressureA();
  v.ActualPressure2 = cylinder_.PressureB();
  v.ActualPressure3 = cylinder_.Spec().supplyBar;
  v.ActualVelo = actualVelo_;
  v.SetpointVeloRatio = profile_.Velocity() / p.Vref();
  v.Override = 1.0;
  v.LagController = correction_;
  v.Lag = lag_;
  v.Distance = target - actual_;
  const double mark = IndexMark();
  v.EnableBits = enableBits_ |
                 (std::fabs(cylinder_.State().position - mark) < kIndexWidth ? kEnableRefIndex : 0);
  uint32_t bits = 0;
  if (error_ == 0 && !driveNotReady_) bits |= kStateReady;
  if (homed_) bits |= kStateHomed;
  if (still) bits |= kStateNotMoving;
  if (mode_ != Mode::Error && std::fabs(target_ - actual_) <= p.posRange) bits |= kStateInRange;
  if (inTarget_) bits |= kStateInTarget;
  if (stopped_) bits |= kStateStopped;
  if (actualVelo_ >= kStill) bits |= kStateMovingUp;
  if (actualVelo_ <= -kStill) bits |= kStateMovingDown;
  v.StateBits = bits;
  v.ErrorCode = error_;
  v.AxisState = StateCode();
  v.CurrentStep = StepCode();
  rt->valveOutput = driveNotReady_ ? 0.0 : command_;
  rt->powerOn = rt->enabled = !driveNotReady_;
}

}  // namespace sim
