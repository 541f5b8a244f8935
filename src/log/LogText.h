// Turning a log entry into one line of text: the local time prefix and the message.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "log/LogEntry.h"

namespace msglog {

// Longest line the log keeps; longer ones are cut. A message is at most a 255-byte format text
// with conversions of bounded width, so only hostile texts come near it.
inline constexpr size_t kMaxLineLength = 1024;
// Widths and precisions of a conversion are clamped to this.
inline constexpr unsigned kMaxFieldWidth = 64;

struct CalendarTime {
  uint32_t Year = 0;
  uint32_t Month = 0;  // 1 to 12
  uint32_t Day = 0;    // 1 to 31
  uint32_t Hour = 0;
  uint32_t Minute = 0;
  uint32_t Second = 0;
  uint32_t Millisecond = 0;

  friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// The local time zone: seconds to add to universal time at the given instant (seconds since
// 1970-01-01 UTC) to get local time.
using UtcOffset = std::function<int64_t(int64_t unixSeconds)>;

// The machine's time zone, daylight saving included.
int64_t SystemUtcOffset(int64_t unixSeconds);

// Calendar form of a file time taken as it is (no zone applied); nullopt for file times that
// are negative as signed 64-bit numbers.
std::optional<CalendarTime> FileTimeToCalendar(uint64_t fileTime);

// Local calendar time of a file time in universal time; nullopt when it cannot be represented.
std::optional<CalendarTime> FileTimeToLocal(uint64_t fileTime, const UtcOffset& zone);

// The message of an entry: `format` applied to the argument of `argType`.
//
// Type 1 applies it to the integer, type 2 to the real, type 3 to the text; a type-1 format
// text that contains "%s" is applied to the text "<MISMATCHED PARAMETER>"; any other type gives
// the format text unformatted. The format text comes from the controller, so it is never handed
// to printf: only the first conversion that matches the argument (d i u o x X for an integer,
// f F e E g G a A for a real, s for a text) is filled in, with its flags and clamped width and
// precision; "%%" gives "%"; every other conversion ("%n", "%*d", a second "%d", "%s" against
// a real) is copied literally. The result is at most kMaxLineLength bytes.
std::string FormatLogMessage(std::string_view format, int16_t argType, int32_t intArg,
                             double realArg, std::string_view textArg);

// The line of an entry read in `layout`: for layouts 2 to 4 a local time prefix
// "DD.MM.YYYY hh:mm:ss:mmm " when the year is after 1900, then the message.
std::string FormatLogLine(const LogEntry& entry, int layout, const UtcOffset& zone);

}  // namespace msglog
