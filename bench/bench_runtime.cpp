// One runtime read of the current axis, by batch (StRtData layout 12) and by block (layout 8),
// through the OXA/TCP client against the emulator on loopback, beside a plain blocking TCP
// ping-pong that moves the same request and answer sizes. Each read should stay within 1.5
// times its ping-pong; the ratios are printed at the end and reported as "x_pingpong".
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "model/ParamBatch.h"
#include "model/RuntimeRecord.h"
#include "oxa/Frame.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/AxisServer.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace {

constexpr oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;
constexpr int16_t kBatchLayout = 12;
constexpr int16_t kBlockLayout = 8;

// Nanoseconds per iteration of every run, by StRtData layout.
std::map<int16_t, std::vector<double>> readNs;
std::map<int16_t, std::vector<double>> pingPongNs;

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

// Request and answer frame sizes of one runtime read in `layout`.
std::pair<size_t, size_t> FrameSizes(int16_t layout) {
  const size_t write = layout == kBatchLayout ? model::kBatchRequestBytes : 0;
  const size_t read =
      layout == kBatchLayout ? model::kBatchAnswerBytes : model::RuntimeBlockLength(layout);
  return {oxa::wire::kHeaderSize + oxa::wire::kRequestFixed + write,
          oxa::wire::kHeaderSize + oxa::wire::kAnswerFixed + read};
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

void BM_PlainTcpPingPong(benchmark::State& state) {
  const auto layout = static_cast<int16_t>(state.range(0));
  const auto [requestSize, answerSize] = FrameSizes(layout);
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  ::listen(listener, 1);
  socklen_t len = sizeof a;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  std::thread server([&, requestSize = requestSize, answerSize = answerSize] {
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
  pingPongNs[layout].push_back(NsPerIteration(start, state));
  ::close(fd);
  server.join();
  ::close(listener);
}

void BM_ReadRuntimeTcp(benchmark::State& state) {
  const auto layout = static_cast<int16_t>(state.range(0));
  sim::Controller ctrl{kNetId};
  sim::AxisServerConfig c;
  c.port = kPort;
  c.lib = {3, 0, 35};
  c.axisNames = {"Clamp left"};
  c.firstAxis = 1;
  c.recordVersions[1] = layout;
  std::string error;
  auto server = sim::AxisServer::Create(ctrl, c, error);
  if (!server || !sim::InstallParamStore(*server) || !sim::InstallRuntimeRecords(*server, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto tcp = oxa::OxaTcpServer::Start(ctrl, "127.0.0.1", 0, error);
  if (!tcp) {
    state.SkipWithError(error.c_str());
    return;
  }
  oxa::RouteTable table;
  table.local = {"", kNetId, "127.0.0.1", tcp->Port()};
  oxa::OxaTcpClient client([table] { return table; });
  client.OxaPortOpen();
  model::AxisLink link;
  link.oxa = &client;
  link.addr = {kNetId, kPort};
  link.axis = 1;
  link.lib = c.lib;
  link.versions.fill(0);
  link.versions[1] = layout;
  model::RuntimeRecord rec;
  model::ReadRuntimeRecord(link, rec, false);  // connect outside the timing
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (model::ReadRuntimeRecord(link, rec, false) != oxa::kOk) {
      state.SkipWithError("read failed");
      break;
    }
  }
  readNs[layout].push_back(NsPerIteration(start, state));
  if (const double base = Median(pingPongNs[layout]); base > 0) {
    state.counters["x_pingpong"] = readNs[layout].back() / base;
  }
}

BENCHMARK(BM_PlainTcpPingPong)->Arg(kBatchLayout)->Arg(kBlockLayout)->UseRealTime();
BENCHMARK(BM_ReadRuntimeTcp)->Arg(kBatchLayout)->Arg(kBlockLayout)->UseRealTime();

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
  for (const auto& [layout, runs] : readNs) {
    const double ns = Median(runs);
    const double base = Median(pingPongNs[layout]);
    if (base > 0) {
      std::printf("Runtime read by %s: %.1f us, plain ping-pong %.1f us, ratio %.2f (medians)\n",
                  layout == kBatchLayout ? "batch" : "block", ns / 1000.0, base / 1000.0,
                  ns / base);
    }
  }
  return 0;
}
