// axtune-cli save --port P --axis N [--target T]: logs in silently and tells axis N of the axis
// server on port P to save its parameters to its own parameter file, as the "Save" button does.
// Prints where the command went, the file name the axis holds and the result, as JSON.
#include <array>
#include <nlohmann/json.hpp>
#include <ostream>

#include "i18n/StringTable.h"
#include "link/AxisList.h"
#include "link/ErrorText.h"
#include "link/Login.h"
#include "link/Routes.h"
#include "model/ParamRecord.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

constexpr uint32_t kGroupCommands = 0x80004200;
constexpr uint32_t kOffsetSaveParams = 0xFFFF0001;
constexpr uint32_t kGroupParamNo = 0x800F0000;

struct SaveArgs {
  uint16_t port = 0;
  uint16_t axis = 0;
  std::string target = "Local";
};

// "Local" (or nothing), a NetId, or the name of a route of the local router.
std::optional<oxa::NetId> TargetNetId(oxa::IOxa& oxa, const std::string& text) {
  oxa::OxaAddr local;
  if (oxa.OxaGetLocalAddress(&local) != oxa::kOk) local = {};
  if (text.empty() || text == "Local") return local.netId;
  if (const auto netId = oxa::NetId::Parse(text)) return netId;
  const auto entries = axlink::ReadTargetEntries(oxa);
  for (size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].name == text) return entries[i].netId;
  }
  return std::nullopt;
}

class QuietDocument final : public axlink::ILoginDocument {
 public:
  void ResetLink() override {}
  void StoreLinkVersions(const model::LibVersion&, const model::RecordVersionTable&) override {}
};

int RunSave(Context& ctx, const SaveArgs& args) {
  std::string error;
  auto conn = Connection::Open(ctx.options, error);
  if (!conn) {
    *ctx.err << "axtune-cli: " << error << "\n";
    return kExitUsage;
  }
  const auto target = TargetNetId(conn->Oxa(), args.target);
  if (!target) {
    *ctx.err << "axtune-cli: no route named \"" << args.target << "\"\n";
    return kExitUsage;
  }

  axlink::AxisList lists;
  QuietDocument doc;
  axlink::FrameStatus status;
  axlink::LoginEnv env;
  env.oxa = &conn->Oxa();
  env.portHandle = conn->PortHandle();
  env.target = *target;
  env.lists = &lists;
  env.document = &doc;
  env.status = &status;
  axlink::Login(env);

  const axlink::ServerNode* server = nullptr;
  const axlink::AxisNode* axis = nullptr;
  for (const axlink::ServerNode& s : lists.Servers()) {
    if (s.addr.port != args.port) continue;
    for (const axlink::AxisNode& a : s.axes) {
      if (a.number == args.axis) {
        server = &s;
        axis = &a;
      }
    }
  }
  if (server == nullptr) {
    *ctx.err << "axtune-cli: no axis " << args.axis << " on an axis server at port " << args.port
             << "\n";
    return kExitNothingFound;
  }

  nlohmann::json out = {{"target", server->addr.netId.ToString()},
                        {"port", server->addr.port},
                        {"axis", args.axis},
                        {"name", Latin1ToUtf8(axis->name)}};
  // The name the controller stores the file under, where the server answers it by number.
  std::array<char, model::kFileNameWireLength> fileName{};
  if (conn->Oxa().OxaSyncReadReq(&server->addr, kGroupParamNo + args.axis, model::kParamNoFileName,
                                 model::kFileNameWireLength, fileName.data()) == oxa::kOk) {
    fileName.back() = '\0';
    out["FileName"] = Latin1ToUtf8(fileName.data());
  }
  const uint32_t group = kGroupCommands + args.axis;
  const int32_t result =
      conn->Oxa().OxaSyncWriteReq(&server->addr, group, kOffsetSaveParams, 0, nullptr);
  out["indexGroup"] = group;
  out["indexOffset"] = kOffsetSaveParams;
  out["result"] = result;
  *ctx.out << out.dump(2) << "\n";
  if (result != oxa::kOk) {
    const i18n::StringTable strings;
    *ctx.err << axlink::BuildOxaErrorText(strings, false, true, result, group, kOffsetSaveParams)
             << "\n";
    return kExitUsage;
  }
  return 0;
}

}  // namespace

void RegisterSave(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "save", "Tell an axis to save its parameters to its parameter file on the controller");
  auto args = std::make_shared<SaveArgs>();
  sub->add_option("--port", args->port, "Oxa port of the axis server")->required();
  sub->add_option("--axis", args->axis, "Axis number")->required();
  sub->add_option("--target", args->target, "NetId, route name or Local")->capture_default_str();
  sub->callback([&ctx, args] { ctx.exitCode = RunSave(ctx, *args); });
}

}  // namespace cli
