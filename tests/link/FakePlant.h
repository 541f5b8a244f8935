// A scripted controller for what the emulator cannot be made to send: one CV3 runtime with its
// axis server at port 851 with any axis count and first axis number and names of any length,
// and a local router with any route count.
#pragma once

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/Login.h"
#include "link/Routes.h"
#include "oxa/Bytes.h"
#include "oxa/Oxa.h"

namespace fake {

class Plant final : public oxa::IOxa {
 public:
  static constexpr uint16_t kPort = 851;
  oxa::NetId local{{127, 0, 0, 1, 1, 1}};
  uint16_t count = 0;
  uint16_t first = 1;
  std::function<std::string(uint32_t axis)> name = [](uint32_t) { return "Axis"; };
  std::optional<int32_t> routeCount;  // none: the router fails
  std::vector<uint8_t> routeRecords;

  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return 0; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* addr) override {
    *addr = {local, 0};
    return 0;
  }
  int32_t OxaSyncSetTimeout(int32_t) override { return 0; }

  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t len,
                         void* data) override {
    const std::span<uint8_t> out(static_cast<uint8_t*>(data), len);
    if (a->port == oxa::kRouterPort && g == oxa::kRouterIndexGroup) return Router(o, out);
    if (a->port != kPort) return oxa::kErrTargetPortNotFound;
    std::fill(out.begin(), out.end(), uint8_t{0});
    if (g == axlink::kSymValueByHandle) return oxa::bytes::Put<uint32_t>(out, 0, 1) ? 0 : 0x705;
    if (g == axlink::kIdentGroup && o == 0) return Text(out, std::string(axlink::kServerIdent));
    const uint16_t words[] = {0, 3, 0, 35, count, first};
    if (g == axlink::kIdentGroup && o <= 5) return oxa::bytes::Put(out, 0, words[o]) ? 0 : 0x705;
    if (g > axlink::kAxisNameGroup && g <= axlink::kAxisNameGroup + 0xFFFF) {
      return Text(out, name(g - axlink::kAxisNameGroup));
    }
    return oxa::kErrInvalidIndexOffset;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return 0;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t, uint32_t, uint32_t rlen, void* rdata,
                              uint32_t, const void*) override {
    if (a->port != kPort) return oxa::kErrTargetPortNotFound;
    return oxa::bytes::Put<uint32_t>({static_cast<uint8_t*>(rdata), rlen}, 0, 7) ? 0 : 0x705;
  }

 private:
  // Copies the text's bytes as they are: no terminator when it fills the buffer.
  static int32_t Text(std::span<uint8_t> out, const std::string& text) {
    std::memcpy(out.data(), text.data(), std::min(text.size(), out.size()));
    return 0;
  }
  int32_t Router(uint32_t o, std::span<uint8_t> out) const {
    if (!routeCount) return oxa::kErrServiceNotSupported;
    if (o == axlink::kRouterCountOffset && oxa::bytes::Put(out, 0, *routeCount)) return 0;
    if (o == axlink::kRouterListOffset && out.size() == routeRecords.size()) {
      std::copy(routeRecords.begin(), routeRecords.end(), out.begin());
      return 0;
    }
    return oxa::kErrInvalidSize;
  }
};

// A document that records what login hands it.
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
    const axlink::LoginEnv env{&plant, 1,    plant.local, std::string(axlink::kTitleLocal),
                               &lists, &doc, &status};
    return axlink::Login(env);
  }
};

}  // namespace fake
