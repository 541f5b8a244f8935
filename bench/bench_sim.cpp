// What one request costs inside the emulated controller, reached in process (OxaDirect): the
// requests of a login probe against the demo plant. The emulator must stay far below the
// loopback round trip (tens of microseconds) so that it never dominates a measured client.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "oxa/OxaDirect.h"
#include "sim/Plant.h"

namespace {

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

constexpr char kPlant[] = R"({
  "runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 5}],
  "servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1,
               "axes": ["Clamp left", "Clamp right", "Feed table", "Die cushion"],
               "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]
})";

struct Fixture {
  std::unique_ptr<sim::Plant> plant;
  oxa::OxaDirect direct;
  Fixture() {
    std::string error;
    plant = sim::LoadPlant(kPlant, kNetId, {}, error);
    if (plant) direct.Register(kNetId, plant->Ctrl());
    direct.OxaPortOpen();
  }
  bool Ready(benchmark::State& state) const {
    if (!plant) state.SkipWithError("the plant did not load");
    return plant != nullptr;
  }
};

void BM_SimWordRead(benchmark::State& state) {
  Fixture f;
  if (!f.Ready(state)) return;
  const oxa::OxaAddr at{kNetId, 851};
  uint16_t word = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.direct.OxaSyncReadReq(&at, 0xFFFFFFFF, 4, 2, &word));
    benchmark::ClobberMemory();
  }
}

void BM_SimNameRead(benchmark::State& state) {
  Fixture f;
  if (!f.Ready(state)) return;
  const oxa::OxaAddr at{kNetId, 851};
  char name[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.direct.OxaSyncReadReq(&at, 0x80004003, 2, 256, name));
    benchmark::ClobberMemory();
  }
}

// Handle by name, value by handle and release: three requests.
void BM_SimSymbolProbe(benchmark::State& state) {
  Fixture f;
  if (!f.Ready(state)) return;
  const oxa::OxaAddr at{kNetId, 851};
  const std::string symbol = "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount";
  for (auto _ : state) {
    uint32_t handle = 0, cycles = 0;
    f.direct.OxaSyncReadWriteReq(&at, 0xF003, 0, 4, &handle, static_cast<uint32_t>(symbol.size()),
                                 symbol.data());
    f.direct.OxaSyncReadReq(&at, 0xF005, handle, 4, &cycles);
    f.direct.OxaSyncWriteReq(&at, 0xF006, 0, 4, &handle);
    benchmark::DoNotOptimize(cycles);
  }
}

BENCHMARK(BM_SimWordRead);
BENCHMARK(BM_SimNameRead);
BENCHMARK(BM_SimSymbolProbe);

}  // namespace

BENCHMARK_MAIN();
