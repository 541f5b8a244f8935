// The axis commands of the command panel and the menu as subcommands, for scripts and service
// work. Each checks its values as the window does (a refused value is sent nowhere), logs in
// silently, selects the axis, sends one command and prints one JSON object: the Oxa result,
// "ok", and for a failure the error. Exit 0 when the controller accepted it, 2 when it or the
// window's checks refused it or the axis could not be selected, 3 when the target has no such
// axis or cannot be reached, 130 when a signal ended it.
//
//   move --position X --velocity V [--wait [--timeout S]]   start to a position (mode 1)
//   jog --direction pos|neg [--fast] [--duration ms]         jog, then stop
//   stop, home, reset, load, clearlog
//   setpos --position X                set the actual position
//   loglevel --level 0..3              the controller's log level (1005)
//   set --no N --value V [--byte] [--force]   one numbered parameter, as a double or one byte
//
// jog, and move while it waits, stop the axis on SIGINT, SIGTERM and SIGHUP before they end.
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>

#include "journal/Format.h"
#include "link/Commands.h"
#include "model/RuntimeRecord.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/MoveSession.h"
#include "tools/cli/Values.h"

namespace cli {

namespace {

// StateBits of an axis that has reached its target.
constexpr uint32_t kInTargetBits = (1u << 4) | (1u << 2);

// Checks the values before anything is sent; false with the refusal in `why`.
using Check = std::function<bool(std::string& why)>;
// Sends the command through the session, fills the answer and returns the exit code.
using Action = std::function<int(const Context&, AxisSession&, nlohmann::ordered_json&)>;

struct Command {
  Check check;
  Action action;
  bool moves = false;  // the command moves the axis: a signal stops it
};

int RunAxisCommand(Context& ctx, const std::string& name, const AxisArgs& args,
                   const Command& command) {
  std::optional<InterruptGuard> guard;
  if (command.moves) guard.emplace();
  nlohmann::ordered_json out = CommandJson(name, args);
  std::string why;
  if (command.check && !command.check(why)) {
    out["result"] = nullptr;
    SetOutcome(out, false, nullptr, why + "; nothing sent");
    PrintError(*ctx.err, why + "; nothing sent");
    PrintJson(*ctx.out, out);
    return kExitFailed;
  }
  int exitCode = 0;
  std::string message;
  auto session = AxisSession::Open(ctx, args, exitCode, message);
  if (!session || (command.moves && InterruptGuard::Interrupted())) {
    if (session) {
      exitCode = kExitInterrupted;
      message = std::string("interrupted by ") + SignalName(InterruptGuard::Signal()) +
                " before anything was sent";
      out["interrupted"] = SignalName(InterruptGuard::Signal());
    }
    out["result"] = nullptr;
    SetOutcome(out, false, nullptr, message);
    PrintError(*ctx.err, message);
    PrintJson(*ctx.out, out);
    return exitCode;
  }
  const int code = command.action(ctx, *session, out);
  if (!out.contains("ok")) SetOutcome(out, code == 0, session.get());
  for (const std::string& line : session->TakeErrorLines()) PrintError(*ctx.err, line);
  if (code == kExitInterrupted) {
    PrintError(*ctx.err, std::string("interrupted by ") + SignalName(InterruptGuard::Signal()) +
                             (out.value("stopResult", -1) == 0 ? "; the axis was stopped"
                                                               : "; the stop failed"));
  }
  PrintJson(*ctx.out, out);
  return code;
}

// Sets "result" and returns the exit code of a request's result.
int ByResult(nlohmann::ordered_json& out, int32_t result) {
  out["result"] = result;
  return result == oxa::kOk ? 0 : kExitFailed;
}

// Adds what a signal left: its name, and the exit code 130.
int Interrupted(nlohmann::ordered_json& out) {
  out["interrupted"] = SignalName(InterruptGuard::Signal());
  out["ok"] = false;
  return kExitInterrupted;
}

CLI::App* AddCommand(CLI::App& app, Context& ctx, const std::string& name, const std::string& help,
                     Command command) {
  auto* sub = app.add_subcommand(name, help);
  auto args = std::make_shared<AxisArgs>();
  AddAxisOptions(sub, *args);
  sub->callback([&ctx, name, args, command = std::move(command)] {
    ctx.exitCode = RunAxisCommand(ctx, name, *args, command);
  });
  return sub;
}

// A subcommand that only needs the axis.
void AddSimple(CLI::App& app, Context& ctx, const std::string& name, const std::string& help,
               std::function<int32_t(CAxtuneDoc&)> send) {
  AddCommand(
      app, ctx, name, help,
      {{}, [send = std::move(send)](const Context&, AxisSession& s, nlohmann::ordered_json& out) {
         return ByResult(out, send(s.Doc()));
       }});
}

// A value option: its text, and the value the check made of it.
struct Value {
  std::string text;
  double value = 0;

  bool Check(const ValueRule& rule, bool force, std::string& why) {
    const auto v = CheckValue(text, rule, force, why);
    if (v) value = *v;
    return v.has_value();
  }
};

struct MoveArgs {
  Value position;
  Value velocity;
  bool wait = false;
  double timeoutS = 60;
};

struct JogArgs {
  std::string direction;
  bool fast = false;
  uint32_t durationMs = 0;
};

struct SetArgs {
  uint16_t no = 0;
  Value value;
  bool byte = false;
  bool force = false;
};

int RunMove(const Context& ctx, AxisSession& s, nlohmann::ordered_json& out, const MoveArgs& a) {
  CAxtuneDoc& doc = s.Doc();
  const double position = a.position.value;
  if (const int code = ByResult(out, doc.Move(axlink::kMoveToPosition, position, a.velocity.value));
      code != 0 || !a.wait) {
    return code;
  }
  bool inTarget = false;
  const bool waited = s.Wait(ctx, a.timeoutS, [&] {
    doc.RefreshAxisData(model::kPageOnline, nullptr);
    const model::RuntimeRecord& r = doc.runtime;
    inTarget = !doc.bCommStopped && (r.StateBits & kInTargetBits) == kInTargetBits &&
               std::abs(r.TargetPos - position) <= 1e-9 * std::max(1.0, std::abs(position));
    return inTarget || doc.bCommStopped;
  });
  if (inTarget) {
    out["inTarget"] = true;
    out["ActualPos"] = doc.runtime.ActualPos;
    return 0;
  }
  out["inTarget"] = false;
  // Interrupted, a failed read or the time out: the axis is stopped.
  const bool readFailed = doc.bCommStopped;
  s.StopAndSettle(ctx, out);
  if (!waited) return Interrupted(out);
  if (!readFailed) {
    out["ok"] = false;
    out["error"] = {{"text", "not in target after " + journal::FormatNumber(a.timeoutS) +
                                 " s; the axis was stopped"}};
    PrintError(*ctx.err, out["error"]["text"].get<std::string>());
  }
  return kExitFailed;
}

int RunJog(const Context& ctx, AxisSession& s, nlohmann::ordered_json& out, const JogArgs& a) {
  CAxtuneDoc& doc = s.Doc();
  const int32_t speed = a.fast ? 2 : 1;
  const int32_t result = doc.StartJog(a.direction == "pos" ? speed : -speed);
  if (result != oxa::kOk) {
    doc.nJogState = 0;  // nothing runs that a stop would end
    return ByResult(out, result);
  }
  out["result"] = result;
  const double start = s.Clock().Now();
  // Without a duration the jog runs until a signal, as a key held down.
  const double duration =
      a.durationMs == 0 ? std::numeric_limits<double>::infinity() : a.durationMs / 1000.0;
  const bool full = s.Wait(ctx, duration);
  out["jogMs"] = std::llround((s.Clock().Now() - start) * 1000.0);
  const int32_t stop = s.StopAndSettle(ctx, out);
  if (!full) return Interrupted(out);
  return stop == oxa::kOk ? 0 : kExitFailed;
}

}  // namespace

void RegisterAxisCommands(CLI::App& app, Context& ctx) {
  auto move = std::make_shared<MoveArgs>();
  auto* sub = AddCommand(app, ctx, "move",
                         "Start the axis to a position (mode 1); with --wait, until in target",
                         {[move](std::string& why) {
                            return move->position.Check(PositionRule("--position"), false, why) &&
                                   move->velocity.Check(VelocityRule("--velocity"), false, why);
                          },
                          [move](const Context& c, AxisSession& s, nlohmann::ordered_json& out) {
                            return RunMove(c, s, out, *move);
                          },
                          true});
  sub->add_option("--position", move->position.text, "Destination in mm")->required();
  sub->add_option("--velocity", move->velocity.text, "Velocity in mm/s, above 0")->required();
  sub->add_flag("--wait", move->wait,
                "Wait until the axis is in target; stop it on a signal or at the timeout");
  sub->add_option("--timeout", move->timeoutS, "Longest wait in s")
      ->check(CLI::Range(0.1, 86400.0))
      ->capture_default_str();

  auto jog = std::make_shared<JogArgs>();
  sub = AddCommand(app, ctx, "jog",
                   "Jog the axis at its jog speed for --duration ms (0: until a signal), then stop",
                   {{},
                    [jog](const Context& c, AxisSession& s, nlohmann::ordered_json& out) {
                      return RunJog(c, s, out, *jog);
                    },
                    true});
  sub->add_option("--direction", jog->direction, "pos or neg")
      ->required()
      ->check(CLI::IsMember({"pos", "neg"}));
  sub->add_flag("--fast", jog->fast, "Jog fast instead of slow");
  sub->add_option("--duration", jog->durationMs, "Stop after this many ms (0: at a signal)")
      ->check(CLI::Range(0u, 600000u));

  AddSimple(app, ctx, "stop", "Stop the axis", [](CAxtuneDoc& d) { return d.StopAxis(); });
  AddSimple(app, ctx, "home", "Home the axis", [](CAxtuneDoc& d) { return d.HomeAxis(); });
  AddSimple(app, ctx, "reset", "Reset the axis error", [](CAxtuneDoc& d) { return d.ResetAxis(); });
  AddSimple(app, ctx, "load", "Load the axis parameters from the controller's parameter file",
            [](CAxtuneDoc& d) { return d.LoadParams(); });
  AddSimple(app, ctx, "clearlog", "Clear the controller's message log of the axis",
            [](CAxtuneDoc& d) { return d.ClearMessageLog(); });

  auto setpos = std::make_shared<Value>();
  sub = AddCommand(
      app, ctx, "setpos", "Set the actual position of the axis",
      {[setpos](std::string& why) { return setpos->Check(PositionRule("--position"), false, why); },
       [setpos](const Context&, AxisSession& s, nlohmann::ordered_json& out) {
         return ByResult(out, s.Doc().SetPosition(setpos->value));
       }});
  sub->add_option("--position", setpos->text, "New actual position in mm")->required();

  auto level = std::make_shared<Value>();
  sub = AddCommand(
      app, ctx, "loglevel", "Set the log level: 0 none, 1 errors, 2 warnings, 3 all",
      {[level](std::string& why) { return level->Check(LogLevelRule("--level"), false, why); },
       [level](const Context&, AxisSession& s, nlohmann::ordered_json& out) {
         return ByResult(out, s.Doc().SetLogLevel(static_cast<uint32_t>(level->value)));
       }});
  sub->add_option("--level", level->text, "0 to 3")->required();

  auto set = std::make_shared<SetArgs>();
  sub = AddCommand(
      app, ctx, "set", "Write one numbered parameter of the axis, checked as its page checks it",
      {[set](std::string& why) {
         return set->value.Check(ParamRule(set->no, set->byte), set->force, why);
       },
       [set](const Context&, AxisSession& s, nlohmann::ordered_json& out) {
         CAxtuneDoc& d = s.Doc();
         return ByResult(
             out, set->byte ? d.WriteParamNoByte(static_cast<int32_t>(set->value.value), set->no)
                            : d.WriteParamNoReal(set->value.value, set->no));
       }});
  sub->add_option("--no", set->no, "Parameter number")->required();
  sub->add_option("--value", set->value.text, "Value (a hexadecimal word for 1118 and 1119)")
      ->required();
  sub->add_flag("--byte", set->byte,
                "Send the value as one byte, 0 to 255 (switches such as 1113)");
  sub->add_flag("--force", set->force,
                "Send a value outside the limits of the window's field (never NaN or inf)");
}

}  // namespace cli
