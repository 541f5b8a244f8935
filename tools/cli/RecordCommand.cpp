// axtune-cli record --port P --axis N [--target T] [--rate HZ] [--seconds S] [--csv FILE]
//                   [--move-to POS --velocity V]
//
// Records the runtime values of one axis headless, on a connection of its own beside the
// document's, and prints one JSON object: the rate, the samples taken and the failed reads.
// With a move, it starts the move through the document after 0.2 s of samples, records until
// the axis has been in target for a second (or the time runs out) and adds the move's
// step-response figures. --csv writes every sample of every channel. Against an emulated
// plant in this process (--sim-config) the recording runs on the plant's own clock, as fast
// as the emulation computes. The CSV file is opened before the first sample; a path that cannot
// be written ends the command at once (exit 4). A signal ends the recording: a move it started
// is stopped, and the samples taken so far are written and printed (exit 130).
//
// Exit 0 when samples were taken (and the move, if any, was accepted); 2 when no read
// succeeded, the move or its values were refused or the file could not be written; 3 when there
// is no such axis.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>

#include "link/Commands.h"
#include "sim/Motion.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/MoveSession.h"
#include "tools/cli/Values.h"
#include "trend/Arm.h"
#include "trend/Moves.h"
#include "trend/Sampler.h"
#include "trend/TrendCsv.h"

namespace cli {

namespace {

// Samples taken before the move starts (s).
constexpr double kLeadTime = 0.2;

struct RecordArgs {
  AxisArgs axis;
  double rate = trend::Sampler::kDefaultRateHz;
  double seconds = 10;
  std::string csv;
  std::optional<std::string> moveTo;
  std::string velocity;
};

nlohmann::ordered_json Number(double v) {
  return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json FiguresJson(const trend::StepFigures& f) {
  return {{"start", Number(f.start)},
          {"target", Number(f.target)},
          {"riseTimeS", Number(f.riseTime)},
          {"overshoot", Number(f.overshoot)},
          {"overshootPercent", Number(f.overshootPercent)},
          {"settlingTimeS", Number(f.settlingTime)},
          {"peakLag", Number(f.peakLag)},
          {"steadyStateError", Number(f.steadyStateError)},
          {"peakVelocity", Number(f.peakVelocity)}};
}

// Removes the observer however the recording ends.
class ObserverGuard {
 public:
  ObserverGuard(CAxtuneDoc& doc, axlink::IDocObserver& o) : doc_(doc), o_(o) {
    doc_.AddObserver(&o_);
  }
  ~ObserverGuard() { doc_.RemoveObserver(&o_); }
  ObserverGuard(const ObserverGuard&) = delete;
  ObserverGuard& operator=(const ObserverGuard&) = delete;

 private:
  CAxtuneDoc& doc_;
  axlink::IDocObserver& o_;
};

// Prints a failure that ends the recording before its first sample.
int Refuse(Context& ctx, nlohmann::ordered_json& out, int exitCode, const std::string& why) {
  SetOutcome(out, false, nullptr, why);
  PrintError(*ctx.err, why);
  PrintJson(*ctx.out, out);
  return exitCode;
}

int RunRecord(Context& ctx, const RecordArgs& args) {
  InterruptGuard signals;
  nlohmann::ordered_json out = CommandJson("record", args.axis);
  double moveTo = 0;
  double velocity = 0;
  if (args.moveTo) {
    std::string why;
    const auto p = CheckValue(*args.moveTo, PositionRule("--move-to"), false, why);
    const auto v =
        p ? CheckValue(args.velocity, VelocityRule("--velocity"), false, why) : std::nullopt;
    if (!p || !v) return Refuse(ctx, out, kExitFailed, why + "; nothing sent");
    moveTo = *p;
    velocity = *v;
  }
  // Opened before the first sample, so that a path that cannot be written costs no recording.
  std::ofstream file;
  if (!args.csv.empty()) {
    file.open(args.csv, std::ios::binary | std::ios::trunc);
    if (!file) {
      return Refuse(ctx, out, kExitUsage,
                    "cannot write " + args.csv + " (" + std::strerror(errno) + ")");
    }
  }
  int exitCode = 0;
  std::string message;
  auto session = AxisSession::Open(ctx, args.axis, exitCode, message);
  if (!session) return Refuse(ctx, out, exitCode, message);
  CAxtuneDoc& doc = session->Doc();
  const std::optional<trend::RecordTarget> target = trend::CurrentTarget(doc);
  if (!target) return Refuse(ctx, out, kExitFailed, "no axis selected");
  trend::IClock* clock = &session->Clock();

  std::unique_ptr<oxa::IOxa> own = OwnOxa(session->Conn(), target->addr.netId);
  if (own->OxaPortOpen() == 0) {
    return Refuse(ctx, out, kExitFailed, "the recorder's port could not be opened");
  }
  own->OxaSyncSetTimeout(trend::Sampler::kTimeoutMs);

  const double rate = trend::Sampler::ClampRate(args.rate);
  trend::SampleRing ring(trend::SampleRing::CapacityFor(rate, args.seconds + 1.0));
  trend::Sampler sampler(*own, *target, rate, *clock, ring);
  trend::MoveTracker tracker;
  trend::CommandArm arm(*clock, [&tracker](const trend::MoveMark& m) { tracker.Mark(m); });
  std::optional<int32_t> moveResult;
  std::optional<trend::MoveResult> move;
  {
    ObserverGuard guard(doc, arm);
    const double start = clock->Now();
    uint64_t seen = 0;
    std::vector<trend::Sample> fresh;
    while (!InterruptGuard::Interrupted()) {
      if (ctx.onWaitStep) ctx.onWaitStep(clock->Now() - start);
      sampler.Tick();
      fresh.clear();
      seen = ring.CopySince(seen, fresh);
      tracker.Add(fresh);
      const double now = clock->Now();
      if (args.moveTo && !moveResult && now - start >= kLeadTime) {
        moveResult = doc.Move(axlink::kMoveToPosition, moveTo, velocity);
        if (*moveResult != oxa::kOk) break;
      }
      if (auto ended = tracker.TakeEnded(); !ended.empty()) {
        move = ended.back();
        break;
      }
      if (now - start >= args.seconds) break;
    }
    const bool interrupted = InterruptGuard::Interrupted();
    nlohmann::ordered_json stop;
    // A move this recording started is stopped before anything else.
    if (interrupted && moveResult == oxa::kOk) session->StopAndSettle(ctx, stop);
    tracker.Finish();
    if (auto ended = tracker.TakeEnded(); !move && !ended.empty()) move = ended.back();
    std::vector<trend::Sample> all;
    ring.CopySince(0, all);

    out["rate"] = rate;
    out["tS"] = clock->Now() - start;
    out["samples"] = ring.Total();
    out["failedReads"] = sampler.Failures();
    out["missedTicks"] = sampler.MissedTicks();
    if (sampler.Failures() > 0) out["lastError"] = sampler.LastError();
    std::string fileError;
    if (file.is_open()) {
      trend::WriteCsv(file, all, trend::ChannelSet().set(), start);
      file.close();
      out["csv"] = args.csv;
      if (!file) {
        fileError = "cannot write " + args.csv;
        exitCode = kExitFailed;
      }
    }
    if (args.moveTo) {
      nlohmann::ordered_json m = {{"position", moveTo}, {"velocity", velocity}};
      m["result"] = moveResult ? nlohmann::ordered_json(*moveResult) : nullptr;
      if (moveResult && *moveResult != oxa::kOk) exitCode = kExitFailed;
      if (move) {
        m["inTarget"] = move->inTarget;
        m["band"] = move->mark.band;
        m["lagKp"] = move->mark.lagKp;
        m["figures"] = FiguresJson(move->figures);
      }
      if (!all.empty()) {
        m["finalPosition"] = all.back().values[trend::kActualPos];
        m["finalInTarget"] = trend::ChannelValue(all.back(), trend::kBitInTarget) != 0.0;
      }
      if (!stop.empty()) m.update(stop);
      out["move"] = std::move(m);
    }
    if (ring.Total() == 0) {
      exitCode = kExitFailed;
      if (fileError.empty()) fileError = "no sample could be read";
    }
    if (interrupted) {
      exitCode = kExitInterrupted;
      out["interrupted"] = SignalName(InterruptGuard::Signal());
    }
    SetOutcome(out, exitCode == 0, session.get(), fileError);
    if (!fileError.empty()) PrintError(*ctx.err, fileError);
  }
  for (const std::string& line : session->TakeErrorLines()) PrintError(*ctx.err, line);
  if (InterruptGuard::Interrupted()) {
    PrintError(*ctx.err, std::string("interrupted by ") + SignalName(InterruptGuard::Signal()) +
                             "; the samples taken are written");
  }
  own->OxaPortClose();
  PrintJson(*ctx.out, out);
  return exitCode;
}

}  // namespace

void RegisterRecord(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "record",
      "Record the runtime values of one axis at a fixed rate; with --move-to, start a move "
      "and print its step-response figures");
  auto args = std::make_shared<RecordArgs>();
  AddAxisOptions(sub, args->axis);
  sub->add_option("--rate", args->rate, "Samples per second, 10 to 1000")
      ->check(CLI::Range(trend::Sampler::kMinRateHz, trend::Sampler::kMaxRateHz))
      ->capture_default_str();
  sub->add_option("--seconds", args->seconds, "Longest recording, in s")
      ->check(CLI::Range(0.1, 3600.0))
      ->capture_default_str();
  sub->add_option("--csv", args->csv, "Write every sample to this CSV file");
  auto* moveTo = sub->add_option("--move-to", args->moveTo, "Start a move to this position (mm)");
  auto* velocity =
      sub->add_option("--velocity", args->velocity, "Velocity of the move (mm/s), above 0");
  moveTo->needs(velocity);
  velocity->needs(moveTo);
  sub->callback([&ctx, args] { ctx.exitCode = RunRecord(ctx, *args); });
}

}  // namespace cli
