// axtune-cli watch --port P --axis N [--target T] [--page K] [--interval ms] [--count K]:
// logs in silently, selects the axis and runs the refresh tick of a page (Online by default)
// every interval, printing the runtime values of the axis as one JSON line per tick, like the
// Online page in a terminal. Ends after K lines (0: until interrupted) with exit 0, or with
// exit 2 once a read fails (the line then carries the report).
#include <atomic>
#include <chrono>
#include <csignal>
#include <ostream>
#include <thread>

#include "model/RuntimeRecord.h"
#include "tools/cli/Cli.h"
#include "tools/cli/MoveSession.h"

namespace cli {

namespace {

struct WatchArgs {
  AxisArgs axis;
  int32_t page = 2;
  uint32_t intervalMs = 500;
  uint64_t count = 0;
};

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
  gInterrupted = 1;
}

struct NamedBit {
  uint32_t bit;
  const char* name;
};

constexpr NamedBit kStateBits[] = {
    {0, "Ready"},     {1, "Homed"},  {2, "Not moving"}, {3, "In position range"},
    {4, "In target"}, {7, "stoped"}, {9, "Moving up"},  {10, "Moving down"},
};
constexpr NamedBit kEnableBits[] = {
    {0, "Control enable"},
    {1, "Feed enable positiv"},
    {2, "Feed enable negativ"},
    {5, "Ref.-Index"},
};

nlohmann::ordered_json Names(uint32_t bits, std::span<const NamedBit> table) {
  nlohmann::ordered_json names = nlohmann::ordered_json::array();
  for (const NamedBit& b : table) {
    if ((bits >> b.bit) & 1u) names.push_back(b.name);
  }
  return names;
}

// The controller's name of a step code, "undefined (n)" for a code it does not name.
std::string StepName(int16_t step) {
  static constexpr const char* kLow[] = {
      "iCvHydStateIdle",       "iCvHydStateCvAccP",      "iCvHydStateCvAccM",
      "iCvHydStatePcAccP",     "iCvHydStatePcAccM",      "iCvHydStateConstVeloP",
      "iCvHydStateConstVeloM", "iCvHydStatePcDecP",      "iCvHydStatePcDecM",
      "iCvHydStateCreepVeloP", "iCvHydStateCreepVeloM",  "iCvHydStateCvDecP",
      "iCvHydStateCvDecM",     "iCvHydStateFeedStopPos", "iCvHydStateFeedStopNeg",
      "iCvHydStateDoBrake"};
  if (step >= 0 && static_cast<size_t>(step) < std::size(kLow)) {
    return kLow[static_cast<size_t>(step)];
  }
  switch (step) {
    case 1000:
      return "iCvHydStateCoupling";
    case 1001:
      return "iCvHydStateCoupled";
    case 1002:
      return "iCvHydStateExtCoupled";
    case 2000:
      return "iCvHydStateExtGenerated";
    case 9000:
    case -9999:
      return "iCvHydStateEmergencyBreak";
    case 9999:
    case -9998:
      return "iCvHydStateFault";
    default:
      return "undefined (" + std::to_string(step) + ")";
  }
}

nlohmann::ordered_json RuntimeJson(const model::RuntimeRecord& r) {
  nlohmann::ordered_json j = {{"position", r.ActualPos},
                              {"setpoint", r.SetpointPos},
                              {"target", r.TargetPos},
                              {"velocity", r.ActualVelo},
                              {"lag", r.Lag},
                              {"distance", r.Distance},
                              {"pressure", r.ActualPressure},
                              {"stateBits", r.StateBits},
                              {"states", Names(r.StateBits, kStateBits)},
                              {"enableBits", r.EnableBits},
                              {"enables", Names(r.EnableBits, kEnableBits)},
                              {"step", r.CurrentStep},
                              {"stepName", StepName(r.CurrentStep)},
                              {"axisState", r.AxisState},
                              {"error", r.ErrorCode},
                              {"unsaved", r.Unsaved}};
  if ((r.StateBits & model::kStateProtectedMask) != 0) j["states"].push_back("protected");
  return j;
}

int RunWatch(Context& ctx, const WatchArgs& args) {
  int exitCode = 0;
  std::string message;
  auto session = AxisSession::Open(ctx, args.axis, exitCode, message);
  if (!session) {
    *ctx.err << "axtune-cli: " << message << "\n";
    return exitCode;
  }
  CAxtuneDoc& doc = session->Doc();
  gInterrupted = 0;
  const auto previous = std::signal(SIGINT, OnInterrupt);
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  int result = 0;
  for (uint64_t line = 0; gInterrupted == 0 && (args.count == 0 || line < args.count); ++line) {
    doc.RefreshAxisData(args.page, nullptr);
    const auto now = std::chrono::steady_clock::now();
    nlohmann::ordered_json j = RuntimeJson(doc.runtime);
    j = {{"t", std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count()},
         {"runtime", std::move(j)}};
    const std::string report = session->TakeReports();
    if (!report.empty()) j["report"] = report;
    *ctx.out << j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
             << std::endl;
    if (doc.bCommStopped) {
      result = kExitUsage;
      break;
    }
    next += std::chrono::milliseconds(args.intervalMs);
    // Wakes in short steps so that an interrupt ends the watch promptly.
    while (gInterrupted == 0 && std::chrono::steady_clock::now() < next &&
           (args.count == 0 || line + 1 < args.count)) {
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          next - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
  }
  std::signal(SIGINT, previous);
  return result;
}

}  // namespace

void RegisterWatch(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "watch",
      "Print the runtime values of one axis every interval as JSON lines (exit 2: a "
      "read failed)");
  auto args = std::make_shared<WatchArgs>();
  AddAxisOptions(sub, args->axis);
  sub->add_option("--page", args->page, "Page whose refresh runs: 0 to 11")
      ->check(CLI::Range(0, 11))
      ->capture_default_str();
  sub->add_option("--interval", args->intervalMs, "Milliseconds between refreshes")
      ->check(CLI::Range(1u, 3600000u))
      ->capture_default_str();
  sub->add_option("--count", args->count, "Lines to print, 0 until interrupted")
      ->capture_default_str();
  sub->callback([&ctx, args] { ctx.exitCode = RunWatch(ctx, *args); });
}

}  // namespace cli
