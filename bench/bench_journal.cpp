// The commissioning journal's cost: a numbered parameter write through the OXA/TCP client to the
// emulator on loopback, with and without the journal, side by side in the same run (interleaved
// repetitions). The journal writes two lines per request (the entry before it, the result after
// it), each with one write(2) and no fsync. Target: under 5 % more than the plain write. The
// journal's own work without a request is measured too.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DocRig.h"
#include "PingPong.h"
#include "journal/Journal.h"
#include "journal/Recorder.h"

namespace {

constexpr uint16_t kJogFast = 1900;

std::vector<double> plainNs;
std::vector<double> journaledNs;

// A journal directory of its own, removed afterwards.
struct TempJournal {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("axtune-bench-journal-" + std::to_string(::getpid()));
  ~TempJournal() { std::filesystem::remove_all(dir); }
};

// A V3.0.35 axis server over OXA/TCP and a document with its axis 1 selected.
struct Rig : docrig::TcpDocRig {
  bool Start(std::string& error) { return TcpDocRig::Start(1, error); }
};

void RunWrites(benchmark::State& state, bool journaled, std::vector<double>& ns) {
  Rig rig;
  std::string error;
  if (!rig.Start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  TempJournal temp;
  journal::Writer writer(temp.dir.string());
  journal::Recorder recorder(writer, journal::CurrentIdentity());
  if (journaled) rig.doc->AddObserver(&recorder);
  double value = 100.0;
  // The first write opens the month file, outside the timing.
  rig.doc->WriteParamNoReal(value, kJogFast);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    value = value > 200.0 ? 100.0 : value + 0.5;
    if (rig.doc->WriteParamNoReal(value, kJogFast) != oxa::kOk) {
      state.SkipWithError("write failed");
      break;
    }
  }
  ns.push_back(pingpong::NsPerIteration(start, state));
  if (journaled) rig.doc->RemoveObserver(&recorder);
}

void BM_WriteParamNoTcp(benchmark::State& state) {
  RunWrites(state, false, plainNs);
}

void BM_WriteParamNoTcpJournaled(benchmark::State& state) {
  RunWrites(state, true, journaledNs);
  if (const double base = pingpong::Median(plainNs); base > 0 && !journaledNs.empty()) {
    state.counters["x_plain"] = journaledNs.back() / base;
  }
}

// The journal alone: building the entry from the document, and the two lines written.
void BM_JournalEntryAndResult(benchmark::State& state) {
  Rig rig;
  std::string error;
  if (!rig.Start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  TempJournal temp;
  journal::Writer writer(temp.dir.string());
  journal::Recorder recorder(writer, journal::CurrentIdentity());
  axlink::SendEvent event;
  event.kind = axlink::SendKind::ParamWrite;
  event.addr = rig.doc->axisAddr;
  event.axis = rig.doc->nAxis;
  event.paramNo = kJogFast;
  event.value = 150.0;
  for (auto _ : state) {
    recorder.BeforeSend(*rig.doc, event);
    recorder.AfterSend(*rig.doc, event, oxa::kOk);
  }
}

// A fixed count, so that every repetition is one run of the same length.
constexpr int64_t kWrites = 20000;
BENCHMARK(BM_WriteParamNoTcp)->UseRealTime()->Iterations(kWrites);
BENCHMARK(BM_WriteParamNoTcpJournaled)->UseRealTime()->Iterations(kWrites);
BENCHMARK(BM_JournalEntryAndResult);

}  // namespace

int main(int argc, char** argv) {
  // Loopback round trips on a shared machine vary from run to run: more repetitions than the
  // other benchmarks.
  if (!pingpong::RunInterleaved(argc, argv, 11)) return 1;
  const double plain = pingpong::Median(plainNs);
  const double journaled = pingpong::Median(journaledNs);
  if (plain > 0) {
    std::printf(
        "WriteParamNoReal over OXA/TCP: %.1f us plain, %.1f us journaled; journal adds %.1f %% "
        "(medians of %zu runs)\n",
        plain / 1000.0, journaled / 1000.0, (journaled / plain - 1.0) * 100.0, plainNs.size());
  }
  return 0;
}
