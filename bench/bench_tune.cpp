// A whole tuning run (velocity and dynamics steps, the test move, the apply and the test move
// after it) on the feed table of the demo plant, in this process on a clock that only the run
// moves. Counters: the axis time the run takes (target under 60 s), the CPU time of the whole
// run with the emulated plant and its connections, and the assistant's own computation (the
// fits, the proposal and the step figures, each run over all of the run's samples, more than the
// run gives them) as a share of the axis time (target under 1 %).
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "link/Select.h"
#include "oxa/OxaDirect.h"
#include "sim/Motion.h"
#include "sim/Plant.h"
#include "trend/Moves.h"
#include "trend/Sampler.h"
#include "tune/Sequencer.h"

namespace {

const oxa::NetId kLocal{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;
constexpr uint16_t kFeedTable = 3;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class NoBoxes final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string&) override {}
  void RequestRedisplay() override {}
};

struct Rig {
  trend::VirtualClock clock{1000.0};
  std::unique_ptr<sim::Plant> plant;
  oxa::OxaDirect own, docOxa;
  NoBoxes ui;
  i18n::StringTable strings;
  CAxtuneDoc doc{docOxa, ui, strings};
  trend::SampleRing ring{1u << 17};
  std::unique_ptr<trend::Sampler> sampler;

  bool Open(std::string& error) {
    plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kLocal,
                               sim::DefaultServerFeatures(), error);
    if (!plant) return false;
    for (const auto& server : plant->Servers()) {
      if (auto* motion = server->Ext().Find<sim::MotionServerState>()) {
        motion->clock = [this] { return clock.Now(); };
      }
    }
    for (oxa::OxaDirect* d : {&own, &docOxa}) {
      d->Register(kLocal, plant->Ctrl());
      d->OxaPortOpen();
    }
    const sim::AxisServer* server = plant->Server(kPort);
    trend::RecordTarget t;
    t.addr = {kLocal, kPort};
    t.axis = kFeedTable;
    t.lib = server->Lib();
    for (size_t w = 0; w < t.versions.size(); ++w)
      t.versions[w] = server->RecordVersion(w).value_or(-1);
    axlink::AxisTarget target;
    target.addr = t.addr;
    target.number = kFeedTable;
    target.versions.Store(t.lib, t.versions);
    if (!doc.SelectAxis(target, model::kPageAll)) {
      error = "the feed table cannot be selected";
      return false;
    }
    sampler = std::make_unique<trend::Sampler>(own, t, 1000.0, clock, ring);
    return true;
  }
};

// What the assistant computes from the samples, over all of them at once.
double ComputeSeconds(const trend::SampleRing& ring, const tune::RunResult& r,
                      const model::ParamRecord& params) {
  std::vector<trend::Sample> all;
  ring.CopySince(0, all);
  const double start = CpuSeconds();
  const tune::OutputShape shape = tune::OutputShape::Of(params);
  std::vector<tune::VeloPoint> points;
  for (const double share : tune::Sequencer::kVeloShares) {
    for (const double sign : {1.0, -1.0}) {
      if (auto p = tune::SteadyPoint(all, sign * share * params.ReferenceVelo, shape)) {
        points.push_back(*p);
      }
    }
  }
  benchmark::DoNotOptimize(tune::FitCharacteristic(r.points));
  for (int i = 0; i < 2; ++i) {
    const double t0 = all.empty() ? 0 : all[all.size() / 2].t;
    benchmark::DoNotOptimize(tune::FitRinging(all, t0, t0 + tune::Sequencer::kRingingTime));
    benchmark::DoNotOptimize(tune::ReachedAcceleration(all));
    benchmark::DoNotOptimize(trend::MeasureMove({}, std::nullopt, all, true));
  }
  benchmark::DoNotOptimize(tune::Propose(r.measured, params));
  benchmark::DoNotOptimize(points);
  return CpuSeconds() - start;
}

void BM_TuningRun(benchmark::State& state) {
  double axis = 0, cpu = 0, compute = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Rig rig;
    std::string error;
    if (!rig.Open(error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    const model::ParamRecord params = rig.doc.paramsRead;
    state.ResumeTiming();
    const double t0 = rig.clock.Now(), c0 = CpuSeconds();
    tune::Sequencer seq(rig.doc, *rig.sampler, rig.ring, rig.clock, {100, 700, 400, 0}, {});
    const tune::RunResult r = seq.Run({});
    const tune::ApplyResult a = seq.ApplyValues(r.proposal);
    cpu += CpuSeconds() - c0;
    axis += rig.clock.Now() - t0;
    if (r.end != tune::EndReason::Done || !a.Ok()) {
      state.SkipWithError(
          ("the run did not end well: " + r.message + a.refused + a.message).c_str());
      return;
    }
    state.PauseTiming();
    compute += ComputeSeconds(rig.ring, r, params);
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["axis_s"] = axis / n;
  state.counters["run_cpu_s"] = cpu / n;
  state.counters["run_cpu_share"] = cpu / axis;
  state.counters["compute_s"] = compute / n;
  state.counters["compute_share"] = compute / axis;
}
BENCHMARK(BM_TuningRun)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
