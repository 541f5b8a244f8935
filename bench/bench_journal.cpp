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

#include "PingPong.h"
#include "journal/Journal.h"
#include "journal/Recorder.h"
#include "link/AxtuneDoc.h"
#include "link/Login.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/Plant.h"

namespace {

constexpr oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kJogFast = 1900;

std::vector<double> plainNs;
std::vector<double> journaledNs;

class NoUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string&) override { ++boxes; }
  void RequestRedisplay() override {}
  int boxes = 0;
};

// A journal directory of its own, removed afterwards.
struct TempJournal {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("axtune-bench-journal-" + std::to_string(::getpid()));
  ~TempJournal() { std::filesystem::remove_all(dir); }
};

// A V3.0.35 axis server over OXA/TCP and a document with its axis 1 selected.
struct Rig {
  std::unique_ptr<sim::Plant> plant;
  std::unique_ptr<oxa::OxaTcpServer> server;
  std::unique_ptr<oxa::OxaTcpClient> client;
  NoUi ui;
  i18n::StringTable strings;
  std::unique_ptr<CAxtuneDoc> doc;
  axlink::AxisList lists;

  bool Start(std::string& error) {
    plant = sim::LoadPlant(
        R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 1}],
            "servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1, "axes": ["Clamp left"],
                         "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]})",
        kNetId, sim::DefaultServerFeatures(), error);
    if (!plant) return false;
    server = oxa::OxaTcpServer::Start(plant->Ctrl(), "127.0.0.1", 0, error);
    if (!server) return false;
    oxa::RouteTable table;
    table.local = {"", kNetId, "127.0.0.1", server->Port()};
    client = std::make_unique<oxa::OxaTcpClient>([table] { return table; });
    doc = std::make_unique<CAxtuneDoc>(*client, ui, strings);
    axlink::FrameStatus status;
    axlink::LoginEnv env{
        client.get(), client->OxaPortOpen(), kNetId, "Axtune -> Local", &lists, doc.get(), &status};
    if (!axlink::Login(env)) {
      error = "login found no axis server";
      return false;
    }
    if (!doc->SelectAxis(*axlink::FindAxisTarget(lists, {kNetId, 851}, 1), model::kPageAll)) {
      error = "selection failed";
      return false;
    }
    return true;
  }
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
  // other benchmarks, unless the command line says how many.
  std::string reps = "--benchmark_repetitions=11";
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
  if (!pingpong::RunInterleaved(static_cast<int>(args.size()), args.data())) return 1;
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
