// Journal files as a crash, a disk or another program may leave them: any bytes. Reading never
// fails hard, a line that reads as an entry writes back to the same entry, and every result is
// either joined to an entry or warned about.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "journal/Format.h"
#include "journal/Journal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  journal::ReadResult r;
  journal::ParseJournalText(text, "2024-01.jsonl", {}, r);
  size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  if (r.entries.size() + r.warnings.size() > lines + 1) __builtin_trap();

  const auto parsed = journal::ParseLine(text);
  if (const auto* e = std::get_if<journal::Entry>(&parsed)) {
    std::string line = journal::EncodeEntryLine(*e);
    line.pop_back();  // the "\n"
    const auto again = journal::ParseLine(line);
    const auto* back = std::get_if<journal::Entry>(&again);
    if (!back) __builtin_trap();
    // Infinite numbers are written as null; everything else comes back as it was.
    journal::Entry expected = *e;
    for (auto& c : expected.changes) {
      for (auto* v : {&c.before, &c.value}) {
        if (*v && !std::isfinite(**v)) v->reset();
      }
    }
    bool finiteArgs = true;
    for (const auto& [name, value] : e->args) finiteArgs = finiteArgs && std::isfinite(value);
    if (finiteArgs && !(*back == expected)) __builtin_trap();
  }
  return 0;
}
