#include "tools/cli/MoveSession.h"

#include <ostream>

#include "link/Login.h"
#include "link/Select.h"
#include "model/ParamRecord.h"

namespace cli {

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
  oxa::IOxa& oxa = s->conn_->Oxa();
  const auto netId = ResolveNetId(oxa, args.target);
  if (!netId) {
    message = "no route named \"" + args.target + "\"";
    return nullptr;
  }
  s->doc_ = std::make_unique<CAxtuneDoc>(oxa, s->ui_, s->strings_);
  if (!ctx.options.noJournal) {
    s->journalWriter_ = std::make_unique<journal::Writer>(journal::DefaultJournalDir());
    std::ostream* err = ctx.err;
    s->recorder_ = std::make_unique<journal::Recorder>(
        *s->journalWriter_, journal::CurrentIdentity(), [err](const std::string& why) {
          *err << "axtune-cli: cannot write the journal: " << why << "\n";
        });
    // A NetId names no route; "Local" and route names do.
    s->recorder_->SetRoute(oxa::NetId::Parse(args.target) ? std::string() : args.target);
    s->doc_->AddObserver(s->recorder_.get());
  }

  axlink::FrameStatus status;
  axlink::LoginEnv env;
  env.oxa = &oxa;
  env.portHandle = s->conn_->PortHandle();
  env.target = *netId;
  env.lists = &s->lists_;
  env.document = s->doc_.get();
  env.status = &status;
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
    exitCode = kExitNothingFound;
    message = "no axis " + std::to_string(args.axis) + " on an axis server at port " +
              std::to_string(args.port);
    return nullptr;
  }
  if (!s->doc_->SelectAxis(*target, model::kPageAll)) {
    message = s->TakeReports();
    return nullptr;
  }
  exitCode = 0;
  return s;
}

AxisSession::~AxisSession() {
  if (doc_ && recorder_) doc_->RemoveObserver(recorder_.get());
}

std::string AxisSession::TakeReports() {
  std::string text;
  for (const std::string& box : ui_.boxes) {
    if (!text.empty()) text += "\n";
    text += box;
  }
  ui_.boxes.clear();
  return text;
}

nlohmann::ordered_json CommandJson(const std::string& command, const AxisArgs& args) {
  return {{"command", command}, {"port", args.port}, {"axis", args.axis}};
}

}  // namespace cli
