// What a controller is to the transport: something that answers one request at a time.
//
// The emulator implements `IOxaEndpoint`; its TCP server and the in-process connection
// (`OxaDirect`) both hand decoded requests to it, so the two paths cannot drift apart.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "oxa/Oxa.h"

namespace oxa {

enum class Command : uint16_t { Read = 1, Write = 2, ReadWrite = 3 };

struct OxaRequest {
  OxaAddr target;
  OxaAddr source;
  Command command = Command::Read;
  uint32_t indexGroup = 0;
  uint32_t indexOffset = 0;
  uint32_t readLength = 0;
  std::span<const uint8_t> writeData;
};

struct OxaReplyInfo {
  int32_t result = kOk;
  // Bytes of the read buffer that carry the answer; a well-behaved controller answers exactly
  // the read length on success and nothing otherwise.
  uint32_t dataLength = 0;
  // The controller swallows the request and never answers (the client times out).
  bool dropped = false;
  // Work that must not hold up other requests (a disk write), set only on success: the
  // transport runs it after Handle returned, outside its lock, and before it answers; its
  // result becomes the request's result. Callers of Handle that hold no lock use Finish().
  std::function<int32_t()> finish = {};
};

// Runs the reply's deferred work, if any, and takes its result.
inline OxaReplyInfo Finish(OxaReplyInfo reply) {
  if (reply.finish) {
    reply.result = reply.finish();
    reply.finish = nullptr;
    if (reply.result != kOk) reply.dataLength = 0;
  }
  return reply;
}

class IOxaEndpoint {
 public:
  virtual ~IOxaEndpoint() = default;
  // The most bytes the answer to `request` can carry, never more than its read length. A
  // transport that allocates answer buffers gives Handle this much room, so that a client
  // asking for more than the endpoint ever answers costs no memory.
  virtual uint32_t AnswerRoom(const OxaRequest& request) { return request.readLength; }
  // `readData` has room for AnswerRoom(request) bytes, or for the read length when the caller
  // brings its own buffer; an endpoint answers a read that does not fit with 0x705.
  virtual OxaReplyInfo Handle(const OxaRequest& request, std::span<uint8_t> readData) = 0;
};

}  // namespace oxa
