#include "log/LogText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <limits>

namespace msglog {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDelta = 11'644'473'600;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDeltaDays = kEpochDelta / 86'400;
// No time zone is further than this from universal time; anything beyond is a broken zone.
constexpr int64_t kMaxZoneOffset = 48 * 3600;

constexpr std::string_view kMismatched = "<MISMATCHED PARAMETER>";

// Year, month, day of a day count since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

enum class ArgKind { Int, Real, Text };

bool Matches(ArgKind kind, char conv) {
  switch (kind) {
    case ArgKind::Int:
      return std::string_view("diuoxX").find(conv) != std::string_view::npos;
    case ArgKind::Real:
      return std::string_view("fFeEgGaA").find(conv) != std::string_view::npos;
    case ArgKind::Text:
      return conv == 's';
  }
  return false;
}

// A conversion directive as read from the format text: %[flags][width][.precision][length]conv
struct Spec {
  std::string flags;
  std::optional<unsigned> width;
  std::optional<unsigned> precision;
  char conv = '\0';
  size_t end = 0;  // index just past the directive in the format text
  bool complete = false;
};

unsigned ReadNumber(std::string_view f, size_t& i) {
  unsigned v = 0;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
    v = std::min(kMaxFieldWidth, v * 10 + static_cast<unsigned>(f[i] - '0'));
    ++i;
  }
  return v;
}

// Parses the directive starting after the '%' at `start - 1`.
Spec Parse(std::string_view f, size_t start) {
  Spec s;
  size_t i = start;
  while (i < f.size() && std::string_view("-+ #0").find(f[i]) != std::string_view::npos) {
    if (s.flags.find(f[i]) == std::string::npos) s.flags.push_back(f[i]);
    ++i;
  }
  if (i < f.size() && f[i] >= '0' && f[i] <= '9') s.width = ReadNumber(f, i);
  if (i < f.size() && f[i] == '.') {
    ++i;
    s.precision = ReadNumber(f, i);
  }
  // Length modifiers change nothing: the argument's own type decides. "I64"/"I32" as well.
  while (i < f.size()) {
    if (std::string_view("hlLqjzt").find(f[i]) != std::string_view::npos) {
      ++i;
    } else if (f[i] == 'I') {
      ++i;
      if (f.substr(i, 2) == "64" || f.substr(i, 2) == "32") i += 2;
    } else {
      break;
    }
  }
  s.end = i;
  if (i < f.size()) {
    s.conv = f[i];
    s.end = i + 1;
    s.complete = true;
  }
  return s;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// The directive is rebuilt from whitelisted pieces only, so printf sees nothing of the
// controller's text but flags, two bounded numbers and a conversion that matches the argument.
template <class T>
void Render(std::string& out, const Spec& s, T value) {
  std::string fmt = "%" + s.flags;
  if (s.width) fmt += std::to_string(*s.width);
  if (s.precision) fmt += "." + std::to_string(*s.precision);
  fmt.push_back(s.conv);
  std::array<char, 512> buf{};
  const int n = std::snprintf(buf.data(), buf.size(), fmt.c_str(), value);
  if (n > 0) out.append(buf.data(), std::min(static_cast<size_t>(n), buf.size() - 1));
}
#pragma GCC diagnostic pop

}  // namespace

int64_t SystemUtcOffset(int64_t unixSeconds) {
  if (unixSeconds < std::numeric_limits<time_t>::min() ||
      unixSeconds > std::numeric_limits<time_t>::max()) {
    return 0;
  }
  const auto t = static_cast<time_t>(unixSeconds);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return local.tm_gmtoff;
}

std::optional<CalendarTime> FileTimeToCalendar(uint64_t fileTime) {
  if (fileTime > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  const auto ticks = static_cast<int64_t>(fileTime);
  const int64_t days = ticks / kTicksPerDay;
  const int64_t rest = ticks % kTicksPerDay;
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days - kEpochDeltaDays, year, month, day);
  CalendarTime c;
  c.Year = static_cast<uint32_t>(year);
  c.Month = month;
  c.Day = day;
  const int64_t ms = rest / 10'000;
  c.Millisecond = static_cast<uint32_t>(ms % 1000);
  const int64_t secs = ms / 1000;
  c.Second = static_cast<uint32_t>(secs % 60);
  c.Minute = static_cast<uint32_t>(secs / 60 % 60);
  c.Hour = static_cast<uint32_t>(secs / 3600);
  return c;
}

std::optional<CalendarTime> FileTimeToLocal(uint64_t fileTime, const UtcOffset& zone) {
  if (fileTime > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  const auto ticks = static_cast<int64_t>(fileTime);
  const int64_t offset = zone ? std::clamp(zone(ticks / kTicksPerSecond - kEpochDelta),
                                           -kMaxZoneOffset, kMaxZoneOffset)
                              : 0;
  const int64_t shift = offset * kTicksPerSecond;
  if (shift > 0 && ticks > std::numeric_limits<int64_t>::max() - shift) return std::nullopt;
  const int64_t local = ticks + shift;
  if (local < 0) return std::nullopt;
  return FileTimeToCalendar(static_cast<uint64_t>(local));
}

std::string FormatLogMessage(std::string_view format, int16_t argType, int32_t intArg,
                             double realArg, std::string_view textArg) {
  ArgKind kind = ArgKind::Int;
  switch (argType) {
    case 1:
      if (format.find("%s") != std::string_view::npos) {
        kind = ArgKind::Text;
        textArg = kMismatched;
      }
      break;
    case 2:
      kind = ArgKind::Real;
      break;
    case 3:
      kind = ArgKind::Text;
      break;
    default:
      return std::string(format.substr(0, kMaxLineLength));
  }
  // Texts reach printf as C strings: cut at the first zero, at most 255 bytes.
  const std::string text(textArg.substr(0, std::min(textArg.find('\0'), kTextCapacity - 1)));

  std::string out;
  bool used = false;
  size_t i = 0;
  while (i < format.size() && out.size() < kMaxLineLength) {
    const char c = format[i];
    if (c != '%') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out.push_back('%');
      i += 2;
      continue;
    }
    const Spec s = Parse(format, i + 1);
    if (!s.complete || used || !Matches(kind, s.conv)) {
      out.append(format.substr(i, s.end - i));
    } else {
      used = true;
      switch (kind) {
        case ArgKind::Int:
          if (s.conv == 'd' || s.conv == 'i') {
            Render(out, s, intArg);
          } else {
            Render(out, s, static_cast<uint32_t>(intArg));
          }
          break;
        case ArgKind::Real:
          Render(out, s, realArg);
          break;
        case ArgKind::Text:
          Render(out, s, text.c_str());
          break;
      }
    }
    i = s.end;
  }
  if (out.size() > kMaxLineLength) out.resize(kMaxLineLength);
  return out;
}

std::string FormatLogLine(const LogEntry& entry, int layout, const UtcOffset& zone) {
  std::string line;
  if (LayoutHasTimeStamp(layout)) {
    const auto t = FileTimeToLocal(entry.TimeStamp, zone);
    if (t && t->Year > 1900) {
      std::array<char, 64> buf{};
      const int n =
          std::snprintf(buf.data(), buf.size(), "%02u.%02u.%04u %02u:%02u:%02u:%03u ", t->Day,
                        t->Month, t->Year, t->Hour, t->Minute, t->Second, t->Millisecond);
      if (n > 0) line.assign(buf.data(), std::min(static_cast<size_t>(n), buf.size() - 1));
    }
  }
  line +=
      FormatLogMessage(entry.Format(), entry.ArgType, entry.IntArg, entry.RealArg, entry.Text());
  if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
  return line;
}

}  // namespace msglog
