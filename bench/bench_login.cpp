// Login against the demo plant over OXA/TCP on loopback, side by side with as many plain
// request/answer round trips as the login sends, measured in the same run. The ratio says
// what the login itself adds on top of the wire.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>

#include "link/AxisList.h"
#include "link/Login.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/Plant.h"

namespace {

using Clock = std::chrono::steady_clock;

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

class Doc final : public axlink::ILoginDocument {
 public:
  void ResetLink() override { versions.Reset(); }
  void StoreLinkVersions(const model::LibVersion& lib,
                         const model::RecordVersionTable& table) override {
    versions.Store(lib, table);
  }
  axlink::LinkVersions versions;
};

// sim/configs/demo.json of the source tree this file belongs to.
std::string DemoConfig() {
  const std::string self = __FILE__;
  return self.substr(0, self.rfind('/') + 1) + "../sim/configs/demo.json";
}

void BM_LoginVsRoundTrips(benchmark::State& state) {
  std::string error;
  auto plant = sim::LoadPlantFile(DemoConfig(), kNetId, sim::DefaultServerFeatures(), error);
  auto server = plant ? oxa::OxaTcpServer::Start(plant->Ctrl(), "127.0.0.1", 0, error) : nullptr;
  if (!server) {
    state.SkipWithError(error.c_str());
    return;
  }
  const uint16_t tcpPort = server->Port();
  oxa::OxaTcpClient client([tcpPort] {
    oxa::RouteTable t;
    t.local = {"", kNetId, "127.0.0.1", tcpPort};
    return t;
  });
  axlink::AxisList lists;
  Doc doc;
  axlink::FrameStatus status;
  const axlink::LoginEnv env{&client, client.OxaPortOpen(), kNetId, "Axtune -> Local", &lists, &doc,
                             &status};
  const oxa::OxaAddr pingAddr{kNetId, 851};

  Clock::duration login{}, roundTrips{};
  uint64_t requests = 0;
  for (auto _ : state) {
    const uint64_t before = plant->Ctrl().Log().Total();
    const auto t0 = Clock::now();
    if (!axlink::Login(env)) {
      state.SkipWithError("login found no server");
      return;
    }
    const auto t1 = Clock::now();
    requests = plant->Ctrl().Log().Total() - before;
    for (uint64_t i = 0; i < requests; ++i) {
      std::array<uint8_t, 2> word{};
      client.OxaSyncReadReq(&pingAddr, axlink::kIdentGroup, 1, 2, word.data());
    }
    const auto t2 = Clock::now();
    login += t1 - t0;
    roundTrips += t2 - t1;
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
  const double n = static_cast<double>(state.iterations());
  const auto ms = [n](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / n;
  };
  state.counters["requests"] = static_cast<double>(requests);
  state.counters["login_ms"] = ms(login);
  state.counters["roundtrips_ms"] = ms(roundTrips);
  state.counters["ratio"] = ms(login) / ms(roundTrips);
}
BENCHMARK(BM_LoginVsRoundTrips)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
