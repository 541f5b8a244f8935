// Small helpers with which the emulator's handlers build their answers.
//
// A controller answers a successful read with exactly the requested read length and every other
// request with no data; these helpers keep every handler to that rule.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "oxa/Bytes.h"
#include "oxa/Endpoint.h"

namespace sim {

inline oxa::OxaReplyInfo Fail(int32_t code) {
  return {code, 0, false};
}

// Success carrying `length` bytes of the read buffer (0 for writes).
inline oxa::OxaReplyInfo Done(uint32_t length = 0) {
  return {oxa::kOk, length, false};
}

// Answers a plain read of a fixed-size value: only a read of exactly sizeof(T) bytes succeeds.
template <oxa::bytes::Wire T>
oxa::OxaReplyInfo ReadValue(const oxa::OxaRequest& req, std::span<uint8_t> out, T value) {
  if (req.command != oxa::Command::Read) return Fail(oxa::kErrServiceNotSupported);
  if (req.readLength != sizeof(T) || out.size() < sizeof(T)) return Fail(oxa::kErrInvalidSize);
  oxa::bytes::Put(out, 0, value);
  return Done(static_cast<uint32_t>(sizeof(T)));
}

// Answers a plain read of a zero-terminated text of fixed capacity: the text, zero-padded to the
// capacity, of which the reader gets as many bytes as it asks for (1 to `capacity`). A text at
// or over the capacity is cut so that the last byte of the field stays 0.
inline oxa::OxaReplyInfo ReadText(const oxa::OxaRequest& req, std::span<uint8_t> out,
                                  std::string_view text, uint32_t capacity) {
  if (req.command != oxa::Command::Read) return Fail(oxa::kErrServiceNotSupported);
  if (req.readLength == 0 || req.readLength > capacity || out.size() < req.readLength) {
    return Fail(oxa::kErrInvalidSize);
  }
  const size_t n = std::min(
      {text.size(), static_cast<size_t>(capacity) - 1, static_cast<size_t>(req.readLength)});
  std::memcpy(out.data(), text.data(), n);
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(n),
            out.begin() + static_cast<std::ptrdiff_t>(req.readLength), uint8_t{0});
  return Done(req.readLength);
}

}  // namespace sim
