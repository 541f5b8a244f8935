// The journal's line format: JSON Lines, one object a line. An entry is written before its
// request goes out; the result follows in a line of its own once the request returned:
//
//   {"id":"5f3a9c01-7","time":"2025-03-04T10:15:30.123Z","utcOffset":"+01:00","user":"anna",
//    "host":"bench7","netId":"192.168.1.20.1.1","route":"Press 2","port":851,"axis":1,
//    "axisName":"Clamp left","op":"WriteParamNoReal",
//    "changes":[{"no":1900,"name":"JogFast","before":50,"value":60}],"args":{}}
//   {"id":"5f3a9c01-7","result":0}
//
// Values of changes that are not finite are written as null. Arguments keep what was sent:
// one that is not finite is written as the string "nan", "inf" or "-inf" and read back as that
// value. Text that is not valid UTF-8 is taken as Latin-1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "journal/Entry.h"

namespace journal {

// Lines longer than this are not entries of ours; the reader skips them.
inline constexpr size_t kMaxLineBytes = 64 * 1024;

// The line of an entry (without its result), ending in "\n", appended to `out`.
void EncodeEntryLine(const Entry& e, std::string& out);
std::string EncodeEntryLine(const Entry& e);
// {"id":…,"result":…} and "\n".
std::string EncodeResultLine(std::string_view id, int32_t result);

struct ResultLine {
  std::string id;
  int32_t result = 0;
};

// One line without its "\n": an entry, a result, or nothing when it is not a line of the format
// (bad JSON, a missing or ill-typed field).
std::variant<std::monostate, Entry, ResultLine> ParseLine(std::string_view line);

// "2025-03-04T10:15:30.123Z" for a UTC time in ms; the parser takes exactly that form (the
// fraction may be absent or have 1 to 3 digits).
std::string FormatUtc(int64_t ms);
std::optional<int64_t> ParseUtc(std::string_view text);
// "+01:00", "-05:30"; the parser takes exactly that form, at most ±18:00.
std::string FormatOffset(int32_t minutes);
std::optional<int32_t> ParseOffset(std::string_view text);
// The local time of an entry: "2025-03-04 11:15:30 +01:00".
std::string FormatLocal(int64_t utcMs, int32_t offsetMin);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);
void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d);

// A number as the journal writes it: the shortest text that reads back to the same double.
std::string FormatNumber(double v);
// An argument's value: FormatNumber ("-0.0" for a negative zero), or "nan", "inf", "-inf" for one
// that is not finite.
std::string FormatArg(double v);
// The value of an argument's string: "nan", "inf" or "-inf"; none for any other text.
std::optional<double> ParseNonFiniteArg(std::string_view text);

}  // namespace journal
