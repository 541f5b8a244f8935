// The route list of the local router from the fuzz input: the count first, then the records.
#include <cstdint>
#include <cstring>
#include <span>

#include "link/Routes.h"

namespace {

class RouterOxa final : public oxa::IOxa {
 public:
  explicit RouterOxa(std::span<const uint8_t> in) : in_(in) {}

  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return 0; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* addr) override {
    *addr = {};
    return 0;
  }
  int32_t OxaSyncSetTimeout(int32_t) override { return 0; }
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t length,
                         void* data) override {
    auto* out = static_cast<uint8_t*>(data);
    std::memset(out, 0, length);
    const size_t n = std::min<size_t>(length, in_.size());
    if (n) std::memcpy(out, in_.data(), n);
    in_ = in_.subspan(n);
    return 0;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return oxa::kErrServiceNotSupported;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*, uint32_t,
                              const void*) override {
    return oxa::kErrServiceNotSupported;
  }

 private:
  std::span<const uint8_t> in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const auto& r : axlink::DecodeRouteRecords({data, size}, axlink::kMaxTargetEntries)) {
    if (r.name.size() > axlink::kRouteNameMax) __builtin_trap();
  }
  RouterOxa oxa({data, size});
  const auto entries = axlink::ReadTargetEntries(oxa);
  if (entries.size() > axlink::kMaxTargetEntries) __builtin_trap();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!axlink::ChooseTarget(entries, i)) __builtin_trap();
  }
  return 0;
}
