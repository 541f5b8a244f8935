// Round trips of Oxa reads: OXA/TCP client against the OXA/TCP server on loopback, beside a
// plain blocking TCP ping-pong that moves the same bytes, and the in-process connection.
//
// The TCP client should stay within 1.5 times the ping-pong; the in-process read well under a
// microsecond. The ratios are printed at the end and reported as the counter "x_pingpong".
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "oxa/Frame.h"
#include "oxa/OxaDirect.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"

namespace {

constexpr oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr oxa::OxaAddr kAddr{kNetId, 501};

class FillEndpoint : public oxa::IOxaEndpoint {
 public:
  oxa::OxaReplyInfo Handle(const oxa::OxaRequest& r, std::span<uint8_t> out) override {
    std::memset(out.data(), static_cast<int>(r.indexOffset), out.size());
    return {oxa::kOk, static_cast<uint32_t>(out.size()), false};
  }
};

// Nanoseconds per round trip of every run, by size, for the ratios. The runs are interleaved
// and repeated, so that the load of the machine hits both sides alike.
std::map<size_t, std::vector<double>> pingPongNs;
std::map<size_t, std::vector<double>> oxaTcpNs;

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double NsPerIteration(std::chrono::steady_clock::time_point start, benchmark::State& state) {
  const auto ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start);
  return state.iterations() ? ns.count() / static_cast<double>(state.iterations()) : 0.0;
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool RecvAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// The baseline: a request of an Oxa read frame's size, an answer of its answer's size, plain
// blocking sockets with TCP_NODELAY on both ends.
void BM_PlainTcpPingPong(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  const size_t requestSize = oxa::wire::kHeaderSize + oxa::wire::kRequestFixed;
  const size_t answerSize = oxa::wire::kHeaderSize + oxa::wire::kAnswerFixed + size;
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
    std::vector<uint8_t> in(requestSize), out(answerSize, 1);
    while (RecvAll(c, in.data(), in.size()) && SendAll(c, out.data(), out.size())) {
    }
    ::close(c);
  });
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    state.SkipWithError("connect failed");
  }
  std::vector<uint8_t> request(requestSize, 2), answer(answerSize);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (!SendAll(fd, request.data(), request.size()) ||
        !RecvAll(fd, answer.data(), answer.size())) {
      state.SkipWithError("ping-pong broke");
      break;
    }
  }
  pingPongNs[size].push_back(NsPerIteration(start, state));
  ::close(fd);
  server.join();
  ::close(listener);
}

void BM_OxaTcpRead(benchmark::State& state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  FillEndpoint endpoint;
  std::string error;
  auto server = oxa::OxaTcpServer::Start(endpoint, "127.0.0.1", 0, error);
  if (!server) {
    state.SkipWithError(error.c_str());
    return;
  }
  oxa::RouteTable table;
  table.local = {"", kNetId, "127.0.0.1", server->Port()};
  oxa::OxaTcpClient client([table] { return table; });
  client.OxaPortOpen();
  std::vector<uint8_t> data(size);
  client.OxaSyncReadReq(&kAddr, 1, 0, size, data.data());  // connect outside the timing
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (client.OxaSyncReadReq(&kAddr, 1, 7, size, data.data()) != oxa::kOk) {
      state.SkipWithError("read failed");
      break;
    }
  }
  oxaTcpNs[size].push_back(NsPerIteration(start, state));
  if (const double base = Median(pingPongNs[size]); base > 0) {
    state.counters["x_pingpong"] = oxaTcpNs[size].back() / base;
  }
}

void BM_OxaDirectRead(benchmark::State& state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  FillEndpoint endpoint;
  oxa::OxaDirect direct;
  direct.Register(kNetId, endpoint);
  direct.OxaPortOpen();
  std::vector<uint8_t> data(size);
  for (auto _ : state) {
    benchmark::DoNotOptimize(direct.OxaSyncReadReq(&kAddr, 1, 7, size, data.data()));
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_PlainTcpPingPong)->Arg(8)->Arg(1008)->UseRealTime();
BENCHMARK(BM_OxaTcpRead)->Arg(8)->Arg(1008)->UseRealTime();
BENCHMARK(BM_OxaDirectRead)->Arg(8)->Arg(1008);

}  // namespace

int main(int argc, char** argv) {
  // Five interleaved repetitions unless the command line says otherwise.
  std::string reps = "--benchmark_repetitions=5";
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
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [size, runs] : oxaTcpNs) {
    const double ns = Median(runs);
    const double base = Median(pingPongNs[size]);
    if (base > 0) {
      std::printf(
          "OXA/TCP read of %zu bytes: %.1f us, plain ping-pong %.1f us, ratio %.2f (medians)\n",
          size, ns / 1000.0, base / 1000.0, ns / base);
    }
  }
  return 0;
}
