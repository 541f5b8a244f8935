// OXA/TCP frames: a 16-byte header and a request or answer body, all little-endian.
//
// Both the client and the emulator use these functions, and neither trusts a length field
// before it has been checked against the frame limit and the bytes that follow.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "oxa/Endpoint.h"

namespace oxa::wire {

inline constexpr std::array<uint8_t, 4> kMagic{0x4F, 0x58, 0x41, 0x01};
inline constexpr size_t kHeaderSize = 16;
inline constexpr uint32_t kMaxBody = 1048576;
inline constexpr size_t kRequestFixed = 32;
inline constexpr size_t kAnswerFixed = 8;
// The largest read length whose answer still fits in one frame.
inline constexpr uint32_t kMaxReadLength = kMaxBody - kAnswerFixed;
inline constexpr uint32_t kMaxWriteLength = kMaxBody - kRequestFixed;

inline constexpr uint16_t kFlagRequest = 0;
inline constexpr uint16_t kFlagAnswer = 1;

enum class FrameError {
  None,
  BadMagic,
  BodyTooLong,
  BadCommand,
  BadFlags,
  LengthMismatch,  // the body's own length fields do not add up to the body length
  BadLengths,      // a read with write data, a write with a read length, a read over the limit
  NotTheAnswer,    // an answer whose invoke id, command or flags do not match the request
};

const char* ToString(FrameError error);

struct Header {
  uint32_t bodyLength = 0;
  uint32_t invokeId = 0;
  Command command = Command::Read;
  uint16_t flags = 0;
};

// Checks magic, body limit, command and flags (0 or 1).
FrameError DecodeHeader(std::span<const uint8_t, kHeaderSize> bytes, Header& header);

// Decodes a request body; `request.writeData` points into `body`.
FrameError DecodeRequestBody(Command command, std::span<const uint8_t> body, OxaRequest& request);

struct Answer {
  int32_t result = 0;
  std::span<const uint8_t> data;  // points into the body
};
FrameError DecodeAnswerBody(std::span<const uint8_t> body, Answer& answer);

// The state of the start of a received byte stream: a whole valid frame, not enough bytes yet,
// or bytes that can never become a valid frame (the connection is then closed).
struct Scan {
  enum Status { NeedMore, Bad, Complete };
  Status status = NeedMore;
  // NeedMore: the stream length to wait for (the header, then the whole frame; never over
  // kHeaderSize + kMaxBody). Complete: the size of the frame.
  size_t size = 0;
  FrameError error = FrameError::None;
};

// Looks for a request frame at the start of `stream` (the server side).
Scan ScanRequest(std::span<const uint8_t> stream, Header& header, OxaRequest& request);
// Looks for the answer to the request `invokeId` with `command` at the start of `stream` (the
// client side).
Scan ScanAnswer(std::span<const uint8_t> stream, uint32_t invokeId, Command command, Header& header,
                Answer& answer);

// Appends a whole request frame (header and body) to `out`.
void EncodeRequest(std::vector<uint8_t>& out, uint32_t invokeId, const OxaRequest& request);
// Appends a whole answer frame to `out`.
void EncodeAnswer(std::vector<uint8_t>& out, uint32_t invokeId, Command command, int32_t result,
                  std::span<const uint8_t> data);

}  // namespace oxa::wire
