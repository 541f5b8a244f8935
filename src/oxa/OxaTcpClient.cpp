#include "oxa/OxaTcpClient.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <poll.h>

#include "oxa/AsioInclude.h"
#include "oxa/ClientCommon.h"
#include "oxa/Frame.h"
#include "oxa/LocalRouter.h"

namespace oxa {

namespace {

using asio::ip::tcp;
using SteadyTime = std::chrono::steady_clock::time_point;

// The answer buffer grows by at most this much beyond the bytes received.
constexpr size_t kGrowStep = 65536;
constexpr size_t kKeepBuffer = 65536;

struct Connection {
  Connection(asio::io_context& io, std::string h, uint16_t p)
      : host(std::move(h)), port(p), socket(io) {}

  std::string host;
  uint16_t port;
  tcp::socket socket;
  SteadyTime unreachableUntil{};  // by the injected clock
  std::string failure;            // why the last request failed in the transport; empty: it did not
  std::vector<uint8_t> out;
  std::vector<uint8_t> in;
};

// Outcome of one asynchronous step that the caller waits for.
struct Step {
  bool done = false;
  asio::error_code ec;
};

// The result of a name lookup; shared with the lookup's handler, which may outlive the request.
struct Lookup {
  bool done = false;
  asio::error_code ec;
  tcp::resolver::results_type results;
};

// Waits until `socket` is ready for `events` (or has an error to report); false when the
// deadline passes first.
bool WaitReady(tcp::socket& socket, short events, SteadyTime deadline) {
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{socket.native_handle(), events, 0};
    const int ms =
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 1 << 30));
    const int r = ::poll(&p, 1, ms);
    if (r > 0 || (r < 0 && errno != EINTR)) return true;
  }
}

// An error code's message, starting in lower case: "connection refused".
std::string Cause(const asio::error_code& ec) {
  std::string text = ec.message();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] + 32);
  return text;
}

}  // namespace

struct OxaTcpClient::Impl {
  Impl(RouteLoader l, Clock c) : load(std::move(l)), clock(std::move(c)) {
    if (!load) load = [] { return LoadRouteTable(); };
    if (!clock) clock = [] { return std::chrono::steady_clock::now(); };
  }

  int32_t Request(const OxaAddr* addr, Command command, uint32_t indexGroup, uint32_t indexOffset,
                  uint32_t readLength, void* readData, uint32_t writeLength, const void* writeData);
  Connection* Find(const NetId& netId) const;
  bool Wait(const bool& done, SteadyTime deadline);
  void Abort(Connection& c);
  int32_t Fail(Connection& c, int32_t result, std::string why) {
    Abort(c);
    c.failure = std::move(why);
    return result;
  }
  bool StillOpen(Connection& c);
  int32_t Connect(Connection& c, SteadyTime deadline);
  int32_t Exchange(Connection& c, SteadyTime deadline, Command command, uint32_t invokeId,
                   uint32_t readLength, void* readData);

  RouteLoader load;
  Clock clock;
  asio::io_context io;
  RouteTable table;
  std::vector<std::unique_ptr<Connection>> connections;  // one per endpoint
  std::vector<std::pair<NetId, Connection*>> byNetId;    // sorted; the first entry per NetId
  uint16_t port = 0;                                     // 0 while closed
  int32_t timeoutMs = detail::kDefaultTimeoutMs;
  uint32_t invokeId = 0;
};

namespace {

bool ByNetId(const std::pair<NetId, Connection*>& e, const NetId& id) {
  return e.first < id;
}

}  // namespace

Connection* OxaTcpClient::Impl::Find(const NetId& netId) const {
  auto it = std::lower_bound(byNetId.begin(), byNetId.end(), netId, ByNetId);
  return it != byNetId.end() && it->first == netId ? it->second : nullptr;
}

// Runs handlers until `done` or the deadline; false on the deadline.
bool OxaTcpClient::Impl::Wait(const bool& done, SteadyTime deadline) {
  while (!done) {
    io.restart();
    if (io.run_one_until(deadline) == 0 && !done && std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
  }
  return true;
}

// Closes the connection and completes its cancelled handlers, so none runs later.
void OxaTcpClient::Impl::Abort(Connection& c) {
  asio::error_code ignored;
  c.socket.close(ignored);
  io.restart();
  io.poll();
  if (c.in.capacity() > kKeepBuffer) std::vector<uint8_t>().swap(c.in);
}

// A kept connection is usable when nothing is waiting on it: the peer closing it, a reset or
// stray bytes all mean it has to be reopened.
bool OxaTcpClient::Impl::StillOpen(Connection& c) {
  uint8_t byte = 0;
  asio::error_code ec;
  c.socket.receive(asio::buffer(&byte, 1), tcp::socket::message_peek, ec);
  return ec == asio::error::would_block;
}

int32_t OxaTcpClient::Impl::Connect(Connection& c, SteadyTime deadline) {
  // Within the window the failure that opened it still stands.
  if (clock() < c.unreachableUntil) return kErrNoResponse;
  auto unreachable = [&](int32_t result, std::string why) {
    Abort(c);
    c.unreachableUntil = clock() + kUnreachableWindow;
    c.failure = std::move(why);
    return result;
  };
  std::vector<tcp::endpoint> endpoints;
  asio::error_code ec;
  const asio::ip::address address = asio::ip::make_address(c.host, ec);
  if (!ec) {
    endpoints.emplace_back(address, c.port);
  } else {
    auto lookup = std::make_shared<Lookup>();
    auto resolver = std::make_shared<tcp::resolver>(io);
    resolver->async_resolve(c.host, std::to_string(c.port),
                            [lookup, resolver](const asio::error_code& e, auto results) {
                              lookup->ec = e;
                              lookup->results = std::move(results);
                              lookup->done = true;
                            });
    if (!Wait(lookup->done, deadline)) {
      resolver->cancel();
      return unreachable(kErrTimeout, "name lookup timed out");
    }
    if (lookup->ec) return unreachable(kErrNoResponse, Cause(lookup->ec));
    for (const auto& r : lookup->results) endpoints.push_back(r.endpoint());
  }
  Step step;
  asio::async_connect(c.socket, endpoints,
                      [&step](const asio::error_code& e, const tcp::endpoint&) {
                        step.ec = e;
                        step.done = true;
                      });
  if (!Wait(step.done, deadline)) return unreachable(kErrTimeout, "connect timed out");
  if (step.ec) return unreachable(kErrNoResponse, Cause(step.ec));
  c.socket.set_option(tcp::no_delay(true), ec);
  c.socket.non_blocking(true, ec);
  return kOk;
}

int32_t OxaTcpClient::Impl::Exchange(Connection& c, SteadyTime deadline, Command command,
                                     uint32_t id, uint32_t readLength, void* readData) {
  // The kept connection is non-blocking; the data path waits with poll() and needs no
  // io_context round, which keeps a request close to a plain socket round trip.
  size_t sent = 0;
  while (sent < c.out.size()) {
    asio::error_code ec;
    sent += c.socket.send(asio::buffer(c.out.data() + sent, c.out.size() - sent), 0, ec);
    if (ec == asio::error::would_block) {
      if (!WaitReady(c.socket, POLLOUT, deadline)) return Fail(c, kErrTimeout, "send timed out");
    } else if (ec) {
      return Fail(c, kErrNoResponse, Cause(ec));
    }
  }

  // A correct answer has 16 + 8 + readLength bytes; a longer one is read up to the frame
  // limit, the buffer growing only with the bytes that arrive.
  const size_t expected = wire::kHeaderSize + wire::kAnswerFixed + readLength;
  if (c.in.size() < expected) c.in.resize(std::min(expected, kGrowStep));
  size_t have = 0;
  wire::Header header;
  wire::Answer answer;
  wire::Scan scan;
  for (;;) {
    scan =
        wire::ScanAnswer(std::span<const uint8_t>(c.in.data(), have), id, command, header, answer);
    if (scan.status == wire::Scan::Complete) break;
    if (scan.status == wire::Scan::Bad) return Fail(c, kErrNoResponse, "answer not understood");
    if (c.in.size() < scan.size) c.in.resize(std::min(scan.size, have + kGrowStep));
    if (!WaitReady(c.socket, POLLIN, deadline)) {
      return Fail(c, kErrTimeout, "no answer in time");
    }
    asio::error_code ec;
    have += c.socket.receive(asio::buffer(c.in.data() + have, c.in.size() - have), 0, ec);
    if (ec && ec != asio::error::would_block) {
      return Fail(c, kErrNoResponse, ec == asio::error::eof ? "closed by the peer" : Cause(ec));
    }
  }
  c.failure.clear();
  int32_t result = answer.result;
  if (result == kOk) {
    if (answer.data.size() != readLength) {
      result = kErrInvalidSize;
    } else if (readLength != 0) {
      std::memcpy(readData, answer.data.data(), readLength);
    }
  }
  // Bytes beyond the answer were never asked for: the connection is out of step.
  if (have != scan.size) {
    Abort(c);
  } else if (c.in.capacity() > kKeepBuffer) {
    std::vector<uint8_t>().swap(c.in);
  }
  return result;
}

int32_t OxaTcpClient::Impl::Request(const OxaAddr* addr, Command command, uint32_t indexGroup,
                                    uint32_t indexOffset, uint32_t readLength, void* readData,
                                    uint32_t writeLength, const void* writeData) {
  if (port == 0) return kErrTargetMachineNotFound;
  if (const int32_t e = detail::CheckRequest(addr, readLength, readData, writeLength, writeData)) {
    return e;
  }
  if (IsLocalRouterRequest(table.local.netId, *addr, indexGroup)) {
    return AnswerLocalRouter(table, command, indexOffset,
                             std::span<uint8_t>(static_cast<uint8_t*>(readData), readLength));
  }
  Connection* c = Find(addr->netId);
  if (c == nullptr) return kErrTargetMachineNotFound;
  const SteadyTime deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

  OxaRequest request;
  request.target = *addr;
  request.source = OxaAddr{table.local.netId, port};
  request.command = command;
  request.indexGroup = indexGroup;
  request.indexOffset = indexOffset;
  request.readLength = readLength;
  request.writeData = std::span<const uint8_t>(static_cast<const uint8_t*>(writeData), writeLength);
  const uint32_t id = ++invokeId;
  c->out.clear();
  wire::EncodeRequest(c->out, id, request);

  if (c->socket.is_open() && !StillOpen(*c)) Abort(*c);
  if (!c->socket.is_open()) {
    if (const int32_t e = Connect(*c, deadline)) return e;
  }
  const int32_t result = Exchange(*c, deadline, command, id, readLength, readData);
  if (c->out.capacity() > kKeepBuffer) std::vector<uint8_t>().swap(c->out);
  return result;
}

OxaTcpClient::OxaTcpClient(RouteLoader loadRoutes, Clock clock)
    : impl_(std::make_unique<Impl>(std::move(loadRoutes), std::move(clock))) {}

OxaTcpClient::~OxaTcpClient() {
  OxaPortClose();
}

long OxaTcpClient::OxaPortOpen() {
  Impl& m = *impl_;
  if (m.port != 0) return m.port;
  m.table = m.load();
  // One connection per distinct endpoint; a NetId is served by its first entry.
  auto connectionFor = [&](const RouteEntry& e) {
    for (const auto& c : m.connections) {
      if (c->host == e.host && c->port == e.tcpPort) return c.get();
    }
    m.connections.push_back(std::make_unique<Connection>(m.io, e.host, e.tcpPort));
    return m.connections.back().get();
  };
  auto add = [&](const RouteEntry& e) {
    auto it = std::lower_bound(m.byNetId.begin(), m.byNetId.end(), e.netId, ByNetId);
    if (it == m.byNetId.end() || it->first != e.netId)
      m.byNetId.insert(it, {e.netId, connectionFor(e)});
  };
  add(m.table.local);
  for (const RouteEntry& e : m.table.routes) add(e);
  m.port = detail::NextPortNumber();
  return m.port;
}

int32_t OxaTcpClient::OxaPortClose() {
  Impl& m = *impl_;
  for (auto& c : m.connections) m.Abort(*c);
  m.byNetId.clear();
  m.connections.clear();
  m.table = RouteTable{};
  m.port = 0;
  return kOk;
}

const std::vector<RouteWarning>& OxaTcpClient::RouteWarnings() const {
  return impl_->table.warnings;
}

std::optional<OxaTcpClient::TransportFailure> OxaTcpClient::LastTransportFailure(
    const NetId& netId) const {
  const Connection* c = impl_->Find(netId);
  if (c == nullptr || c->failure.empty()) return std::nullopt;
  const bool v6 = c->host.find(':') != std::string::npos;
  return TransportFailure{(v6 ? "[" + c->host + "]" : c->host) + ":" + std::to_string(c->port),
                          c->failure};
}

int32_t OxaTcpClient::OxaGetLocalAddress(OxaAddr* addr) {
  if (impl_->port == 0) return kErrTargetMachineNotFound;
  if (addr == nullptr) return kErrInvalidData;
  addr->netId = impl_->table.local.netId;
  addr->port = impl_->port;
  return kOk;
}

int32_t OxaTcpClient::OxaSyncSetTimeout(int32_t milliseconds) {
  if (milliseconds <= 0) return kErrInvalidData;
  impl_->timeoutMs = milliseconds;
  return kOk;
}

int32_t OxaTcpClient::OxaSyncReadReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                                     uint32_t length, void* data) {
  return impl_->Request(addr, Command::Read, indexGroup, indexOffset, length, data, 0, nullptr);
}

int32_t OxaTcpClient::OxaSyncWriteReq(const OxaAddr* addr, uint32_t indexGroup,
                                      uint32_t indexOffset, uint32_t length, const void* data) {
  return impl_->Request(addr, Command::Write, indexGroup, indexOffset, 0, nullptr, length, data);
}

int32_t OxaTcpClient::OxaSyncReadWriteReq(const OxaAddr* addr, uint32_t indexGroup,
                                          uint32_t indexOffset, uint32_t readLength, void* readData,
                                          uint32_t writeLength, const void* writeData) {
  return impl_->Request(addr, Command::ReadWrite, indexGroup, indexOffset, readLength, readData,
                        writeLength, writeData);
}

}  // namespace oxa
