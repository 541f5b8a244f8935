#include "sim/Commands.h"

#include "sim/Reply.h"
#include "sim/RuntimeRecords.h"

namespace sim {

namespace {

using ReplyingCommand =
    std::function<oxa::OxaReplyInfo(SimAxis& axis, std::span<const uint8_t> data)>;

bool AddCommand(AxisServer& server, uint32_t offset, uint32_t length, ReplyingCommand handler) {
  return server.AddAxisGroup(kGroupCommands, offset, 0,
                             [length, handler = std::move(handler)](
                                 SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t>) {
                               if (r.command != oxa::Command::Write)
                                 return Fail(oxa::kErrServiceNotSupported);
                               if (r.writeData.size() != length) return Fail(oxa::kErrInvalidSize);
                               return handler(axis, r.writeData);
                             });
}

oxa::OxaReplyInfo Save(CommandState& state, SimAxis& axis) {
  ParamSnapshot snapshot;
  const bool taken = SnapshotAxisParameters(axis, state.saveDir, snapshot);
  state.lastFile = snapshot.path;
  if (!taken) return Fail(oxa::kErrNotReady);
  const AxisRuntime* runtime = RuntimeOf(axis);
  const uint64_t changes = runtime ? runtime->paramChanges : 0;
  const uint64_t ticket = state.saves.Enter(snapshot.path);
  oxa::OxaReplyInfo reply = Done();
  reply.finish = [&state, &axis, snapshot = std::move(snapshot), changes, ticket] {
    if (!state.saves.Write(ticket, snapshot, state.writeFile)) return oxa::kErrAccessDenied;
    axis.Server().Ctrl().Locked([&] {
      AxisRuntime* rt = RuntimeOf(axis);
      if (rt && rt->paramChanges == changes) rt->values.Unsaved = false;
    });
    return oxa::kOk;
  };
  return reply;
}

}  // namespace

bool AddAxisCommand(AxisServer& server, uint32_t offset, uint32_t length, CommandHandler handler) {
  return AddCommand(server, offset, length,
                    [handler = std::move(handler)](SimAxis& axis, std::span<const uint8_t> data) {
                      const int32_t result = handler(axis, data);
                      return result == oxa::kOk ? Done() : Fail(result);
                    });
}

CommandState* CommandsOf(AxisServer& server) {
  return server.Ext().Find<CommandState>();
}

bool InstallFileCommands(AxisServer& server, const std::filesystem::path& saveDir,
                         std::string& error) {
  if (CommandsOf(server)) {
    error = "the file commands are already served";
    return false;
  }
  CommandState& state = server.Ext().Emplace<CommandState>();
  state.saveDir = saveDir;
  const bool ok =
      AddCommand(server, kCommandSaveParams, 0,
                 [&state](SimAxis& axis, std::span<const uint8_t>) { return Save(state, axis); }) &&
      AddAxisCommand(server, kCommandLoadParams, 0,
                     [&state](SimAxis& axis, std::span<const uint8_t>) {
                       return LoadAxisParameters(axis, state.saveDir, state.lastFile);
                     });
  if (!ok) error = "the save and load commands are already served";
  return ok;
}

void SetSaveDir(Plant& plant, const std::filesystem::path& dir) {
  for (const auto& server : plant.Servers()) {
    if (CommandState* state = CommandsOf(*server)) state->saveDir = dir;
  }
}

ServerFeature CommandsFeature() {
  return {"commands",
          {"saveDir"},
          {},
          [](AxisServer& server, const nlohmann::json& config, std::string& error) {
            std::filesystem::path dir = DefaultSaveDir();
            if (config.contains("saveDir")) {
              const nlohmann::json& d = config.at("saveDir");
              if (!d.is_string() || d.get<std::string>().empty()) {
                error = "\"saveDir\" must be a directory name";
                return false;
              }
              dir = d.get<std::string>();
            }
            return InstallFileCommands(server, dir, error);
          }};
}

}  // namespace sim
