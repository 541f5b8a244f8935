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
#include <string>
#include <string_view>
#include <vector>

#include "oxa/Oxa.h"

namespace oxa {

// A route name fills at most 35 bytes so that it stays zero-terminated in the 36-byte name
// field of a router record.
inline constexpr size_t kMaxRouteName = 35;
// More routes than this are skipped; the route list of the local router must fit one answer.
inline constexpr size_t kMaxRoutes = 1024;
inline constexpr uint16_t kDefaultTcpPort = 26801;

struct RouteEntry {
  std::string name;  // empty for the local entry
  NetId netId;
  std::string host;  // name or numeric address, IPv6 without brackets
  uint16_t tcpPort = 0;
};

struct RouteTable {
  // The local system: `local 127.0.0.1.1.1 127.0.0.1:26801` unless the file says otherwise.
  RouteEntry local = DefaultLocal();
  // The named routes in file order; the local router lists exactly these.
  std::vector<RouteEntry> routes;

  static RouteEntry DefaultLocal();
  // The entry that serves `netId`: the local entry first, then the first route with it.
  const RouteEntry* Find(const NetId& netId) const;
};

// Parses the text of a route file. Each skipped line adds one message ("line 4: ...") to
// `warnings`; everything else ends up in the table.
RouteTable ParseRouteTable(std::string_view text, std::vector<std::string>& warnings);

// The route file: $OXA_ROUTES, else $XDG_CONFIG_HOME/oxa/routes.conf, else
// $HOME/.config/oxa/routes.conf; empty when none of these variables is set.
std::string RouteFilePath();

// Reads the route file named by `path` (the default table when it is missing) and prints every
// warning on stderr. `mustExist` makes a missing file a warning too.
RouteTable LoadRouteTable(const std::string& path, bool mustExist);
// Reads the route file that the environment names.
RouteTable LoadRouteTable();

}  // namespace oxa
