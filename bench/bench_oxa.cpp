// Round trips of Oxa reads: OXA/TCP client against the OXA/TCP server on loopback, beside a
// plain blocking TCP ping-pong that moves the same bytes, and the in-process connection.
//
// The TCP client should stay within 1.5 times the ping-pong; the in-process read well under a
// microsecond. The ratios are printed at the end and reported as the counter "x_pingpong".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "PingPong.h"
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

// The baseline of an Oxa read frame's size, an answer of its answer's size, plain
// blocking sockets with TCP_NODELAY on both ends.
void BM_PlainTcpPingPong(benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  const size_t requestSize = oxa::wire::kHeaderSize + oxa::wire::kRequestFixed;
  const size_t answerSize = oxa::wire::kHeaderSize + oxa::wire::kAnswerFixed + size;
  pingPongNs[size].push_back(pingpong::PlainTcpPingPong(state, {{requestSize, answerSize}}));
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
  oxaTcpNs[size].push_back(pingpong::NsPerIteration(start, state));
  pingpong::SetRatio(state, oxaTcpNs[size].back(), pingPongNs[size]);
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
  if (!pingpong::RunInterleaved(argc, argv)) return 1;
  for (const auto& [size, runs] : oxaTcpNs) {
    const double ns = pingpong::Median(runs);
    const double base = pingpong::Median(pingPongNs[size]);
    if (base > 0) {
      std::printf(
          "OXA/TCP read of %zu bytes: %.1f us, plain ping-pong %.1f us, ratio %.2f (medians)\n",
          size, ns / 1000.0, base / 1000.0, ns / base);
    }
  }
  return 0;
}
