// The emulator's hydraulic axes in real time, every one of them moving back and forth all the
// time, simulated one second per iteration: 256 default axes on two servers, and the nine axes
// of the demo plant (each with its own cylinder, from a press ram at 21 Hz to clamps at 194 Hz).
// The counters give the CPU time per axis per simulated second and the share of one core that
// the axes need in real time (targets: under 0.25 for the 256, under 0.02 for the demo).
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "sim/Motion.h"
#include "sim/ParamStore.h"
#include "sim/Plant.h"
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

// Keeps every axis moving between two fifths of its soft range, resetting one in error.
class Mover {
 public:
  void Add(sim::SimAxis& axis, double velocity) { axes_.push_back({&axis, velocity, true}); }
  size_t Size() const { return axes_.size(); }

  void KeepMoving() {
    for (Entry& e : axes_) {
      sim::MotionAxis& m = *sim::MotionOf(*e.axis);
      const model::RuntimeRecord& v = sim::RuntimeOf(*e.axis)->values;
      if (v.AxisState == sim::kStateErrorStop) m.Reset();
      if (v.AxisState != sim::kStateStandstill) continue;
      const model::ParamRecord& p = sim::ParamsOf(*e.axis)->Record();
      const double span = p.SoftEndMax - p.SoftEndMin;
      e.up = !e.up;
      m.Move(1, e.up ? p.SoftEndMax - 0.2 * span : p.SoftEndMin + 0.2 * span, e.velocity);
    }
  }

  // Runs one simulated second, 100 ms at a time as a client's refresh would; the CPU time.
  double Second() {
    const double start = CpuSeconds();
    for (int tick = 0; tick < 10; ++tick) {
      for (Entry& e : axes_) {
        sim::MotionAxis& m = *sim::MotionOf(*e.axis);
        m.Run(static_cast<uint64_t>(std::lround(0.1 / m.CycleTime())));
      }
      KeepMoving();
    }
    return CpuSeconds() - start;
  }

 private:
  struct Entry {
    sim::SimAxis* axis;
    double velocity;
    bool up;
  };
  std::vector<Entry> axes_;
};

// Moves the axes one real-time second per iteration and reports the CPU each axis-second costs.
void RunAndReport(benchmark::State& state, Mover& mover) {
  mover.KeepMoving();
  double cpu = 0;
  uint64_t seconds = 0;
  for (auto _ : state) {
    cpu += mover.Second();
    ++seconds;
  }
  const double perAxisSecond = cpu / static_cast<double>(seconds * mover.Size());
  state.counters["cpu_us_per_axis_s"] = perAxisSecond * 1e6;
  state.counters["core_share"] = perAxisSecond * static_cast<double>(mover.Size());
}

void BM_SimAxesRealTime(benchmark::State& state) {
  sim::Controller ctrl(kNetId);
  std::vector<std::unique_ptr<sim::AxisServer>> servers;
  Mover mover;
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
    for (size_t i = 0; i < server->Axes().size(); ++i) {
      mover.Add(*server->Axes()[i], 150.0 + static_cast<double>(i % 50));
    }
    servers.push_back(std::move(server));
  }
  RunAndReport(state, mover);
}
BENCHMARK(BM_SimAxesRealTime)->Unit(benchmark::kMillisecond);

void BM_SimDemoPlantRealTime(benchmark::State& state) {
  std::string error;
  auto plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kNetId,
                                  sim::DefaultServerFeatures(), error);
  if (!plant) {
    state.SkipWithError(error.c_str());
    return;
  }
  Mover mover;
  for (const auto& server : plant->Servers()) {
    for (const auto& axis : server->Axes()) {
      mover.Add(*axis, 0.6 * sim::ParamsOf(*axis)->Record().MaxApplSpeed);
    }
  }
  RunAndReport(state, mover);
}
BENCHMARK(BM_SimDemoPlantRealTime)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
