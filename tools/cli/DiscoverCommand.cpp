// axtune-cli discover [--target NETID|ROUTE|Local]: logs in to the target and prints what the
// axis tree, the document and the status bar would show, as JSON.
#include <nlohmann/json.hpp>
#include <ostream>

#include "link/AxisList.h"
#include "link/Login.h"
#include "link/Routes.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

struct Target {
  oxa::NetId netId;
  std::string title;
};

// "Local" (or nothing), a NetId, or the name of a route of the local router.
std::optional<Target> ResolveTarget(oxa::IOxa& oxa, const std::string& text) {
  oxa::OxaAddr local;
  if (oxa.OxaGetLocalAddress(&local) != oxa::kOk) local = {};
  if (text.empty() || text == "Local") return Target{local.netId, std::string(axlink::kTitleLocal)};

  const auto entries = axlink::ReadTargetEntries(oxa);
  const auto netId = oxa::NetId::Parse(text);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (netId ? entries[i].netId == *netId : (i > 0 && entries[i].name == text)) {
      const auto choice = axlink::ChooseTarget(entries, i);
      return Target{choice->netId, choice->title};
    }
  }
  if (netId)
    return Target{*netId,
                  netId == local.netId ? std::string(axlink::kTitleLocal) : "Axtune -> " + text};
  return std::nullopt;
}

class CliDocument final : public axlink::ILoginDocument {
 public:
  void ResetLink() override { versions.Reset(); }
  void StoreLinkVersions(const model::LibVersion& lib,
                         const model::RecordVersionTable& table) override {
    versions.Store(lib, table);
  }
  axlink::LinkVersions versions;
};

// The scan's progress as one line on a terminal, rewritten in place and cleared at the end.
class TerminalProgress final : public axlink::ILoginProgress {
 public:
  explicit TerminalProgress(std::ostream& err) : err_(err) {}
  ~TerminalProgress() override {
    if (written_) err_ << "\r\x1b[K" << std::flush;
  }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  bool Continue(const axlink::LoginProgress& p) override {
    err_ << "\r\x1b[Kprobe " << p.done + 1 << " of " << p.total << ": port " << p.port;
    if (p.task != 0) err_ << ", task " << p.task;
    err_ << " (" << p.servers << (p.servers == 1 ? " axis server" : " axis servers") << " found)"
         << std::flush;
    written_ = true;
    return true;
  }

 private:
  std::ostream& err_;
  bool written_ = false;
};

nlohmann::json LibJson(const model::LibVersion& lib) {
  return {{"major", lib.major}, {"minor", lib.minor}, {"build", lib.build}};
}

int RunDiscover(Context& ctx, const std::string& targetText) {
  std::string error;
  auto conn = Connection::Open(ctx, error);
  if (!conn) {
    PrintError(*ctx.err, error);
    return kExitUsage;
  }
  const auto target = ResolveTarget(conn->Oxa(), targetText);
  if (!target) {
    PrintError(*ctx.err, "no route named \"" + targetText + "\"");
    return kExitNothingFound;
  }

  axlink::AxisList lists;
  CliDocument doc;
  axlink::FrameStatus status;
  axlink::LoginEnv env;
  env.oxa = &conn->Oxa();
  env.portHandle = conn->PortHandle();
  env.target = target->netId;
  env.targetTitle = target->title;
  env.lists = &lists;
  env.document = &doc;
  env.status = &status;
  std::optional<TerminalProgress> progress;
  if (ctx.errIsTerminal) env.progress = &progress.emplace(*ctx.err);
  const bool online = axlink::Login(env);
  progress.reset();

  nlohmann::json servers = nlohmann::json::array();
  for (const axlink::ServerNode& s : lists.Servers()) {
    nlohmann::json axes = nlohmann::json::array();
    for (const axlink::AxisNode& a : s.axes) {
      axes.push_back({{"name", Latin1ToUtf8(a.name)}, {"number", a.number}});
    }
    servers.push_back({{"caption", Latin1ToUtf8(s.caption)},
                       {"netId", s.addr.netId.ToString()},
                       {"port", s.addr.port},
                       {"lib", LibJson(s.lib)},
                       {"RecordVersionTable", s.versions},
                       {"axes", std::move(axes)}});
  }
  const nlohmann::json out = {
      {"target", target->netId.ToString()}, {"windowTitle", ToUtf8(status.windowTitle)},
      {"connection", status.connection},    {"versionText", status.versionText},
      {"lib", LibJson(doc.versions.lib)},   {"RecordVersionTable", doc.versions.table},
      {"servers", std::move(servers)}};
  *ctx.out << out.dump(2) << "\n";
  if (online) return 0;
  // Why it is offline: the target did not answer, or it answered and no axis server did.
  std::string why = conn->UnreachableText(target->netId, targetText);
  if (why.empty()) {
    why = "OFFLINE: no axis server answered on " + target->netId.ToString() +
          " at the Oxa ports of the CV2 tasks (802 to 835) and the CV3 runtimes (851 to 870)";
  } else {
    why = "OFFLINE: " + why;
  }
  PrintError(*ctx.err, why);
  return kExitNothingFound;
}

}  // namespace

void RegisterDiscover(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "discover", "Log in to the target and list its axis servers and axes (exit 3: none found)");
  auto target = std::make_shared<std::string>("Local");
  sub->add_option("--target", *target, "NetId, route name or Local")->capture_default_str();
  sub->callback([&ctx, target] { ctx.exitCode = RunDiscover(ctx, *target); });
}

}  // namespace cli
