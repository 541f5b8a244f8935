// An Oxa client that passes every call on to another, for tests that watch or slow the calls:
// Guard() is held for the length of each call, BeforeRequest() runs before each request.
#pragma once

#include <mutex>

#include "oxa/Oxa.h"

namespace testoxa {

class ForwardingOxa : public oxa::IOxa {
 public:
  explicit ForwardingOxa(oxa::IOxa& inner) : inner_(inner) {}

  long OxaPortOpen() override {
    const auto g = Guard();
    return inner_.OxaPortOpen();
  }
  int32_t OxaPortClose() override {
    const auto g = Guard();
    return inner_.OxaPortClose();
  }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* a) override {
    const auto g = Guard();
    return inner_.OxaGetLocalAddress(a);
  }
  int32_t OxaSyncSetTimeout(int32_t ms) override {
    const auto g = Guard();
    return inner_.OxaSyncSetTimeout(ms);
  }
  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                         void* d) override {
    const auto lock = Guard();
    BeforeRequest();
    return inner_.OxaSyncReadReq(a, g, o, n, d);
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                          const void* d) override {
    const auto lock = Guard();
    BeforeRequest();
    return inner_.OxaSyncWriteReq(a, g, o, n, d);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rn, void* rd,
                              uint32_t wn, const void* wd) override {
    const auto lock = Guard();
    BeforeRequest();
    return inner_.OxaSyncReadWriteReq(a, g, o, rn, rd, wn, wd);
  }

 protected:
  virtual std::unique_lock<std::mutex> Guard() { return {}; }
  virtual void BeforeRequest() {}

 private:
  oxa::IOxa& inner_;
};

}  // namespace testoxa
