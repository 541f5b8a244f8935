// Reading a parameter file of 10,000 records, beside reading the same bytes with one plain fread
// in the same run: the parse may cost at most about twice the read itself.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/ParamFile.h"
#include "oxa/Bytes.h"

namespace {

constexpr size_t kRecords = 10000;

// A format-215 file cycling through every number of the table.
const std::string& BenchFile() {
  static const std::string path = [] {
    std::vector<uint16_t> numbers;
    for (const files::FileParam& p : files::FileParams()) {
      for (size_t i = 0; i < p.count; ++i) numbers.push_back(static_cast<uint16_t>(p.no + i));
    }
    std::vector<uint8_t> bytes(kRecords * files::kFileRecordSize);
    oxa::bytes::StoreLe<uint32_t>(bytes.data(), 215);
    for (size_t r = 1; r < kRecords; ++r) {
      uint8_t* rec = bytes.data() + r * files::kFileRecordSize;
      oxa::bytes::StoreLe<uint32_t>(rec, numbers[r % numbers.size()]);
      oxa::bytes::StoreLe<uint64_t>(rec + 4, std::bit_cast<uint64_t>(0.5 * static_cast<double>(r)));
    }
    const auto p = std::filesystem::temp_directory_path() /
                   ("axtune_bench_files_" + std::to_string(::getpid()) + ".dat");
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }();
  return path;
}

void BM_LoadParameterFile(benchmark::State& state) {
  const std::string& path = BenchFile();
  model::ParamRecord param;
  model::LinRecord lin;
  for (auto _ : state) {
    const files::FileLoadResult r = files::LoadParameterFile(path, param, lin);
    if (r.recordsRead != kRecords) state.SkipWithError("short read");
    benchmark::DoNotOptimize(param);
    benchmark::DoNotOptimize(lin);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kRecords));
}

void BM_PlainFread(benchmark::State& state) {
  const std::string& path = BenchFile();
  std::vector<uint8_t> buffer(kRecords * files::kFileRecordSize + 1);
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      state.SkipWithError("cannot open");
      break;
    }
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
    if (got != kRecords * files::kFileRecordSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kRecords));
}

BENCHMARK(BM_LoadParameterFile);
BENCHMARK(BM_PlainFread);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(BenchFile());
  return 0;
}
