// One Oxa port of the emulated controller: a table of index groups and their handlers.
//
// Runtimes, axis servers and every later feature answer requests by adding handlers to the
// service of their port; a CV3 runtime and the axis server on the same port simply share one
// service. A request for an index group that no handler serves fails with 0x702.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>

#include "oxa/Endpoint.h"

namespace sim {

// Answers one request; `readData` has room for exactly `request.readLength` bytes.
using Handler =
    std::function<oxa::OxaReplyInfo(const oxa::OxaRequest& request, std::span<uint8_t> readData)>;

class Service {
 public:
  // Serves the index groups first..last (inclusive). False, and nothing added, when any of them
  // is already served or the range is empty.
  bool AddRange(uint32_t first, uint32_t last, Handler handler);
  bool Add(uint32_t indexGroup, Handler handler) {
    return AddRange(indexGroup, indexGroup, std::move(handler));
  }
  bool Serves(uint32_t indexGroup) const { return Find(indexGroup) != nullptr; }
  bool Empty() const { return ranges_.empty(); }

  oxa::OxaReplyInfo Handle(const oxa::OxaRequest& request, std::span<uint8_t> readData) const;

 private:
  struct Range {
    uint32_t last;
    Handler handler;
  };
  const Handler* Find(uint32_t indexGroup) const;

  std::map<uint32_t, Range> ranges_;  // by first index group
};

}  // namespace sim
