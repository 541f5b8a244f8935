// The journal files on their own: lines written and read back, damaged lines, month files, CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/TempDir.h"
#include "i18n/Utf8.h"
#include "journal/Csv.h"
#include "journal/Format.h"
#include "journal/Journal.h"

namespace {

using journal::Entry;
using journal::Warning;
using journal::WarningKind;
using journaltest::TempDir;

// 2024-01-31T23:59:59.500Z
constexpr int64_t kJan31 = 1706745599500;

Entry Sample(int32_t axis = 1) {
  Entry e;
  e.user = "anna";
  e.host = "bench7";
  e.netId = oxa::NetId{{192, 168, 1, 20, 1, 1}};
  e.route = "Press 2";
  e.port = 851;
  e.axis = axis;
  e.axisName = "Clamp left";
  e.op = "WriteParamNoReal";
  e.changes = {{1900, "JogFast", 50.0, 60.0}};
  return e;
}

// A writer whose clock steps by `step` ms from `start` at each entry, with the local offset of
// Central European Time.
struct SteppedWriter {
  int64_t now;
  int64_t step;
  journal::Writer writer;
  SteppedWriter(const std::string& dir, int64_t start, int64_t stepMs)
      : now(start - stepMs), step(stepMs), writer(dir, [this] {
          now += step;
          return journal::Stamp{now, 60};
        }) {}
  // The entry as written, with its id and time.
  Entry Add(Entry e, std::optional<int32_t> result = 0) {
    EXPECT_TRUE(writer.Append(e)) << writer.LastError();
    if (result) {
      EXPECT_TRUE(writer.AppendResult(e.id, *result));
    }
    return e;
  }
};

TEST(JournalFileTest, LinesReadBackAsWritten) {
  struct Case {
    const char* name;
    std::function<void(Entry&)> edit;
  };
  const std::vector<Case> cases{
      {"plain", [](Entry&) {}},
      {"controller text in Latin-1",
       [](Entry& e) {
         e.axisName =
             "Presse \xC4u\xDF"
             "en";
       }},
      {"quotes, backslashes and control characters",
       [](Entry& e) { e.route = "a\"b\\c\n\t\x01\x7F"; }},
      {"no value known before", [](Entry& e) { e.changes[0].before.reset(); }},
      {"value that is not a number",
       [](Entry& e) { e.changes[0].value = std::numeric_limits<double>::quiet_NaN(); }},
      {"command with arguments",
       [](Entry& e) {
         e.op = "Move";
         e.changes.clear();
         e.args = {{"mode", 1}, {"position", -0.1}, {"velocity", 1e300}};
       }},
      {"no result", [](Entry& e) { e.result.reset(); }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Entry e = Sample();
    c.edit(e);
    SteppedWriter w(dir.Path(), kJan31, 1);
    e = w.Add(e, e.result);
    w.writer.Flush();
    const journal::ReadResult r = journal::ReadJournal(dir.Path());
    ASSERT_EQ(r.entries.size(), 1u) << c.name;
    EXPECT_TRUE(r.warnings.empty()) << c.name;
    Entry expected = e;
    expected.axisName = i18n::ToUtf8(e.axisName);
    if (!e.changes.empty() && e.changes[0].value && std::isnan(*e.changes[0].value)) {
      expected.changes[0].value.reset();  // written as null
    }
    EXPECT_EQ(r.entries[0], expected) << c.name;
    EXPECT_EQ(r.entries[0].timeMs, kJan31);
    EXPECT_EQ(r.entries[0].utcOffsetMin, 60);
  }
}

// The journal keeps what was sent: every argument a command carries, finite or not, reads back
// as it was; a string that names no such value is a damaged line.
TEST(JournalFileTest, ArgumentsReadBackAsSentNonFiniteOnesIncluded) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* op;
    std::vector<std::pair<std::string, double>> args;
  };
  const Case cases[] = {
      {"Move", {{"mode", 1}, {"position", kNan}, {"velocity", kInf}}},
      {"Move", {{"mode", 4}, {"position", -kInf}, {"velocity", 1e-300}}},
      {"SetPosition", {{"position", kNan}}},
      {"SetPosition", {{"position", -0.0}}},
      {"Command", {{"offset", 4294967295.0}}},
  };
  for (const Case& c : cases) {
    Entry e = Sample();
    e.id = "x-1";
    e.op = c.op;
    e.changes.clear();
    e.args = c.args;
    const std::string line = journal::EncodeEntryLine(e);
    SCOPED_TRACE(line);
    const auto parsed = journal::ParseLine(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(std::holds_alternative<Entry>(parsed));
    const auto& args = std::get<Entry>(parsed).args;
    ASSERT_EQ(args.size(), c.args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      EXPECT_EQ(args[i].first, c.args[i].first);
      const double sent = c.args[i].second;
      if (std::isnan(sent)) {
        EXPECT_TRUE(std::isnan(args[i].second));
      } else {
        EXPECT_EQ(args[i].second, sent);
        EXPECT_EQ(std::signbit(args[i].second), std::signbit(sent));
      }
    }
  }
  const std::string good = journal::EncodeEntryLine(Sample());
  for (const char* bad : {R"("NaN")", R"("infinity")", R"("")", "null", "true"}) {
    std::string line = good.substr(0, good.size() - 1);
    line.replace(line.find(R"("args":{})"), 9, std::string(R"("args":{"position":)") + bad + "}");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(journal::ParseLine(line))) << line;
  }
  Entry csv;
  csv.args = {{"position", kNan}, {"velocity", -kInf}};
  EXPECT_EQ(journal::ArgsText(csv), "position=nan velocity=-inf");
}

TEST(JournalFileTest, DamagedLinesAreSkippedWithAWarningEach) {
  TempDir dir;
  {
    SteppedWriter w(dir.Path(), kJan31 - 10'000, 1000);
    for (int i = 1; i <= 3; ++i) w.Add(Sample(i));
  }
  std::string text = dir.Read("2024-01.jsonl");
  // Lines 3 and 4 hold the second entry and its result: the entry becomes garbage, the result an
  // orphan. A last entry cut off in the middle follows.
  const size_t second = text.find("\n", text.find("\n") + 1) + 1;
  text.replace(second, 10, "{\"id\":7,xx");
  const std::string torn = journal::EncodeEntryLine(Sample(9));
  text += torn.substr(0, torn.size() / 2);
  dir.Write("2024-01.jsonl", text);

  const journal::ReadResult r = journal::ReadJournal(dir.Path());
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].axis, 1);
  EXPECT_EQ(r.entries[1].axis, 3);
  EXPECT_EQ(r.entries[1].result, 0);
  const std::vector<Warning> expected{{WarningKind::CorruptLine, "2024-01.jsonl", 3},
                                      {WarningKind::OrphanResult, "2024-01.jsonl", 4},
                                      {WarningKind::TornLine, "2024-01.jsonl", 7}};
  EXPECT_EQ(r.warnings, expected);
  EXPECT_EQ(journal::WarningText(r.warnings[2]),
            "2024-01.jsonl, line 7: incomplete last entry skipped");

  // The next entry starts on a line of its own, so only the torn one is lost.
  SteppedWriter w(dir.Path(), kJan31, 1);
  w.Add(Sample(4));
  const journal::ReadResult again = journal::ReadJournal(dir.Path());
  ASSERT_EQ(again.entries.size(), 3u);
  EXPECT_EQ(again.entries[2].axis, 4);
  EXPECT_EQ(again.warnings.size(), 3u);
  EXPECT_EQ(again.warnings[2].kind, WarningKind::CorruptLine);
}

TEST(JournalFileTest, EachMonthHasItsFileAndAResultStaysWithItsEntry) {
  TempDir dir;
  SteppedWriter w(dir.Path(), kJan31, 600);  // 23:59:59.500, then 00:00:00.100 on Feb 1st
  auto lines = [&](const std::string& file) {
    const std::string text = dir.Read(file);
    return std::count(text.begin(), text.end(), '\n');
  };
  // A success's result is held back until the next write, which here goes to the next month:
  // it still lands beside its entry. A failure's result is written at once.
  w.Add(Sample(1), 0);
  EXPECT_EQ(lines("2024-01.jsonl"), 1);
  w.Add(Sample(2), oxa::kErrTimeout);
  EXPECT_EQ(lines("2024-01.jsonl"), 2);
  EXPECT_EQ(lines("2024-02.jsonl"), 2);
  w.Add(Sample(3), 0);
  EXPECT_EQ(lines("2024-02.jsonl"), 3);
  ASSERT_TRUE(w.writer.Flush());
  EXPECT_EQ(lines("2024-02.jsonl"), 4);

  const auto all = journal::ReadJournal(dir.Path());
  ASSERT_EQ(all.entries.size(), 3u);
  EXPECT_TRUE(all.warnings.empty());
  EXPECT_EQ(all.entries[0].result, 0);
  EXPECT_EQ(all.entries[1].result, oxa::kErrTimeout);
  EXPECT_EQ(all.entries[2].result, 0);

  journal::Filter feb1;
  feb1.sinceMs = journal::ParseUtc("2024-02-01T00:00:00Z");
  const auto later = journal::ReadJournal(dir.Path(), feb1);
  ASSERT_EQ(later.entries.size(), 2u);
  EXPECT_EQ(later.entries[0].axis, 2);
}

TEST(JournalFileTest, FilterByAxisPortControllerAndTime) {
  TempDir dir;
  SteppedWriter w(dir.Path(), kJan31, 1000);
  Entry other = Sample(1);
  other.netId = oxa::NetId{{10, 0, 0, 1, 1, 1}};
  Entry otherPort = Sample(1);
  otherPort.port = 852;
  w.Add(Sample(1));
  w.Add(Sample(2));
  w.Add(other);
  w.Add(otherPort);
  struct Case {
    const char* name;
    journal::Filter filter;
    size_t count;
  };
  journal::Filter axis2, port852, controller, window;
  axis2.axis = 2;
  port852.port = 852;
  controller.netId = oxa::NetId{{10, 0, 0, 1, 1, 1}};
  window.sinceMs = kJan31 + 1000;
  window.untilMs = kJan31 + 3000;
  for (const Case& c : std::vector<Case>{{"all", {}, 4},
                                         {"axis", axis2, 1},
                                         {"port", port852, 1},
                                         {"controller", controller, 1},
                                         {"time", window, 2}}) {
    EXPECT_EQ(journal::ReadJournal(dir.Path(), c.filter).entries.size(), c.count) << c.name;
  }
  EXPECT_TRUE(journal::ReadJournal(dir.Path() + "/none").entries.empty());
}

TEST(JournalFileTest, ParsesOnlyTheTimesItWrites) {
  struct Case {
    const char* text;
    std::optional<int64_t> ms;
  };
  for (const Case& c : std::vector<Case>{{"2024-01-31T23:59:59.500Z", kJan31},
                                         {"2024-01-31T23:59:59.5Z", kJan31},
                                         {"2024-01-31T23:59:59Z", kJan31 - 500},
                                         {"2024-02-29T00:00:00Z", 1709164800000},
                                         {"2023-02-29T00:00:00Z", std::nullopt},
                                         {"2024-01-31T24:00:00Z", std::nullopt},
                                         {"2024-01-31T23:59:59.5000Z", std::nullopt},
                                         {"2024-01-31 23:59:59Z", std::nullopt},
                                         {"2024-01-31T23:59:59", std::nullopt}}) {
    EXPECT_EQ(journal::ParseUtc(c.text), c.ms) << c.text;
  }
  EXPECT_EQ(journal::FormatUtc(kJan31), "2024-01-31T23:59:59.500Z");
  EXPECT_EQ(journal::FormatLocal(kJan31, -330), "2024-01-31 18:29:59 -05:30");
  EXPECT_EQ(journal::ParseOffset("+18:01"), std::nullopt);
}

TEST(JournalFileTest, CsvHasOneRowPerValueAndDefusesFormulas) {
  Entry record = Sample();
  record.timeMs = kJan31;
  record.op = "WriteParamRecord";
  record.changes.push_back({1601, "CreepDistance", std::nullopt, 4.25});
  record.result = 0;
  Entry command = Sample();
  command.timeMs = kJan31;
  command.op = "Move";
  command.changes.clear();
  command.args = {{"mode", 1}, {"position", 250}};
  command.axisName = "=HYPERLINK(\"x\")";
  command.route = "a,b";
  const std::string csv = journal::ToCsv({record, command});
  const std::string expected =
      "time_utc,local_time,user,host,controller,route,port,axis,axis_name,operation,number,name,"
      "before,value,arguments,result\r\n"
      "2024-01-31T23:59:59.500Z,2024-01-31 23:59:59 +00:00,anna,bench7,192.168.1.20.1.1,Press 2,"
      "851,1,Clamp left,WriteParamRecord,1900,JogFast,50,60,,0\r\n"
      "2024-01-31T23:59:59.500Z,2024-01-31 23:59:59 +00:00,anna,bench7,192.168.1.20.1.1,Press 2,"
      "851,1,Clamp left,WriteParamRecord,1601,CreepDistance,,4.25,,0\r\n"
      "2024-01-31T23:59:59.500Z,2024-01-31 23:59:59 +00:00,anna,bench7,192.168.1.20.1.1,\"a,b\","
      "851,1,\"'=HYPERLINK(\"\"x\"\")\",Move,,,,,mode=1 position=250,\r\n";
  EXPECT_EQ(csv, expected);
}

}  // namespace
