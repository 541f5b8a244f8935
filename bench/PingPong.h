// What the loopback benchmarks share: the plain blocking TCP ping-pong they measure themselves
// against, the per-iteration timing, medians, the "x_pingpong" counter and a main() that runs
// five interleaved repetitions, so that the load of the machine hits both sides alike.
#pragma once

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace pingpong {

// Request bytes and answer bytes of one round trip.
using Frame = std::pair<size_t, size_t>;

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Wall-clock nanoseconds per iteration of `state` since `start`.
inline double NsPerIteration(std::chrono::steady_clock::time_point start,
                             const benchmark::State& state) {
  const auto ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start);
  return state.iterations() ? ns.count() / static_cast<double>(state.iterations()) : 0.0;
}

inline bool SendAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

inline bool RecvAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// The baseline: every iteration sends the request of each frame in turn and waits for its
// answer, over plain blocking sockets on loopback with TCP_NODELAY on both ends. Returns the
// nanoseconds per iteration.
inline double PlainTcpPingPong(benchmark::State& state, const std::vector<Frame>& frames) {
  size_t largest = 0;
  for (const auto& [request, answer] : frames) largest = std::max({largest, request, answer});
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  ::listen(listener, 1);
  socklen_t len = sizeof a;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  std::thread server([&] {
    const int c = ::accept(listener, nullptr, nullptr);
    int one = 1;
    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<uint8_t> buf(largest, 1);
    for (bool ok = true; ok;) {
      for (const auto& [request, answer] : frames) {
        if (!RecvAll(c, buf.data(), request) || !SendAll(c, buf.data(), answer)) {
          ok = false;
          break;
        }
      }
    }
    ::close(c);
  });
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    state.SkipWithError("connect failed");
  }
  std::vector<uint8_t> buf(largest, 2);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (const auto& [request, answer] : frames) {
      if (!SendAll(fd, buf.data(), request) || !RecvAll(fd, buf.data(), answer)) {
        state.SkipWithError("ping-pong broke");
        break;
      }
    }
  }
  const double ns = NsPerIteration(start, state);
  ::close(fd);
  server.join();
  ::close(listener);
  return ns;
}

// Reports `ns` against the median of the baseline runs as the counter "x_pingpong".
inline void SetRatio(benchmark::State& state, double ns, const std::vector<double>& baseNs) {
  if (const double base = Median(baseNs); base > 0) state.counters["x_pingpong"] = ns / base;
}

// Runs the registered benchmarks, `repetitions` interleaved repetitions unless the command line
// says otherwise. Returns false on arguments the library does not know.
inline bool RunInterleaved(int argc, char** argv, int repetitions = 5) {
  std::string reps = "--benchmark_repetitions=" + std::to_string(repetitions);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  bool own = false;
  for (int i = 1; i < argc; ++i) {
    own = own || std::string_view(argv[i]).starts_with("--benchmark_repetitions");
  }
  std::vector<char*> args;
  args.push_back(argv[0]);
  if (!own) {
    args.push_back(reps.data());
    args.push_back(interleave.data());
  }
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return false;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return true;
}

}  // namespace pingpong
