// Login over OXA/TCP against controllers that do not answer: it must end offline quickly and
// never wait one timeout per probe.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "FakePlant.h"
#include "link/Login.h"
#include "oxa/OxaTcpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

// A TCP socket on 127.0.0.1 with a port the system picked; listening or not.
class Socket {
 public:
  explicit Socket(bool listening, int backlog = 16) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    auto* sa = reinterpret_cast<sockaddr*>(&a);
    EXPECT_EQ(::bind(fd_, sa, len), 0);
    EXPECT_EQ(::getsockname(fd_, sa, &len), 0);
    port_ = ntohs(a.sin_port);
    if (listening) {
      EXPECT_EQ(::listen(fd_, backlog), 0);
    }
  }
  ~Socket() { ::close(fd_); }
  uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Logs in to the local system served at 127.0.0.1:`port`; returns the time it took.
Clock::duration LoginAt(uint16_t port, bool& online) {
  oxa::OxaTcpClient client([port] {
    oxa::RouteTable t;
    t.local = {"", kNetId, "127.0.0.1", port};
    return t;
  });
  axlink::AxisList lists;
  fake::Doc doc;
  axlink::FrameStatus status;
  axlink::LoginEnv env{&client, client.OxaPortOpen(), kNetId, "Axtune -> Local", &lists, &doc,
                       &status};
  const auto start = Clock::now();
  online = axlink::Login(env);
  const auto took = Clock::now() - start;
  EXPECT_EQ(status.connection, "OFFLINE");
  return took;
}

TEST(LoginTcpTest, RefusedConnectionsEndOfflineAtOnce) {
  // Bound but not listening: every connect is refused.
  Socket refusing(false);
  bool online = true;
  const auto took = LoginAt(refusing.Port(), online);
  EXPECT_FALSE(online);
  EXPECT_LT(took, std::chrono::milliseconds(500));
}

TEST(LoginTcpTest, DeadControllerCostsOneTimeoutNotOnePerProbe) {
  // A listener whose queue is full and that never accepts: further connects hang in SYN
  // retries, as they do towards a controller that is switched off.
  Socket dead(true, 0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(dead.Port());
    ::connect(f, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    fillers.push_back(f);
  }
  bool online = true;
  const auto took = LoginAt(dead.Port(), online);
  for (const int f : fillers) ::close(f);
  EXPECT_FALSE(online);
  if (took < std::chrono::milliseconds(900)) GTEST_SKIP() << "this kernel completed the connect";
  EXPECT_LT(took, std::chrono::milliseconds(2500));
}

}  // namespace
