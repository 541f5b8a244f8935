// A controller whose every answer comes from the fuzz input. The housekeeping calls succeed; each
// request goes to Answer(), which a target overrides to decide how it spends the input, mostly
// through Byte() and Take().
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "oxa/Endpoint.h"
#include "oxa/Oxa.h"

namespace fuzzctl {

class InputOxa : public oxa::IOxa {
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
    return Answer(oxa::Command::Read, length, static_cast<uint8_t*>(data));
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return Answer(oxa::Command::Write, 0, nullptr);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t readLength,
                              void* readData, uint32_t, const void*) override {
    return Answer(oxa::Command::ReadWrite, readLength, static_cast<uint8_t*>(readData));
  }

  // The next input byte, 0 once the input is spent.
  uint8_t Byte() {
    if (in_.empty()) return 0;
    const uint8_t b = in_[0];
    in_ = in_.subspan(1);
    return b;
  }
  bool Empty() const { return in_.empty(); }

 protected:
  // The answer to one request: `length` bytes at `out` to fill (none for a write).
  virtual int32_t Answer(oxa::Command cmd, uint32_t length, uint8_t* out) = 0;

  // Fills `out` with as many next input bytes as there are and `pattern` after them.
  void Take(uint32_t length, uint8_t* out, uint8_t pattern) {
    const size_t n = std::min<size_t>(length, in_.size());
    if (out != nullptr) {
      std::memset(out, pattern, length);
      if (n != 0) std::memcpy(out, in_.data(), n);
    }
    in_ = in_.subspan(n);
  }

 private:
  std::span<const uint8_t> in_;
};

}  // namespace fuzzctl
