// Time prefixes and message texts of log lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log/LogText.h"

namespace {

using msglog::CalendarTime;
using msglog::FormatLogLine;
using msglog::FormatLogMessage;
using msglog::LogEntry;

// File times worked out independently (100 ns units since 1601-01-01 UTC).
constexpr uint64_t kLeapDay2024 = 133536836967890000ull;  // 2024-02-29 12:34:56.789
constexpr uint64_t kMar2000 = 125963424000000000ull;      // 2000-03-01 00:00:00.000
constexpr uint64_t kEnd1900 = 94670207999990000ull;       // 1900-12-31 23:59:59.999
constexpr uint64_t kStart1901 = 94670208000000000ull;     // 1901-01-01 00:00:00.000
constexpr uint64_t kNewYearsEve = 133485390000000000ull;  // 2023-12-31 23:30:00.000
constexpr uint64_t kEnd9999 = 2650467743999990000ull;     // 9999-12-31 23:59:59.999

const msglog::UtcOffset kUtc = [](int64_t) { return int64_t{0}; };
msglog::UtcOffset FixedZone(int64_t seconds) {
  return [seconds](int64_t) { return seconds; };
}

TEST(LogTime, FileTimesGiveTheirCalendarDates) {
  struct Case {
    uint64_t fileTime;
    CalendarTime want;
  };
  const Case cases[] = {
      {0, {1601, 1, 1, 0, 0, 0, 0}},
      {kLeapDay2024, {2024, 2, 29, 12, 34, 56, 789}},
      {kMar2000, {2000, 3, 1, 0, 0, 0, 0}},
      {kEnd1900, {1900, 12, 31, 23, 59, 59, 999}},
      {kEnd9999, {9999, 12, 31, 23, 59, 59, 999}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileTime);
    const auto got = msglog::FileTimeToCalendar(c.fileTime);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, c.want);
  }
  EXPECT_FALSE(msglog::FileTimeToCalendar(0x8000'0000'0000'0000ull).has_value());
  EXPECT_FALSE(msglog::FileTimeToCalendar(UINT64_MAX).has_value());
}

TEST(LogTime, LocalTimeAppliesTheZoneAcrossDayAndYearBoundaries) {
  // UTC+1 moves New Year's Eve 23:30 into the next year; UTC-5 moves 1 March 2000 into the
  // leap day before it.
  EXPECT_EQ(*msglog::FileTimeToLocal(kNewYearsEve, FixedZone(3600)),
            (CalendarTime{2024, 1, 1, 0, 30, 0, 0}));
  EXPECT_EQ(*msglog::FileTimeToLocal(kMar2000, FixedZone(-5 * 3600)),
            (CalendarTime{2000, 2, 29, 19, 0, 0, 0}));
  // The zone is asked for the instant itself (seconds since 1970).
  int64_t asked = -1;
  msglog::FileTimeToLocal(kLeapDay2024, [&](int64_t s) {
    asked = s;
    return int64_t{0};
  });
  EXPECT_EQ(asked, 1709210096);
  // A zone west of UTC cannot move the first instants before 1601; a broken zone is clamped.
  EXPECT_FALSE(msglog::FileTimeToLocal(0, FixedZone(-3600)).has_value());
  EXPECT_FALSE(msglog::FileTimeToLocal(INT64_MAX, FixedZone(3600)).has_value());
  EXPECT_EQ(msglog::FileTimeToLocal(kMar2000, FixedZone(INT64_MAX))->Day, 3u);
}

LogEntry Entry(uint64_t stamp, const char* format, int16_t argType, int32_t i = 0, double r = 0,
               const char* text = "") {
  LogEntry e;
  e.TimeStamp = stamp;
  msglog::SetText(e.FormatText, format);
  msglog::SetText(e.TextArg, text);
  e.ArgType = argType;
  e.IntArg = i;
  e.RealArg = r;
  return e;
}

TEST(LogLine, TimePrefixOnlyForStampedLayoutsAndYearsAfter1900) {
  const LogEntry e = Entry(kLeapDay2024, "Axis homed", 0);
  EXPECT_EQ(FormatLogLine(e, 2, kUtc), "29.02.2024 12:34:56:789 Axis homed");
  EXPECT_EQ(FormatLogLine(e, 3, kUtc), "29.02.2024 12:34:56:789 Axis homed");
  EXPECT_EQ(FormatLogLine(e, 4, FixedZone(2 * 3600)), "29.02.2024 14:34:56:789 Axis homed");
  // Layout 1 has no time stamp, whatever the entry holds.
  EXPECT_EQ(FormatLogLine(e, 1, kUtc), "Axis homed");
  // A zero time stamp is in 1601; 1900 is not after 1900, 1901 is.
  EXPECT_EQ(FormatLogLine(Entry(0, "Axis homed", 0), 4, kUtc), "Axis homed");
  EXPECT_EQ(FormatLogLine(Entry(kEnd1900, "x", 0), 2, kUtc), "x");
  EXPECT_EQ(FormatLogLine(Entry(kStart1901, "x", 0), 2, kUtc), "01.01.1901 00:00:00:000 x");
  // A stamp that is negative as a signed number has no calendar date.
  EXPECT_EQ(FormatLogLine(Entry(UINT64_MAX, "x", 0), 4, kUtc), "x");
}

TEST(LogMessage, ArgumentTypesApplyTheFormatTextToTheirArgument) {
  struct Case {
    const char* format;
    int16_t type;
    int32_t i;
    double r;
    const char* text;
    const char* want;
  };
  const Case cases[] = {
      {"Step %d started", 1, 5, 0, "", "Step 5 started"},
      {"Error 0x%04X", 1, 0x4356, 0, "", "Error 0x4356"},
      {"Code %05i", 1, -17, 0, "", "Code -0017"},
      {"neg %u %x", 1, -1, 0, "", "neg 4294967295 %x"},
      {"%+6d|%-4d|", 1, 42, 0, "", "   +42|%-4d|"},
      {"File %s loaded", 1, 5, 0, "axis.dat", "File <MISMATCHED PARAMETER> loaded"},
      {"%d of %s", 1, 5, 0, "", "%d of <MISMATCHED PARAMETER>"},
      {"Overlap %.3f mm", 2, 0, 0.25, "", "Overlap 0.250 mm"},
      {"v=%g %e", 2, 0, 1500.0, "", "v=1500 %e"},
      {"File %s loaded", 3, 0, 0, "axis.dat", "File axis.dat loaded"},
      {"[%-6s][%.2s]", 3, 0, 0, "ab", "[ab    ][%.2s]"},
      {"100%% done", 1, 7, 0, "", "100% done"},
      {"100%% %d", 0, 7, 0, "", "100%% %d"},
      {"raw %s %d", 9, 7, 1.0, "t", "raw %s %d"},
      {"raw", -1, 7, 1.0, "t", "raw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(FormatLogMessage(c.format, c.type, c.i, c.r, c.text), c.want);
  }
}

TEST(LogMessage, HostileFormatTextsArePrintedLiterallyAndBounded) {
  struct Case {
    const char* format;
    int16_t type;
    const char* want;
  };
  const Case cases[] = {
      {"%n%n%n", 1, "%n%n%n"},
      {"%s%s%s%s", 2, "%s%s%s%s"},
      {"%*d %.*f", 1, "%*d %.*f"},
      {"%d %d %d", 1, "7 %d %d"},
      {"%p %c", 1, "%p %c"},
      {"%lld %I64d", 1, "7 %I64d"},
      {"%ls", 3, "text"},
      {"tail %", 1, "tail %"},
      {"tail %-0", 1, "tail %-0"},
      {"%f", 1, "%f"},
      {"%d", 3, "%d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(FormatLogMessage(c.format, c.type, 7, 2.0, "text"), c.want);
  }
  // Widths and precisions are clamped, so one conversion cannot blow up the line.
  EXPECT_EQ(FormatLogMessage("%999999999d", 1, 1, 0, "").size(), msglog::kMaxFieldWidth);
  EXPECT_EQ(FormatLogMessage("%.999999999f", 2, 0, 1.0, "").size(), 2 + msglog::kMaxFieldWidth);
  // A huge real with the widest precision still fits.
  const std::string big = FormatLogMessage("%.64f", 2, 0, 1e308, "");
  EXPECT_EQ(big.substr(0, 4), "1000");
  EXPECT_LE(big.size(), msglog::kMaxLineLength);
  // A text argument with bytes after its terminator stops at the terminator.
  EXPECT_EQ(FormatLogMessage("<%s>", 3, 0, 0, std::string_view("ab\0cd", 5)), "<ab>");
}

TEST(LogLine, AFullEntryOfMaximalTextsStaysWithinTheLineBound) {
  LogEntry e = Entry(kLeapDay2024, "", 3);
  std::string format;
  while (format.size() + 2 <= 255) format += "%s";
  msglog::SetText(e.FormatText, format);
  msglog::SetText(e.TextArg, std::string(300, 'y'));
  const std::string line = FormatLogLine(e, 4, kUtc);
  EXPECT_LE(line.size(), msglog::kMaxLineLength);
  // Only the first %s is filled: prefix, 255 bytes of text, then the rest literally.
  EXPECT_EQ(line.substr(24, 255), std::string(255, 'y'));
  EXPECT_EQ(line.substr(24 + 255, 4), "%s%s");
}

}  // namespace
