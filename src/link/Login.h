// Discovery and login: find every Valdor axis server on the target, list its axes, read the
// library version and the record version table, and switch the status to online.
//
// CV2 runtimes sit at the ports 801, 811, 821 and 831 with up to four tasks each; the axis
// server answers on the task's port (runtime port + task number). CV3 runtimes sit at the
// ports 851 to 870 and the axis server answers on the runtime's own port. No discovery failure
// is shown to the user; a candidate that does not answer is simply skipped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/AxisList.h"
#include "link/LinkState.h"
#include "model/Link.h"
#include "oxa/Oxa.h"

namespace axlink {

inline constexpr std::string_view kServerIdent = "Valdor OxaServer";
inline constexpr uint32_t kIdentGroup = 0xFFFFFFFF;
inline constexpr uint32_t kVersionTableGroup = 0x8000F100;
inline constexpr uint32_t kAxisNameGroup = 0x80004000;
inline constexpr uint32_t kAxisNameOffset = 2;
inline constexpr uint32_t kTextBufferSize = 256;

inline constexpr uint32_t kSymHandleByName = 0xF003;
inline constexpr uint32_t kSymValueByHandle = 0xF005;
inline constexpr uint32_t kSymReleaseHandle = 0xF006;

inline constexpr std::array<uint16_t, 4> kCv2RuntimePorts{801, 811, 821, 831};
inline constexpr uint16_t kCv3FirstPort = 851;
inline constexpr uint16_t kCv3LastPort = 870;

inline constexpr int32_t kLoginTimeoutMs = 1000;

inline constexpr std::string_view kTextOnline = "ONLINE";
inline constexpr std::string_view kTextOffline = "OFFLINE";
inline constexpr std::string_view kTextNoVersion = "V --.--- Build ----";
inline constexpr std::string_view kTitleOffline = "Axtune -> OFFLINE";
inline constexpr std::string_view kTitleLocal = "Axtune -> Local";

// "V %d.%d Build %d".
std::string VersionText(const model::LibVersion& lib);

// The status texts that the main frame shows.
struct FrameStatus {
  std::string connection{kTextOffline};
  std::string versionText{kTextNoVersion};
  std::string windowTitle{kTitleOffline};
};

// Where a login stands, told before each candidate port is probed.
struct LoginProgress {
  size_t done = 0;     // candidate probes finished
  size_t total = 0;    // candidate probes of a whole scan (kLoginProbes)
  uint16_t port = 0;   // the runtime port about to be probed
  uint16_t task = 0;   // the task of a CV2 runtime (1 to 4), 0 for a CV3 runtime
  size_t servers = 0;  // axis servers found so far
};

// Four tasks of each CV2 runtime and every CV3 port.
inline constexpr size_t kLoginProbes =
    4 * kCv2RuntimePorts.size() + (kCv3LastPort - kCv3FirstPort + 1);

// Told before every candidate probe, on the thread that runs the login. Answering false ends the
// scan before that probe; the servers found so far are kept and the login goes on with them.
class ILoginProgress {
 public:
  virtual ~ILoginProgress() = default;
  virtual bool Continue(const LoginProgress& progress) = 0;
};

struct LoginEnv {
  oxa::IOxa* oxa = nullptr;
  long portHandle = 0;                   // 0: no port open, login stays offline
  oxa::NetId target;                     // discovery varies only the port
  std::string targetTitle{kTitleLocal};  // window title once online
  IAxisListSink* lists = nullptr;  // axis tree and overview list; none: login stops after logout
  ILoginDocument* document = nullptr;
  FrameStatus* status = nullptr;
  ILoginProgress* progress = nullptr;  // none: the scan runs to its end
};

// Timeout 1000 ms, offline texts (only while a port is open), lists cleared, document reset,
// title "Axtune -> OFFLINE".
void Logout(const LoginEnv& env);

// Logs out, scans the target and, when a server was found, goes online. Returns true online.
//
// Once the target machine itself cannot be reached (no route, connection refused or reset, a
// connect that timed out) the scan ends at once and the login stays offline: every remaining
// probe would go to the same machine and cost one more timeout each. A machine that takes
// requests and answers none is given up after two probes in a row timed out: the remaining
// probes of this login fail at once with the timeout code and are skipped as any timed-out
// probe is; the next login asks again.
bool Login(const LoginEnv& env);

}  // namespace axlink
