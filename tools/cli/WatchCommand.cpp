// axtune-cli watch --port P --axis N [--target T] [--page K] [--interval ms] [--count K]:
// logs in silently, selects the axis and runs the refresh tick of a page (Online by default)
// every interval, printing the runtime record of the axis as one JSON line per tick, like the
// Online page in a terminal. Ends after K lines with exit 0, at a signal (with 0 lines: the
// only way it ends) with exit 130, or with exit 2 once a read fails (that line carries the
// error instead of the record).
#include <chrono>
#include <ostream>
#include <thread>

#include "model/RuntimeRecord.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/MoveSession.h"
#include "tools/cli/RecordJson.h"

namespace cli {

namespace {

struct WatchArgs {
  AxisArgs axis;
  int32_t page = 2;
  uint32_t intervalMs = 500;
  uint64_t count = 0;
};

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

// The runtime record under its own field names, and what the Online page makes of its words.
nlohmann::ordered_json WatchJson(const model::RuntimeRecord& r) {
  nlohmann::ordered_json j = RuntimeJson(r);
  j["states"] = Names(r.StateBits, kStateBits);
  if ((r.StateBits & model::kStateProtectedMask) != 0) j["states"].push_back("protected");
  j["enables"] = Names(r.EnableBits, kEnableBits);
  j["stepName"] = StepName(r.CurrentStep);
  return j;
}

int RunWatch(Context& ctx, const WatchArgs& args) {
  InterruptGuard signals;
  int exitCode = 0;
  std::string message;
  auto session = AxisSession::Open(ctx, args.axis, exitCode, message);
  if (!session) {
    PrintError(*ctx.err, message);
    return exitCode;
  }
  CAxtuneDoc& doc = session->Doc();
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  for (uint64_t line = 0; args.count == 0 || line < args.count; ++line) {
    if (InterruptGuard::Interrupted()) return kExitInterrupted;
    doc.RefreshAxisData(args.page, nullptr);
    const auto now = std::chrono::steady_clock::now();
    nlohmann::ordered_json j = {
        {"tMs", std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count()}};
    if (session->HasErrors()) {
      // A failed read leaves the record as it was: the line carries the error instead.
      j["ok"] = false;
      j["error"] = session->FirstErrorJson();
      for (const std::string& e : session->TakeErrorLines()) PrintError(*ctx.err, e);
    } else {
      j["ok"] = true;
      j["RuntimeRecord"] = WatchJson(doc.runtime);
    }
    PrintJson(*ctx.out, j);
    if (doc.bCommStopped) return kExitFailed;
    next += std::chrono::milliseconds(args.intervalMs);
    // Wakes in short steps so that a signal ends the watch promptly.
    while (!InterruptGuard::Interrupted() && std::chrono::steady_clock::now() < next &&
           (args.count == 0 || line + 1 < args.count)) {
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          next - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
  }
  return 0;
}

}  // namespace

void RegisterWatch(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "watch",
      "Print the runtime record of one axis every interval as JSON lines (exit 2: a read "
      "failed)");
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
