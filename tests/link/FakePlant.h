// A small scripted controller behind IOxa for the login and route tests: CV2 runtimes with
// active tasks, CV3 runtimes, Valdor axis servers and the local router, with a log of every
// request it was sent.
#pragma once

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/AxisList.h"
#include "link/Login.h"
#include "link/Routes.h"
#include "oxa/Bytes.h"
#include "oxa/Oxa.h"

namespace fake {

struct Server {
  std::string ident = "Valdor OxaServer";
  uint16_t major = 3, minor = 0, build = 35;
  uint16_t count = 0;
  std::optional<uint16_t> first;
  std::vector<std::optional<std::string>> names;  // nullopt: the name read fails
  std::map<uint32_t, int16_t> table;              // answered words of 0x8000F100
};

struct Request {
  uint16_t port;
  uint32_t group;
  uint32_t offset;
  bool operator==(const Request&) const = default;
};

class Plant final : public oxa::IOxa {
 public:
  oxa::NetId local{{127, 0, 0, 1, 1, 1}};
  std::map<uint16_t, std::array<bool, 4>> cv2;
  std::map<uint16_t, uint32_t> cv3;  // cycle count
  std::map<uint16_t, Server> servers;
  std::optional<int32_t> everyRequestFails;  // the machine answers nothing but this code
  std::optional<int32_t> routeCount;
  std::vector<uint8_t> routeRecords;
  std::vector<Request> log;
  int32_t timeout = 0;

  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return 0; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* addr) override {
    addr->netId = local;
    addr->port = 0;
    return 0;
  }
  int32_t OxaSyncSetTimeout(int32_t ms) override {
    timeout = ms;
    return 0;
  }

  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t len,
                         void* data) override {
    log.push_back({a->port, g, o});
    if (everyRequestFails) return *everyRequestFails;
    auto* out = static_cast<uint8_t*>(data);
    if (a->port == oxa::kRouterPort && g == oxa::kRouterIndexGroup) return Router(o, len, out);
    if (g == axlink::kSymValueByHandle) return SymbolValue(a->port, o, len, out);
    auto it = servers.find(a->port);
    if (it == servers.end()) return oxa::kErrTargetPortNotFound;
    const Server& s = it->second;
    if (g == axlink::kIdentGroup) {
      if (o == 0) {
        std::memset(out, 0, len);
        std::memcpy(out, s.ident.data(), std::min<size_t>(s.ident.size(), len));
        return 0;
      }
      const std::optional<uint16_t> words[] = {{}, s.major, s.minor, s.build, s.count, s.first};
      if (o > 5 || !words[o] || len != 2) return oxa::kErrInvalidIndexOffset;
      oxa::bytes::Put<uint16_t>({out, 2}, 0, *words[o]);
      return 0;
    }
    if (g == axlink::kVersionTableGroup) {
      auto w = s.table.find(o);
      if (w == s.table.end() || len != 2) return oxa::kErrInvalidIndexOffset;
      oxa::bytes::Put<int16_t>({out, 2}, 0, w->second);
      return 0;
    }
    const uint16_t first = s.first.value_or(1);
    if (g >= axlink::kAxisNameGroup + first && g < axlink::kAxisNameGroup + first + s.count &&
        o == axlink::kAxisNameOffset) {
      const size_t i = g - axlink::kAxisNameGroup - first;
      if (i >= s.names.size() || !s.names[i]) return oxa::kErrNotReady;
      std::memset(out, 0, len);
      std::memcpy(out, s.names[i]->data(), std::min<size_t>(s.names[i]->size(), len));
      return 0;
    }
    return oxa::kErrInvalidIndexGroup;
  }

  int32_t OxaSyncWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t,
                          const void*) override {
    log.push_back({a->port, g, o});
    if (everyRequestFails) return *everyRequestFails;
    return g == axlink::kSymReleaseHandle ? 0 : oxa::kErrServiceNotSupported;
  }

  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rlen,
                              void* rdata, uint32_t wlen, const void* wdata) override {
    log.push_back({a->port, g, o});
    if (everyRequestFails) return *everyRequestFails;
    if (g != axlink::kSymHandleByName || rlen != 4) return oxa::kErrServiceNotSupported;
    const std::string name(static_cast<const char*>(wdata), wlen);
    uint32_t handle = 0;
    if (auto it = cv2.find(a->port); it != cv2.end()) {
      for (uint32_t t = 1; t <= 4; ++t) {
        if (name == ".SYSTEMTASKINFOARR[" + std::to_string(t) + "].ACTIVE") handle = t;
      }
    } else if (cv3.count(a->port) && name == "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount") {
      handle = 100;
    } else if (!cv3.count(a->port)) {
      return oxa::kErrTargetPortNotFound;
    }
    if (handle == 0) return 0x710;  // symbol not found
    oxa::bytes::Put<uint32_t>({static_cast<uint8_t*>(rdata), 4}, 0, handle);
    return 0;
  }

  // Requests of one kind in the log, in order.
  std::vector<Request> Sent(uint32_t group) const {
    std::vector<Request> r;
    for (const Request& q : log) {
      if (q.group == group) r.push_back(q);
    }
    return r;
  }

 private:
  int32_t SymbolValue(uint16_t port, uint32_t handle, uint32_t len, uint8_t* out) {
    if (auto it = cv2.find(port); it != cv2.end() && handle >= 1 && handle <= 4 && len == 1) {
      out[0] = it->second[handle - 1] ? 1 : 0;
      return 0;
    }
    if (auto it = cv3.find(port); it != cv3.end() && handle == 100 && len == 4) {
      oxa::bytes::Put<uint32_t>({out, 4}, 0, it->second);
      return 0;
    }
    return 0x711;  // invalid handle
  }

  int32_t Router(uint32_t o, uint32_t len, uint8_t* out) {
    if (!routeCount) return oxa::kErrServiceNotSupported;
    if (o == axlink::kRouterCountOffset && len == 4) {
      oxa::bytes::Put<int32_t>({out, 4}, 0, *routeCount);
      return 0;
    }
    if (o == axlink::kRouterListOffset && len == routeRecords.size()) {
      std::memcpy(out, routeRecords.data(), len);
      return 0;
    }
    return oxa::kErrInvalidSize;
  }
};

// A document and a frame that record what login hands them.
struct Doc final : axlink::ILoginDocument {
  axlink::LinkVersions versions;
  int resets = 0;
  void ResetLink() override {
    ++resets;
    versions.Reset();
  }
  void StoreLinkVersions(const model::LibVersion& lib,
                         const model::RecordVersionTable& table) override {
    versions.Store(lib, table);
  }
};

struct Session {
  Plant plant;
  axlink::AxisList lists;
  Doc doc;
  axlink::FrameStatus status;

  bool Login() {
    axlink::LoginEnv env;
    env.oxa = &plant;
    env.portHandle = 1;
    env.target = plant.local;
    env.lists = &lists;
    env.document = &doc;
    env.status = &status;
    return axlink::Login(env);
  }
};

}  // namespace fake
