#include "tune/Sequencer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

#include "model/ParamRecord.h"
#include "pages/entry/NumberText.h"
#include "pages/entry/PageRules.h"
#include "trend/Arm.h"
#include "trend/Moves.h"

namespace tune {

namespace {

constexpr uint32_t kBitReady = 1u << 0;
constexpr uint32_t kBitHomed = 1u << 1;
constexpr uint32_t kBitNotMoving = 1u << 2;

// Longest wait for the axis to stand after a stop (s).
constexpr double kStopWait = 3.0;
// A move may take this much longer than its distance at its velocity (s).
constexpr double kMoveSlack = 5.0;

// The second ringing fit spans this many periods of the first.
constexpr double kRingingPeriods = 2.0;

// The test move: a step of this share of the window, about its centre.
constexpr double kTestStepShare = 0.15;

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

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

Sequencer::~Sequencer() {
  FlushJournal();
}

void Sequencer::Failed(int32_t err) {
  if (firstError_ == 0) firstError_ = err != 0 ? err : -1;
}

void Sequencer::FlushJournal() {
  if (!report_) return;
  report_->result = firstError_;
  doc_.ReportTuningRun(*report_);
  report_.reset();
}

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
    Failed(sampler_.LastError());
    throw Abort{EndReason::ReadFailed,
                "a runtime read failed (error " + std::to_string(sampler_.LastError()) + ")"};
  }
  const size_t before = moveSamples_.size();
  seen_ = ring_.CopySince(seen_, moveSamples_);
  if (moveSamples_.size() > before) last_ = moveSamples_.back();
  if (stopRequested_ && stopRequested_()) throw Abort{EndReason::StopRequested, "stopped"};
  if ((last_.stateBits & kBitReady) == 0) {
    // The error code is the document's to read.
    doc_.RefreshAxisData(model::kPageOnline, nullptr);
    char code[48] = "";
    if (!doc_.bCommStopped && doc_.runtime.ErrorCode != 0) {
      std::snprintf(code, sizeof code, " (error 0x%X)",
                    static_cast<unsigned>(doc_.runtime.ErrorCode));
    }
    throw Abort{EndReason::NotReady, std::string("the axis is no longer ready") + code};
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

void Sequencer::MoveTo(double position, double velocity, double hold, double lowGainFor) {
  moveSamples_.clear();
  const double start = clock_.Now();
  const int32_t err = doc_.Move(axlink::kMoveToPosition, position, velocity);
  if (err != 0 || doc_.bCommStopped) {
    Failed(err);
    throw Abort{EndReason::CommandFailed,
                "the start was refused (error " + std::to_string(err) + ")"};
  }
  const double deadline = start + std::fabs(position - last_.values[trend::kActualPos]) / velocity +
                          kMoveSlack + std::max(hold, lowGainFor);
  std::optional<double> stopped, arrived;
  while (true) {
    const trend::Sample& s = Watch();
    if (!stopped && s.t > start && std::fabs(s.values[trend::kSetpointPos] - position) < 1e-6 &&
        s.values[trend::kSetpointVelo] == 0.0) {
      stopped = s.t;
    }
    if (lowGainFor >= 0 && stopped && s.t >= *stopped + lowGainFor) {
      SetParam("LagKp", original_.LagKp);
      lowGainFor = -1;
    }
    if (!arrived && stopped && lowGainFor < 0 && (s.stateBits & kBitNotMoving) != 0) {
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
  double& field = f->Ref<double>(doc_.params);
  if (report_) report_->writes.push_back({f->no, name, field, value});
  field = value;
  const model::LibVersion& n = entry::kNumberedWritesFrom;
  const int32_t err = doc_.LibVersionAtLeast(n.major, n.minor, n.build)
                          ? doc_.WriteParamNoReal(value, f->no)
                          : doc_.WriteParamRecordToAxis();
  if (err != 0 || doc_.bCommStopped) {
    Failed(err);
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
  OutputShape shape = OutputShape::Of(original_);
  // Servers before V3.0.28 have no PreFeed (1717) to read: their controller feeds the setpoint
  // velocity forward in full.
  if (!doc_.LibVersionAtLeast(3, 0, 28)) shape.preFeed = 1;
  MoveTo(lo, 0.5 * vmax, 0);
  const double runs = std::size(kVeloShares);
  double done = 0;
  // Each move is as long as its ramps and a plateau of kPlateau need, at most the window.
  const auto ramp = [](double v, double a) { return a > 0 ? v * v / (2 * a) : 0.0; };
  for (double share : kVeloShares) {
    const double v = share * vmax;
    const double far = std::min(
        hi, lo + v * kPlateau + ramp(v, original_.Acceleration) + ramp(v, original_.Deceleration));
    char line[96];
    MoveTo(far, v, 0);
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
  SetParam("Acceleration", vmax / kSteepRamp);
  SetParam("Deceleration", vmax / kSteepRamp);
  double omega = 0, zeta = 0;
  int rings = 0;
  Reached reached;
  double done = 0;
  for (double target : {b, a}) {
    SetParam("LagKp", kLowGainShare * original_.LagKp);
    MoveTo(target, vmax, 0, kRingingTime + 0.05);
    const auto stop = std::find_if(moveSamples_.begin(), moveSamples_.end(), [&](const auto& s) {
      return std::fabs(s.values[trend::kSetpointPos] - target) < 1e-6;
    });
    if (stop != moveSamples_.end()) {
      const double t0 = stop->t + 0.005;
      std::optional<Ringing> r = FitRinging(moveSamples_, t0, stop->t + kRingingTime);
      // The ringing dies out within a few periods; the position loop's slow return after it
      // pulls the frequency of a longer fit down (by a fifth on the light demo axes). The
      // first fit gives the period, a second over kRingingPeriods of it the figures.
      if (r) {
        const double span =
            std::min(kRingingTime, kRingingPeriods * 2 * std::numbers::pi / r->omega);
        if (auto close = FitRinging(moveSamples_, t0, t0 + span)) r = close;
      }
      if (r) {
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

std::optional<trend::StepFigures> Sequencer::TestMove(const Verification& v,
                                                      std::vector<trend::Sample>& samples) {
  MoveTo(v.from, v.velocity, 0);
  const trend::Sample before = last_;
  trend::MoveMark mark;
  mark.t = clock_.Now();
  mark.addr = doc_.axisAddr;
  mark.axis = doc_.nAxis;
  mark.target = v.to;
  mark.velocity = v.velocity;
  mark.band = trend::PositionBand(doc_);
  mark.lagKp = doc_.params.LagKp;
  MoveTo(v.to, v.velocity, trend::MoveTracker::kHoldTime);
  samples.clear();
  for (const trend::Sample& s : moveSamples_) {
    if (s.t >= mark.t) samples.push_back(s);
  }
  if (samples.empty()) return std::nullopt;
  return trend::MeasureMove(mark, before, samples, true).figures;
}

void Sequencer::Journal(axlink::TuningRunReport& report, const RunResult& r) const {
  auto add = [&](const char* name, double v) { report.figures.emplace_back(name, v); };
  if (const auto& c = r.measured.characteristic) {
    add("fullVelocityOut", c->out.fullVelo);
    add("fullVelocityIn", c->in.fullVelo);
    add("ratio", c->veloRatio);
    add("overlapOut", c->out.overlap);
    add("overlapIn", c->in.overlap);
  }
  if (const auto& g = r.measured.ringing) {
    add("naturalHz", g->HzNatural());
    add("damping", g->zeta);
  }
  if (const auto& a = r.measured.reached) {
    add("acceleration", a->acceleration);
    add("deceleration", a->deceleration);
  }
  if (const auto& b = r.verification.before) {
    add("settlingBefore", b->settlingTime);
    add("overshootBefore", b->overshootPercent);
  }
  report.end = EndReasonName(r.end);
  if (!r.message.empty()) report.end += ": " + r.message;
  if (!r.restored) report.end += "; parameters not restored";
}

RunResult Sequencer::Run(const Steps& steps) {
  FlushJournal();
  RunResult result;
  verification_ = {};
  if (auto why = Refusal()) {
    result.end = EndReason::Refused;
    result.message = *why;
    return result;
  }
  original_ = doc_.paramsRead;
  firstError_ = 0;
  report_.emplace();
  report_->figures = {{"windowMin", limits_.windowMin},
                      {"windowMax", limits_.windowMax},
                      {"maxVelocity", limits_.maxVelocity},
                      {"lagBound", LagBound()}};
  doc_.SetTuningRun(true);
  try {
    if (steps.velocity) VelocityRun(result);
    if (steps.dynamics) DynamicsRun(result);
  } catch (const Abort& a) {
    StopAndSettle();
    result.end = a.reason;
    result.message = a.message;
  }
  result.restored = RestoreParams();
  if (result.end == EndReason::Done && result.restored && steps.verify) {
    Verification& v = result.verification;
    const double center = 0.5 * (limits_.windowMin + limits_.windowMax);
    const double step = kTestStepShare * (limits_.windowMax - limits_.windowMin);
    v.from = center - step / 2;
    v.to = center + step / 2;
    v.velocity = std::min(limits_.maxVelocity, original_.ReferenceVelo);
    try {
      v.before = TestMove(v, v.beforeSamples);
      Report("verify", 1,
             v.before ? "settled in " + Num(v.before->settlingTime) + " s, overshoot " +
                            Num(v.before->overshootPercent) + " %"
                      : "no figures");
    } catch (const Abort& a) {
      StopAndSettle();
      result.end = a.reason;
      result.message = a.message;
    }
    verification_ = v;
  }
  doc_.SetTuningRun(false);
  result.proposal = Propose(result.measured, original_);
  Journal(*report_, result);
  // A run that ended early gets no apply.
  if (result.end != EndReason::Done) FlushJournal();
  return result;
}

std::optional<std::string> Sequencer::CheckValues(const std::vector<ProposedValue>& values,
                                                  std::vector<double>& taken) const {
  taken.clear();
  for (const ProposedValue& v : values) {
    const model::ParamField* f = model::FindParamField(std::string_view(v.name));
    const entry::PageRules* page = nullptr;
    const entry::FieldRule* rule = f != nullptr ? entry::FindFieldRule(f->no, &page) : nullptr;
    if (f == nullptr || f->type != model::ParamType::Real || rule == nullptr) {
      return v.name + " is no value of a parameter page";
    }
    const std::string field = v.name + " (" + std::to_string(f->no) + ")";
    const model::LibVersion& n = entry::kNumberedWritesFrom;
    if (doc_.LibVersionAtLeast(n.major, n.minor, n.build)
            ? !entry::WritesNumbered(*page, f->no, doc_.linkVersions.lib)
            : !page->recordWriteWithoutNumbers) {
      return field + " is not written by its page's download on this library";
    }
    if (rule->skipForEncoder30And34 &&
        (doc_.params.EncoderType == 30 || doc_.params.EncoderType == 34)) {
      return field + " is not taken over with encoder type " +
             std::to_string(doc_.params.EncoderType);
    }
    // As the box would hold it: six decimals, in percent for a percent box.
    const double scale = rule->conversion == entry::Conversion::Percent ? 100.0 : 1.0;
    std::string text = entry::FormatReal(v.proposed * scale);
    double typed = 0;
    if (!std::isfinite(v.proposed) ||
        (rule->validated && !entry::ValidateField(text, rule->check)) ||
        !entry::ScanReal(text, typed)) {
      const char* unit = scale == 100.0 ? " %" : "";
      return field + ": " + Num(v.proposed * scale) + unit + " is refused by its page (limits " +
             Num(rule->check.minimum) + " to " + Num(rule->check.maximum) + unit + ")";
    }
    taken.push_back(typed / scale);
  }
  return std::nullopt;
}

ApplyResult Sequencer::ApplyValues(const std::vector<ProposedValue>& values) {
  ApplyResult result;
  result.verification = verification_;
  if (!report_) {
    report_.emplace();
    firstError_ = 0;
  }
  std::vector<double> taken;
  if (auto why = CheckValues(values, taken)) {
    result.refused = *why;
    report_->end += (report_->end.empty() ? "apply refused: " : "; apply refused: ") + *why;
    FlushJournal();
    return result;
  }
  doc_.SetTuningRun(true);
  const model::LibVersion& n = entry::kNumberedWritesFrom;
  const bool numbered = doc_.LibVersionAtLeast(n.major, n.minor, n.build);
  for (size_t i = 0; i < values.size(); ++i) {
    const model::ParamField* f = model::FindParamField(std::string_view(values[i].name));
    report_->applied.push_back({f->no, values[i].name, f->Ref<double>(doc_.paramsRead), taken[i]});
    f->Ref<double>(doc_.params) = taken[i];
  }
  // Numbered writes in the order given, else the whole record once.
  int32_t err = 0;
  size_t written = 0;
  for (; numbered && written < values.size(); ++written) {
    err = doc_.WriteParamNoReal(taken[written], report_->applied[written].no);
    if (err != 0 || doc_.bCommStopped) break;
  }
  if (!numbered && !values.empty()) err = doc_.WriteParamRecordToAxis();
  if (err != 0 || doc_.bCommStopped) {
    Failed(err);
    result.message = "writing the values failed (error " + std::to_string(err) + ")";
    // Half a proposal is no state to leave the axis in: what went out is written back.
    for (const axlink::TuningWrite& w : report_->applied) {
      model::FindParamField(w.no)->Ref<double>(doc_.params) = w.before;
    }
    for (size_t i = written; i-- > 0;) {
      const axlink::TuningWrite& w = report_->applied[i];
      report_->writes.push_back({w.no, w.name, w.value, w.before});
      doc_.WriteParamNoReal(w.before, w.no);
    }
    if (written > 0) result.message += "; the values before it written back";
  }
  doc_.ReselectAxis(model::kPageAll);
  for (size_t i = 0; i < values.size(); ++i) {
    const model::ParamField* f = model::FindParamField(std::string_view(values[i].name));
    if (f->Ref<double>(doc_.paramsRead) != taken[i]) result.differing.push_back(values[i].name);
  }
  std::string end = result.message.empty() ? "applied" : "apply failed: " + result.message;
  if (!result.differing.empty()) {
    end += "; differing on read-back:";
    for (const std::string& name : result.differing) end += " " + name;
  }
  if (result.message.empty() && result.differing.empty() && verification_.before) {
    try {
      result.verification.after = TestMove(verification_, result.verification.afterSamples);
      if (const auto& a = result.verification.after) {
        report_->figures.emplace_back("settlingAfter", a->settlingTime);
        report_->figures.emplace_back("overshootAfter", a->overshootPercent);
        Report("verify", 1,
               "settled in " + Num(a->settlingTime) + " s, overshoot " + Num(a->overshootPercent) +
                   " %");
      } else {
        result.message = "the test move after the apply recorded no samples";
        end += "; " + result.message;
      }
    } catch (const Abort& a) {
      StopAndSettle();
      result.message = "the test move after the apply ended: " + a.message;
      end += "; " + result.message;
    }
  }
  doc_.SetTuningRun(false);
  report_->end += (report_->end.empty() ? "" : "; ") + end;
  FlushJournal();
  return result;
}

}  // namespace tune
