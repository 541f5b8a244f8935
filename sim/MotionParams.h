// Inside the motion of an emulated axis: the parameters the controller of an emulated axis works
// with (sim/Motion.h), read before every run of cycles so that a download acts at once (nothing
// changes them while the cycles run). Non-finite values and ramps too flat to brake read as 0,
// which the start checks refuse and a stop replaces by a ramp of its own; a limit of 0 is no limit.
#pragma once

#include <algorithm>
#include <array>

#include "model/LinRecord.h"
#include "sim/MessageLog.h"
#include "sim/Motion.h"

namespace sim {

struct MotionAxis::Params {
  double cycle;  // s
  double vref, veloRatio, acc, dec, smoothing, preFeed, responseTime;
  double lagKp, lagDx, lagTi, lagWuLimit, lagOutLimit;
  // Valve: overlap compensation for positive and negative outputs, the bend point (velocity and
  // output fractions; off unless both lie strictly between 0 and 1).
  double overlapPos, overlapNeg, bendVelo, bendOutput;
  // The characteristic table, when enabled: `tableSize` points of output and velocity fraction.
  size_t tableSize;
  std::array<double, model::kLinTabPoints> tableOutput, tableValue;
  double encoderStep;  // mm per increment
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

inline constexpr double kStill = 1.0;        // mm/s: below this the axis counts as not moving
inline constexpr double kMeasureTime = 0.1;  // s of a characteristic segment that are measured
inline constexpr int kLevels = 10;           // output levels of the characteristic run per side

inline double Sign(double v) {
  return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0;
}

// Profile limits the generator can work with whatever the parameters say (a client may write
// any double into them).
ProfileLimits Bounded(ProfileLimits l);

// Adds a message to the axis's log, when it has one.
void MotionLog(SimAxis& axis, LogClass cls, const char* format, double value, int32_t code = 0);

// The cycle time of a CycleTime value (s): 2 ms for anything that is no usable cycle.
double CycleOf(double cycleTime);

}  // namespace sim
