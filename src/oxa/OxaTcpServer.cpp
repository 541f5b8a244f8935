#include "oxa/OxaTcpServer.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "oxa/AsioInclude.h"
#include "oxa/Bytes.h"
#include "oxa/Frame.h"

namespace oxa {

namespace {

using asio::ip::tcp;

// A fresh connection's input buffer; it grows by at most kGrowStep beyond the bytes received.
constexpr size_t kInitialBuffer = 4096;
constexpr size_t kGrowStep = 65536;
// Buffers that grew beyond this for one big frame are given back afterwards.
constexpr size_t kKeepBuffer = 65536;

using Clock = std::chrono::steady_clock;

// What a connection is doing, as far as making room for a new one is concerned.
enum class Activity : uint8_t {
  Idle,     // waiting for bytes; may be closed once idle long enough
  Busy,     // a request is in hand and gets its answer
  Evicted,  // closed to make room; the request that comes next is not handled
};

// One accepted connection, served by its own thread with blocking reads and writes: a request
// costs one read and one write, as with a plain socket. The thread never closes the socket;
// whoever joins the thread does, so that shutting it down from Stop() can never hit a reused
// descriptor.
struct Connection {
  Connection(tcp::socket s, Clock::time_point now)
      : socket(std::move(s)), lastActive(now.time_since_epoch().count()) {}
  tcp::socket socket;
  std::thread thread;
  std::atomic<bool> done{false};
  std::atomic<Activity> activity{Activity::Idle};
  std::atomic<Clock::rep> lastActive;  // when bytes last came or went
};

}  // namespace

struct OxaTcpServer::Impl {
  Impl(IOxaEndpoint& ep, OxaServerOptions o) : endpoint(ep), options(std::move(o)) {
    if (!options.clock) options.clock = [] { return Clock::now(); };
  }

  void AcceptLoop();
  void Serve(Connection& c);
  // Joins and closes finished connections; returns how many are still open.
  size_t Reap();
  // Closes the connection idle the longest when it has been idle past the grace period; false
  // when there is none.
  bool EvictIdlest();
  void Touch(Connection& c) {
    c.lastActive.store(options.clock().time_since_epoch().count(), std::memory_order_relaxed);
  }

  IOxaEndpoint& endpoint;
  OxaServerOptions options;
  std::mutex handleMutex;  // one Handle call at a time across all connections
  asio::io_context io;     // owns the sockets; nothing runs on it
  tcp::acceptor acceptor{io};
  std::thread acceptThread;
  std::mutex connectionsMutex;
  std::list<Connection> connections;
  std::atomic<bool> stopping{false};
  std::mutex stopMutex;
  uint16_t port = 0;
};

namespace {

bool SendAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// Calls the endpoint and builds the answer frame in `out`; false when the reply is dropped.
bool Answer(OxaTcpServer::Impl& server, const wire::Header& header, const OxaRequest& request,
            std::vector<uint8_t>& out) {
  constexpr size_t kDataAt = wire::kHeaderSize + wire::kAnswerFixed;
  uint32_t room = 0;
  OxaReplyInfo reply;
  {
    std::lock_guard lock(server.handleMutex);
    room = std::min(request.readLength, server.endpoint.AnswerRoom(request));
    out.clear();
    out.resize(kDataAt + room);
    reply = server.endpoint.Handle(request, std::span<uint8_t>(out.data() + kDataAt, room));
  }
  reply = Finish(std::move(reply));
  if (reply.dropped) return false;
  const uint32_t dataLength = std::min(reply.dataLength, room);
  out.resize(kDataAt + dataLength);
  std::memcpy(out.data(), wire::kMagic.data(), wire::kMagic.size());
  const std::span<uint8_t> o(out);
  bytes::Put<uint32_t>(o, 4, static_cast<uint32_t>(wire::kAnswerFixed) + dataLength);
  bytes::Put<uint32_t>(o, 8, header.invokeId);
  bytes::Put<uint16_t>(o, 12, static_cast<uint16_t>(header.command));
  bytes::Put<uint16_t>(o, 14, wire::kFlagAnswer);
  bytes::Put<int32_t>(o, 16, reply.result);
  bytes::Put<uint32_t>(o, 20, dataLength);
  return true;
}

}  // namespace

void OxaTcpServer::Impl::Serve(Connection& c) {
  const int fd = c.socket.native_handle();
  std::vector<uint8_t> in(kInitialBuffer);
  std::vector<uint8_t> out;
  size_t have = 0;
  while (!stopping) {
    wire::Header header;
    OxaRequest request;
    const wire::Scan scan =
        wire::ScanRequest(std::span<const uint8_t>(in.data(), have), header, request);
    if (scan.status == wire::Scan::Bad) break;
    if (scan.status == wire::Scan::NeedMore) {
      // The buffer grows towards the frame size (already checked against the limit) only by
      // kGrowStep beyond what has arrived.
      if (in.size() < scan.size) in.resize(std::min(scan.size, have + kGrowStep));
      const ssize_t n = ::recv(fd, in.data() + have, in.size() - have, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      have += static_cast<size_t>(n);
      Touch(c);
      continue;
    }
    // A connection closed to make room does not get this request handled.
    Activity idle = Activity::Idle;
    if (!c.activity.compare_exchange_strong(idle, Activity::Busy)) break;
    const bool answered = Answer(*this, header, request, out);
    std::memmove(in.data(), in.data() + scan.size, have - scan.size);
    have -= scan.size;
    if (have == 0 && in.size() > kKeepBuffer) std::vector<uint8_t>(kInitialBuffer).swap(in);
    if (answered && !SendAll(fd, out.data(), out.size())) break;
    if (out.capacity() > kKeepBuffer) std::vector<uint8_t>().swap(out);
    Touch(c);
    c.activity = Activity::Idle;
  }
  // Tell the peer at once; the descriptor itself is closed when the thread is joined.
  ::shutdown(fd, SHUT_RDWR);
  c.done = true;
}

size_t OxaTcpServer::Impl::Reap() {
  std::lock_guard lock(connectionsMutex);
  for (auto it = connections.begin(); it != connections.end();) {
    if (it->done) {
      it->thread.join();
      it = connections.erase(it);
    } else {
      ++it;
    }
  }
  return connections.size();
}

bool OxaTcpServer::Impl::EvictIdlest() {
  std::list<Connection>::iterator victim;
  {
    std::lock_guard lock(connectionsMutex);
    victim = connections.end();
    for (auto it = connections.begin(); it != connections.end(); ++it) {
      if (it->activity != Activity::Idle) continue;
      if (victim == connections.end() || it->lastActive < victim->lastActive) victim = it;
    }
    if (victim == connections.end()) return false;
    const Clock::duration idle =
        options.clock() - Clock::time_point(Clock::duration(victim->lastActive.load()));
    if (idle < options.idleGrace) return false;
    // It may have just been handed a request; then it keeps its place.
    Activity expected = Activity::Idle;
    if (!victim->activity.compare_exchange_strong(expected, Activity::Evicted)) return false;
    ::shutdown(victim->socket.native_handle(), SHUT_RDWR);
  }
  // Only this thread erases connections, so `victim` stays valid while its thread ends.
  victim->thread.join();
  std::lock_guard lock(connectionsMutex);
  connections.erase(victim);
  return true;
}

void OxaTcpServer::Impl::AcceptLoop() {
  while (!stopping) {
    asio::error_code ec;
    tcp::socket socket(io);
    acceptor.accept(socket, ec);
    if (stopping) break;
    if (ec) {
      // Out of descriptors and the like: try again a little later instead of spinning.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    if (Reap() >= options.maxConnections && !EvictIdlest()) continue;  // the socket closes here
    socket.set_option(tcp::no_delay(true), ec);
    std::lock_guard lock(connectionsMutex);
    Connection& c = connections.emplace_back(std::move(socket), options.clock());
    try {
      c.thread = std::thread([this, &c] { Serve(c); });
    } catch (const std::system_error&) {
      connections.pop_back();  // no thread to spare: the connection is closed
    }
  }
}

OxaTcpServer::OxaTcpServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

OxaTcpServer::~OxaTcpServer() {
  Stop();
}

std::unique_ptr<OxaTcpServer> OxaTcpServer::Start(IOxaEndpoint& endpoint, std::string_view host,
                                                  uint16_t port, std::string& error,
                                                  OxaServerOptions options) {
  auto impl = std::make_unique<Impl>(endpoint, std::move(options));
  asio::error_code ec;
  tcp::endpoint where;
  const asio::ip::address address = asio::ip::make_address(std::string(host), ec);
  if (!ec) {
    where = tcp::endpoint(address, port);
  } else {
    tcp::resolver resolver(impl->io);
    const auto results =
        resolver.resolve(std::string(host), std::to_string(port), tcp::resolver::passive, ec);
    if (ec || results.empty()) {
      error = "cannot resolve '" + std::string(host) + "': " + ec.message();
      return nullptr;
    }
    where = results.begin()->endpoint();
  }
  tcp::acceptor& a = impl->acceptor;
  a.open(where.protocol(), ec);
  if (!ec) a.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) a.bind(where, ec);
  if (!ec) a.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error =
        "cannot listen on " + std::string(host) + ":" + std::to_string(port) + ": " + ec.message();
    return nullptr;
  }
  impl->port = a.local_endpoint(ec).port();
  Impl* raw = impl.get();
  impl->acceptThread = std::thread([raw] { raw->AcceptLoop(); });
  return std::unique_ptr<OxaTcpServer>(new OxaTcpServer(std::move(impl)));
}

uint16_t OxaTcpServer::Port() const {
  return impl_->port;
}

void OxaTcpServer::Stop() {
  Impl& m = *impl_;
  std::lock_guard lock(m.stopMutex);
  if (!m.acceptThread.joinable()) return;
  m.stopping = true;
  // Shutting a listening socket down wakes the thread blocked in accept().
  ::shutdown(m.acceptor.native_handle(), SHUT_RDWR);
  m.acceptThread.join();
  asio::error_code ignored;
  m.acceptor.close(ignored);
  std::lock_guard connectionsLock(m.connectionsMutex);
  for (Connection& c : m.connections) ::shutdown(c.socket.native_handle(), SHUT_RDWR);
  for (Connection& c : m.connections) c.thread.join();
  m.connections.clear();
}

}  // namespace oxa
