// The controller end of OXA/TCP: accepts connections, decodes request frames and hands them to
// one IOxaEndpoint, then sends its answers.
//
// Each connection is served by its own thread with plain blocking reads and writes, so that a
// request costs little more than a socket round trip. `endpoint.Handle` is called under one lock,
// never twice at the same time, so an endpoint needs no locking of its own (as long as nothing
// else calls it). A connection that sends a frame with a wrong magic, an unknown command or
// flags, a body over 1 MiB or lengths that do not add up is closed without an answer; the others
// go on. A frame's buffer grows only with the bytes that actually arrive, never beyond the frame
// limit. The answer buffer holds no more than the endpoint's AnswerRoom for the request, so a
// client asking for a megabyte the endpoint never answers costs nothing. Deferred work of a reply
// (OxaReplyInfo::finish) runs after the lock is released, so that a slow disk holds up only its
// own connection. A dropped reply sends nothing and keeps the connection open.
//
// At most `maxConnections` connections are served at a time. When another one arrives, the
// connection idle the longest (no bytes in either direction, no request in hand) is closed to make
// room for it once it has been idle for `idleGrace`; otherwise the new connection is closed at
// once. So clients that connect and say nothing cannot lock the others out for long.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "oxa/Endpoint.h"

namespace oxa {

struct OxaServerOptions {
  size_t maxConnections = 256;
  std::chrono::milliseconds idleGrace{10000};
  // The clock of the idle times; the steady clock when empty.
  std::function<std::chrono::steady_clock::time_point()> clock;
};

class OxaTcpServer {
 public:
  // Listens on `host`:`port` (port 0 picks a free one) and serves on its own thread until Stop()
  // or destruction. Returns null and fills `error` when it cannot listen.
  static std::unique_ptr<OxaTcpServer> Start(IOxaEndpoint& endpoint, std::string_view host,
                                             uint16_t port, std::string& error,
                                             OxaServerOptions options = {});

  ~OxaTcpServer();
  OxaTcpServer(const OxaTcpServer&) = delete;
  OxaTcpServer& operator=(const OxaTcpServer&) = delete;

  // The TCP port it listens on.
  uint16_t Port() const;
  // Closes every connection and the listener and joins the thread; idempotent. The endpoint is
  // not called any more once it returns.
  void Stop();

  struct Impl;  // the io thread, listener and connections

 private:
  explicit OxaTcpServer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace oxa
