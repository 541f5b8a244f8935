// Format texts and arguments of log messages, as hostile as they come.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "log/LogText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // 2 bytes argument type, 4 integer, 8 real, 1 split point, then format text | text argument.
  if (size < 15) return 0;
  int16_t type = 0;
  int32_t i = 0;
  double r = 0;
  std::memcpy(&type, data, 2);
  std::memcpy(&i, data + 2, 4);
  std::memcpy(&r, data + 6, 8);
  const std::string_view rest(reinterpret_cast<const char*>(data + 15), size - 15);
  const size_t split = std::min<size_t>(data[14], rest.size());
  const std::string msg = msglog::FormatLogMessage(
      rest.substr(0, split), static_cast<int16_t>(type % 5), i, r, rest.substr(split));
  if (msg.size() > msglog::kMaxLineLength) __builtin_trap();
  // The calendar conversion must hold for every stamp.
  uint64_t stamp = 0;
  std::memcpy(&stamp, data + 6, 8);
  if (const auto t = msglog::FileTimeToCalendar(stamp)) {
    if (t->Month < 1 || t->Month > 12 || t->Day < 1 || t->Day > 31 || t->Hour > 23 ||
        t->Minute > 59 || t->Second > 59 || t->Millisecond > 999) {
      __builtin_trap();
    }
  }
  return 0;
}
