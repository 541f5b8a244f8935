#include "oxa/OxaTcpServer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
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
// Connections beyond this many are closed as soon as they are accepted.
constexpr size_t kMaxSessions = 256;

class Session;

}  // namespace

struct OxaTcpServer::Impl {
  explicit Impl(IOxaEndpoint& ep) : endpoint(ep) {}

  void Accept();
  void CloseAll();

  IOxaEndpoint& endpoint;
  // Declared before the io_context: sessions that the io_context still owns unregister
  // themselves while it is destroyed.
  std::unordered_set<Session*> sessions;
  asio::io_context io{1};  // one thread runs it
  tcp::acceptor acceptor{io};
  asio::steady_timer retryTimer{io};
  std::thread thread;
  std::mutex stopMutex;
  uint16_t port = 0;
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(OxaTcpServer::Impl& server, tcp::socket socket)
      : server_(server), socket_(std::move(socket)), in_(kInitialBuffer) {
    server_.sessions.insert(this);
  }
  ~Session() { server_.sessions.erase(this); }

  void Start() {
    asio::error_code ignored;
    socket_.non_blocking(true, ignored);
    Process();
  }
  void Close() {
    asio::error_code ignored;
    socket_.close(ignored);
  }

 private:
  // Handles every complete frame in the buffer, then reads more; an answer being written
  // pauses the loop until it is sent.
  void Process() {
    for (;;) {
      wire::Header header;
      OxaRequest request;
      const wire::Scan scan =
          wire::ScanRequest(std::span<const uint8_t>(in_.data(), have_), header, request);
      if (scan.status == wire::Scan::Bad) return Close();
      if (scan.status == wire::Scan::NeedMore) return ReadMore(scan.size);
      const bool answered = Answer(header, request);
      Consume(scan.size);
      if (answered && !SendNow()) return;
    }
  }

  // Calls the endpoint and builds the answer frame in out_; false when the reply is dropped.
  bool Answer(const wire::Header& header, const OxaRequest& request) {
    constexpr size_t kDataAt = wire::kHeaderSize + wire::kAnswerFixed;
    out_.clear();
    out_.resize(kDataAt + request.readLength);
    const OxaReplyInfo reply = server_.endpoint.Handle(
        request, std::span<uint8_t>(out_.data() + kDataAt, request.readLength));
    if (reply.dropped) {
      out_.clear();
      return false;
    }
    const uint32_t dataLength = std::min(reply.dataLength, request.readLength);
    out_.resize(kDataAt + dataLength);
    std::memcpy(out_.data(), wire::kMagic.data(), wire::kMagic.size());
    const std::span<uint8_t> o(out_);
    bytes::Put<uint32_t>(o, 4, static_cast<uint32_t>(wire::kAnswerFixed) + dataLength);
    bytes::Put<uint32_t>(o, 8, header.invokeId);
    bytes::Put<uint16_t>(o, 12, static_cast<uint16_t>(header.command));
    bytes::Put<uint16_t>(o, 14, wire::kFlagAnswer);
    bytes::Put<int32_t>(o, 16, reply.result);
    bytes::Put<uint32_t>(o, 20, dataLength);
    return true;
  }

  void Consume(size_t n) {
    std::memmove(in_.data(), in_.data() + n, have_ - n);
    have_ -= n;
    if (have_ == 0 && in_.size() > kKeepBuffer) std::vector<uint8_t>(kInitialBuffer).swap(in_);
  }

  // Reads towards `need` bytes (already checked against the frame limit), growing the buffer
  // only by kGrowStep beyond what has arrived.
  // Reads towards `need` bytes (already checked against the frame limit), growing the buffer
  // only by kGrowStep beyond what has arrived.
  void ReadMore(size_t need) {
    if (in_.size() < need) in_.resize(std::min(need, have_ + kGrowStep));
    socket_.async_read_some(asio::buffer(in_.data() + have_, in_.size() - have_),
                            [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                              if (ec) return self->Close();
                              self->have_ += n;
                              self->Process();
                            });
  }

  // Sends the answer at once when the socket takes it (the usual case), else finishes it
  // asynchronously; true when the loop may go on.
  bool SendNow() {
    asio::error_code ec;
    const size_t n = socket_.send(asio::buffer(out_), 0, ec);
    if (ec && ec != asio::error::would_block) {
      Close();
      return false;
    }
    if (n == out_.size()) {
      if (out_.capacity() > kKeepBuffer) std::vector<uint8_t>().swap(out_);
      return true;
    }
    asio::async_write(socket_, asio::buffer(out_.data() + n, out_.size() - n),
                      [self = shared_from_this()](const asio::error_code& e, size_t) {
                        if (e) return self->Close();
                        if (self->out_.capacity() > kKeepBuffer) {
                          std::vector<uint8_t>().swap(self->out_);
                        }
                        self->Process();
                      });
    return false;
  }

  OxaTcpServer::Impl& server_;
  tcp::socket socket_;
  std::vector<uint8_t> in_;
  size_t have_ = 0;
  std::vector<uint8_t> out_;
};

}  // namespace

void OxaTcpServer::Impl::Accept() {
  acceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
    if (!acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors and the like: try again a little later instead of spinning.
      retryTimer.expires_after(std::chrono::milliseconds(50));
      retryTimer.async_wait([this](const asio::error_code& e) {
        if (!e) Accept();
      });
      return;
    }
    asio::error_code ignored;
    if (sessions.size() >= kMaxSessions) {
      socket.close(ignored);
    } else {
      socket.set_option(tcp::no_delay(true), ignored);
      std::make_shared<Session>(*this, std::move(socket))->Start();
    }
    Accept();
  });
}

void OxaTcpServer::Impl::CloseAll() {
  asio::error_code ignored;
  acceptor.close(ignored);
  retryTimer.cancel();
  for (Session* s : sessions) s->Close();
}

OxaTcpServer::OxaTcpServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

OxaTcpServer::~OxaTcpServer() {
  Stop();
}

std::unique_ptr<OxaTcpServer> OxaTcpServer::Start(IOxaEndpoint& endpoint, std::string_view host,
                                                  uint16_t port, std::string& error) {
  auto impl = std::make_unique<Impl>(endpoint);
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
  impl->Accept();
  Impl* raw = impl.get();
  impl->thread = std::thread([raw] { raw->io.run(); });
  return std::unique_ptr<OxaTcpServer>(new OxaTcpServer(std::move(impl)));
}

uint16_t OxaTcpServer::Port() const {
  return impl_->port;
}

void OxaTcpServer::Stop() {
  std::lock_guard lock(impl_->stopMutex);
  if (!impl_->thread.joinable()) return;
  Impl* raw = impl_.get();
  asio::post(impl_->io, [raw] { raw->CloseAll(); });
  impl_->thread.join();
}

}  // namespace oxa
