#include "link/Login.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "oxa/Bytes.h"

namespace axlink {

namespace {

using model::LibVersion;
using model::RecordVersionTable;

// One word of the record version table: its index offset in group 0x8000F100, the value it
// keeps when its read fails, and whether libraries before V2.2 skip it (then it is 0).
struct TableWord {
  uint32_t offset;
  int16_t defaultValue;
  bool fromV22;
};

constexpr std::array<TableWord, 13> kTableWords{{
    {0, -1, false},
    {1, -1, false},
    {2, -1, false},
    {3, 1, false},
    {4, 0, true},
    {16, -1, false},
    {17, -1, false},
    {18, -1, false},
    {19, -1, false},
    {20, -1, false},
    {21, -1, false},
    {22, -1, true},
    {23, -1, true},
}};

// Failures that say the target machine as a whole cannot be reached (no route, refused, or
// remembered by the transport as unreachable after a failed connect), as opposed to one port or
// one service refusing a request. A timeout on a live connection is only that port not
// answering: it skips that candidate and the probes of the other ports go on.
bool MachineUnreachable(int32_t result) {
  return result == oxa::kErrTargetMachineNotFound || result == oxa::kErrNoResponse;
}

// A zero-terminated single-byte text of fixed capacity; never reads past the buffer and takes
// at most capacity - 1 characters, as a terminated buffer of that size would hold.
std::string TextOf(std::span<const uint8_t> buf) {
  if (buf.empty()) return {};
  const auto limit = buf.subspan(0, buf.size() - 1);
  const auto end = std::find(limit.begin(), limit.end(), uint8_t{0});
  return std::string(limit.begin(), end);
}

std::string PlaceholderName(uint32_t number) {
  return "Axis " + std::to_string(number) + " (no name)";
}

struct FoundServer {
  int item = 0;
  oxa::OxaAddr addr;
  LibVersion lib;
};

class Scan {
 public:
  explicit Scan(const LoginEnv& env) : env_(env), oxa_(*env.oxa) { addr_.netId = env.target; }

  bool Unreachable() const { return unreachable_; }
  bool Stopped() const { return unreachable_ || cancelled_; }
  const std::vector<FoundServer>& Found() const { return found_; }

  void ScanCv2() {
    for (uint16_t runtime : kCv2RuntimePorts) {
      if (Stopped()) return;
      const std::array<uint16_t, 4> ports = ProbeTasks(runtime);
      for (uint16_t port : ports) {
        if (port != 0 && !Stopped()) ProbeServer(port);
      }
    }
  }

  void ScanCv3() {
    for (uint32_t p = kCv3FirstPort; p <= kCv3LastPort; ++p) {
      if (Stopped() || !Next(static_cast<uint16_t>(p), 0)) return;
      const uint16_t port = ProbeRuntime(static_cast<uint16_t>(p));
      ++done_;
      if (port != 0 && !Stopped()) ProbeServer(port);
    }
  }

  // Reads the record version table of one server, words in table order.
  RecordVersionTable ReadTable(const FoundServer& server) {
    addr_ = server.addr;
    RecordVersionTable table = kUnreadVersionTable;
    const bool newTable = model::LibVersionAtLeast(server.lib, 2, 2, 0);
    for (size_t w = 0; w < kTableWords.size(); ++w) {
      const TableWord& word = kTableWords[w];
      if (word.fromV22 && !newTable) {
        table[w] = 0;
        continue;
      }
      if (unreachable_) {
        table[w] = word.defaultValue;
        continue;
      }
      std::array<uint8_t, 2> buf{};
      const Probe probe(*this);
      if (Read(kVersionTableGroup, word.offset, buf) == oxa::kOk) {
        table[w] = oxa::bytes::At<int16_t>(buf, 0);
      } else {
        table[w] = word.defaultValue;
      }
    }
    return table;
  }

 private:
  // Tells the progress what comes next; false once the user cancelled.
  bool Next(uint16_t port, uint16_t task) {
    if (env_.progress == nullptr) return true;
    const LoginProgress p{done_, kLoginProbes, port, task, found_.size()};
    cancelled_ = !env_.progress->Continue(p);
    return !cancelled_;
  }

  // One probe of the scan (a task, a runtime, a server, a word of the version table): it
  // timed out when one of its requests did. Once two probes in a row timed out, the target
  // accepts requests and answers none (a hung controller): every later request of this login
  // fails at once with the timeout code, so the login costs two timeouts, not one per probe.
  class Probe {
   public:
    explicit Probe(Scan& scan) : scan_(scan) { scan_.probeTimedOut_ = false; }
    ~Probe() {
      scan_.timedOutInRow_ = scan_.probeTimedOut_ ? scan_.timedOutInRow_ + 1 : 0;
      if (scan_.timedOutInRow_ >= kTimedOutProbesOfAHungTarget) scan_.hung_ = true;
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

   private:
    Scan& scan_;
  };
  static constexpr int kTimedOutProbesOfAHungTarget = 2;

  // Every request of the scan goes through here.
  template <class Request>
  int32_t Send(Request&& request) {
    if (unreachable_) return oxa::kErrNoResponse;
    if (hung_) return oxa::kErrTimeout;
    const int32_t r = request();
    unreachable_ = MachineUnreachable(r);
    if (r == oxa::kErrTimeout) probeTimedOut_ = true;
    return r;
  }

  int32_t Read(uint32_t group, uint32_t offset, std::span<uint8_t> buf) {
    return Send([&] {
      return oxa_.OxaSyncReadReq(&addr_, group, offset, static_cast<uint32_t>(buf.size()),
                                 buf.data());
    });
  }

  // Asks the runtime at the current port for the value of a symbol and releases the handle
  // again; false when the symbol, its handle or its value is not there.
  bool ReadSymbol(std::string_view name, std::span<uint8_t> value) {
    std::array<uint8_t, 4> handleBuf{};
    const int32_t r = Send([&] {
      return oxa_.OxaSyncReadWriteReq(&addr_, kSymHandleByName, 0, 4, handleBuf.data(),
                                      static_cast<uint32_t>(name.size()), name.data());
    });
    if (r != oxa::kOk) return false;
    const uint32_t handle = oxa::bytes::At<uint32_t>(handleBuf, 0);
    const bool ok = Read(kSymValueByHandle, handle, value) == oxa::kOk;
    if (!unreachable_) {
      Send([&] { return oxa_.OxaSyncWriteReq(&addr_, kSymReleaseHandle, 0, 4, handleBuf.data()); });
    }
    return ok;
  }

  std::array<uint16_t, 4> ProbeTasks(uint16_t runtime) {
    std::array<uint16_t, 4> ports{};
    addr_.port = runtime;
    for (uint16_t task = 1; task <= 4 && !Stopped(); ++task) {
      if (!Next(runtime, task)) break;
      const Probe probe(*this);
      const std::string name = ".SYSTEMTASKINFOARR[" + std::to_string(task) + "].ACTIVE";
      std::array<uint8_t, 1> active{};
      if (ReadSymbol(name, active) && active[0] != 0) {
        ports[task - 1u] = static_cast<uint16_t>(runtime + task);
      }
      ++done_;
    }
    return ports;
  }

  uint16_t ProbeRuntime(uint16_t runtime) {
    const Probe probe(*this);
    addr_.port = runtime;
    std::array<uint8_t, 4> count{};
    if (ReadSymbol("Corvane_SystemInfoVarList._TASKINFO[1].CycleCount", count) &&
        oxa::bytes::At<uint32_t>(count, 0) > 0) {
      return runtime;
    }
    return 0;
  }

  void ProbeServer(uint16_t port) {
    const Probe probe(*this);
    addr_.port = port;
    std::array<uint8_t, kTextBufferSize> text{};
    if (Read(kIdentGroup, 0, text) != oxa::kOk) return;
    const std::string ident = TextOf(text);
    if (ident != kServerIdent) return;

    std::array<uint16_t, 4> words{};  // major, minor, build, axis count
    for (uint32_t i = 0; i < words.size(); ++i) {
      std::array<uint8_t, 2> buf{};
      if (Read(kIdentGroup, i + 1, buf) != oxa::kOk) return;
      words[i] = oxa::bytes::At<uint16_t>(buf, 0);
    }
    const LibVersion lib{words[0], words[1], words[2]};
    uint32_t count = words[3];
    uint16_t first = 1;
    {
      std::array<uint8_t, 2> buf{};
      if (Read(kIdentGroup, 5, buf) == oxa::kOk) first = oxa::bytes::At<uint16_t>(buf, 0);
      if (unreachable_) return;
    }
    // Axis numbers are 16-bit; a count that would run past 65535 is cut there.
    count = std::min<uint32_t>(count, 65536u - first);

    char caption[32 + kTextBufferSize];
    std::snprintf(caption, sizeof caption, "Port %d: %s", static_cast<int>(port), ident.c_str());
    const oxa::OxaAddr serverAddr = addr_;
    const int item = env_.lists->AddServer(caption, serverAddr, lib);

    bool lastNameRead = true;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t n = first + i;
      std::array<uint8_t, kTextBufferSize> name{};
      lastNameRead = Read(kAxisNameGroup + n, kAxisNameOffset, name) == oxa::kOk;
      if (unreachable_) return;
      // A failed read never shows the text of the axis before.
      const std::string axisName = lastNameRead ? TextOf(name) : PlaceholderName(n);
      env_.lists->AddAxis(item, axisName, static_cast<uint16_t>(n), lib);
      env_.lists->AddOverviewEntry(axisName, serverAddr, static_cast<uint16_t>(n));
    }
    if (count == 0 || lastNameRead) found_.push_back(FoundServer{item, serverAddr, lib});
  }

  const LoginEnv& env_;
  oxa::IOxa& oxa_;
  oxa::OxaAddr addr_;
  bool unreachable_ = false;
  bool cancelled_ = false;
  bool probeTimedOut_ = false;
  int timedOutInRow_ = 0;
  bool hung_ = false;
  size_t done_ = 0;
  std::vector<FoundServer> found_;
};

}  // namespace

std::string VersionText(const model::LibVersion& lib) {
  return "V " + std::to_string(lib.major) + "." + std::to_string(lib.minor) + " Build " +
         std::to_string(lib.build);
}

void FillInLegacyVersions(const model::LibVersion& lib, model::RecordVersionTable& table) {
  if (lib.major != 2 || lib.minor != 0) return;
  const uint16_t b = lib.build;
  auto fill = [&table](size_t word, int16_t value) {
    if (table[word] < 0) table[word] = value;
  };
  if (b == 4) fill(0, 0);
  if (b == 0) fill(1, 0);
  if (b == 1) fill(1, 1);
  if (b >= 2 && b <= 4) fill(1, 2);
  if (b <= 2) fill(2, 0);
  if (b == 3 || b == 4) fill(2, 3);
  if (b == 4) {
    fill(5, 4);
    fill(6, 0);
    fill(7, 0);
    fill(8, 4);
  }
}

void Logout(const LoginEnv& env) {
  if (env.oxa) env.oxa->OxaSyncSetTimeout(kLoginTimeoutMs);
  if (env.status && env.portHandle != 0) {
    env.status->connection = kTextOffline;
    env.status->versionText = kTextNoVersion;
  }
  if (env.lists) env.lists->Clear();
  if (env.document) env.document->ResetLink();
  if (env.status) env.status->windowTitle = kTitleOffline;
}

bool Login(const LoginEnv& env) {
  Logout(env);
  if (!env.lists || !env.document) return false;
  if (env.portHandle == 0 || !env.oxa) {
    Logout(env);
    return false;
  }

  Scan scan(env);
  scan.ScanCv2();
  scan.ScanCv3();
  if (scan.Unreachable() || scan.Found().empty()) {
    Logout(env);
    return false;
  }

  // Every server keeps its own library version and table, so that each axis is read with the
  // layouts of the server it stands under; the document gets the last server's.
  RecordVersionTable last = kUnreadVersionTable;
  for (const FoundServer& server : scan.Found()) {
    last = scan.ReadTable(server);
    RecordVersionTable own = last;
    FillInLegacyVersions(server.lib, own);
    env.lists->SetServerVersions(server.item, own);
  }
  if (scan.Unreachable()) {
    Logout(env);
    return false;
  }

  const LibVersion lib = scan.Found().back().lib;
  if (env.status) {
    env.status->connection = kTextOnline;
    env.status->versionText = VersionText(lib);
  }
  env.document->StoreLinkVersions(lib, last);
  if (env.status) env.status->windowTitle = env.targetTitle;
  return true;
}

}  // namespace axlink
