#include "sim/Motion.h"

#include <algorithm>
#include <cmath>

#include "oxa/Bytes.h"
#include "sim/MessageLog.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace sim {

namespace {

constexpr double kStill = 1.0;           // mm/s: below this the axis counts as not moving
constexpr double kFar = 1e6;             // mm: the end point of a jog without a soft limit
constexpr double kMaxPosition = 1e9;     // mm: positions beyond are refused as malformed
constexpr double kArrivalLimit = 2.0;    // s after the setpoint arrived to reach the target
constexpr double kIndexWidth = 0.5;      // mm: half the width of the reference index signal
constexpr double kMeasureTime = 0.1;     // s of a characteristic segment that are measured
constexpr double kMinRamp = 1e-3;        // mm/s²: a flatter ramp would brake for ever
constexpr uint64_t kMaxCatchUp = 60000;  // cycles simulated at most in one catch-up
constexpr int kLevels = 10;              // output levels of the characteristic run per side

double Finite(double v) {
  return std::isfinite(v) ? v : 0.0;
}

// A ramp from the parameters: one too flat to ever brake reads as 0 like a missing one.
double Ramp(double v) {
  return Finite(v) >= kMinRamp ? v : 0.0;
}

// A length from the parameters: finite and within the positions the axis accepts.
double Length(double v) {
  return std::clamp(Finite(v), -kMaxPosition, kMaxPosition);
}

// Profile limits the generator can work with whatever the parameters say (a client may write
// any double into them).
ProfileLimits Bounded(ProfileLimits l) {
  l.velocity = std::min(l.velocity, 1e5);
  l.acceleration = std::min(l.acceleration, 1e7);
  l.deceleration = std::min(l.deceleration, 1e7);
  return l;
}

double Sign(double v) {
  return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0;
}

void Log(SimAxis& axis, LogClass cls, const char* format, double value, int32_t code = 0) {
  if (AxisLog* log = LogOf(axis)) log->AddReal(cls, format, value, code);
}

// The cylinder of an axis as its parameters describe it when the emulator starts.
HydraulicSpec SpecOf(SimAxis& axis) {
  HydraulicSpec spec;
  const ParamStore* store = ParamsOf(axis);
  if (store == nullptr) return spec;
  const model::ParamRecord& r = store->Record();
  if (std::isfinite(r.ReferenceVelo) && r.ReferenceVelo > 1.0) spec.veloPos = r.ReferenceVelo;
  const double ratio =
      std::isfinite(r.AreaA) && std::isfinite(r.AreaB) && r.AreaA > 0 && r.AreaB > 0
          ? r.AreaB / r.AreaA
          : 1.0;
  spec.veloNeg = spec.veloPos / std::clamp(ratio, 0.1, 10.0);
  if (std::isfinite(r.ResponseTime) && r.ResponseTime > 0) {
    spec.valveTime = std::min(r.ResponseTime, 1.0);
  }
  // The reference index sits where the axis should read its home position, so that a homed
  // axis reads the stroke as built.
  if (std::isfinite(r.DefaultHomePos) && r.DefaultHomePos > spec.strokeMin &&
      r.DefaultHomePos < spec.strokeMax) {
    spec.indexMark = r.DefaultHomePos;
  }
  if (std::isfinite(r.OverlapCompensation)) {
    spec.overlap = std::clamp(r.OverlapCompensation, 0.0, 0.5);
  }
  return spec;
}

}  // namespace

bool DecodeMoveBlock(std::span<const uint8_t> data, MoveBlock& out) {
  if (data.size() != kMoveBlockLength) return false;
  return oxa::bytes::Get(data, 0, out.mode) && oxa::bytes::Get(data, 4, out.position) &&
         oxa::bytes::Get(data, 12, out.velocity);
}

// The parameters the controller works with, read before every run of cycles so that a download
// acts at once (nothing changes them while the cycles run).
// Non-finite values and ramps too flat to brake read as 0, which the start checks refuse and a
// stop replaces by a ramp of its own.
struct MotionAxis::Params {
  double vref, veloRatio, acc, dec, smoothing, lagKp, preFeed, overlap, responseTime;
  bool maxLagOn;
  double maxLag, maxLagFilter, posRange, targetRange, targetFilter;
  bool softMinOn, softMaxOn;
  double softMin, softMax, emergencyRamp, homePos, searchVelo;
  bool searchPositive;
  double jogFast, linLow, linHigh, linSettling, linRecovery;

  // Guarded values for the control law, which must never divide by 0.
  double Vref() const { return std::max(vref, 1.0); }
  double Ratio() const { return veloRatio > 0.05 ? std::min(veloRatio, 20.0) : 1.0; }
  // Full-output velocity the controller expects in direction `dir`.
  double VMax(double dir) const { return dir >= 0 ? Vref() : Vref() / Ratio(); }
};

MotionAxis::MotionAxis(SimAxis& axis) : axis_(axis), cylinder_(SpecOf(axis)) {
  actual_ = cylinder_.State().position;
  profile_.Reset(actual_);
  target_ = actual_;
}

MotionAxis::Params MotionAxis::Read() const {
  static const model::ParamRecord kNone{};
  const ParamStore* store = ParamsOf(axis_);
  const model::ParamRecord& r = store != nullptr ? store->Record() : kNone;
  Params p{};
  p.vref = Finite(r.ReferenceVelo);
  p.veloRatio = Finite(r.VeloRatio);
  p.acc = Ramp(r.Acceleration);
  p.dec = Ramp(r.Deceleration);
  const double jerk = Finite(r.MaxApplJerk);
  // Jerk limitation: a moving average as long as the steepest ramp takes at the jerk limit.
  p.smoothing = (r.JerkEnabled & 0x0001) != 0 && jerk > 0
                    ? std::clamp(std::max(p.acc, p.dec) / jerk, 0.0, 0.5)
                    : 0.0;
  p.lagKp = std::clamp(Finite(r.LagKp), 0.0, 200.0);
  p.preFeed = std::clamp(Finite(r.PreFeed), 0.0, 2.0);
  p.overlap = std::clamp(Finite(r.OverlapCompensation), 0.0, 0.5);
  p.responseTime = std::clamp(Finite(r.ResponseTime), 0.0, 0.5);
  p.maxLagOn = r.MaxLagEnabled;
  p.maxLag = Length(r.MaxLag);
  p.maxLagFilter = std::clamp(Finite(r.MaxLagFilter), 0.0, 10.0);
  p.posRange = Length(r.PosRange);
  p.targetRange = Length(r.TargetRange);
  p.targetFilter = std::clamp(Finite(r.TargetFilter), 0.0, 10.0);
  p.softMinOn = r.SoftEndMinEnabled;
  p.softMaxOn = r.SoftEndMaxEnabled;
  p.softMin = Length(r.SoftEndMin);
  p.softMax = Length(r.SoftEndMax);
  p.emergencyRamp = std::clamp(Finite(r.EmergencyRamp), kCycle, 10.0);
  p.homePos = Length(r.DefaultHomePos);
  p.searchVelo = Finite(r.IndexSearchVelo);
  p.searchPositive = r.IndexSearchPositive;
  p.jogFast = Finite(r.JogFast);
  p.linLow = p.linHigh = 0.0;
  p.linSettling = 0.2;
  p.linRecovery = 0.1;
  if (const AxisRuntime* rt = RuntimeOf(axis_)) {
    p.linLow = Length(rt->lin.LinLowEnd);
    p.linHigh = Length(rt->lin.LinHighEnd);
    p.linSettling = std::clamp(Finite(rt->lin.LinSettling), 0.02, 2.0);
    p.linRecovery = std::clamp(Finite(rt->lin.LinRecovery), 0.0, 2.0);
  }
  return p;
}

void MotionAxis::Activate() {
  if (!dormant_) return;
  dormant_ = false;
  const AxisRuntime* rt = RuntimeOf(axis_);
  if (rt == nullptr) return;
  // Take over the state the axis was configured with.
  const model::RuntimeRecord& v = rt->values;
  const double pos = std::isfinite(v.ActualPos)
                         ? std::clamp(v.ActualPos, -kMaxPosition, kMaxPosition)
                         : cylinder_.State().position;
  cylinder_.Place(pos);
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
    Log(axis_, LogClass::Activity, "Start to %.3f mm", target);
  } else {
    Log(axis_, LogClass::Activity, "Jog at %.3f mm/s", jogDir_ * velocity);
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
      Log(axis_, LogClass::Warning, "Characteristic run stopped", 0.0);
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
    Log(axis_, LogClass::Activity, "Axis reset", 0.0);
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
  Log(axis_, LogClass::Activity, "Homing started", 0.0);
  return Published(0);
}

double MotionAxis::SearchEnd(int dir) const {
  const HydraulicSpec& s = cylinder_.Spec();
  return (dir > 0 ? s.strokeMax - 2.0 : s.strokeMin + 2.0) + offset_;
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
  Log(axis_, LogClass::Activity, "Actual position set to %.3f mm", position);
  return Published(0);
}

int32_t MotionAxis::StartCharacteristic() {
  Activate();
  const Params p = Read();
  if (const int32_t e = CheckStart(p)) return Published(e);
  if (Moving()) return Published(kErrNotStartable);
  if ((enableBits_ & kEnableFeedPositive) == 0) return Published(kErrNoFeedPositive);
  if ((enableBits_ & kEnableFeedNegative) == 0) return Published(kErrNoFeedNegative);
  mode_ = Mode::Characteristic;
  segment_ = 0;
  runPhase_ = RunPhase::Reposition;
  runTime_ = measured_ = measureTime_ = 0.0;
  runValues_.fill(0.0);
  stopped_ = false;
  inTarget_ = false;
  Log(axis_, LogClass::Activity, "Characteristic run started", 0.0);
  return Published(0);
}

void MotionAxis::EndCharacteristic() {
  mode_ = Mode::Idle;
  command_ = 0.0;
  profile_.Reset(actual_);
  target_ = actual_;
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
  const double cycles = std::floor((now - time_) / kCycle);
  if (cycles > static_cast<double>(kMaxCatchUp)) {
    Run(kMaxCatchUp);
    time_ = now;
    return;
  }
  const auto n = static_cast<uint64_t>(cycles);
  Run(n);
  time_ += static_cast<double>(n) * kCycle;
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
  Log(axis_, LogClass::Error, format, value, code);
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
  cylinder_.Step(driveNotReady_ ? 0.0 : command_, kCycle);
  const double now = cylinder_.State().position;
  if (!encoderFault_) {
    actual_ = now + offset_;
    actualVelo_ = cylinder_.State().velocity;
  } else {
    actualVelo_ = 0.0;
  }
  if (mode_ == Mode::Homing && !homeFound_) {
    const double mark = cylinder_.Spec().indexMark;
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

double MotionAxis::ClosedLoop(const Params& p) {
  const double before = profile_.Velocity();
  profile_.Step(kCycle);
  lag_ = profile_.Position() - actual_;
  // Feed-forward of the setpoint velocity and, over the valve's response time, of its change.
  const double accel = (profile_.Velocity() - before) / kCycle;
  const double v = (profile_.Velocity() + accel * p.responseTime) * p.preFeed + p.lagKp * lag_;
  const double u = std::clamp(v / p.VMax(v), -1.0, 1.0);
  // The valve's overlap is compensated: the output jumps over it, faded in over the first
  // thousandth so that it has no step at zero.
  return u * (1.0 - p.overlap) + p.overlap * std::clamp(u / 0.001, -1.0, 1.0);
}

void MotionAxis::Control(const Params& p) {
  if (mode_ == Mode::Error) {
    // The controller lets go: the output ramps down within the emergency ramp, the setpoint
    // follows the axis.
    const double step = kCycle / p.emergencyRamp;
    command_ = std::fabs(command_) <= step ? 0.0 : command_ - Sign(command_) * step;
    profile_.Reset(actual_);
    lag_ = 0.0;
    return;
  }
  if ((enableBits_ & kEnableControl) == 0) {
    if (mode_ != Mode::Idle) Log(axis_, LogClass::Warning, "Control enable missing", 0.0);
    mode_ = Mode::Idle;
    command_ = 0.0;
    profile_.Reset(actual_);
    target_ = actual_;
    lag_ = 0.0;
    return;
  }
  command_ = ClosedLoop(p);
}

void MotionAxis::CharacteristicCycle(const Params& p) {
  if ((enableBits_ & kEnableControl) == 0) {
    EndCharacteristic();
    Log(axis_, LogClass::Warning, "Characteristic run stopped", 0.0);
    return;
  }
  const int level = static_cast<int>(segment_ / 2) + 1;
  const double dir = segment_ % 2 == 0 ? 1.0 : -1.0;
  const double output = dir * level / kLevels;
  const HydraulicSpec& s = cylinder_.Spec();
  double low = p.linLow, high = p.linHigh;
  if (!(high - low > 20.0)) {
    low = s.strokeMin + offset_ + 5.0;
    high = s.strokeMax + offset_ - 5.0;
  }
  switch (runPhase_) {
    case RunPhase::Reposition: {
      if (runTime_ == 0.0) {
        // Room for the segment: its way at the expected velocity, with a margin.
        const double need =
            std::fabs(output) * p.VMax(dir) * (p.linSettling + kMeasureTime) * 1.2 + 2.0;
        const bool fits = dir > 0 ? actual_ + need < high : actual_ - need > low;
        if (!fits) {
          const double start = dir > 0 ? low + 2.0 : high - 2.0;
          const double velo = std::clamp(p.jogFast, 1.0, p.Vref());
          profile_.MoveTo(start, Bounded({velo, std::max(p.acc, 1.0), std::max(p.dec, 1.0), 0.0}));
        }
      }
      runTime_ += kCycle;
      command_ = ClosedLoop(p);
      if (profile_.Done() && std::fabs(actualVelo_) < kStill) {
        runPhase_ = RunPhase::Drive;
        runTime_ = measured_ = measureTime_ = 0.0;
      }
      return;
    }
    case RunPhase::Drive: {
      command_ = output;
      profile_.Reset(actual_);
      lag_ = 0.0;
      runTime_ += kCycle;
      if (runTime_ > p.linSettling) {
        measured_ += actualVelo_ * kCycle;
        measureTime_ += kCycle;
      }
      const bool outside = dir > 0 ? actual_ >= high : actual_ <= low;
      if (runTime_ >= p.linSettling + kMeasureTime || outside) {
        const double velo = measureTime_ > 0 ? measured_ / measureTime_ : actualVelo_;
        runValues_[static_cast<size_t>(kLevels + static_cast<int>(dir) * level)] =
            velo / p.VMax(dir);
        runPhase_ = RunPhase::Pause;
        runTime_ = 0.0;
      }
      return;
    }
    case RunPhase::Pause:
      command_ = 0.0;
      profile_.Reset(actual_);
      lag_ = 0.0;
      runTime_ += kCycle;
      if (runTime_ < p.linRecovery || std::fabs(actualVelo_) >= kStill) return;
      runTime_ = 0.0;
      runPhase_ = RunPhase::Reposition;
      if (++segment_ < 2 * kLevels) return;
      if (AxisRuntime* rt = RuntimeOf(axis_)) {
        model::LinRecord& lin = rt->lin;
        for (size_t i = 0; i < runValues_.size(); ++i) {
          lin.LinTabOutput[i] = (static_cast<double>(i) - kLevels) / kLevels;
          lin.LinTabValue[i] = runValues_[i];
        }
        lin.LinSamples = static_cast<int16_t>(runValues_.size());
      }
      EndCharacteristic();
      Log(axis_, LogClass::Activity, "Characteristic recorded", 0.0);
      return;
  }
}

void MotionAxis::Monitor(const Params& p) {
  constexpr double dt = kCycle;
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
      Log(axis_, LogClass::Warning, "Feed enable missing", 0.0);
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
          Log(axis_, LogClass::Activity, "Axis homed", 0.0);
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
  v.ActualPressure = cylinder_.Pressure();
  v.ActualPressure2 = cylinder_.PressureA();
  v.ActualPressure3 = cylinder_.PressureB();
  v.ActualVelo = actualVelo_;
  v.SetpointVeloRatio = profile_.Velocity() / p.Vref();
  v.Override = 1.0;
  v.LagController = p.lagKp * lag_;
  v.Lag = lag_;
  v.Distance = target - actual_;
  const double mark = cylinder_.Spec().indexMark;
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
