// Log entries as a controller might send them: any layout number, any bytes, any length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "log/LogEntry.h"
#include "log/LogText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int layout = static_cast<int8_t>(data[0]) % 6;
  const std::span<const uint8_t> wire(data + 1, size - 1);
  msglog::LogEntry e;
  if (msglog::DecodeLogEntry(layout, wire, e) != 0) return 0;
  // Both texts must come out terminated within their fields.
  if (e.FormatText.back() != '\0' || e.TextArg.back() != '\0') __builtin_trap();
  if (std::strlen(e.FormatText.data()) > 255 || std::strlen(e.TextArg.data()) > 255) {
    __builtin_trap();
  }
  const auto zone = [](int64_t s) { return static_cast<int64_t>(s % 50000); };
  const std::string line = msglog::FormatLogLine(e, layout, zone);
  if (line.size() > msglog::kMaxLineLength) __builtin_trap();
  return 0;
}
