// The figures of a step response: how an axis followed a move from its start position to its
// target. docs/trend.md defines each one; every figure is a pure function of the recorded
// curves so that it can be checked on curves with known answers.
//
// Times are in seconds from the command, positions in mm. A figure that a curve does not
// yield (a level never reached, a band never settled in, a step of zero) is NaN.
#pragma once

#include <span>

namespace trend {

// The curves of one move, sample by sample; every span has the length of `t`, `t` rises.
struct StepCurve {
  std::span<const double> t;
  std::span<const double> pos;   // ActualPos
  std::span<const double> lag;   // Lag
  std::span<const double> velo;  // ActualVelo
};

struct StepFigures {
  double start = 0;             // mm, where the axis stood at the command
  double target = 0;            // mm
  double riseTime = 0;          // s, 10 % to 90 % of the step
  double overshoot = 0;         // mm beyond the target, 0 when none
  double overshootPercent = 0;  // % of the step
  double settlingTime = 0;      // s from the command until it stays within the band
  double peakLag = 0;           // mm, the following error of largest magnitude, signed
  double steadyStateError = 0;  // mm, target minus the mean position at the end
  double peakVelocity = 0;      // mm/s, of largest magnitude, signed
};

// The moment `y` first reaches `level` coming from `start`, interpolated between samples.
double CrossingTime(std::span<const double> t, std::span<const double> y, double start,
                    double level);
// From 10 % to 90 % of the step from `start` to `target`.
double RiseTime(std::span<const double> t, std::span<const double> y, double start, double target);
// How far `y` went beyond `target` in the direction of the step, in mm (0 when never).
double Overshoot(std::span<const double> y, double start, double target);
// The moment after which `y` stays within `band` of `target` up to the last sample
// (interpolated); 0 when it never left, NaN when the last sample is outside.
double SettlingTime(std::span<const double> t, std::span<const double> y, double target,
                    double band);
// The value of largest magnitude, with its sign.
double PeakValue(std::span<const double> v);
// `target` minus the mean of `y` over the last tenth of the time the curve spans.
double SteadyStateError(std::span<const double> t, std::span<const double> y, double target);

// All figures of `curve` for a step from `start` to `target`, settling into `band` (mm).
StepFigures MeasureStep(const StepCurve& curve, double start, double target, double band);

}  // namespace trend
