// The parameter record: decoding one StParam block, and a read of all pages by batch through the
// OXA/TCP client against the emulator on loopback, beside plain blocking TCP ping-pongs that move
// the same bytes in the same number of round trips. The read should stay within 2 times that.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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

std::vector<std::pair<size_t, size_t>> schedule;  // the frames of one read of all pages

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
  readNs.push_back(NsPerIteration(start, state));
  state.counters["requests"] = static_cast<double>(schedule.size());
  if (const double base = Median(pingPongNs); base > 0) {
    state.counters["x_pingpong"] = readNs.back() / base;
  }
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

// The baseline: the same request and answer sizes, one blocking round trip each, TCP_NODELAY on
// both ends.
void BM_PlainTcpPingPongSchedule(benchmark::State& state) {
  std::string error;
  if (!RecordSchedule(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  ::listen(listener, 1);
  socklen_t len = sizeof a;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  const auto frames = schedule;
  std::thread server([&] {
    const int c = ::accept(listener, nullptr, nullptr);
    int one = 1;
    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<uint8_t> buf(4096, 1);
    for (bool ok = true; ok;) {
      for (const auto& [req, ans] : frames) {
        if (!RecvAll(c, buf.data(), req) || !SendAll(c, buf.data(), ans)) {
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
  std::vector<uint8_t> buf(4096, 2);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (const auto& [req, ans] : frames) {
      if (!SendAll(fd, buf.data(), req) || !RecvAll(fd, buf.data(), ans)) {
        state.SkipWithError("ping-pong broke");
        break;
      }
    }
  }
  pingPongNs.push_back(NsPerIteration(start, state));
  ::close(fd);
  server.join();
  ::close(listener);
}

BENCHMARK(BM_DecodeParamBlock)->Arg(0)->Arg(12)->Arg(13);
BENCHMARK(BM_ReadParamRecordBatchTcp)->UseRealTime();
BENCHMARK(BM_PlainTcpPingPongSchedule)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // Five interleaved repetitions unless the command line says otherwise, so that the load of the
  // machine hits both sides alike.
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
  const double ns = Median(readNs);
  const double base = Median(pingPongNs);
  if (base > 0) {
    std::printf(
        "ReadParamRecord(12) by batch: %.1f us in %zu requests; plain ping-pong of the same "
        "frames %.1f us; ratio %.2f (medians of %zu runs)\n",
        ns / 1000.0, schedule.size(), base / 1000.0, ns / base, readNs.size());
  }
  return 0;
}
