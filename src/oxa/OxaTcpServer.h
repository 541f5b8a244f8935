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
// client asking for a megabyte the endpoint never answers costs nothing. A dropped reply sends
// nothing and keeps the connection open. At most 256 connections
// are served at a time; further ones are closed at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "oxa/Endpoint.h"

namespace oxa {

class OxaTcpServer {
 public:
  // Listens on `host`:`port` (port 0 picks a free one) and serves on its own thread until Stop()
  // or destruction. Returns null and fills `error` when it cannot listen.
  static std::unique_ptr<OxaTcpServer> Start(IOxaEndpoint& endpoint, std::string_view host,
                                             uint16_t port, std::string& error);

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
