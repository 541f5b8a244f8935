#include "tools/cli/Cli.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
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
    c->tcp_ = client.get();
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

std::string Connection::UnreachableText(const oxa::NetId& netId,
                                        const std::string& targetText) const {
  const bool named = !oxa::NetId::Parse(targetText) && !targetText.empty();
  const std::string forTarget =
      named ? " for route " + targetText : " for NetId " + netId.ToString();
  if (tcp_ != nullptr) {
    if (const auto f = tcp_->LastTransportFailure(netId)) {
      return "no answer from " + f->endpoint + " (" + f->cause + ")" + forTarget;
    }
  }
  oxa::OxaAddr local;
  if (oxa_->OxaGetLocalAddress(&local) == oxa::kOk && local.netId == netId) return {};
  if (plant_) {
    return "the emulated plant answers only NetId " + local.netId.ToString() + forTarget;
  }
  if (oxa::LoadRouteTable().Find(netId) == nullptr) {
    const std::string file = oxa::RouteFilePath();
    return "no route serves NetId " + netId.ToString() +
           (file.empty() ? std::string() : " in " + file) + forTarget;
  }
  return {};
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

void PrintError(std::ostream& err, std::string_view text) {
  std::string line = "axtune-cli: ";
  bool blank = false;
  for (char c : text) {
    const bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (space) {
      blank = true;
      continue;
    }
    if (blank && line.size() > 12) line += ' ';
    blank = false;
    line += c;
  }
  err << line << "\n";
}

std::string HexCode(int32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%" PRIX32, static_cast<uint32_t>(code));
  return text;
}

std::string NearestName(std::string_view word, const std::vector<std::string>& names) {
  std::string best;
  size_t bestDistance = word.size() / 3 + 1;
  for (const std::string& name : names) {
    // Levenshtein distance, one row at a time.
    std::vector<size_t> row(name.size() + 1);
    for (size_t j = 0; j < row.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= word.size(); ++i) {
      size_t diagonal = row[0];
      row[0] = i;
      for (size_t j = 1; j <= name.size(); ++j) {
        const size_t above = row[j];
        row[j] = std::min(
            {row[j] + 1, row[j - 1] + 1, diagonal + (word[i - 1] == name[j - 1] ? 0u : 1u)});
        diagonal = above;
      }
    }
    if (row.back() < bestDistance) {
      bestDistance = row.back();
      best = name;
    }
  }
  return best;
}

}  // namespace cli
