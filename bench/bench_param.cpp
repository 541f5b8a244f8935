// The parameter record: decoding one StParam block, and a read of all pages by batch through the
// OXA/TCP client against the emulator on loopback, beside plain blocking TCP ping-pongs that move
// the same bytes in the same number of round trips. The read should stay within 2 times that.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "PingPong.h"
#include "model/ParamLayouts.h"
#include "model/ParamRead.h"
#include "oxa/Frame.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/AxisServer.h"
#include "sim/ParamStore.h"

namespace {

constexpr oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;

std::vector<double> readNs;
std::vector<double> pingPongNs;

void BM_DecodeParamBlock(benchmark::State& state) {
  const auto version = static_cast<int>(state.range(0));
  std::vector<uint8_t> block(model::ParamBlockLength(version));
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  model::ParamRecord rec{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(model::DecodeParamBlock(version, block, rec));
    benchmark::ClobberMemory();
  }
}

// The emulator on loopback with one V3.0.35 axis server.
struct Plant {
  sim::Controller ctrl{kNetId};
  std::unique_ptr<sim::AxisServer> server;
  std::unique_ptr<oxa::OxaTcpServer> tcp;

  explicit Plant(std::string& error) {
    sim::AxisServerConfig c;
    c.port = kPort;
    c.lib = {3, 0, 35};
    c.axisNames = {"Clamp left"};
    c.firstAxis = 1;
    c.recordVersions[2] = 14;
    server = sim::AxisServer::Create(ctrl, c, error);
    if (!server || !sim::InstallParamStore(*server)) return;
    tcp = oxa::OxaTcpServer::Start(ctrl, "127.0.0.1", 0, error);
  }
};

// Passes requests on and notes the frame sizes of each, for the ping-pong baseline.
class SizeRecorder final : public oxa::IOxa {
 public:
  explicit SizeRecorder(oxa::IOxa& inner) : inner_(inner) {}
  std::vector<std::pair<size_t, size_t>> frames;  // request bytes, answer bytes

  long OxaPortOpen() override { return inner_.OxaPortOpen(); }
  int32_t OxaPortClose() override { return inner_.OxaPortClose(); }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* a) override { return inner_.OxaGetLocalAddress(a); }
  int32_t OxaSyncSetTimeout(int32_t ms) override { return inner_.OxaSyncSetTimeout(ms); }
  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t len,
                         void* d) override {
    Note(0, len);
    return inner_.OxaSyncReadReq(a, g, o, len, d);
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t len,
                          const void* d) override {
    Note(len, 0);
    return inner_.OxaSyncWriteReq(a, g, o, len, d);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rlen,
                              void* rd, uint32_t wlen, const void* wd) override {
    Note(wlen, rlen);
    return inner_.OxaSyncReadWriteReq(a, g, o, rlen, rd, wlen, wd);
  }

 private:
  void Note(size_t write, size_t read) {
    frames.emplace_back(oxa::wire::kHeaderSize + oxa::wire::kRequestFixed + write,
                        oxa::wire::kHeaderSize + oxa::wire::kAnswerFixed + read);
  }
  oxa::IOxa& inner_;
};

std::vector<pingpong::Frame> schedule;  // the frames of one read of all pages

model::AxisLink LinkTo(oxa::IOxa& oxa) {
  model::AxisLink link;
  link.oxa = &oxa;
  link.addr = {kNetId, kPort};
  link.axis = 1;
  link.lib = {3, 0, 35};
  link.versions.fill(0);
  link.versions[2] = 14;
  return link;
}

// The frames of one read of all pages, noted once against an emulator of its own.
bool RecordSchedule(std::string& error) {
  if (!schedule.empty()) return true;
  Plant plant(error);
  if (!plant.tcp) return false;
  oxa::RouteTable table;
  table.local = {"", kNetId, "127.0.0.1", plant.tcp->Port()};
  oxa::OxaTcpClient client([table] { return table; });
  client.OxaPortOpen();
  SizeRecorder recorder(client);
  model::ParamRecord rec{};
  model::RuntimeRecord runtime;
  if (model::ReadParamRecord(12, LinkTo(recorder), rec, runtime) != oxa::kOk) {
    error = "read failed";
    return false;
  }
  schedule = recorder.frames;
  return true;
}

void BM_ReadParamRecordBatchTcp(benchmark::State& state) {
  std::string error;
  Plant plant(error);
  if (!plant.tcp) {
    state.SkipWithError(error.c_str());
    return;
  }
  oxa::RouteTable table;
  table.local = {"", kNetId, "127.0.0.1", plant.tcp->Port()};
  oxa::OxaTcpClient client([table] { return table; });
  client.OxaPortOpen();
  model::ParamRecord rec{};
  model::RuntimeRecord runtime;
  const model::AxisLink link = LinkTo(client);
  // The first read connects, outside the timing.
  if (!RecordSchedule(error) || model::ReadParamRecord(12, link, rec, runtime) != oxa::kOk) {
    state.SkipWithError("read failed");
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (model::ReadParamRecord(12, link, rec, runtime) != oxa::kOk) {
      state.SkipWithError("read failed");
      break;
    }
  }
  readNs.push_back(pingpong::NsPerIteration(start, state));
  state.counters["requests"] = static_cast<double>(schedule.size());
  pingpong::SetRatio(state, readNs.back(), pingPongNs);
}

// The baseline: the same request and answer sizes, one blocking round trip each, TCP_NODELAY on
// both ends.
void BM_PlainTcpPingPongSchedule(benchmark::State& state) {
  std::string error;
  if (!RecordSchedule(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  pingPongNs.push_back(pingpong::PlainTcpPingPong(state, schedule));
}

BENCHMARK(BM_DecodeParamBlock)->Arg(0)->Arg(12)->Arg(13);
BENCHMARK(BM_ReadParamRecordBatchTcp)->UseRealTime();
BENCHMARK(BM_PlainTcpPingPongSchedule)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!pingpong::RunInterleaved(argc, argv)) return 1;
  const double ns = pingpong::Median(readNs);
  const double base = pingpong::Median(pingPongNs);
  if (base > 0) {
    std::printf(
        "ReadParamRecord(12) by batch: %.1f us in %zu requests; plain ping-pong of the same "
        "frames %.1f us; ratio %.2f (medians of %zu runs)\n",
        ns / 1000.0, schedule.size(), base / 1000.0, ns / base, readNs.size());
  }
  return 0;
}
