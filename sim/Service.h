// One Oxa port of the emulated controller: a table of index groups and their handlers.
//
// Runtimes, axis servers and every later feature answer requests by adding handlers to the
// service of their port; a CV3 runtime and the axis server on the same port simply share one
// service. A request for an index group that no handler serves fails with 0x702.
//
// Every range declares the longest answer its handler gives, and its handler never gets more
// room than that: a read asking for more finds too little room and fails with 0x705. So the
// transport never needs room for more than AnswerRoom(): what a client asks beyond it costs no
// memory.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>

#include "oxa/Endpoint.h"

namespace sim {

// Answers one request; `readData` has room for `request.readLength` bytes, or for fewer when that
// is more than the longest answer the handler was declared with (it then fails with 0x705).
using Handler =
    std::function<oxa::OxaReplyInfo(const oxa::OxaRequest& request, std::span<uint8_t> readData)>;

class Service {
 public:
  // Serves the index groups first..last (inclusive) with answers of at most `longestAnswer`
  // bytes. False, and nothing added, when any of them is already served or the range is empty.
  bool AddRange(uint32_t first, uint32_t last, uint32_t longestAnswer, Handler handler);
  bool Add(uint32_t indexGroup, uint32_t longestAnswer, Handler handler) {
    return AddRange(indexGroup, indexGroup, longestAnswer, std::move(handler));
  }
  // Raises the longest answer of the range that serves `indexGroup`, for a handler that takes on
  // more; false when nothing serves it.
  bool WidenAnswer(uint32_t indexGroup, uint32_t longestAnswer);
  bool Serves(uint32_t indexGroup) const { return Find(indexGroup) != nullptr; }
  bool Empty() const { return ranges_.empty(); }

  // The room an answer to `request` can need: its read length, at most the longest answer of
  // its group (0 for a group not served).
  uint32_t AnswerRoom(const oxa::OxaRequest& request) const;
  // `readData` holds AnswerRoom(request) bytes, or fewer when the transport had less room.
  oxa::OxaReplyInfo Handle(const oxa::OxaRequest& request, std::span<uint8_t> readData) const;

 private:
  struct Range {
    uint32_t last;
    uint32_t longestAnswer;
    Handler handler;
  };
  const Range* Find(uint32_t indexGroup) const;

  std::map<uint32_t, Range> ranges_;  // by first index group
};

}  // namespace sim
