// The route list of the local router from the fuzz input: the count first, then the records.
#include <cstdint>
#include <cstring>
#include <span>

#include "FuzzController.h"
#include "link/Routes.h"

namespace {

// The router answers reads with the next bytes of the input (zeros past its end) and knows no
// other service.
class RouterOxa final : public fuzzctl::InputOxa {
 public:
  using fuzzctl::InputOxa::InputOxa;

 private:
  int32_t Answer(oxa::Command cmd, uint32_t length, uint8_t* out) override {
    if (cmd != oxa::Command::Read) return oxa::kErrServiceNotSupported;
    Take(length, out, 0);
    return 0;
  }
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
