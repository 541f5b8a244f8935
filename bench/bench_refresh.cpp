// The refresh tick through the OXA/TCP client against the emulator on loopback, beside a plain
// blocking TCP ping-pong in the same run.
//
// A tick costs its requests; what the client, the document and the record codecs add on top
// should stay small. Each tick is compared with (its requests per tick x the ping-pong round
// trip): the Online page (runtime values and AxisRef of one axis) and the Overview page (twenty
// list axes, one RefreshAxisData each). Target: at most 2 times. Ratios are printed at the end
// and reported as the counter "x_pingpong".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "DocRig.h"
#include "PingPong.h"

namespace {

constexpr size_t kListAxes = 20;
// The answer of a typical tick request: the runtime batch answer is 240 bytes.
constexpr size_t kAnswerBytes = 240;
constexpr size_t kRequestBytes = 32 + 80;  // a read-write header with the batch request

std::vector<double> pingPongNs;
std::vector<double> onlineNs, onlineRequests;
std::vector<double> overviewNs, overviewRequests;

void BM_PlainTcpPingPong(benchmark::State& state) {
  pingPongNs.push_back(pingpong::PlainTcpPingPong(state, {{kRequestBytes, kAnswerBytes + 46}}));
}

// Twenty axes over OXA/TCP, axis 1 selected, the page entries and the first redraw behind us
// before the timing starts.
struct Rig : docrig::TcpDocRig {
  bool Start(std::string& error) {
    if (!TcpDocRig::Start(kListAxes, error)) return false;
    doc->RefreshAxisData(model::kPageOnline, nullptr);
    doc->RefreshAxisData(model::kPageOverview, &listAxes[0]);
    return ui.boxes == 0;
  }
  uint64_t Requests() const { return plant->Ctrl().Log().Total(); }
};

void RunTicks(benchmark::State& state, int32_t page, std::vector<double>& ns,
              std::vector<double>& requests) {
  Rig rig;
  std::string error;
  if (!rig.Start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const uint64_t before = rig.Requests();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (page == model::kPageOverview) {
      for (const axlink::AxisTarget& list : rig.listAxes) {
        rig.doc->RefreshAxisData(page, &list);
      }
    } else {
      rig.doc->RefreshAxisData(page, nullptr);
    }
  }
  ns.push_back(pingpong::NsPerIteration(start, state));
  if (rig.ui.boxes != 0 || rig.doc->bCommStopped) state.SkipWithError("a read failed");
  const double perTick = state.iterations() ? static_cast<double>(rig.Requests() - before) /
                                                  static_cast<double>(state.iterations())
                                            : 0.0;
  requests.push_back(perTick);
  state.counters["requests"] = perTick;
  if (const double base = pingpong::Median(pingPongNs); base > 0 && perTick > 0) {
    state.counters["x_pingpong"] = ns.back() / (perTick * base);
  }
}

void BM_OnlineTick(benchmark::State& state) {
  RunTicks(state, model::kPageOnline, onlineNs, onlineRequests);
}
void BM_OverviewTick20(benchmark::State& state) {
  RunTicks(state, model::kPageOverview, overviewNs, overviewRequests);
}

BENCHMARK(BM_PlainTcpPingPong)->UseRealTime();
BENCHMARK(BM_OnlineTick)->UseRealTime();
BENCHMARK(BM_OverviewTick20)->UseRealTime();

void PrintRatio(const char* what, const std::vector<double>& ns,
                const std::vector<double>& requests) {
  const double base = pingpong::Median(pingPongNs);
  const double perTick = pingpong::Median(requests);
  if (base <= 0 || perTick <= 0) return;
  const double t = pingpong::Median(ns);
  std::printf("%s: %.1f us, %.1f requests x ping-pong %.1f us = %.1f us, ratio %.2f (medians)\n",
              what, t / 1000.0, perTick, base / 1000.0, perTick * base / 1000.0,
              t / (perTick * base));
}

}  // namespace

int main(int argc, char** argv) {
  if (!pingpong::RunInterleaved(argc, argv)) return 1;
  PrintRatio("Online tick", onlineNs, onlineRequests);
  PrintRatio("Overview tick over 20 axes", overviewNs, overviewRequests);
  return 0;
}
