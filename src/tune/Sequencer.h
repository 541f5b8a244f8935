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
//
// Each step stands alone: it starts from wherever the axis stands inside the window, with the
// parameters the axis had before the run, and needs nothing another step measured.
//
// The apply holds every value to the rule of its page's edit box before anything is written, and
// writes them as that page's download does. The same test move before the apply (after the run,
// with the axis's own parameters) and after it tells whether the values did better.
//
// The run goes into the commissioning journal as one entry (the document's observers hear of it
// through TuningRun, its requests carry SendEvent::tuning): its limits and measurements, its own
// writes and their write-back, the values applied and how it ended. It is made when the run ends
// early, else after the apply, or when the next run starts or the sequencer goes.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/AxtuneDoc.h"
#include "link/DocObserver.h"
#include "trend/Clock.h"
#include "trend/Sampler.h"
#include "trend/StepResponse.h"
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
  // The test move after the run, with the axis's own parameters, to compare the apply with.
  bool verify = true;
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

// The same step inside the window, with the parameters before and after the apply: the
// recorder's step-response figures of each.
struct Verification {
  double from = 0;      // mm
  double to = 0;        // mm
  double velocity = 0;  // mm/s
  std::optional<trend::StepFigures> before;
  std::optional<trend::StepFigures> after;
  // The samples each test move recorded from its command on.
  std::vector<trend::Sample> beforeSamples;
  std::vector<trend::Sample> afterSamples;
};

struct RunResult {
  EndReason end = EndReason::Done;
  std::string message;  // what refused or ended the run, empty when done
  Measurements measured;
  std::vector<VeloPoint> points;  // the steady points of the velocity runs
  std::vector<ProposedValue> proposal;
  // Every changed parameter was written back (true when none was changed).
  bool restored = true;
  Verification verification;  // `before` only: the apply adds `after`
};

struct ApplyResult {
  // The value the page rules refuse, named with its limits; nothing was written then.
  std::string refused;
  // What went wrong after the values were written: a failed write, or what ended the test move.
  std::string message;
  std::vector<std::string> differing;  // names whose read-back value is not what was written
  Verification verification;
  bool Ok() const { return refused.empty() && message.empty() && differing.empty(); }
};

class Sequencer {
 public:
  // Low gain of the dynamics step, as a fraction of the axis's LagKp.
  static constexpr double kLowGainShare = 0.5;
  // The dynamics step ramps up to its velocity within this time (s).
  static constexpr double kSteepRamp = 0.02;
  // The ringing is fitted over this time after the setpoint stopped (s), then again over two of
  // the periods the first fit found.
  static constexpr double kRingingTime = 0.25;
  // The commanded velocities of the characteristic, as fractions of the maximum velocity.
  static constexpr double kVeloShares[] = {0.1, 0.2, 0.35, 0.5, 0.75, 1.0};
  // The constant-velocity part of each of their moves (s), when the window is long enough.
  static constexpr double kPlateau = 1.5;

  // `doc` has the axis selected, with its parameters read; `sampler` reads the same axis on
  // its own connection into `ring`, on `clock`. `stopRequested` is asked at every sample.
  Sequencer(CAxtuneDoc& doc, trend::Sampler& sampler, trend::SampleRing& ring, trend::IClock& clock,
            const Limits& limits, std::function<bool()> stopRequested);
  // Makes the journal entry of a run that is still open.
  ~Sequencer();
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  // Why a run may not start, or none. Reads the axis once.
  std::optional<std::string> Refusal();
  // Called after each move of a run, on the caller's thread.
  void OnProgress(std::function<void(const Progress&)> report) { progress_ = std::move(report); }
  // Refusal, then the chosen steps and the proposal.
  RunResult Run(const Steps& steps);
  // Writes `values` as a download does (numbered, or the whole record before V3.0.11) unless the
  // page rules refuse one, reads the parameters back and compares them, then, when the run made
  // its test move, makes the same move again.
  ApplyResult ApplyValues(const std::vector<ProposedValue>& values);
  // Why the page rules refuse `values`, naming the first refused; none when all pass. The value a
  // download would take over (six decimals, in the box's unit) goes to `taken`.
  std::optional<std::string> CheckValues(const std::vector<ProposedValue>& values,
                                         std::vector<double>& taken) const;

 private:
  struct Abort {
    EndReason reason;
    std::string message;
  };
  // Moves to `position` at `velocity` and watches the axis until it stands after the setpoint
  // stopped and then `hold` s longer; the samples of the move go to `moveSamples`. Standing, not
  // "In target": an axis whose own parameters leave it short of its target band would end in
  // the controller's target timeout while the band is awaited, and the test move's figures say
  // whether it settled. With `lowGainFor` >= 0 the axis's own LagKp is written back that long
  // after the setpoint stopped, before the wait: a low gain may not bring the axis back against
  // the valve's overlap.
  void MoveTo(double position, double velocity, double hold, double lowGainFor = -1);
  // One sample; throws Abort when anything is in doubt.
  const trend::Sample& Watch();
  void SetParam(const char* name, double value);
  // The step of the verification, recorded into `samples`; its figures, or none when the
  // recorder has none.
  std::optional<trend::StepFigures> TestMove(const Verification& v,
                                             std::vector<trend::Sample>& samples);
  void Journal(axlink::TuningRunReport& report, const RunResult& r) const;
  void FlushJournal();
  void Failed(int32_t err);
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
  Verification verification_;                      // of the last run
  std::optional<axlink::TuningRunReport> report_;  // the open journal entry
  int32_t firstError_ = 0;
};

}  // namespace tune
