#include "tune/Sequencer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "model/ParamRecord.h"
#include "pages/entry/PageRules.h"

namespace tune {

namespace {

constexpr uint32_t kBitReady = 1u << 0;
constexpr uint32_t kBitHomed = 1u << 1;
constexpr uint32_t kBitNotMoving = 1u << 2;
constexpr uint32_t kBitInTarget = 1u << 4;

// Longest wait for the axis to stand after a stop (s).
constexpr double kStopWait = 3.0;
// A move may take this much longer than its distance at its velocity (s).
constexpr double kMoveSlack = 5.0;

std::string Mm(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f mm", v);
  return buf;
}

}  // namespace

const char* EndReasonName(EndReason r) {
  switch (r) {
    case EndReason::Done:
      return "done";
    case EndReason::Refused:
      return "refused";
    case EndReason::StopRequested:
      return "stopRequested";
    case EndReason::LagBound:
      return "lagBound";
    case EndReason::LeftWindow:
      return "leftWindow";
    case EndReason::NotReady:
      return "notReady";
    case EndReason::ReadFailed:
      return "readFailed";
    case EndReason::CommandFailed:
      return "commandFailed";
    case EndReason::Timeout:
      return "timeout";
  }
  return "";
}

Sequencer::Sequencer(CAxtuneDoc& doc, trend::Sampler& sampler, trend::SampleRing& ring,
                     trend::IClock& clock, const Limits& limits,
                     std::function<bool()> stopRequested)
    : doc_(doc),
      sampler_(sampler),
      ring_(ring),
      clock_(clock),
      limits_(limits),
      stopRequested_(std::move(stopRequested)) {}

double Sequencer::LagBound() const {
  return limits_.lagBound > 0 ? limits_.lagBound : (limits_.windowMax - limits_.windowMin) / 5;
}

std::optional<std::string> Sequencer::Refusal() {
  if (!doc_.bAxisSelected || doc_.bCommStopped) return "no axis selected";
  const model::ParamRecord& p = doc_.paramsRead;
  if (!(limits_.windowMin < limits_.windowMax)) return "the window is empty";
  if (!(limits_.maxVelocity > 0)) return "the maximum velocity must be above 0";
  if (p.SoftEndMinEnabled && limits_.windowMin < p.SoftEndMin) {
    return "the window begins below the soft limit " + Mm(p.SoftEndMin);
  }
  if (p.SoftEndMaxEnabled && limits_.windowMax > p.SoftEndMax) {
    return "the window ends above the soft limit " + Mm(p.SoftEndMax);
  }
  if (!(p.ReferenceVelo > 0)) return "the axis has no reference velocity";
  // The error code is the document's to read: the sampler's samples carry only the state bits.
  doc_.RefreshAxisData(model::kPageOnline, nullptr);
  if (doc_.bCommStopped) return "the axis cannot be read";
  if (doc_.runtime.ErrorCode != 0) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(doc_.runtime.ErrorCode));
    return std::string("the axis is in error ") + code;
  }
  if (const int32_t err = sampler_.SampleOnce(); err != 0) {
    return "the axis cannot be read (error " + std::to_string(err) + ")";
  }
  std::vector<trend::Sample> s;
  ring_.CopySince(ring_.Total() - 1, s);
  seen_ = ring_.Total();
  if (s.empty()) return "the axis cannot be read";
  last_ = s.back();
  if ((last_.stateBits & kBitReady) == 0) return "the axis is not ready";
  if ((last_.stateBits & kBitHomed) == 0) return "the axis is not homed";
  const double pos = last_.values[trend::kActualPos];
  if (pos < limits_.windowMin || pos > limits_.windowMax) {
    return "the axis stands at " + Mm(pos) + ", outside the window";
  }
  return std::nullopt;
}

const trend::Sample& Sequencer::Watch() {
  const uint64_t failures = sampler_.Failures();
  sampler_.Tick();
  if (sampler_.Failures() != failures) {
    throw Abort{EndReason::ReadFailed,
                "a runtime read failed (error " + std::to_string(sampler_.LastError()) + ")"};
  }
  const size_t before = moveSamples_.size();
  seen_ = ring_.CopySince(seen_, moveSamples_);
  if (moveSamples_.size() > before) last_ = moveSamples_.back();
  if (stopRequested_ && stopRequested_()) throw Abort{EndReason::StopRequested, "stopped"};
  if ((last_.stateBits & kBitReady) == 0) {
    throw Abort{EndReason::NotReady, "the axis is no longer ready"};
  }
  const double pos = last_.values[trend::kActualPos];
  if (pos < limits_.windowMin || pos > limits_.windowMax) {
    throw Abort{EndReason::LeftWindow, "the axis left the window at " + Mm(pos)};
  }
  const double lag = last_.values[trend::kLag];
  if (std::fabs(lag) > LagBound()) {
    throw Abort{EndReason::LagBound, "following error " + Mm(lag) + " beyond " + Mm(LagBound())};
  }
  return last_;
}

void Sequencer::Report(const char* step, double fraction, std::string figures) const {
  if (progress_) progress_(Progress{step, fraction, std::move(figures)});
}

void Sequencer::MoveTo(double position, double velocity, double hold) {
  moveSamples_.clear();
  const double start = clock_.Now();
  const int32_t err = doc_.Move(axlink::kMoveToPosition, position, velocity);
  if (err != 0 || doc_.bCommStopped) {
    throw Abort{EndReason::CommandFailed,
                "the start was refused (error " + std::to_string(err) + ")"};
  }
  const double deadline =
      start + std::fabs(position - last_.values[trend::kActualPos]) / velocity + kMoveSlack + hold;
  std::optional<double> arrived;
  while (true) {
    const trend::Sample& s = Watch();
    if (!arrived && s.t > start && (s.stateBits & kBitInTarget) != 0 &&
        std::fabs(s.values[trend::kSetpointPos] - position) < 1e-6 &&
        s.values[trend::kSetpointVelo] == 0.0) {
      arrived = s.t;
    }
    if (arrived && s.t >= *arrived + hold) return;
    if (s.t > deadline) throw Abort{EndReason::Timeout, "the axis did not reach " + Mm(position)};
  }
}

void Sequencer::SetParam(const char* name, double value) {
  const model::ParamField* f = model::FindParamField(std::string_view(name));
  if (f == nullptr || f->type != model::ParamType::Real) return;
  if (!changed_.contains(name)) {
    changed_[name] = f->Ref<double>(doc_.paramsRead);
    changeOrder_.emplace_back(name);
  }
  f->Ref<double>(doc_.params) = value;
  const model::LibVersion& n = entry::kNumberedWritesFrom;
  const int32_t err = doc_.LibVersionAtLeast(n.major, n.minor, n.build)
                          ? doc_.WriteParamNoReal(value, f->no)
                          : doc_.WriteParamRecordToAxis();
  if (err != 0 || doc_.bCommStopped) {
    throw Abort{EndReason::CommandFailed,
                std::string("writing ") + name + " failed (error " + std::to_string(err) + ")"};
  }
}

bool Sequencer::RestoreParams() {
  bool ok = true;
  for (auto it = changeOrder_.rbegin(); it != changeOrder_.rend(); ++it) {
    try {
      SetParam(it->c_str(), changed_.at(*it));
    } catch (const Abort&) {
      ok = false;
    }
  }
  changed_.clear();
  changeOrder_.clear();
  return ok;
}

void Sequencer::StopAndSettle() {
  doc_.StopAxis();
  const double until = clock_.Now() + kStopWait;
  while (clock_.Now() < until) {
    const uint64_t failures = sampler_.Failures();
    sampler_.Tick();
    if (sampler_.Failures() != failures) continue;
    std::vector<trend::Sample> s;
    seen_ = ring_.CopySince(seen_, s);
    if (!s.empty() && (s.back().stateBits & kBitNotMoving) != 0) return;
  }
}

void Sequencer::VelocityRun(RunResult& result) {
  const double vmax = std::min(limits_.maxVelocity, original_.ReferenceVelo);
  const double width = limits_.windowMax - limits_.windowMin;
  const double lo = limits_.windowMin + 0.1 * width, hi = limits_.windowMax - 0.1 * width;
  const OutputShape shape = OutputShape::Of(original_);
  MoveTo(lo, 0.5 * vmax, 0);
  const double runs = std::size(kVeloShares);
  double done = 0;
  for (double share : kVeloShares) {
    const double v = share * vmax;
    char line[96];
    MoveTo(hi, v, 0);
    if (auto p = SteadyPoint(moveSamples_, v, shape)) result.points.push_back(*p);
    MoveTo(lo, v, 0);
    if (auto p = SteadyPoint(moveSamples_, -v, shape)) result.points.push_back(*p);
    std::snprintf(line, sizeof line, "%.1f mm/s out and in: %zu steady points", v,
                  result.points.size());
    Report("velocity", ++done / runs, line);
  }
  result.measured.characteristic = FitCharacteristic(result.points);
}

void Sequencer::DynamicsRun(RunResult& result) {
  const double vmax = std::min(limits_.maxVelocity, original_.ReferenceVelo);
  const double center = 0.5 * (limits_.windowMin + limits_.windowMax);
  const double step = 0.15 * (limits_.windowMax - limits_.windowMin);
  const double a = center - step / 2, b = center + step / 2;
  MoveTo(a, 0.5 * vmax, 0);
  SetParam("LagKp", kLowGainShare * original_.LagKp);
  SetParam("Acceleration", vmax / kSteepRamp);
  SetParam("Deceleration", vmax / kSteepRamp);
  double omega = 0, zeta = 0;
  int rings = 0;
  Reached reached;
  double done = 0;
  for (double target : {b, a}) {
    MoveTo(target, vmax, kRingingTime + 0.05);
    const auto stop = std::find_if(moveSamples_.begin(), moveSamples_.end(), [&](const auto& s) {
      return std::fabs(s.values[trend::kSetpointPos] - target) < 1e-6;
    });
    if (stop != moveSamples_.end()) {
      if (auto r = FitRinging(moveSamples_, stop->t + 0.005, stop->t + kRingingTime)) {
        omega += r->omega;
        zeta += r->zeta;
        ++rings;
      }
    }
    const Reached here = ReachedAcceleration(moveSamples_);
    reached.acceleration = std::max(reached.acceleration, here.acceleration);
    reached.deceleration = std::max(reached.deceleration, here.deceleration);
    char line[96];
    std::snprintf(line, sizeof line, "step to %.1f mm: %d ringing fits, a %.0f mm/s2 reached",
                  target, rings, std::max(reached.acceleration, reached.deceleration));
    Report("dynamics", ++done / 2, line);
  }
  if (rings > 0) result.measured.ringing = Ringing{omega / rings, zeta / rings};
  result.measured.reached = reached;
}

RunResult Sequencer::Run(const Steps& steps) {
  RunResult result;
  if (auto why = Refusal()) {
    result.end = EndReason::Refused;
    result.message = *why;
    return result;
  }
  original_ = doc_.paramsRead;
  try {
    if (steps.velocity) VelocityRun(result);
    if (steps.dynamics) DynamicsRun(result);
  } catch (const Abort& a) {
    StopAndSettle();
    result.end = a.reason;
    result.message = a.message;
  }
  result.restored = RestoreParams();
  result.proposal = Propose(result.measured, original_);
  return result;
}

std::vector<std::string> Sequencer::Apply(const std::vector<ProposedValue>& values) {
  std::vector<std::string> differing;
  for (const ProposedValue& v : values) {
    try {
      SetParam(v.name.c_str(), v.proposed);
    } catch (const Abort&) {
      differing.push_back(v.name);
    }
  }
  // Applied values stay: they are no longer the run's to restore.
  changed_.clear();
  changeOrder_.clear();
  doc_.ReselectAxis(model::kPageAll);
  for (const ProposedValue& v : values) {
    const model::ParamField* f = model::FindParamField(std::string_view(v.name));
    if (f != nullptr && f->Ref<double>(doc_.paramsRead) != v.proposed &&
        std::find(differing.begin(), differing.end(), v.name) == differing.end()) {
      differing.push_back(v.name);
    }
  }
  return differing;
}

}  // namespace tune
