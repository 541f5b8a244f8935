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

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t more = 0;
    if (c < 0x80) {
      more = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
    } else {
      return false;
    }
    if (text.size() - i - 1 < more) return false;
    for (size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

std::string RouteNameToUtf8(std::string_view name) {
  return IsUtf8(name) ? std::string(name) : Latin1ToUtf8(name);
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
