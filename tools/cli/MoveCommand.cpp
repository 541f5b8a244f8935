// The axis commands of the command panel and the menu as subcommands, for scripts and service
// work. Each logs in silently, selects the axis, sends one command (jog with --duration sends
// the jog and, after that time, the stop) and prints the Oxa result as one JSON object; exit 0
// when the controller accepted it, 2 when it did not or the axis could not be selected, 3 when
// the target has no such axis.
//
//   move --position X --velocity V     start to a position (mode 1)
//   jog --direction pos|neg [--fast] [--duration ms]
//   stop, home, reset, load, clearlog
//   setpos --position X                set the actual position
//   loglevel --level 0..3              the controller's log level (1005)
//   set --no N --value V [--byte]      one numbered parameter, as a double or one byte
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>
#include <thread>

#include "link/Commands.h"
#include "tools/cli/Cli.h"
#include "tools/cli/MoveSession.h"

namespace cli {

namespace {

using Action = std::function<int32_t(CAxtuneDoc&)>;

int RunAxisCommand(Context& ctx, const std::string& name, const AxisArgs& args,
                   const Action& action) {
  nlohmann::ordered_json out = CommandJson(name, args);
  int exitCode = 0;
  std::string message;
  auto session = AxisSession::Open(ctx, args, exitCode, message);
  if (!session) {
    out["result"] = nullptr;
    out["error"] = message;
    *ctx.out << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return exitCode;
  }
  const int32_t result = action(session->Doc());
  out["result"] = result;
  const std::string report = session->TakeReports();
  if (!report.empty()) out["error"] = report;
  *ctx.out << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  return result == oxa::kOk ? 0 : kExitUsage;
}

// A subcommand that only needs the axis.
CLI::App* AddSimple(CLI::App& app, Context& ctx, const std::string& name, const std::string& help,
                    Action action) {
  auto* sub = app.add_subcommand(name, help);
  auto args = std::make_shared<AxisArgs>();
  AddAxisOptions(sub, *args);
  sub->callback([&ctx, name, args, action = std::move(action)] {
    ctx.exitCode = RunAxisCommand(ctx, name, *args, action);
  });
  return sub;
}

struct MoveArgs {
  double position = 0;
  double velocity = 0;
};

struct JogArgs {
  std::string direction;
  bool fast = false;
  uint32_t durationMs = 0;
};

struct SetArgs {
  uint16_t no = 0;
  double value = 0;
  bool byte = false;
};

}  // namespace

void RegisterAxisCommands(CLI::App& app, Context& ctx) {
  auto move = std::make_shared<MoveArgs>();
  auto* sub =
      AddSimple(app, ctx, "move", "Start the axis to a position (mode 1)", [move](CAxtuneDoc& d) {
        return d.Move(axlink::kMoveToPosition, move->position, move->velocity);
      });
  sub->add_option("--position", move->position, "Destination in mm")->required();
  sub->add_option("--velocity", move->velocity, "Velocity in mm/s")
      ->required()
      ->check(CLI::PositiveNumber);

  auto jog = std::make_shared<JogArgs>();
  sub = AddSimple(app, ctx, "jog", "Jog the axis at its jog speed; with --duration, then stop",
                  [jog](CAxtuneDoc& d) {
                    const int32_t speed = jog->fast ? 2 : 1;
                    d.StartJog(jog->direction == "pos" ? speed : -speed);
                    if (jog->durationMs == 0) return oxa::kOk;
                    std::this_thread::sleep_for(std::chrono::milliseconds(jog->durationMs));
                    d.ReleaseJog();
                    return oxa::kOk;
                  });
  sub->add_option("--direction", jog->direction, "pos or neg")
      ->required()
      ->check(CLI::IsMember({"pos", "neg"}));
  sub->add_flag("--fast", jog->fast, "Jog fast instead of slow");
  sub->add_option("--duration", jog->durationMs, "Stop after this many ms (0: keep jogging)")
      ->check(CLI::Range(0u, 600000u));

  AddSimple(app, ctx, "stop", "Stop the axis", [](CAxtuneDoc& d) { return d.StopAxis(); });
  AddSimple(app, ctx, "home", "Home the axis", [](CAxtuneDoc& d) { return d.HomeAxis(); });
  AddSimple(app, ctx, "reset", "Reset the axis error", [](CAxtuneDoc& d) { return d.ResetAxis(); });
  AddSimple(app, ctx, "load", "Load the axis parameters from the controller's parameter file",
            [](CAxtuneDoc& d) { return d.LoadParams(); });
  AddSimple(app, ctx, "clearlog", "Clear the controller's message log of the axis",
            [](CAxtuneDoc& d) { return d.ClearMessageLog(); });

  auto setpos = std::make_shared<double>(0.0);
  sub = AddSimple(app, ctx, "setpos", "Set the actual position of the axis",
                  [setpos](CAxtuneDoc& d) { return d.SetPosition(*setpos); });
  sub->add_option("--position", *setpos, "New actual position in mm")->required();

  auto level = std::make_shared<uint32_t>(0);
  sub = AddSimple(app, ctx, "loglevel", "Set the log level: 0 none, 1 errors, 2 warnings, 3 all",
                  [level](CAxtuneDoc& d) { return d.SetLogLevel(*level); });
  sub->add_option("--level", *level, "0 to 3")->required()->check(CLI::Range(0u, 3u));

  auto set = std::make_shared<SetArgs>();
  sub =
      AddSimple(app, ctx, "set", "Write one numbered parameter of the axis", [set](CAxtuneDoc& d) {
        if (set->byte) {
          const double v = std::isfinite(set->value) ? set->value : 0.0;
          return d.WriteParamNoByte(static_cast<int32_t>(std::clamp(v, 0.0, 255.0)), set->no);
        }
        return d.WriteParamNoReal(set->value, set->no);
      });
  sub->add_option("--no", set->no, "Parameter number")->required();
  sub->add_option("--value", set->value, "Value")->required();
  sub->add_flag("--byte", set->byte, "Send the value as one byte (switches such as 1113)");
}

}  // namespace cli
