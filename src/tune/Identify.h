// What the tuning runs measure of an axis, as pure functions on recorded samples.
//
// The velocity characteristic comes from constant-velocity moves: on the plateau of each the
// axis moves at the commanded velocity, and the valve output the controller needed for it is
// known from the setpoint velocity, the lag controller's output and the parameters that shape
// the output. A straight (or bent) line through these points per direction gives the velocity
// at full output, the overlap (the output at zero velocity) and the knee of the curve.
//
// The dynamics come from the ringing after the setpoint of a short, steep move has stopped: a
// damped sinusoid (with a slow real mode beside it) fitted by linear prediction to the actual
// velocity gives the hydraulic natural frequency and its damping.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "model/ParamRecord.h"
#include "trend/Channels.h"

namespace tune {

// How the controller turns a velocity into a valve output: the parameters it worked with
// during the run.
struct OutputShape {
  double referenceVelo = 0;  // mm/s
  double veloRatio = 1;
  double preFeed = 1;
  double bendVelo = 0;  // fractions; 0: straight
  double bendOutput = 0;
  double overlapPos = 0;  // fractions of the full output
  double overlapNeg = 0;

  static OutputShape Of(const model::ParamRecord& p);
};

// The valve output (-1 to 1) the controller sends for a setpoint velocity (mm/s) and the lag
// controller's output (mm/s), at constant velocity.
double ValveOutput(const OutputShape& shape, double setpointVelo, double lagController);

// One steady point of the characteristic: the mean actual velocity and the mean valve output
// over the plateau of a constant-velocity move.
struct VeloPoint {
  double velocity = 0;  // mm/s, signed
  double output = 0;    // -1 to 1, signed
};

// The plateau of a move commanded at `velocity` (mm/s, signed): the samples whose setpoint
// velocity is within 0.5 % of it, after the first `settle` fraction of them (the transient
// after the ramp). None when fewer than five samples remain.
std::optional<VeloPoint> SteadyPoint(std::span<const trend::Sample> samples, double velocity,
                                     const OutputShape& shape, double settle = 0.4);

// The valve characteristic of one direction, in magnitudes.
struct DirectionFit {
  double fullVelo = 0;  // mm/s at full output
  double overlap = 0;   // output at which the axis starts to move (fraction)
  // The knee: velocity fraction and output fraction (after the overlap), both 0.5 for a
  // straight line.
  double bendVelo = 0.5;
  double bendOutput = 0.5;
  bool bent = false;
  double rms = 0;  // rms residual of the output (fraction)
};

// Fits output = overlap + (1 − overlap)·g(v / fullVelo) to the points of one sign, g straight
// or bent once (a knee is kept when it lowers the residual by at least half and its slopes
// differ by 10 % or more). Needs two points of that sign (four for a knee); none otherwise.
std::optional<DirectionFit> FitDirection(std::span<const VeloPoint> points, bool positive);

struct Characteristic {
  DirectionFit out;      // extending
  DirectionFit in;       // retracting
  double veloRatio = 1;  // out / in
};
std::optional<Characteristic> FitCharacteristic(std::span<const VeloPoint> points);

// A damped oscillation: natural frequency ω (rad/s) and damping ratio ζ.
struct Ringing {
  double omega = 0;
  double zeta = 0;
  double HzNatural() const;
};

// Fits the ringing of `channel` in the samples with t0 <= t <= t1, resampled evenly at their
// mean rate: a fourth-order linear prediction by least squares, whose lightest-damped complex
// pole pair is the ringing. None for fewer than 12 samples, or when no complex pair lies
// between 0.5 Hz and a quarter of the sampling rate.
std::optional<Ringing> FitRinging(std::span<const trend::Sample> samples, double t0, double t1,
                                  size_t channel = trend::kActualVelo);

// The largest acceleration and deceleration (mm/s², both as magnitudes) of the actual velocity
// of the samples, its derivative smoothed over `smoothing` seconds. Acceleration is a rise of
// the speed, deceleration its fall, whichever the direction.
struct Reached {
  double acceleration = 0;
  double deceleration = 0;
};
Reached ReachedAcceleration(std::span<const trend::Sample> samples, double smoothing = 0.01);

}  // namespace tune
