// axtune-cli read --port P --axis N [--page K] [--target T] [--records LIST]: logs in silently,
// selects axis N of the axis server on port P as the document does, reads its records as the
// document's pages would (each with that server's library version and record version table) and
// prints them as JSON under their type names.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "i18n/StringTable.h"
#include "link/AxisList.h"
#include "link/ErrorText.h"
#include "link/LinkState.h"
#include "link/Login.h"
#include "model/ParamRead.h"
#include "tools/cli/Cli.h"
#include "tools/cli/MoveSession.h"
#include "tools/cli/RecordJson.h"

namespace cli {

namespace {

// The records --records names; none given means all of them.
enum RecordBit : unsigned {
  kParam = 1u << 0,
  kRuntime = 1u << 1,
  kAxisRef = 1u << 2,
  kAuxNames = 1u << 3,
  kLin = 1u << 4,
  kIo = 1u << 5,
  kLog = 1u << 6,
};
constexpr std::pair<const char*, unsigned> kRecordNames[] = {
    {"param", kParam}, {"runtime", kRuntime}, {"axisref", kAxisRef}, {"auxnames", kAuxNames},
    {"lin", kLin},     {"io", kIo},           {"log", kLog}};

struct ReadArgs {
  AxisArgs axis;
  int page = model::kPageAll;
  std::vector<std::string> records;

  unsigned Mask() const {
    unsigned mask = 0;
    for (const std::string& r : records) {
      for (const auto& [name, bit] : kRecordNames) {
        if (r == name) mask |= bit;
      }
    }
    return mask == 0 ? ~0u : mask;
  }
};

// A log pass is one news check and four reads of five entries; a few ticks more let a pass that
// a news check restarts finish.
constexpr int kLogTicks = 8;

class QuietDocument final : public axlink::ILoginDocument {
 public:
  void ResetLink() override {}
  void StoreLinkVersions(const model::LibVersion&, const model::RecordVersionTable&) override {}
};

// Every failure the read reports goes to stderr as one line with the error box's fields.
class StderrReport final : public model::IErrorReport {
 public:
  explicit StderrReport(std::ostream& err) : err_(err) {}
  void ReportOxaError(bool stopOnError, bool write, int32_t errorCode, uint32_t indexGroup,
                      uint32_t indexOffset) override {
    if (errorCode == oxa::kOk) return;
    PrintError(err_,
               OxaErrorLine({stopOnError, write, errorCode, indexGroup, indexOffset}, strings_));
  }

 private:
  std::ostream& err_;
  i18n::StringTable strings_;
};

nlohmann::ordered_json HeadJson(const model::LibVersion& lib,
                                const model::RecordVersionTable& versions, int32_t result) {
  return {{"lib", {{"major", lib.major}, {"minor", lib.minor}, {"build", lib.build}}},
          {"RecordVersionTable", versions},
          {"result", result}};
}

// The parameter record alone, read right after a silent login: what is left to show when the
// document refuses to select the axis (the record's failure is the reason).
int RunParamRead(Context& ctx, const ReadArgs& readArgs) {
  const AxisArgs& args = readArgs.axis;
  std::string error;
  auto conn = Connection::Open(ctx, error);
  if (!conn) {
    PrintError(*ctx.err, error);
    return kExitUsage;
  }
  const auto target = ResolveNetId(conn->Oxa(), args.target);
  if (!target) {
    PrintError(*ctx.err, "no route named \"" + args.target + "\"");
    return kExitNothingFound;
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
    PrintError(*ctx.err, "no axis " + std::to_string(args.axis) +
                             " on an axis server at Oxa port " + std::to_string(args.port));
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
  const int32_t result = model::ReadParamRecord(readArgs.page, link, rec, runtime);
  // Reported as the document reports a parameter read: no stop, read, the record group, 2.
  report.ReportOxaError(false, false, result, 0x8000F000u + args.axis, 2);

  nlohmann::ordered_json out = HeadJson(link.lib, link.versions, result);
  if (result == oxa::kOk) out["ParamRecord"] = ParamJson(rec, readArgs.page);
  *ctx.out << out.dump(2) << "\n";
  return result == oxa::kOk ? 0 : kExitFailed;
}

int RunRead(Context& ctx, const ReadArgs& args) {
  int exitCode = 0;
  std::string message;
  const auto session = AxisSession::Open(ctx, args.axis, exitCode, message);
  if (!session) {
    if (exitCode != kExitFailed) {
      PrintError(*ctx.err, message);
      return exitCode;
    }
    // A parameter read that fails tells why itself; one that succeeds leaves the selection's
    // own failure (the axis name) to be told.
    if (RunParamRead(ctx, args) != 0) return kExitFailed;
    PrintError(*ctx.err, message);
    return kExitFailed;
  }
  CAxtuneDoc& doc = session->Doc();
  const unsigned mask = args.Mask();
  StderrReport report(*ctx.err);

  // The selection read the parameter record for every page; a single page is read on its own,
  // and only its fields are printed.
  int32_t result = oxa::kOk;
  model::ParamRecord rec = doc.params;
  if (args.page != model::kPageAll) {
    model::AxisLink link;
    link.oxa = &doc.Oxa();
    link.addr = doc.axisAddr;
    link.axis = args.axis.axis;
    link.lib = doc.linkVersions.lib;
    link.versions = doc.linkVersions.table;
    link.report = &report;
    model::ResetParamRecordForDocument(rec);
    model::RuntimeRecord runtime = doc.runtime;
    result = model::ReadParamRecord(args.page, link, rec, runtime);
    report.ReportOxaError(false, false, result, model::RecordGroup(args.axis.axis), 2);
  }

  // The pages whose refresh ticks read the other records; every tick reads the runtime record
  // first, and the first after the selection the AxisRef record and the auxiliary names.
  std::vector<int32_t> pages;
  if ((mask & kLog) != 0) pages.insert(pages.end(), kLogTicks, model::kPageCommon);
  if ((mask & kIo) != 0) pages.push_back(model::kPageIo);
  if ((mask & kLin) != 0) pages.push_back(model::kPageLinTab);
  if (pages.empty() && (mask & (kRuntime | kAxisRef | kAuxNames)) != 0) {
    pages.push_back(model::kPageOnline);
  }
  bool passStarted = false;
  for (const int32_t page : pages) {
    if (doc.bCommStopped) break;
    const bool logTick = page == model::kPageCommon;
    // Once a log pass has read all twenty lines, the remaining log ticks are not needed.
    if (logTick && passStarted && doc.messageLog.ReadPosition() == 0) continue;
    doc.RefreshAxisData(page, nullptr);
    passStarted = passStarted || (logTick && doc.messageLog.ReadPosition() != 0);
  }
  const auto errors = session->TakeErrorLines();
  for (const std::string& e : errors) PrintError(*ctx.err, e);

  nlohmann::ordered_json out = HeadJson(doc.linkVersions.lib, doc.linkVersions.table, result);
  if ((mask & kParam) != 0 && result == oxa::kOk) out["ParamRecord"] = ParamJson(rec, args.page);
  if ((mask & kRuntime) != 0) out["RuntimeRecord"] = RuntimeJson(doc.runtime);
  if ((mask & kAxisRef) != 0) out["AxisRefRecord"] = AxisRefJson(doc.axisRef);
  if ((mask & kAuxNames) != 0) out["AuxNames"] = AuxNamesJson(doc.auxNames);
  if ((mask & kLin) != 0) out["LinRecord"] = LinJson(doc.lin);
  if ((mask & kIo) != 0) {
    for (const model::IoRecordId id : doc.IoPageRecords()) {
      out[std::string(model::IoInfo(id).name)] = IoJson(doc.io, id);
    }
  }
  if ((mask & kLog) != 0) out["MessageLog"] = MessageLogJson(doc.messageLog);
  *ctx.out << out.dump(2) << "\n";
  return result == oxa::kOk && errors.empty() && !doc.bCommStopped ? 0 : kExitFailed;
}

}  // namespace

void RegisterRead(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "read", "Read the records of one axis and print them as JSON (exit 2: a read failed)");
  auto args = std::make_shared<ReadArgs>();
  AddAxisOptions(sub, args->axis);
  // The pages that edit parameter fields, and 12 for all of them.
  sub->add_option("--page", args->page, "Parameter page to read: 0, 3 to 8, or 12 for all")
      ->check(CLI::IsMember({0, 3, 4, 5, 6, 7, 8, 12}))
      ->capture_default_str();
  std::vector<std::string> names;
  for (const auto& [name, bit] : kRecordNames) names.emplace_back(name);
  sub->add_option("--records", args->records,
                  "Records to read, comma-separated or repeated (default: all)")
      ->delimiter(',')
      ->check(CLI::IsMember(names));
  sub->callback([&ctx, args] { ctx.exitCode = RunRead(ctx, *args); });
}

}  // namespace cli
