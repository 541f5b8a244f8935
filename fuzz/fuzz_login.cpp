// Login against a controller whose every answer comes from the fuzz input: result codes, symbol
// handles and values, identification texts, versions, axis counts, names and table words.
#include <cstdint>
#include <cstring>
#include <span>

#include "link/AxisList.h"
#include "link/Login.h"

namespace {

class InputOxa final : public oxa::IOxa {
 public:
  explicit InputOxa(std::span<const uint8_t> in) : in_(in) {}

  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return 0; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* addr) override {
    *addr = {};
    return 0;
  }
  int32_t OxaSyncSetTimeout(int32_t) override { return 0; }
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t length,
                         void* data) override {
    return Answer(length, data);
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return Answer(0, nullptr);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t readLength,
                              void* readData, uint32_t, const void*) override {
    return Answer(readLength, readData);
  }

 private:
  // One selector byte per request: fail with one of a few codes, answer the identification
  // text, or answer the next bytes of the input. An exhausted input is a dead machine.
  int32_t Answer(uint32_t length, void* data) {
    if (in_.empty()) return oxa::kErrNoResponse;
    const uint8_t sel = in_[0];
    in_ = in_.subspan(1);
    switch (sel % 8) {
      case 0:
        return oxa::kErrTargetPortNotFound;
      case 1:
        return oxa::kErrInvalidIndexOffset;
      case 2:
        return 0x710;
      case 3: {
        constexpr char kIdent[] = "Valdor OxaServer";
        auto* out = static_cast<uint8_t*>(data);
        if (out) {
          std::memset(out, 0, length);
          std::memcpy(out, kIdent, std::min<size_t>(length, sizeof kIdent - 1));
        }
        return 0;
      }
      default: {
        auto* out = static_cast<uint8_t*>(data);
        const size_t n = std::min<size_t>(length, in_.size());
        if (out) {
          std::memset(out, 0xAA, length);
          if (n) std::memcpy(out, in_.data(), n);
        }
        in_ = in_.subspan(n);
        return 0;
      }
    }
  }

  std::span<const uint8_t> in_;
};

class NullDoc final : public axlink::ILoginDocument {
 public:
  void ResetLink() override {}
  void StoreLinkVersions(const model::LibVersion& lib,
                         const model::RecordVersionTable& table) override {
    versions.Store(lib, table);
  }
  axlink::LinkVersions versions;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputOxa oxa({data, size});
  axlink::AxisList lists;
  NullDoc doc;
  axlink::FrameStatus status;
  axlink::LoginEnv env;
  env.oxa = &oxa;
  env.portHandle = 1;
  env.lists = &lists;
  env.document = &doc;
  env.status = &status;
  const bool online = axlink::Login(env);
  if (online && lists.Servers().empty()) __builtin_trap();
  if (lists.Overview().size() > axlink::kOverviewCapacity) __builtin_trap();
  for (const auto& s : lists.Servers()) {
    for (const auto& a : s.axes) {
      if (a.name.size() >= axlink::kTextBufferSize) __builtin_trap();
    }
  }
  return 0;
}
