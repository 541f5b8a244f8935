// A tiny controller for the transport tests: a handful of index groups with fixed behaviour.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "oxa/Endpoint.h"

namespace oxa::test {

inline constexpr NetId kCtrlNetId{{10, 1, 2, 3, 1, 1}};
inline constexpr uint16_t kCtrlPort = 501;

enum Group : uint32_t {
  kPattern = 0x10,  // read: byte i = (offset + i) & 0xFF
  kStore = 0x20,    // write: store the data; read: the stored data (0x705 if the size differs)
  kFail = 0x30,     // fails with the index offset as result, carrying 4 bytes of data
  kDrop = 0x40,     // never answered
  kShort = 0x50,    // success with the index offset as data length
  kReverse = 0x60,  // read-write: the write data reversed
  kSource = 0x70,   // read 8: the source address of the request
};

class TestEndpoint : public IOxaEndpoint {
 public:
  // The source and the failure's data are short; the other groups answer any length.
  uint32_t AnswerRoom(const OxaRequest& r) override {
    switch (r.indexGroup) {
      case kSource:
        return std::min(r.readLength, 8u);
      case kFail:
        return std::min(r.readLength, 4u);
      case kPattern:
      case kStore:
      case kShort:
      case kReverse:
        return r.readLength;
      default:
        return 0;
    }
  }
  OxaReplyInfo Handle(const OxaRequest& r, std::span<uint8_t> out) override {
    if (inside_.exchange(true)) overlapped_ = true;
    calls_.fetch_add(1);
    const OxaReplyInfo reply = Answer(r, out);
    inside_ = false;
    return reply;
  }

  int Calls() const { return calls_.load(); }
  bool Overlapped() const { return overlapped_.load(); }

 private:
  OxaReplyInfo Answer(const OxaRequest& r, std::span<uint8_t> out) {
    if (r.target.netId != kCtrlNetId) return {kErrTargetMachineNotFound, 0, false};
    if (r.target.port != kCtrlPort) return {kErrTargetPortNotFound, 0, false};
    const auto len = static_cast<uint32_t>(out.size());
    switch (r.indexGroup) {
      case kPattern:
        for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(r.indexOffset + i);
        return {kOk, len, false};
      case kStore:
        if (r.command == Command::Write) {
          stored_.assign(r.writeData.begin(), r.writeData.end());
          return {kOk, 0, false};
        }
        if (out.size() != stored_.size()) return {kErrInvalidSize, 0, false};
        if (!out.empty()) std::memcpy(out.data(), stored_.data(), out.size());
        return {kOk, len, false};
      case kFail:
        return {static_cast<int32_t>(r.indexOffset), out.size() >= 4 ? 4u : 0u, false};
      case kDrop:
        return {kOk, 0, true};
      case kShort:
        return {kOk, r.indexOffset, false};
      case kReverse:
        for (size_t i = 0; i < out.size() && i < r.writeData.size(); ++i) {
          out[i] = r.writeData[r.writeData.size() - 1 - i];
        }
        return {kOk, len, false};
      case kSource:
        if (r.readLength != 8 || out.size() != 8) return {kErrInvalidSize, 0, false};
        std::memcpy(out.data(), r.source.netId.b.data(), 6);
        out[6] = static_cast<uint8_t>(r.source.port);
        out[7] = static_cast<uint8_t>(r.source.port >> 8);
        return {kOk, 8, false};
      default:
        return {kErrInvalidIndexGroup, 0, false};
    }
  }

  std::vector<uint8_t> stored_;
  std::atomic<int> calls_{0};
  std::atomic<bool> inside_{false};
  std::atomic<bool> overlapped_{false};
};

}  // namespace oxa::test
