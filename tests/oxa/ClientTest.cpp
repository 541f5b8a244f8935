#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "AllocTracker.h"
#include "TestEndpoint.h"
#include "oxa/Bytes.h"
#include "oxa/Frame.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"

namespace oxa::test {
namespace {

using namespace std::chrono_literals;
const OxaAddr kCtrl{kCtrlNetId, kCtrlPort};

struct FakeClock {
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  OxaTcpClient::Clock Fn() {
    return [this] { return now; };
  }
};

std::unique_ptr<OxaTcpClient> ClientFor(uint16_t tcpPort, FakeClock* clock = nullptr,
                                        std::string host = "127.0.0.1") {
  RouteTable table;
  table.local = {"", kCtrlNetId, std::move(host), tcpPort};
  auto client = std::make_unique<OxaTcpClient>([table] { return table; },
                                               clock ? clock->Fn() : OxaTcpClient::Clock{});
  EXPECT_NE(client->OxaPortOpen(), 0);
  return client;
}

// A TCP port on 127.0.0.1 that nothing listens on (it was free a moment ago).
uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

TEST(TcpClient, RefusedEndpointIsUnreachableForTwoSeconds) {
  FakeClock clock;
  const uint16_t port = FreePort();
  auto client = ClientFor(port, &clock);
  uint8_t buf[4];
  EXPECT_FALSE(client->LastTransportFailure(kCtrlNetId));
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrNoResponse);
  // The endpoint and the cause, for a message that names them.
  const auto failure = client->LastTransportFailure(kCtrlNetId);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->endpoint, "127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(failure->cause, "connection refused");

  TestEndpoint endpoint;
  std::string error;
  auto server = OxaTcpServer::Start(endpoint, "127.0.0.1", port, error);
  if (!server) GTEST_SKIP() << "port taken meanwhile: " << error;
  // Within the window the live server is not even asked.
  clock.now += OxaTcpClient::kUnreachableWindow - 1ms;
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrNoResponse);
  EXPECT_EQ(endpoint.Calls(), 0);
  EXPECT_EQ(client->LastTransportFailure(kCtrlNetId)->cause, "connection refused");
  clock.now += 2ms;
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);
  EXPECT_EQ(endpoint.Calls(), 1);
  EXPECT_FALSE(client->LastTransportFailure(kCtrlNetId));
}

TEST(TcpClient, ConnectTimeoutMarksTheEndpointUnreachable) {
  // A listener that never accepts, its queue filled: further connects hang in SYN retries.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t len = sizeof a;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(f, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    fillers.push_back(f);
  }
  FakeClock clock;
  auto client = ClientFor(ntohs(a.sin_port), &clock);
  ASSERT_EQ(client->OxaSyncSetTimeout(300), kOk);
  uint8_t buf[4];
  const int32_t first = client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf);
  for (const int f : fillers) ::close(f);
  ::close(listener);
  if (first != kErrTimeout) GTEST_SKIP() << "this kernel completed the connect: " << first;
  EXPECT_EQ(client->LastTransportFailure(kCtrlNetId)->cause, "connect timed out");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrNoResponse);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << "fails at once in the window";
}

TEST(TcpClient, ReconnectsAfterTheServerRestarts) {
  FakeClock clock;
  TestEndpoint endpoint;
  std::string error;
  auto server = OxaTcpServer::Start(endpoint, "127.0.0.1", 0, error);
  ASSERT_TRUE(server) << error;
  const uint16_t port = server->Port();
  auto client = ClientFor(port, &clock);
  uint8_t buf[4];
  ASSERT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);

  // Restarted while the client kept its connection: the next request just works.
  server.reset();
  server = OxaTcpServer::Start(endpoint, "127.0.0.1", port, error);
  if (!server) GTEST_SKIP() << "port taken meanwhile: " << error;
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);

  // Down at the time of a request: it fails, and after the window the restarted server answers.
  server.reset();
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrNoResponse);
  server = OxaTcpServer::Start(endpoint, "127.0.0.1", port, error);
  if (!server) GTEST_SKIP() << "port taken meanwhile: " << error;
  clock.now += OxaTcpClient::kUnreachableWindow;
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);
}

TEST(TcpClient, TimeoutBoundsTheWholeRequestAndClosesTheConnection) {
  TestEndpoint endpoint;
  std::string error;
  auto server = OxaTcpServer::Start(endpoint, "127.0.0.1", 0, error);
  ASSERT_TRUE(server) << error;
  auto client = ClientFor(server->Port());
  ASSERT_EQ(client->OxaSyncSetTimeout(200), kOk);
  uint8_t buf[4];
  for (int i = 0; i < 2; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kDrop, 0, 4, buf), kErrTimeout);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 195ms);
    EXPECT_LT(took, 200ms + 300ms);
    EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 9, 4, buf), kOk);
    EXPECT_EQ(buf[0], 9);
  }
}

TEST(TcpClient, HostNamesAreResolved) {
  TestEndpoint endpoint;
  std::string error;
  auto server = OxaTcpServer::Start(endpoint, "localhost", 0, error);
  ASSERT_TRUE(server) << error;
  auto client = ClientFor(server->Port(), nullptr, "localhost");
  uint8_t buf[4];
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);
  auto nowhere = ClientFor(server->Port(), nullptr, "no-such-host.invalid");
  EXPECT_EQ(nowhere->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrNoResponse);
}

// A one-connection-at-a-time server that answers every request with bytes a test makes up.
class ScriptedServer {
 public:
  using Reply = std::function<std::vector<uint8_t>(uint32_t invokeId, Command command)>;

  explicit ScriptedServer(Reply reply) : reply_(std::move(reply)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    ::listen(listen_, 4);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedServer() {
    stop_ = true;
    ::shutdown(listen_, SHUT_RDWR);
    if (const int c = conn_.load(); c >= 0) ::shutdown(c, SHUT_RDWR);
    thread_.join();
    ::close(listen_);
  }
  uint16_t Port() const { return port_; }
  int Accepted() const { return accepted_.load(); }

 private:
  void Serve() {
    while (!stop_) {
      const int c = ::accept(listen_, nullptr, nullptr);
      if (c < 0) return;
      ++accepted_;
      conn_ = c;
      std::vector<uint8_t> frame(wire::kHeaderSize);
      while (ReadAll(c, frame.data(), wire::kHeaderSize)) {
        const uint32_t body = bytes::At<uint32_t>(frame, 4);
        std::vector<uint8_t> rest(body);
        if (body > wire::kMaxBody || !ReadAll(c, rest.data(), body)) break;
        const auto out = reply_(bytes::At<uint32_t>(frame, 8),
                                static_cast<Command>(bytes::At<uint16_t>(frame, 12)));
        if (::send(c, out.data(), out.size(), MSG_NOSIGNAL) < 0) break;
      }
      conn_ = -1;
      ::close(c);
    }
  }
  static bool ReadAll(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
      const ssize_t r = ::recv(fd, p, n, 0);
      if (r <= 0) return false;
      p += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }

  Reply reply_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> conn_{-1};
  std::atomic<int> accepted_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::vector<uint8_t> Answer(uint32_t id, Command command, int32_t result,
                            std::vector<uint8_t> data) {
  std::vector<uint8_t> out;
  wire::EncodeAnswer(out, id, command, result, data);
  return out;
}

TEST(TcpClient, BrokenAnswersFailAndDropTheConnection) {
  using Mutate = std::function<void(std::vector<uint8_t>&)>;
  const struct {
    const char* what;
    Mutate mutate;
    int32_t result;
  } cases[] = {
      {"wrong magic", [](auto& f) { f[3] = 2; }, kErrNoResponse},
      {"wrong invoke id", [](auto& f) { f[8] ^= 1; }, kErrNoResponse},
      {"wrong command", [](auto& f) { f[12] = 2; }, kErrNoResponse},
      {"request flag", [](auto& f) { f[14] = 0; }, kErrNoResponse},
      {"unknown flag", [](auto& f) { f[15] = 1; }, kErrNoResponse},
      {"data length beyond the body", [](auto& f) { f[20] = 5; }, kErrNoResponse},
      {"body over 1 MiB", [](auto& f) { bytes::Put<uint32_t>(f, 4, wire::kMaxBody + 1); },
       kErrNoResponse},
      {"body shorter than an answer",
       [](auto& f) {
         bytes::Put<uint32_t>(f, 4, 4);
         f.resize(20);
       },
       kErrNoResponse},
      {"answer cut short", [](auto& f) { f.resize(18); }, kErrTimeout},
      {"stray bytes after the answer", [](auto& f) { f.push_back(0); }, kOk},
      {"success with too little data",
       [](auto& f) {
         f.resize(f.size() - 1);
         bytes::Put<uint32_t>(f, 4, 11);
         bytes::Put<uint32_t>(f, 20, 3);
       },
       kErrInvalidSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::atomic<int> n{0};
    ScriptedServer server([&](uint32_t id, Command command) {
      auto f = Answer(id, command, kOk, {1, 2, 3, 4});
      if (n++ == 0) c.mutate(f);
      return f;
    });
    auto client = ClientFor(server.Port());
    ASSERT_EQ(client->OxaSyncSetTimeout(300), kOk);
    uint8_t buf[4] = {};
    EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), c.result);
    // The next request works, on a new connection unless the answer was well-formed.
    EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);
    EXPECT_EQ(buf[3], 4);
    EXPECT_EQ(server.Accepted(), c.result == kErrInvalidSize ? 1 : 2);
  }
}

TEST(TcpClient, ErrorAnswersKeepTheReadBufferAndTheConnection) {
  ScriptedServer server([](uint32_t id, Command command) {
    return Answer(id, command, 0x4356, {9, 9, 9, 9});
  });
  auto client = ClientFor(server.Port());
  uint8_t buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), 0x4356);
  EXPECT_EQ(client->OxaSyncWriteReq(&kCtrl, kPattern, 0, 4, buf), 0x4356);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(server.Accepted(), 1);
}

TEST(TcpClient, AnAnswerLongerThanAskedIsReadWithinTheLimit) {
  ScriptedServer server([](uint32_t id, Command command) {
    return Answer(id, command, kOk, std::vector<uint8_t>(wire::kMaxReadLength, 7));
  });
  auto client = ClientFor(server.Port());
  uint8_t buf[4] = {};
  ResetLargestAllocation();
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrInvalidSize);
  EXPECT_LE(LargestAllocation(), 2 * size_t{wire::kMaxBody} + wire::kHeaderSize);
  EXPECT_EQ(client->OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kErrInvalidSize);
  EXPECT_EQ(server.Accepted(), 1) << "a well-formed answer keeps the connection";
}

}  // namespace
}  // namespace oxa::test
