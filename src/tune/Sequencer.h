// The tuning runs: moves of the axis inside the user's window and below the user's velocity,
// through the document's axis commands and parameter writes only (numbered, or the whole record
// before V3.0.11), watched on the sampler's own connection.
//
// Safety first. A run refuses to start on an axis that is not ready (in error or without its
// drive), not homed, outside the window, or with a window beyond the enabled soft limits. While it
// runs, every sample is checked: a stop request, a following error beyond the user's bound, the
// axis leaving the window, the axis no longer ready, a failed read or a refused command stop the
// axis at once and end the run. Whatever parameter the run changed is written back as it was,
// however the run ends.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/AxtuneDoc.h"
#include "trend/Clock.h"
#include "trend/Sampler.h"
#include "tune/Proposal.h"

namespace tune {

struct Limits {
  double windowMin = 0;    // mm
  double windowMax = 0;    // mm
  double maxVelocity = 0;  // mm/s
  double lagBound = 0;     // mm; 0: a fifth of the window
};

struct Steps {
  bool velocity = true;
  bool dynamics = true;
};

enum class EndReason : uint8_t {
  Done,
  Refused,        // not started: the axis or the limits do not allow a run
  StopRequested,  // the user stopped it
  LagBound,       // the following error exceeded the bound
  LeftWindow,     // the axis left the window
  NotReady,       // the axis reported an error or lost its drive
  ReadFailed,     // a runtime read failed
  CommandFailed,  // a command or parameter write was refused
  Timeout,        // a move did not end in time
};
const char* EndReasonName(EndReason r);

// What a run reports while it goes: the step, how far it got within it, and its figures so far
// in one line.
struct Progress {
  std::string step;     // "velocity" or "dynamics"
  double fraction = 0;  // 0 to 1 within the step
  std::string figures;
};

struct RunResult {
  EndReason end = EndReason::Done;
  std::string message;  // what refused or ended the run, empty when done
  Measurements measured;
  std::vector<VeloPoint> points;  // the steady points of the velocity runs
  std::vector<ProposedValue> proposal;
  // Every changed parameter was written back (true when none was changed).
  bool restored = true;
};

class Sequencer {
 public:
  // Low gain of the dynamics step, as a fraction of the axis's LagKp.
  static constexpr double kLowGainShare = 0.5;
  // The dynamics step ramps up to its velocity within this time (s).
  static constexpr double kSteepRamp = 0.02;
  // The ringing is fitted over this time after the setpoint stopped (s).
  static constexpr double kRingingTime = 0.25;
  // The commanded velocities of the characteristic, as fractions of the maximum velocity.
  static constexpr double kVeloShares[] = {0.1, 0.2, 0.35, 0.5, 0.75, 1.0};

  // `doc` has the axis selected, with its parameters read; `sampler` reads the same axis on
  // its own connection into `ring`, on `clock`. `stopRequested` is asked at every sample.
  Sequencer(CAxtuneDoc& doc, trend::Sampler& sampler, trend::SampleRing& ring, trend::IClock& clock,
            const Limits& limits, std::function<bool()> stopRequested);

  // Why a run may not start, or none. Reads the axis once.
  std::optional<std::string> Refusal();
  // Called after each move of a run, on the caller's thread.
  void OnProgress(std::function<void(const Progress&)> report) { progress_ = std::move(report); }
  // Refusal, then the chosen steps and the proposal.
  RunResult Run(const Steps& steps);
  // Writes `values` as a download does (numbered, or the whole record before V3.0.11), reads the
  // parameters back and returns the names whose read-back value differs from what was written.
  std::vector<std::string> Apply(const std::vector<ProposedValue>& values);

 private:
  struct Abort {
    EndReason reason;
    std::string message;
  };
  // Moves to `position` at `velocity` and watches the axis until it is in target and then
  // `hold` s longer; the samples of the move go to `moveSamples`.
  void MoveTo(double position, double velocity, double hold);
  // One sample; throws Abort when anything is in doubt.
  const trend::Sample& Watch();
  void SetParam(const char* name, double value);
  bool RestoreParams();
  void StopAndSettle();
  void VelocityRun(RunResult& result);
  void DynamicsRun(RunResult& result);
  double LagBound() const;
  void Report(const char* step, double fraction, std::string figures) const;

  CAxtuneDoc& doc_;
  trend::Sampler& sampler_;
  trend::SampleRing& ring_;
  trend::IClock& clock_;
  Limits limits_;
  std::function<bool()> stopRequested_;
  std::function<void(const Progress&)> progress_;
  model::ParamRecord original_;
  std::map<std::string, double> changed_;
  std::vector<std::string> changeOrder_;
  uint64_t seen_ = 0;
  std::vector<trend::Sample> moveSamples_;
  trend::Sample last_;
};

}  // namespace tune
