// Recording files and channel lists of arbitrary bytes: the reader keeps every column as long
// as the time column, times finite and rising, and what it took writes out and reads back with
// the same values. A channel list reads back as it was written.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string_view>

#include "trend/TrendCsv.h"

namespace {

bool Same(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const auto set = trend::ParseChannelSet(text)) {
    if (trend::ParseChannelSet(trend::FormatChannelSet(*set)) != set) __builtin_trap();
  }

  std::vector<trend::CsvWarning> warnings;
  const auto table = trend::ReadCsv(text, warnings);
  if (!table) return 0;
  if (table->values.size() != table->columns.size()) __builtin_trap();
  if (table->columns.size() > trend::kMaxCsvColumns) __builtin_trap();
  for (const auto& column : table->values) {
    if (column.size() != table->t.size()) __builtin_trap();
  }
  for (size_t i = 0; i < table->t.size(); ++i) {
    if (!std::isfinite(table->t[i]) || (i > 0 && table->t[i] < table->t[i - 1])) __builtin_trap();
  }

  std::vector<trend::Sample> samples;
  const trend::ChannelSet present = trend::SamplesOfCsv(*table, samples, warnings);
  std::ostringstream out;
  trend::WriteCsv(out, samples, present, 0.0);
  std::vector<trend::CsvWarning> again;
  const auto back = trend::ReadCsv(out.str(), again);
  if (!back || !again.empty()) __builtin_trap();
  std::vector<trend::Sample> samples2;
  if (trend::SamplesOfCsv(*back, samples2, again) != present) __builtin_trap();
  if (samples2.size() != samples.size()) __builtin_trap();
  for (size_t i = 0; i < samples.size(); ++i) {
    if (!Same(samples[i].t, samples2[i].t)) __builtin_trap();
    for (size_t c = 0; c < trend::kChannelCount; ++c) {
      if (!present.test(c)) continue;
      if (!Same(trend::ChannelValue(samples[i], c), trend::ChannelValue(samples2[i], c))) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
