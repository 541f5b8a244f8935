#include "oxa/RouteTable.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace oxa {

namespace {

// A route file larger than this is not a route file; it is ignored as a whole.
constexpr std::streamoff kMaxFileSize = 1 << 20;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool ValidName(std::string_view name, std::string& why) {
  if (name.size() > kMaxRouteName) {
    why = "route name longer than 35 bytes";
    return false;
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      why = "control character in route name";
      return false;
    }
  }
  return true;
}

// Parses one line without its comment; returns false with `why` filled when it is malformed.
// A piece of the file quoted in a warning: at most 40 bytes, anything but printable ASCII as '?'.
std::string Quoted(std::string_view text) {
  std::string out(text.substr(0, 40));
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  }
  return out;
}

bool ParseLine(const std::vector<std::string_view>& f, RouteTable& table, bool& haveLocal,
               std::string& why) {
  const bool isLocal = f[0] == "local";
  if (!isLocal && f[0] != "route") {
    why = "unknown keyword '" + Quoted(f[0]) + "'";
    return false;
  }
  const size_t expected = isLocal ? 3 : 4;
  if (f.size() != expected) {
    why = isLocal ? "expected 'local <netid> <host>:<tcp-port>'"
                  : "expected 'route <name> <netid> <host>:<tcp-port>'";
    return false;
  }
  RouteEntry entry;
  if (!isLocal) {
    if (!ValidName(f[1], why)) return false;
    entry.name = std::string(f[1]);
  }
  const auto netId = NetId::Parse(f[expected - 2]);
  if (!netId) {
    why = "NetId must be six numbers 0..255 separated by '.'";
    return false;
  }
  entry.netId = *netId;
  auto endpoint = ParseHostPort(f[expected - 1], why);
  if (!endpoint) return false;
  entry.host = std::move(endpoint->host);
  entry.tcpPort = endpoint->port;
  if (isLocal) {
    if (haveLocal) {
      why = "second 'local' line";
      return false;
    }
    haveLocal = true;
    table.local = std::move(entry);
  } else {
    if (table.routes.size() >= kMaxRoutes) {
      why = "more than 1024 routes";
      return false;
    }
    table.routes.push_back(std::move(entry));
  }
  return true;
}

}  // namespace

std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why, bool allowPortZero) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    why = "endpoint without ':<tcp-port>'";
    return std::nullopt;
  }
  std::string_view host = text.substr(0, colon);
  const std::string_view portText = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    why = "IPv6 host must be written in brackets";
    return std::nullopt;
  }
  if (host.empty()) {
    why = "empty host";
    return std::nullopt;
  }
  for (const char c : host) {
    if (static_cast<unsigned char>(c) < 0x21 || c == '[' || c == ']') {
      why = "invalid character in host";
      return std::nullopt;
    }
  }
  unsigned port = 0;
  const char* end = portText.data() + portText.size();
  const auto [next, ec] = std::from_chars(portText.data(), end, port);
  const unsigned lowest = allowPortZero ? 0 : 1;
  if (portText.empty() || ec != std::errc{} || next != end || port < lowest || port > 65535) {
    why = allowPortZero ? "TCP port must be 0..65535" : "TCP port must be 1..65535";
    return std::nullopt;
  }
  return HostPort{std::string(host), static_cast<uint16_t>(port)};
}

RouteEntry RouteTable::DefaultLocal() {
  return RouteEntry{{}, NetId{{127, 0, 0, 1, 1, 1}}, "127.0.0.1", kDefaultTcpPort};
}

const RouteEntry* RouteTable::Find(const NetId& netId) const {
  if (local.netId == netId) return &local;
  for (const RouteEntry& r : routes) {
    if (r.netId == netId) return &r;
  }
  return nullptr;
}

std::string ToString(const RouteWarning& warning) {
  if (warning.line == 0) return warning.file + ": " + warning.text;
  return warning.file + ": line " + std::to_string(warning.line) + ": " + warning.text;
}

RouteTable ParseRouteTable(std::string_view text, std::string_view file) {
  RouteTable table;
  bool haveLocal = false;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    ++lineNo;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    const auto fields = SplitFields(line);
    if (fields.empty()) continue;
    std::string why;
    if (!ParseLine(fields, table, haveLocal, why)) {
      table.warnings.push_back({std::string(file), lineNo, why + ", line skipped"});
    }
  }
  return table;
}

std::string RouteFilePath() {
  if (const char* p = std::getenv("OXA_ROUTES"); p && *p) return p;
  if (const char* p = std::getenv("XDG_CONFIG_HOME"); p && *p) {
    return std::string(p) + "/oxa/routes.conf";
  }
  if (const char* p = std::getenv("HOME"); p && *p)
    return std::string(p) + "/.config/oxa/routes.conf";
  return {};
}

RouteTable LoadRouteTable(const std::string& path, bool mustExist) {
  if (path.empty()) return RouteTable{};
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    RouteTable table;
    if (mustExist) table.warnings.push_back({path, 0, "cannot be read"});
    return table;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFileSize) {
    RouteTable table;
    table.warnings.push_back({path, 0, "not a readable file of at most 1 MiB, ignored"});
    return table;
  }
  in.seekg(0, std::ios::beg);
  std::string text(static_cast<size_t>(size), '\0');
  in.read(text.data(), size);
  text.resize(static_cast<size_t>(in.gcount()));
  return ParseRouteTable(text, path);
}

RouteTable LoadRouteTable() {
  const char* explicitPath = std::getenv("OXA_ROUTES");
  return LoadRouteTable(RouteFilePath(), explicitPath && *explicitPath);
}

}  // namespace oxa
