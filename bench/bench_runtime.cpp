// One runtime read of the current axis, by batch (StRtData layout 12) and by block (layout 8),
// through the OXA/TCP client against the emulator on loopback, beside a plain blocking TCP
// ping-pong that moves the same request and answer sizes. Each read should stay within 1.5
// times its ping-pong; the ratios are printed at the end and reported as "x_pingpong".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PingPong.h"
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

// Request and answer frame sizes of one runtime read in `layout`.
std::pair<size_t, size_t> FrameSizes(int16_t layout) {
  const size_t write = layout == kBatchLayout ? model::kBatchRequestBytes : 0;
  const size_t read =
      layout == kBatchLayout ? model::kBatchAnswerBytes : model::RuntimeBlockLength(layout);
  return {oxa::wire::kHeaderSize + oxa::wire::kRequestFixed + write,
          oxa::wire::kHeaderSize + oxa::wire::kAnswerFixed + read};
}

void BM_PlainTcpPingPong(benchmark::State& state) {
  const auto layout = static_cast<int16_t>(state.range(0));
  pingPongNs[layout].push_back(pingpong::PlainTcpPingPong(state, {FrameSizes(layout)}));
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
  readNs[layout].push_back(pingpong::NsPerIteration(start, state));
  pingpong::SetRatio(state, readNs[layout].back(), pingPongNs[layout]);
}

BENCHMARK(BM_PlainTcpPingPong)->Arg(kBatchLayout)->Arg(kBlockLayout)->UseRealTime();
BENCHMARK(BM_ReadRuntimeTcp)->Arg(kBatchLayout)->Arg(kBlockLayout)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!pingpong::RunInterleaved(argc, argv)) return 1;
  for (const auto& [layout, runs] : readNs) {
    const double ns = pingpong::Median(runs);
    const double base = pingpong::Median(pingPongNs[layout]);
    if (base > 0) {
      std::printf("Runtime read by %s: %.1f us, plain ping-pong %.1f us, ratio %.2f (medians)\n",
                  layout == kBatchLayout ? "batch" : "block", ns / 1000.0, base / 1000.0,
                  ns / base);
    }
  }
  return 0;
}
