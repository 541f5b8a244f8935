// The emulator's hydraulic axes in real time: 256 axes on two servers, every one of them
// moving back and forth all the time, simulated one second per iteration. The counters give
// the CPU time per axis per simulated second and the share of one core that 256 axes need in
// real time (it must stay well below 1).
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "sim/Motion.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace {

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr size_t kAxes = 256;
constexpr size_t kPerServer = 128;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_SimAxesRealTime(benchmark::State& state) {
  sim::Controller ctrl(kNetId);
  std::vector<std::unique_ptr<sim::AxisServer>> servers;
  std::vector<sim::MotionAxis*> axes;
  for (size_t s = 0; s < kAxes / kPerServer; ++s) {
    sim::AxisServerConfig c;
    c.port = static_cast<uint16_t>(851 + s);
    c.lib = {3, 0, 35};
    for (size_t i = 0; i < kPerServer; ++i) c.axisNames.push_back("Axis " + std::to_string(i));
    std::string error;
    auto server = sim::AxisServer::Create(ctrl, c, error);
    if (!server || !sim::InstallParamStore(*server) ||
        !sim::InstallRuntimeRecords(*server, error) || !sim::InstallMotion(*server, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    for (const auto& axis : server->Axes()) axes.push_back(sim::MotionOf(*axis));
    servers.push_back(std::move(server));
  }
  std::vector<bool> up(axes.size(), true);
  const auto keepMoving = [&] {
    for (size_t i = 0; i < axes.size(); ++i) {
      const auto* rt = sim::RuntimeOf(*servers[i / kPerServer]->Axes()[i % kPerServer]);
      if (rt->values.AxisState != sim::kStateStandstill) continue;
      up[i] = !up[i];
      axes[i]->Move(1, up[i] ? 400.0 : 100.0, 150.0 + static_cast<double>(i % 50));
    }
  };
  keepMoving();
  double cpu = 0;
  uint64_t seconds = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    for (int tick = 0; tick < 10; ++tick) {  // 100 ms at a time, as a client's refresh would
      for (sim::MotionAxis* a : axes) a->Run(100);
      keepMoving();
    }
    cpu += CpuSeconds() - start;
    ++seconds;
  }
  const double perAxisSecond = cpu / static_cast<double>(seconds * kAxes);
  state.counters["cpu_us_per_axis_s"] = perAxisSecond * 1e6;
  state.counters["core_share_256"] = perAxisSecond * kAxes;
}
BENCHMARK(BM_SimAxesRealTime)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
