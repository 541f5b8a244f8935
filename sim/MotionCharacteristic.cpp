// The characteristic run of an emulated axis: at ten output levels in each direction it drives
// the valve open loop, measures the velocity it reaches, and writes the velocities as fractions
// of the expected full-output velocity into the linearisation table.
#include <cmath>

#include "sim/MotionParams.h"
#include "sim/RuntimeRecords.h"

namespace sim {

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
  MotionLog(axis_, LogClass::Activity, "Characteristic run started", 0.0);
  return Published(0);
}

void MotionAxis::EndCharacteristic() {
  mode_ = Mode::Idle;
  command_ = 0.0;
  profile_.Reset(actual_);
  target_ = actual_;
}

void MotionAxis::CharacteristicCycle(const Params& p) {
  if ((enableBits_ & kEnableControl) == 0) {
    EndCharacteristic();
    MotionLog(axis_, LogClass::Warning, "Characteristic run stopped", 0.0);
    return;
  }
  const int level = static_cast<int>(segment_ / 2) + 1;
  const double dir = segment_ % 2 == 0 ? 1.0 : -1.0;
  const double output = dir * level / kLevels;
  double low = p.linLow, high = p.linHigh;
  if (!(high - low > 20.0)) {
    low = offset_ + 5.0;
    high = cylinder_.Spec().strokeMm + offset_ - 5.0;
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
      runTime_ += p.cycle;
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
      runTime_ += p.cycle;
      if (runTime_ > p.linSettling) {
        measured_ += actualVelo_ * p.cycle;
        measureTime_ += p.cycle;
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
      runTime_ += p.cycle;
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
      MotionLog(axis_, LogClass::Activity, "Characteristic recorded", 0.0);
      return;
  }
}

}  // namespace sim
