// The emulated controller's record of the requests it received, for tests that count what a
// client sent. Bounded: it keeps the most recent `capacity` entries (a long-running emulator
// must not grow without limit) and counts all of them. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "oxa/Endpoint.h"

namespace sim {

struct LoggedRequest {
  oxa::NetId target;
  uint16_t port = 0;
  oxa::Command command = oxa::Command::Read;
  uint32_t indexGroup = 0;
  uint32_t indexOffset = 0;
  uint32_t readLength = 0;
  uint32_t writeLength = 0;

  friend bool operator==(const LoggedRequest&, const LoggedRequest&) = default;
};

class RequestLog {
 public:
  static constexpr size_t kDefaultCapacity = 100000;

  explicit RequestLog(size_t capacity = kDefaultCapacity) : capacity_(capacity ? capacity : 1) {}

  void Record(const oxa::OxaRequest& request);
  void Clear();
  // All requests since the last Clear(), also those no longer kept.
  uint64_t Total() const;
  std::vector<LoggedRequest> Entries() const;
  size_t Count(const std::function<bool(const LoggedRequest&)>& match) const;

 private:
  mutable std::mutex mutex_;
  size_t capacity_;
  std::deque<LoggedRequest> entries_;
  uint64_t total_ = 0;
};

}  // namespace sim
