// The route table of the Oxa client: which TCP endpoint serves which NetId.
//
// The table comes from a small text file (see docs/oxa-tcp.md):
//
//     local <netid> <host>:<tcp-port>
//     route <name> <netid> <host>:<tcp-port>
//
// `#` starts a comment, blank lines are ignored, and a malformed line is skipped with one
// warning; a bad file never keeps the port from opening.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "oxa/Oxa.h"
#include "oxa/RouteRecord.h"

namespace oxa {

// More routes than this are skipped; the route list of the local router must fit one answer.
inline constexpr size_t kMaxRoutes = 1024;
inline constexpr uint16_t kDefaultTcpPort = 26801;

struct RouteEntry {
  std::string name;  // empty for the local entry
  NetId netId;
  std::string host;  // name or numeric address, IPv6 without brackets
  uint16_t tcpPort = 0;
};

// A line of the route file that was skipped, or the file as a whole (line 0) when it could not be
// used. The text is plain ASCII: bytes of the file that it quotes are replaced by '?' unless
// printable.
struct RouteWarning {
  std::string file;
  size_t line = 0;
  std::string text;
};
// "<file>: line N: <text>", or "<file>: <text>" for the file as a whole.
std::string ToString(const RouteWarning& warning);

struct RouteTable {
  // The local system: `local 127.0.0.1.1.1 127.0.0.1:26801` unless the file says otherwise.
  RouteEntry local = DefaultLocal();
  // The named routes in file order; the local router lists exactly these.
  std::vector<RouteEntry> routes;

  static RouteEntry DefaultLocal();
  // What reading the file had to skip, in file order.
  std::vector<RouteWarning> warnings;

  // The entry that serves `netId`: the local entry first, then the first route with it.
  const RouteEntry* Find(const NetId& netId) const;
};

struct HostPort {
  std::string host;  // name or numeric address, IPv6 without brackets
  uint16_t port = 0;
};

// "<host>:<port>" or "[<ipv6>]:<port>"; the port 1 to 65535, or 0 as well with `allowPortZero`
// (a listener that takes any free port). None, with `why` set, for anything else.
std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why,
                                      bool allowPortZero = false);

// Parses the text of a route file named `file`. Each skipped line adds one warning; everything
// else ends up in the table.
RouteTable ParseRouteTable(std::string_view text, std::string_view file = {});

// The route file: $OXA_ROUTES, else $XDG_CONFIG_HOME/oxa/routes.conf, else
// $HOME/.config/oxa/routes.conf; empty when none of these variables is set.
std::string RouteFilePath();

// Reads the route file named by `path` (the default table when it is missing). Nothing is
// printed: the warnings come with the table, for the caller to show. `mustExist` makes a missing
// file a warning too.
RouteTable LoadRouteTable(const std::string& path, bool mustExist);
// Reads the route file that the environment names.
RouteTable LoadRouteTable();

}  // namespace oxa
