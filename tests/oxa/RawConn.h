// A plain blocking TCP connection for tests that speak raw bytes to a server: malformed frames,
// half frames, and checks that the server closed the connection.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "oxa/Bytes.h"
#include "oxa/Frame.h"

namespace oxa::test {

class RawConn {
 public:
  explicit RawConn(uint16_t port, int receiveTimeoutMs = 5000) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{receiveTimeoutMs / 1000, (receiveTimeoutMs % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  }
  ~RawConn() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawConn(const RawConn&) = delete;
  RawConn& operator=(const RawConn&) = delete;

  bool Connected() const { return connected_; }

  bool Send(std::span<const uint8_t> data) {
    size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  enum class Got { Frame, Closed, TimedOut };

  // Reads one whole frame (header and body) into `frame`.
  Got ReadFrame(std::vector<uint8_t>& frame) {
    frame.assign(wire::kHeaderSize, 0);
    if (const Got g = ReadExact(frame.data(), wire::kHeaderSize); g != Got::Frame) return g;
    uint32_t body = 0;
    bytes::Get<uint32_t>(frame, 4, body);
    if (body > wire::kMaxBody) return Got::Closed;
    frame.resize(wire::kHeaderSize + body);
    return ReadExact(frame.data() + wire::kHeaderSize, body);
  }

 private:
  Got ReadExact(uint8_t* p, size_t n) {
    size_t done = 0;
    while (done < n) {
      const ssize_t r = ::recv(fd_, p + done, n - done, 0);
      if (r == 0) return Got::Closed;
      if (r < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? Got::TimedOut : Got::Closed;
      done += static_cast<size_t>(r);
    }
    return Got::Frame;
  }

  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace oxa::test
