#include "tools/cli/MoveSession.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "link/Commands.h"
#include "link/ErrorText.h"
#include "link/Login.h"
#include "link/Select.h"
#include "model/ParamRecord.h"
#include "model/RuntimeRecord.h"
#include "oxa/OxaDirect.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/RouteTable.h"
#include "sim/Motion.h"
#include "sim/Plant.h"
#include "tools/cli/Interrupt.h"

namespace cli {

namespace {

// Steps of the waits: short enough that a signal ends a wait promptly.
constexpr double kWaitStep = 0.02;
// StateBits: the axis is not moving.
constexpr uint32_t kNotMoving = 1u << 2;

std::string DecodedText(int32_t code, const i18n::StringTable& strings) {
  if (const auto id = axlink::OxaErrorStringId(code)) return std::string(strings.Text(*id));
  return axlink::kUndecodedOxaError;
}

// A signal ends the login's scan.
class InterruptibleScan final : public axlink::ILoginProgress {
 public:
  bool Continue(const axlink::LoginProgress&) override { return !InterruptGuard::Interrupted(); }
};

}  // namespace

std::string OxaErrorLine(const OxaError& e, const i18n::StringTable& strings) {
  // The request as the error report box writes it, so that the same text matches both.
  char request[128];
  std::snprintf(request, sizeof request,
                "( nIdxG=0x%08" PRIX32 ", nIdxO=0x%08" PRIX32 ", nErr=%" PRId32 "(0x%" PRIX32 ") )",
                e.indexGroup, e.indexOffset, e.code, static_cast<uint32_t>(e.code));
  std::string line = std::string("OXA ") + (e.write ? "Write" : "Read") + request + ": " +
                     DecodedText(e.code, strings);
  if (e.stop) line += "; " + std::string(strings.Text(axlink::kIdsOxaStopped));
  return line;
}

nlohmann::ordered_json OxaErrorJson(const OxaError& e, const i18n::StringTable& strings) {
  return {{"code", e.code},
          {"codeHex", HexCode(e.code)},
          {"indexGroup", e.indexGroup},
          {"indexOffset", e.indexOffset},
          {"write", e.write},
          {"text", DecodedText(e.code, strings)}};
}

void ReportingDoc::ReportOxaError(bool stopOnError, bool write, int32_t errorCode,
                                  uint32_t indexGroup, uint32_t indexOffset) {
  if (errorCode != oxa::kOk) {
    errors.push_back({stopOnError, write, errorCode, indexGroup, indexOffset});
  }
  CAxtuneDoc::ReportOxaError(stopOnError, write, errorCode, indexGroup, indexOffset);
}

void AddAxisOptions(CLI::App* sub, AxisArgs& args) {
  sub->add_option("--port", args.port, "Oxa port of the axis server")->required();
  sub->add_option("--axis", args.axis, "Axis number on that server")->required();
  sub->add_option("--target", args.target, "NetId, route name or Local")->capture_default_str();
}

std::unique_ptr<AxisSession> AxisSession::Open(const Context& ctx, const AxisArgs& args,
                                               int& exitCode, std::string& message) {
  std::unique_ptr<AxisSession> s(new AxisSession());
  s->conn_ = Connection::Open(ctx, message);
  exitCode = kExitUsage;
  if (!s->conn_) return nullptr;
  if (sim::Plant* plant = s->conn_->Plant()) {
    s->virtual_.SleepUntil(s->steady_.Now());
    for (const auto& server : plant->Servers()) {
      if (auto* motion = server->Ext().Find<sim::MotionServerState>()) {
        motion->clock = [clock = &s->virtual_] { return clock->Now(); };
      }
    }
  }
  oxa::IOxa& oxa = s->conn_->Oxa();
  exitCode = kExitNothingFound;
  const auto netId = ResolveNetId(oxa, args.target);
  if (!netId) {
    message = "no route named \"" + args.target + "\"";
    return nullptr;
  }
  s->doc_ = std::make_unique<ReportingDoc>(oxa, s->ui_, s->strings_);
  if (!ctx.options.noJournal) {
    s->journalWriter_ = std::make_unique<journal::Writer>(journal::DefaultJournalDir());
    std::ostream* err = ctx.err;
    s->recorder_ = std::make_unique<journal::Recorder>(
        *s->journalWriter_, journal::CurrentIdentity(),
        [err](const std::string& why) { PrintError(*err, "cannot write the journal: " + why); });
    // A NetId names no route; "Local" and route names do.
    s->recorder_->SetRoute(oxa::NetId::Parse(args.target) ? std::string() : args.target);
    s->doc_->AddObserver(s->recorder_.get());
  }

  axlink::FrameStatus status;
  InterruptibleScan scan;
  axlink::LoginEnv env;
  env.oxa = &oxa;
  env.portHandle = s->conn_->PortHandle();
  env.target = *netId;
  env.lists = &s->lists_;
  env.document = s->doc_.get();
  env.status = &status;
  env.progress = &scan;
  axlink::Login(env);

  const oxa::OxaAddr addr{*netId, args.port};
  const auto target = axlink::FindAxisTarget(s->lists_, addr, args.axis);
  bool listed = false;
  for (const axlink::ServerNode& server : s->lists_.Servers()) {
    for (const axlink::AxisNode& a : server.axes) {
      listed = listed || (server.addr == addr && a.number == args.axis);
    }
  }
  if (!target || !listed) {
    message = s->conn_->UnreachableText(*netId, args.target);
    if (message.empty()) {
      message = "no axis " + std::to_string(args.axis) + " on an axis server at Oxa port " +
                std::to_string(args.port) + " of " + netId->ToString();
    }
    return nullptr;
  }
  s->doc_->errors.clear();
  if (!s->doc_->SelectAxis(*target, model::kPageAll)) {
    exitCode = kExitFailed;
    const auto lines = s->TakeErrorLines();
    message = lines.empty() ? "the axis could not be selected" : lines.front();
    return nullptr;
  }
  exitCode = 0;
  return s;
}

AxisSession::~AxisSession() {
  if (doc_ && recorder_) doc_->RemoveObserver(recorder_.get());
}

std::vector<std::string> AxisSession::TakeErrorLines() {
  std::vector<std::string> lines;
  for (const OxaError& e : doc_->errors) lines.push_back(OxaErrorLine(e, strings_));
  // Boxes of the document that are no error report (none today) follow as they stand.
  if (doc_->errors.empty()) lines.insert(lines.end(), ui_.boxes.begin(), ui_.boxes.end());
  doc_->errors.clear();
  ui_.boxes.clear();
  return lines;
}

nlohmann::ordered_json AxisSession::FirstErrorJson() const {
  if (!doc_->errors.empty()) return OxaErrorJson(doc_->errors.front(), strings_);
  if (!ui_.boxes.empty()) return {{"text", ui_.boxes.front()}};
  return nullptr;
}

bool AxisSession::Wait(const Context& ctx, double seconds, const std::function<bool()>& until) {
  trend::IClock& clock = Clock();
  const double start = clock.Now();
  for (;;) {
    const double waited = clock.Now() - start;
    if (ctx.onWaitStep) ctx.onWaitStep(waited);
    if (InterruptGuard::Interrupted()) return false;
    if (waited >= seconds || (until && until())) return true;
    clock.SleepUntil(start + std::min(seconds, waited + kWaitStep));
  }
}

int32_t AxisSession::StopAndSettle(const Context& ctx, nlohmann::ordered_json& out) {
  CAxtuneDoc& doc = *doc_;
  // At any doubt the axis stops: a failed read before must not keep the stop from going out.
  doc.bCommStopped = false;
  const int32_t result = doc.StopAxis();
  doc.nJogState = 0;
  out["stopResult"] = result;
  if (result != oxa::kOk) return result;
  const int signals = InterruptGuard::Count();
  bool standing = false;
  // From the highest velocity the axis may have had, at its deceleration.
  const double velocity = std::max(std::abs(doc.runtime.ActualVelo), doc.params.ReferenceVelo);
  const double deceleration = doc.params.Deceleration > 0 ? doc.params.Deceleration : 1.0;
  const double limit = 1.0 + std::min(velocity / deceleration, 60.0);
  trend::IClock& clock = Clock();
  const double start = clock.Now();
  while (!doc.bCommStopped && clock.Now() - start <= limit && InterruptGuard::Count() == signals) {
    doc.RefreshAxisData(model::kPageOnline, nullptr);
    standing = !doc.bCommStopped && (doc.runtime.StateBits & kNotMoving) != 0;
    if (standing) break;
    if (ctx.onWaitStep) ctx.onWaitStep(clock.Now() - start);
    clock.SleepUntil(clock.Now() + kWaitStep);
  }
  out["standing"] = standing;
  if (!doc.bCommStopped) out["ActualPos"] = doc.runtime.ActualPos;
  return result;
}

nlohmann::ordered_json CommandJson(const std::string& command, const AxisArgs& args) {
  return {{"command", command}, {"port", args.port}, {"axis", args.axis}};
}

void SetOutcome(nlohmann::ordered_json& out, bool ok, const AxisSession* session,
                const std::string& message) {
  out["ok"] = ok;
  if (ok) return;
  nlohmann::ordered_json error = session != nullptr ? session->FirstErrorJson() : nullptr;
  if (error.is_null()) error = {{"text", message}};
  out["error"] = std::move(error);
}

void PrintJson(std::ostream& out, const nlohmann::ordered_json& j, int indent) {
  out << j.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
}

std::unique_ptr<oxa::IOxa> OwnOxa(Connection& conn, const oxa::NetId& netId) {
  if (sim::Plant* plant = conn.Plant()) {
    auto direct = std::make_unique<oxa::OxaDirect>(oxa::LoadRouteTable());
    direct->Register(netId, plant->Ctrl());
    return direct;
  }
  return std::make_unique<oxa::OxaTcpClient>();
}

}  // namespace cli
