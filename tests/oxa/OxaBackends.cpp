#include "OxaBackends.h"

#include "oxa/OxaDirect.h"

namespace oxa::test {

namespace {

struct DirectHarness : Harness {
  explicit DirectHarness(RouteTable table) : oxa(std::move(table)) {
    oxa.Register(kCtrlNetId, endpoint);
  }
  IOxa& Oxa() override { return oxa; }
  OxaDirect oxa;
};

}  // namespace

Backend DirectBackend() {
  return {"Direct", [](RouteTable table) -> std::unique_ptr<Harness> {
            table.local = {"", kCtrlNetId, "127.0.0.1", 1};
            return std::make_unique<DirectHarness>(std::move(table));
          }};
}

}  // namespace oxa::test
