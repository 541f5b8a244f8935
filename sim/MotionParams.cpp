// Reading the parameters of an emulated axis for its controller.
#include "sim/MotionParams.h"

#include <cmath>

#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace sim {

namespace {

constexpr double kMaxPosition = 1e9;  // mm: positions beyond are refused as malformed
constexpr double kMinRamp = 1e-3;     // mm/s²: a flatter ramp would brake for ever

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

// A limit: 0 (none) or positive.
double Limit(double v) {
  return std::clamp(Finite(v), 0.0, 1e6);
}

}  // namespace

double CycleOf(double cycleTime) {
  return std::isfinite(cycleTime) && cycleTime >= 2.5e-4 && cycleTime <= 0.02 ? cycleTime : 0.002;
}

double MotionAxis::CycleTime() const {
  const ParamStore* store = ParamsOf(axis_);
  return CycleOf(store != nullptr ? store->Record().CycleTime : 0.0);
}

MotionAxis::Params MotionAxis::Read() const {
  static const model::ParamRecord kNone{};
  const ParamStore* store = ParamsOf(axis_);
  const model::ParamRecord& r = store != nullptr ? store->Record() : kNone;
  Params p{};
  p.cycle = CycleOf(r.CycleTime);
  p.vref = Finite(r.ReferenceVelo);
  p.veloRatio = Finite(r.VeloRatio);
  p.acc = Ramp(r.Acceleration);
  p.dec = Ramp(r.Deceleration);
  const double jerk = Finite(r.MaxApplJerk);
  // Jerk limitation: a moving average as long as the steepest ramp takes at the jerk limit.
  p.smoothing = (r.JerkEnabled & 0x0001) != 0 && jerk > 0
                    ? std::clamp(std::max(p.acc, p.dec) / jerk, 0.0, 0.5)
                    : 0.0;
  p.preFeed = std::clamp(Finite(r.PreFeed), 0.0, 2.0);
  p.responseTime = std::clamp(Finite(r.ResponseTime), 0.0, 0.5);
  p.lagKp = std::clamp(Finite(r.LagKp), 0.0, 1000.0);
  p.lagDx = Limit(r.LagDx);
  p.lagTi = Limit(r.LagTi);
  p.lagWuLimit = Limit(r.LagWuLimit);
  p.lagOutLimit = Limit(r.LagOutLimit);
  p.overlapPos = std::clamp(Finite(r.OverlapCompensation), 0.0, 0.5);
  p.overlapNeg = std::clamp(Finite(r.OverlapCompensation2), 0.0, 0.5);
  const double bv = Finite(r.BendPointVelo), bo = Finite(r.BendPointOutput);
  const bool bend = bv > 0.01 && bv < 0.99 && bo > 0.01 && bo < 0.99;
  p.bendVelo = bend ? bv : 0.0;
  p.bendOutput = bend ? bo : 0.0;
  p.encoderStep = std::clamp(Finite(r.EncoderWeighting), 1e-6, 10.0);
  if (!(r.EncoderWeighting > 0)) p.encoderStep = 0.001;
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
  p.emergencyRamp = std::clamp(Finite(r.EmergencyRamp), p.cycle, 10.0);
  p.homePos = Length(r.DefaultHomePos);
  p.searchVelo = Finite(r.IndexSearchVelo);
  p.searchPositive = r.IndexSearchPositive;
  p.jogFast = Finite(r.JogFast);
  p.linLow = p.linHigh = 0.0;
  p.linSettling = 0.2;
  p.linRecovery = 0.1;
  p.tableSize = 0;
  if (const AxisRuntime* rt = RuntimeOf(axis_)) {
    const model::LinRecord& lin = rt->lin;
    p.linLow = Length(lin.LinLowEnd);
    p.linHigh = Length(lin.LinHighEnd);
    p.linSettling = std::clamp(Finite(lin.LinSettling), 0.02, 2.0);
    p.linRecovery = std::clamp(Finite(lin.LinRecovery), 0.0, 2.0);
    if (lin.LinEnableTable && lin.LinSamples >= 2) {
      p.tableSize = std::min<size_t>(static_cast<size_t>(lin.LinSamples), model::kLinTabPoints);
      for (size_t i = 0; i < p.tableSize; ++i) {
        p.tableOutput[i] = std::clamp(Finite(lin.LinTabOutput[i]), -1.0, 1.0);
        p.tableValue[i] = std::clamp(Finite(lin.LinTabValue[i]), -10.0, 10.0);
      }
    }
  }
  return p;
}

}  // namespace sim
