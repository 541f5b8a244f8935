// axtune-cli tune --port P --axis N --window MIN:MAX --max-velocity V
//                 [--steps velocity,dynamics] [--lag-bound MM] [--apply] [--json]
//
// Runs the tuning assistant's measuring moves inside the window and below the velocity, then
// prints the measurements, the proposal with its reasons and the figures of a test move; with
// --apply the proposal is held to the page rules, written as a download writes it, read back, and
// the test move made again. The runtime values are read on a connection of
// their own; against an emulated plant in this process (--sim-config) the runs go on the plant's
// own clock. Ctrl-C stops the axis and writes back what the run changed.
//
// Exit 0 done, 2 refused or ended early by the controller or a monitor, 3 not reachable, 4
// usage, 130 interrupted.
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

#include "tools/cli/Cli.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/MoveSession.h"
#include "trend/Arm.h"
#include "tune/Sequencer.h"

namespace cli {

namespace {

constexpr double kTuneRateHz = 1000;

struct TuneArgs {
  AxisArgs axis;
  std::string window;
  double maxVelocity = 0;
  double lagBound = 0;
  std::vector<std::string> steps{"velocity", "dynamics"};
  bool apply = false;
  bool json = false;
};

bool ParseWindow(const std::string& text, double& lo, double& hi) {
  char colon = 0;
  std::istringstream in(text);
  return static_cast<bool>(in >> lo >> colon >> hi) && colon == ':' && in.peek() == EOF;
}

nlohmann::ordered_json FiguresJson(const std::optional<trend::StepFigures>& f) {
  if (!f) return nullptr;
  // A figure the curve did not yield (NaN) goes as null.
  auto n = [](double v) { return std::isfinite(v) ? nlohmann::ordered_json(v) : nullptr; };
  return {{"riseTime", n(f->riseTime)},
          {"overshoot", n(f->overshoot)},
          {"overshootPercent", n(f->overshootPercent)},
          {"settlingTime", n(f->settlingTime)},
          {"peakLag", n(f->peakLag)},
          {"steadyStateError", n(f->steadyStateError)},
          {"peakVelocity", n(f->peakVelocity)}};
}

nlohmann::ordered_json VerificationJson(const tune::Verification& v) {
  return {{"from", v.from},
          {"to", v.to},
          {"velocity", v.velocity},
          {"before", FiguresJson(v.before)},
          {"after", FiguresJson(v.after)}};
}

void PrintFigures(std::ostream& out, const char* when, const std::optional<trend::StepFigures>& f) {
  if (!f) return;
  char line[160];
  std::snprintf(line, sizeof line,
                "%-6s settling %.3f s, overshoot %.2f %%, rise %.3f s, peak lag %.3f mm, "
                "steady-state error %.3f mm\n",
                when, f->settlingTime, f->overshootPercent, f->riseTime, f->peakLag,
                f->steadyStateError);
  out << line;
}

nlohmann::ordered_json ResultJson(const tune::RunResult& r) {
  nlohmann::ordered_json j;
  j["end"] = tune::EndReasonName(r.end);
  if (!r.message.empty()) j["message"] = r.message;
  j["restored"] = r.restored;
  nlohmann::ordered_json m = nlohmann::ordered_json::object();
  if (const auto& c = r.measured.characteristic) {
    m["velocity"] = {{"fullVelocityOut", c->out.fullVelo},
                     {"fullVelocityIn", c->in.fullVelo},
                     {"ratio", c->veloRatio},
                     {"overlapOut", c->out.overlap},
                     {"overlapIn", c->in.overlap},
                     {"bent", c->out.bent}};
  }
  if (const auto& g = r.measured.ringing) {
    m["dynamics"] = {{"naturalHz", g->HzNatural()}, {"damping", g->zeta}};
  }
  if (const auto& a = r.measured.reached) {
    m["reached"] = {{"acceleration", a->acceleration}, {"deceleration", a->deceleration}};
  }
  j["measurements"] = std::move(m);
  nlohmann::ordered_json p = nlohmann::ordered_json::object();
  for (const auto& v : r.proposal) {
    p[v.name] = {{"current", v.current}, {"proposed", v.proposed}, {"reason", v.reason}};
  }
  j["proposal"] = std::move(p);
  return j;
}

void PrintVerification(std::ostream& out, const tune::Verification& v) {
  if (!v.before && !v.after) return;
  char line[96];
  std::snprintf(line, sizeof line, "test move %.3f -> %.3f mm at %.1f mm/s\n", v.from, v.to,
                v.velocity);
  out << line;
  PrintFigures(out, "before", v.before);
  PrintFigures(out, "after", v.after);
}

void PrintText(std::ostream& out, const tune::RunResult& r) {
  out << "end: " << tune::EndReasonName(r.end);
  if (!r.message.empty()) out << " (" << r.message << ")";
  out << (r.restored ? "" : "; parameters NOT restored") << "\n";
  for (const auto& v : r.proposal) {
    char line[96];
    std::snprintf(line, sizeof line, "%-22s %12.6g -> %12.6g  ", v.name.c_str(), v.current,
                  v.proposed);
    out << line << v.reason << "\n";
  }
}

int RunTune(Context& ctx, const TuneArgs& args) {
  tune::Limits limits;
  if (!ParseWindow(args.window, limits.windowMin, limits.windowMax)) {
    *ctx.err << "axtune-cli: --window wants MIN:MAX in mm\n";
    return kExitUsage;
  }
  limits.maxVelocity = args.maxVelocity;
  limits.lagBound = args.lagBound;
  tune::Steps steps{false, false};
  for (const std::string& s : args.steps) {
    if (s == "velocity") {
      steps.velocity = true;
    } else if (s == "dynamics") {
      steps.dynamics = true;
    } else {
      *ctx.err << "axtune-cli: unknown step " << s << " (velocity, dynamics)\n";
      return kExitUsage;
    }
  }
  int exitCode = 0;
  std::string message;
  auto session = AxisSession::Open(ctx, args.axis, exitCode, message);
  if (!session) {
    *ctx.err << "axtune-cli: " << message << "\n";
    return exitCode;
  }
  CAxtuneDoc& doc = session->Doc();
  const std::optional<trend::RecordTarget> target = trend::CurrentTarget(doc);
  if (!target) {
    *ctx.err << "axtune-cli: no axis selected\n";
    return kExitNothingFound;
  }
  trend::IClock& clock = session->Clock();
  std::unique_ptr<oxa::IOxa> own = OwnOxa(session->Conn(), target->addr.netId);
  if (own->OxaPortOpen() == 0) {
    *ctx.err << "axtune-cli: the recorder's port could not be opened\n";
    return kExitNothingFound;
  }
  own->OxaSyncSetTimeout(trend::Sampler::kTimeoutMs);
  trend::SampleRing ring(trend::SampleRing::kMinCapacity * 256);
  trend::Sampler sampler(*own, *target, kTuneRateHz, clock, ring);

  InterruptGuard signals;
  tune::Sequencer seq(doc, sampler, ring, clock, limits,
                      [] { return InterruptGuard::Interrupted(); });
  const tune::RunResult result = seq.Run(steps);
  tune::ApplyResult applied;
  applied.verification = result.verification;
  const bool applying = args.apply && result.end == tune::EndReason::Done;
  if (applying) applied = seq.ApplyValues(result.proposal);
  own->OxaPortClose();

  if (args.json) {
    nlohmann::ordered_json out = CommandJson("tune", args.axis);
    out.update(ResultJson(result));
    out["verification"] = VerificationJson(applied.verification);
    if (applying) {
      out["applied"] = {
          {"refused", applied.refused.empty() ? nullptr : nlohmann::ordered_json(applied.refused)},
          {"message", applied.message},
          {"differing", applied.differing}};
    }
    out["ok"] = result.end == tune::EndReason::Done && result.restored && applied.Ok();
    if (session->HasErrors()) out["error"] = session->FirstErrorJson();
    *ctx.out << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  } else {
    PrintText(*ctx.out, result);
    PrintVerification(*ctx.out, applied.verification);
    if (applying && applied.refused.empty()) {
      *ctx.out << (applied.differing.empty() ? "applied and read back\n"
                                             : "applied; differing on read-back\n");
    }
  }
  if (result.end == tune::EndReason::StopRequested) return kExitInterrupted;
  std::string failure = result.message;
  if (failure.empty() && !result.restored) failure = "the parameters were not restored";
  if (failure.empty()) failure = applied.refused;
  if (failure.empty()) failure = applied.message;
  if (failure.empty() && !applied.differing.empty()) {
    failure = "the applied values did not read back:";
    for (const std::string& name : applied.differing) failure += " " + name;
  }
  if (result.end != tune::EndReason::Done || !failure.empty()) {
    *ctx.err << "axtune-cli: " << failure << "\n";
    return kExitFailed;
  }
  return 0;
}

}  // namespace

void RegisterTune(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "tune", "Measure the axis inside a window and propose its valve and controller parameters");
  auto args = std::make_shared<TuneArgs>();
  AddAxisOptions(sub, args->axis);
  sub->add_option("--window", args->window, "Travel window MIN:MAX (mm)")->required();
  sub->add_option("--max-velocity", args->maxVelocity, "Highest velocity of the runs (mm/s)")
      ->required()
      ->check(CLI::PositiveNumber);
  sub->add_option("--lag-bound", args->lagBound,
                  "Largest following error (mm); a fifth of the window by default")
      ->check(CLI::NonNegativeNumber);
  sub->add_option("--steps", args->steps, "Runs to do: velocity, dynamics")->delimiter(',');
  sub->add_flag("--apply", args->apply, "Write the proposal and read it back");
  sub->add_flag("--json", args->json, "Print one JSON object");
  sub->callback([&ctx, args] { ctx.exitCode = RunTune(ctx, *args); });
}

}  // namespace cli
