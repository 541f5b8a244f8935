// The trend recorder's sampler over OXA/TCP against the emulator on loopback, beside a plain
// timer loop that only waits for the same ticks, in the same run.
//
// Rate1000: 1000 Hz for a few seconds (AXTUNE_BENCH_TREND_SECONDS, default 2). Counters:
// rate_pct, the samples taken in per cent of the asked rate (target: at least 95), and
// jitter_p99_ms, the 99th percentile of how far the interval between two samples strays from
// the period (target: under 2 ms); x_timer is that percentile over the timer loop's.
// Cpu100: 100 Hz; cpu_pct is the CPU time of the sampling thread over the wall time, in per cent
// of one core (target: under 2); x_timer over the timer loop's.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PingPong.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/Plant.h"
#include "trend/Sampler.h"

namespace {

constexpr oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr const char* kPlant = R"({
  "runtimes": [ { "generation": "CV3", "port": 851, "cycleCount": 1000 } ],
  "servers": [ { "port": 851, "lib": "3.0.35", "firstAxis": 1, "axes": ["Clamp left"],
                 "recordVersions": [6, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2] } ]
})";

double Seconds() {
  if (const char* s = std::getenv("AXTUNE_BENCH_TREND_SECONDS")) {
    if (const double v = std::atof(s); v > 0) return v;
  }
  return 2.0;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Figures {
  double ratePct = 0, jitterP99Ms = 0, cpuPct = 0;
};

// Rate, jitter and CPU share of sample times `t` asked at `rateHz` over `wall` seconds.
Figures Measure(const std::vector<double>& t, double rateHz, double wall, double cpu) {
  Figures f;
  f.ratePct = 100.0 * static_cast<double>(t.size()) / (wall * rateHz);
  std::vector<double> dev;
  for (size_t i = 1; i < t.size(); ++i) dev.push_back(std::fabs(t[i] - t[i - 1] - 1.0 / rateHz));
  if (!dev.empty()) {
    std::sort(dev.begin(), dev.end());
    f.jitterP99Ms = 1000.0 * dev[dev.size() * 99 / 100];
  }
  f.cpuPct = 100.0 * cpu / wall;
  return f;
}

// The same wait as the sampler's, with nothing read.
Figures TimerLoop(double rateHz, double seconds) {
  trend::SteadyClock clock;
  std::vector<double> t;
  const double start = clock.Now(), cpu0 = ThreadCpuSeconds();
  for (double next = start; next - start < seconds; next += 1.0 / rateHz) {
    clock.SleepUntil(next);
    t.push_back(clock.Now());
  }
  return Measure(t, rateHz, clock.Now() - start, ThreadCpuSeconds() - cpu0);
}

Figures SamplerLoop(double rateHz, double seconds, benchmark::State& state) {
  std::string error;
  auto plant = sim::LoadPlant(kPlant, kNetId, sim::DefaultServerFeatures(), error);
  auto tcp = plant ? oxa::OxaTcpServer::Start(plant->Ctrl(), "127.0.0.1", 0, error) : nullptr;
  if (!tcp) {
    state.SkipWithError(error.c_str());
    return {};
  }
  oxa::RouteTable table;
  table.local = {"", kNetId, "127.0.0.1", tcp->Port()};
  oxa::OxaTcpClient client([table] { return table; });
  client.OxaPortOpen();
  client.OxaSyncSetTimeout(trend::Sampler::kTimeoutMs);
  trend::RecordTarget target;
  target.addr = {kNetId, 851};
  target.axis = 1;
  target.lib = {3, 0, 35};
  target.versions = {6, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
  trend::SteadyClock clock;
  trend::SampleRing ring(trend::SampleRing::CapacityFor(rateHz, seconds + 1));
  trend::Sampler sampler(client, target, rateHz, clock, ring);
  const double start = clock.Now(), cpu0 = ThreadCpuSeconds();
  while (clock.Now() - start < seconds) sampler.Tick();
  const double wall = clock.Now() - start, cpu = ThreadCpuSeconds() - cpu0;
  if (sampler.Failures() > 0) state.SkipWithError("a read failed");
  std::vector<trend::Sample> samples;
  ring.CopySince(0, samples);
  std::vector<double> t;
  for (const auto& s : samples) t.push_back(s.t);
  return Measure(t, rateHz, wall, cpu);
}

std::vector<double> timerJitter, timerCpu;

void BM_TimerLoop(benchmark::State& state) {
  const auto rate = static_cast<double>(state.range(0));
  Figures f;
  for (auto _ : state) f = TimerLoop(rate, Seconds());
  state.counters["rate_pct"] = f.ratePct;
  state.counters["jitter_p99_ms"] = f.jitterP99Ms;
  state.counters["cpu_pct"] = f.cpuPct;
  (rate >= 1000 ? timerJitter : timerCpu).push_back(rate >= 1000 ? f.jitterP99Ms : f.cpuPct);
}
BENCHMARK(BM_TimerLoop)
    ->Arg(1000)
    ->Arg(100)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void BM_Rate1000(benchmark::State& state) {
  Figures f;
  for (auto _ : state) f = SamplerLoop(1000, Seconds(), state);
  state.counters["rate_pct"] = f.ratePct;
  state.counters["jitter_p99_ms"] = f.jitterP99Ms;
  if (const double base = pingpong::Median(timerJitter); base > 0) {
    state.counters["x_timer"] = f.jitterP99Ms / base;
  }
}
BENCHMARK(BM_Rate1000)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_Cpu100(benchmark::State& state) {
  Figures f;
  for (auto _ : state) f = SamplerLoop(100, Seconds(), state);
  state.counters["rate_pct"] = f.ratePct;
  state.counters["cpu_pct"] = f.cpuPct;
  if (const double base = pingpong::Median(timerCpu); base > 0) {
    state.counters["x_timer"] = f.cpuPct / base;
  }
}
BENCHMARK(BM_Cpu100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  return pingpong::RunInterleaved(argc, argv) ? 0 : 1;
}
