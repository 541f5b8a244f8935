// Login against a controller whose every answer comes from the fuzz input: result codes, symbol
// handles and values, identification texts, versions, axis counts, names and table words.
#include <cstdint>
#include <cstring>
#include <span>

#include "FuzzController.h"
#include "link/AxisList.h"
#include "link/Login.h"

namespace {

class InputOxa final : public fuzzctl::InputOxa {
 public:
  using fuzzctl::InputOxa::InputOxa;

 private:
  // One selector byte per request: fail with one of a few codes, answer the identification
  // text, or answer the next bytes of the input. An exhausted input is a dead machine.
  int32_t Answer(oxa::Command, uint32_t length, uint8_t* out) override {
    if (Empty()) return oxa::kErrNoResponse;
    switch (Byte() % 8) {
      case 0:
        return oxa::kErrTargetPortNotFound;
      case 1:
        return oxa::kErrInvalidIndexOffset;
      case 2:
        return 0x710;
      case 3: {
        constexpr char kIdent[] = "Valdor OxaServer";
        if (out) {
          std::memset(out, 0, length);
          std::memcpy(out, kIdent, std::min<size_t>(length, sizeof kIdent - 1));
        }
        return 0;
      }
      default:
        Take(length, out, 0xAA);
        return 0;
    }
  }
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
