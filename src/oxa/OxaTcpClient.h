// The Oxa client over OXA/TCP: the seven operations, answered by the controllers that the route
// table names (or by the local router inside this library).
//
// - OxaPortOpen loads the route table (by default from the route file the environment names)
//   and returns the port number, 32768..65535; a second call while open returns the same one.
// - While the port is not open, OxaGetLocalAddress and every request fail with 7 (target
//   machine not found) and send nothing: without the route table no target can be reached.
//   OxaSyncSetTimeout works at any time; the timeout is 5000 ms until it is set.
// - One TCP connection per endpoint, opened on first use (TCP_NODELAY) and kept; one request at
//   a time. A kept connection that the peer has closed is reopened before the request is sent;
//   a request is never sent twice.
// - The timeout bounds connect, send and the complete answer together; on timeout (0x745) the
//   connection is closed so that a late answer is never taken for a later request.
// - Refused, reset or closed connections give 0x274D, and so does an answer with a wrong magic,
//   invoke id, command or flags or lengths that do not add up (the connection is then closed).
//   A success whose data length differs from the read length gives 0x705.
// - An endpoint whose connect just failed or timed out is unreachable for kUnreachableWindow:
//   requests to it fail at once with 0x274D. A timeout on a live connection does not mark it.
//
// After a failed read the read buffer is left as it was. Not thread-safe: one caller at a time.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "oxa/Oxa.h"
#include "oxa/RouteTable.h"

namespace oxa {

class OxaTcpClient final : public IOxa {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  using RouteLoader = std::function<RouteTable()>;

  static constexpr std::chrono::milliseconds kUnreachableWindow{2000};

  // `loadRoutes` gives the route table at OxaPortOpen (default: the route file). `clock` times
  // the unreachable window (default: the steady clock); request timeouts use real time.
  explicit OxaTcpClient(RouteLoader loadRoutes = {}, Clock clock = {});
  ~OxaTcpClient() override;
  OxaTcpClient(const OxaTcpClient&) = delete;
  OxaTcpClient& operator=(const OxaTcpClient&) = delete;

  long OxaPortOpen() override;
  // Closes all connections and forgets the route table.
  int32_t OxaPortClose() override;
  int32_t OxaGetLocalAddress(OxaAddr* addr) override;
  // What the route file that OxaPortOpen read had to skip; empty while the port is closed.
  const std::vector<RouteWarning>& RouteWarnings() const;
  // Accepts 1 ms and more; 0x706 otherwise (the timeout then stays as it was).
  int32_t OxaSyncSetTimeout(int32_t milliseconds) override;
  int32_t OxaSyncReadReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                         uint32_t length, void* data) override;
  int32_t OxaSyncWriteReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                          uint32_t length, const void* data) override;
  int32_t OxaSyncReadWriteReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                              uint32_t readLength, void* readData, uint32_t writeLength,
                              const void* writeData) override;

  // Why the last request to the endpoint that serves `netId` failed below the Oxa answer:
  // "host:port" and the cause ("connection refused", "timed out", "no answer in time", ...).
  // None when that request got an answer, or no endpoint serves `netId`.
  struct TransportFailure {
    std::string endpoint;
    std::string cause;
  };
  std::optional<TransportFailure> LastTransportFailure(const NetId& netId) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace oxa
