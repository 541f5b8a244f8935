#include "sim/Commands.h"

#include <map>
#include <set>

#include "model/ParamRecord.h"
#include "sim/ParamStore.h"
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

// Axis key "paramFile": a plain name that becomes the axis's FileName (PrepareSaveDirs finds two
// axes given the same file).
bool ReadParamFiles(AxisServer& server, const nlohmann::json& config, std::string& error) {
  const auto axes = config.find("axes");
  if (axes == config.end() || !axes->is_array()) return true;
  for (size_t i = 0; i < axes->size() && i < server.Axes().size(); ++i) {
    const nlohmann::json& a = (*axes)[i];
    if (!a.is_object() || !a.contains("paramFile")) continue;
    const std::string at = "axes[" + std::to_string(i) + "].paramFile";
    const nlohmann::json& f = a.at("paramFile");
    std::string name;
    if (!f.is_string() || !Utf8ToLatin1(f.get_ref<const std::string&>(), name) ||
        name.size() >= model::kFileNameWireLength || !IsPlainFileName(name)) {
      error = at +
              " must be a file name of at most 255 Latin-1 characters, without a directory, "
              "not starting with '.'";
      return false;
    }
    ParamStore* store = ParamsOf(*server.Axes()[i]);
    if (store == nullptr) {
      error = at + ": the axis keeps no parameters";
      return false;
    }
    model::SetFileName(store->Record(), name);
  }
  return true;
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

bool PrepareSaveDirs(Plant& plant, std::string& error) {
  std::set<std::filesystem::path> dirs;
  std::map<std::filesystem::path, std::string> owners;  // file -> "port P axis N"
  for (const auto& server : plant.Servers()) {
    const CommandState* state = CommandsOf(*server);
    if (!state) continue;
    dirs.insert(state->saveDir);
    for (const auto& axis : server->Axes()) {
      const std::string who =
          "port " + std::to_string(server->Port()) + " axis " + std::to_string(axis->Number());
      const std::filesystem::path file = AxisFilePath(*axis, state->saveDir);
      std::error_code ec;
      const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
      const auto [it, fresh] = owners.emplace(ec ? file : absolute, who);
      if (!fresh) {
        error = who + " and " + it->second + " would both save to " + it->first.string() +
                " (give one of them another \"paramFile\")";
        return false;
      }
    }
  }
  for (const auto& dir : dirs) {
    if (!PrepareSaveDir(dir, error)) return false;
  }
  return true;
}

ServerFeature CommandsFeature() {
  return {"commands",
          {"saveDir"},
          {"paramFile"},
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
            return ReadParamFiles(server, config, error) && InstallFileCommands(server, dir, error);
          }};
}

}  // namespace sim
