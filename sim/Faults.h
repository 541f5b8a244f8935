// Faults that tests (and the configuration) switch on in the emulated controller at run time.
//
// A fault matches requests by Oxa port, index group and, optionally, index offset; the first
// matching fault decides the answer instead of the service: an error code, no answer at all, or a
// success that carries fewer bytes than were asked for. Thread-safe, so that a test can switch
// faults while a server thread answers requests.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "oxa/Endpoint.h"

namespace sim {

struct Fault {
  enum class Kind : uint8_t {
    Error,        // answer `error`
    Drop,         // never answer
    WrongLength,  // answer success with `length` bytes, always fewer than the read length
  };

  uint16_t port = 0;
  uint32_t indexGroup = 0;
  std::optional<uint32_t> indexOffset;  // none: every offset of the group
  Kind kind = Kind::Error;
  int32_t error = oxa::kErrNotReady;
  uint32_t length = 0;

  bool Matches(const oxa::OxaRequest& request) const;
  // The answer this fault gives to a request it matches.
  oxa::OxaReplyInfo Reply(const oxa::OxaRequest& request) const;
};

class FaultTable {
 public:
  // Returns an id for Remove().
  int Add(const Fault& fault);
  void Remove(int id);
  void Clear();
  size_t Size() const;
  // The first matching fault in the order added.
  std::optional<Fault> Match(const oxa::OxaRequest& request) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<int, Fault>> faults_;
  int nextId_ = 1;
};

}  // namespace sim
