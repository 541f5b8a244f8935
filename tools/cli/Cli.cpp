#include "tools/cli/Cli.h"

#include <ostream>

#include "link/Routes.h"
#include "oxa/OxaDirect.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/RouteTable.h"
#include "sim/Plant.h"

namespace cli {

std::unique_ptr<Connection> Connection::Open(const Context& ctx, std::string& error) {
  const Options& options = ctx.options;
  std::unique_ptr<Connection> c(new Connection());
  std::vector<oxa::RouteWarning> warnings;
  if (options.simConfig.empty()) {
    auto client = std::make_unique<oxa::OxaTcpClient>();
    c->port_ = client->OxaPortOpen();
    warnings = client->RouteWarnings();
    c->oxa_ = std::move(client);
  } else {
    oxa::RouteTable table = oxa::LoadRouteTable();
    warnings = table.warnings;
    const oxa::NetId local = table.local.netId;
    const auto features = sim::DefaultServerFeatures();
    c->plant_ = sim::LoadPlantFile(options.simConfig, local, features, error);
    if (!c->plant_) return nullptr;
    auto direct = std::make_unique<oxa::OxaDirect>(std::move(table));
    direct->Register(local, c->plant_->Ctrl());
    c->oxa_ = std::move(direct);
    c->port_ = c->oxa_->OxaPortOpen();
  }
  if (ctx.err) {
    for (const oxa::RouteWarning& w : warnings) *ctx.err << "oxa: " << ToString(w) << "\n";
  }
  return c;
}

Connection::~Connection() {
  if (port_ != 0) oxa_->OxaPortClose();
}

std::optional<oxa::NetId> ResolveNetId(oxa::IOxa& oxa, const std::string& text) {
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

}  // namespace cli
