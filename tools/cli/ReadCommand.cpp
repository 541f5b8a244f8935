// axtune-cli read --port P --axis N [--page K] [--target T]: logs in silently, reads the
// parameter record of axis N of the axis server on port P with that server's library version and
// record version table, and prints it as JSON.
#include <nlohmann/json.hpp>
#include <ostream>

#include "i18n/StringTable.h"
#include "link/AxisList.h"
#include "link/ErrorText.h"
#include "link/LinkState.h"
#include "link/Login.h"
#include "model/ParamRead.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

struct ReadArgs {
  uint16_t port = 0;
  uint16_t axis = 0;
  int page = model::kPageAll;
  std::string target = "Local";
};

class QuietDocument final : public axlink::ILoginDocument {
 public:
  void ResetLink() override {}
  void StoreLinkVersions(const model::LibVersion&, const model::RecordVersionTable&) override {}
};

// Every failure the read reports goes to stderr as the error box would word it.
class StderrReport final : public model::IErrorReport {
 public:
  explicit StderrReport(std::ostream& err) : err_(err) {}
  void ReportOxaError(bool stopOnError, bool write, int32_t errorCode, uint32_t indexGroup,
                      uint32_t indexOffset) override {
    if (errorCode == oxa::kOk) return;
    err_ << axlink::BuildOxaErrorText(strings_, stopOnError, write, errorCode, indexGroup,
                                      indexOffset)
         << "\n";
  }

 private:
  std::ostream& err_;
  i18n::StringTable strings_;
};

nlohmann::ordered_json FieldJson(const model::ParamField& f, const model::ParamRecord& r) {
  switch (f.type) {
    case model::ParamType::Real:
      return f.Ref<double>(r);
    case model::ParamType::Int16:
      return f.Ref<int16_t>(r);
    case model::ParamType::UInt16:
      return f.Ref<uint16_t>(r);
    case model::ParamType::Int32:
      return f.Ref<int32_t>(r);
    case model::ParamType::Bool:
      return f.Ref<bool>(r);
    case model::ParamType::Text:
      return Latin1ToUtf8(model::FileNameText(r));
    case model::ParamType::RealArray:
      return f.Ref<std::array<double, 20>>(r);
  }
  return nullptr;
}

int RunRead(Context& ctx, const ReadArgs& args) {
  std::string error;
  auto conn = Connection::Open(ctx.options, error);
  if (!conn) {
    *ctx.err << "axtune-cli: " << error << "\n";
    return kExitUsage;
  }
  const auto target = ResolveNetId(conn->Oxa(), args.target);
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
  for (const axlink::ServerNode& s : lists.Servers()) {
    if (s.addr.port != args.port) continue;
    for (const axlink::AxisNode& a : s.axes) {
      if (a.number == args.axis) server = &s;
    }
  }
  if (server == nullptr) {
    *ctx.err << "axtune-cli: no axis " << args.axis << " on an axis server at port " << args.port
             << "\n";
    return kExitNothingFound;
  }

  StderrReport report(*ctx.err);
  model::AxisLink link;
  link.oxa = &conn->Oxa();
  link.addr = server->addr;
  link.axis = args.axis;
  link.lib = server->lib;
  link.versions = server->versions;
  axlink::FillInLegacyVersions(link.lib, link.versions);
  link.report = &report;

  model::ParamRecord rec{};
  model::ResetParamRecordForDocument(rec);
  model::RuntimeRecord runtime;
  const int32_t result = model::ReadParamRecord(args.page, link, rec, runtime);
  // Reported as the document reports a parameter read: no stop, read, the record group, 2.
  report.ReportOxaError(false, false, result, 0x8000F000u + args.axis, 2);

  nlohmann::ordered_json params = nlohmann::ordered_json::object();
  for (const model::ParamField& f : model::ParamFields()) {
    params[std::string(f.name)] = FieldJson(f, rec);
  }
  const nlohmann::ordered_json out = {
      {"lib", {{"major", link.lib.major}, {"minor", link.lib.minor}, {"build", link.lib.build}}},
      {"RecordVersionTable", link.versions},
      {"result", result},
      {"ParamRecord", std::move(params)}};
  *ctx.out << out.dump(2) << "\n";
  return result == oxa::kOk ? 0 : kExitUsage;
}

}  // namespace

void RegisterRead(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "read", "Read the parameter record of one axis and print it as JSON (exit 2: Oxa error)");
  auto args = std::make_shared<ReadArgs>();
  sub->add_option("--port", args->port, "Oxa port of the axis server")->required();
  sub->add_option("--axis", args->axis, "Axis number on that server")->required();
  sub->add_option("--page", args->page, "Page to read: 0, 3 to 8, or 12 for all")
      ->check(CLI::Range(0, 12))
      ->capture_default_str();
  sub->add_option("--target", args->target, "NetId, route name or Local")->capture_default_str();
  sub->callback([&ctx, args] { ctx.exitCode = RunRead(ctx, *args); });
}

}  // namespace cli
