// An Oxa client that passes every call on to another and keeps a transcript of the requests:
// operation, port, index group and offset, lengths, the bytes sent and the bytes answered.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "oxa/Oxa.h"

namespace testoxa {

class RecordingOxa : public oxa::IOxa {
 public:
  explicit RecordingOxa(oxa::IOxa& inner) : inner_(inner) {}

  long OxaPortOpen() override { return inner_.OxaPortOpen(); }
  int32_t OxaPortClose() override { return inner_.OxaPortClose(); }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* a) override { return inner_.OxaGetLocalAddress(a); }
  int32_t OxaSyncSetTimeout(int32_t ms) override { return inner_.OxaSyncSetTimeout(ms); }
  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                         void* d) override {
    const int32_t rc = inner_.OxaSyncReadReq(a, g, o, n, d);
    Line("R", a, g, o, n, 0, nullptr, rc, rc == oxa::kOk ? d : nullptr);
    return rc;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                          const void* d) override {
    const int32_t rc = inner_.OxaSyncWriteReq(a, g, o, n, d);
    Line("W", a, g, o, 0, n, d, rc, nullptr);
    return rc;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rn, void* rd,
                              uint32_t wn, const void* wd) override {
    const int32_t rc = inner_.OxaSyncReadWriteReq(a, g, o, rn, rd, wn, wd);
    Line("RW", a, g, o, rn, wn, wd, rc, rc == oxa::kOk ? rd : nullptr);
    return rc;
  }

  // A heading line in the transcript.
  void Note(const std::string& text) { transcript_ += "# " + text + "\n"; }
  const std::string& Transcript() const { return transcript_; }

 private:
  static std::string Hex(const void* data, uint32_t n) {
    std::string s;
    const auto* b = static_cast<const uint8_t*>(data);
    for (uint32_t i = 0; i < n; ++i) {
      char h[3];
      std::snprintf(h, sizeof h, "%02x", b[i]);
      s += h;
    }
    return s;
  }
  // `op port group:offset read-length write-length [sent] -> code [answered]`
  void Line(const char* op, const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rn, uint32_t wn,
            const void* wd, int32_t rc, const void* rd) {
    char head[96];
    std::snprintf(head, sizeof head, "%s %u %08x:%08x %u %u", op, a != nullptr ? a->port : 0u, g, o,
                  rn, wn);
    transcript_ += head;
    if (wd != nullptr && wn > 0) transcript_ += " " + Hex(wd, wn);
    transcript_ += " -> " + std::to_string(rc);
    if (rd != nullptr && rn > 0) transcript_ += " " + Hex(rd, rn);
    transcript_ += "\n";
  }

  oxa::IOxa& inner_;
  std::string transcript_;
};

}  // namespace testoxa
