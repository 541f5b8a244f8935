#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "link/DocUi.h"
#include "link/ErrorText.h"

namespace {

class RecordingUi : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override {
    boxes.push_back(text);
    if (whileOpen) whileOpen();
  }
  void RequestRedisplay() override {}

  std::vector<std::string> boxes;
  // Runs while the modal box is open, as the timer does in the application's nested event loop.
  std::function<void()> whileOpen;
};

// Records what the document sends; no controller behind it.
class RecordingOxa : public oxa::IOxa {
 public:
  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return oxa::kOk; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr*) override { return oxa::kOk; }
  int32_t OxaSyncSetTimeout(int32_t ms) override {
    timeouts.push_back(ms);
    return oxa::kOk;
  }
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*) override {
    return Sent();
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return Sent();
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*, uint32_t,
                              const void*) override {
    return Sent();
  }
  int32_t Sent() {
    ++requests;
    return oxa::kOk;
  }

  std::vector<int32_t> timeouts;
  int requests = 0;
};

struct Fixture {
  RecordingOxa oxa;
  RecordingUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc{oxa, ui, strings};
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const char* const kTimeoutLine = "OXA Read( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )";

TEST(ReportOxaError, TimedOutRefreshReadStopsTheCommunication) {
  Fixture f;
  f.doc.bCommStopped = false;  // as after a successful axis selection
  // Timers keep firing while the modal box is open: by then the communication must already be
  // stopped, or the next refresh tick would send again and stack a second box.
  bool stoppedWhileOpen = false;
  std::vector<int32_t> timeoutsWhileOpen;
  f.ui.whileOpen = [&] {
    stoppedWhileOpen = f.doc.bCommStopped;
    timeoutsWhileOpen = f.oxa.timeouts;
  };
  f.doc.ReportOxaError(true, false, 0x745, 0x8000F001, 16);

  ASSERT_EQ(f.ui.boxes.size(), 1u);
  const std::vector<std::string> expected = {
      "Attention",
      "",
      "There has been an error reported from the OXA connection to the runtime system!",
      "",
      kTimeoutLine,
      "OXA-Fehler: Timeout",
      "",
      "The OXA communication has been stopped!",
  };
  EXPECT_EQ(Lines(f.ui.boxes[0]), expected);
  EXPECT_EQ(f.ui.boxes[0].back(), '!');
  EXPECT_TRUE(stoppedWhileOpen);
  EXPECT_EQ(timeoutsWhileOpen, std::vector<int32_t>{1000});
  EXPECT_TRUE(f.doc.bCommStopped);
  EXPECT_EQ(f.oxa.timeouts, std::vector<int32_t>{1000});
  EXPECT_EQ(f.oxa.requests, 0);
}

TEST(ReportOxaError, ReportWithoutStopKeepsTheCommunication) {
  Fixture f;
  f.doc.bCommStopped = false;
  f.doc.ReportOxaError(false, true, 0x4356, 0x80004201, 3);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  const auto lines = Lines(f.ui.boxes[0]);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5], "OXA-Fehler: Cannot start, control enable is missing");
  EXPECT_EQ(f.ui.boxes[0].substr(f.ui.boxes[0].size() - 2), "\n\n");
  EXPECT_FALSE(f.doc.bCommStopped);
  EXPECT_TRUE(f.oxa.timeouts.empty());
}

TEST(ReportOxaError, CodeZeroShowsNothingAndChangesNothing) {
  for (bool stop : {false, true}) {
    for (bool stoppedBefore : {false, true}) {
      Fixture f;
      f.doc.bCommStopped = stoppedBefore;
      f.doc.ReportOxaError(stop, true, 0, 0x8000F001, 16);
      EXPECT_TRUE(f.ui.boxes.empty());
      EXPECT_EQ(f.doc.bCommStopped, stoppedBefore);
      EXPECT_TRUE(f.oxa.timeouts.empty());
    }
  }
}

// Lines 4 (request) and 5 (decoded text) of the box.
TEST(ReportOxaError, RequestAndDecodedLines) {
  const std::string undecoded = "OXA-Fehler: Nicht dekodierter OXA Error Code";
  const struct {
    bool write;
    int32_t code;
    uint32_t group;
    uint32_t offset;
    std::string request;
    std::string decoded;
  } cases[] = {
      {true, 0x745, 0x8000F001, 16,
       "OXA Write( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )", "OXA-Fehler: Timeout"},
      {true, 6, 0x800F0003, 0x6BC, "OXA Write( nIdxG=0x800F0003, nIdxO=0x000006BC, nErr=6(0x6) )",
       "OXA-Fehler: Target port not found"},
      {false, 0x4346, 0, 0, "OXA Read( nIdxG=0x00000000, nIdxO=0x00000000, nErr=17222(0x4346) )",
       "OXA-Fehler: Pointer fault: component missing or not connected"},
      // The three codes without text leave the line at its prefix.
      {false, 0x4F01, 0, 0, "OXA Read( nIdxG=0x00000000, nIdxO=0x00000000, nErr=20225(0x4F01) )",
       "OXA-Fehler: "},
      // -1 is the 32-bit pattern, never widened to 64 bits.
      {false, -1, 0x8000F000, 0,
       "OXA Read( nIdxG=0x8000F000, nIdxO=0x00000000, nErr=-1(0xFFFFFFFF) )",
       "OXA-Fehler: This version of the Axtune doesn't support the library version yet"},
      {false, INT32_MIN, 0xFFFFFFFF, 0xFFFFFFFF,
       "OXA Read( nIdxG=0xFFFFFFFF, nIdxO=0xFFFFFFFF, nErr=-2147483648(0x80000000) )", undecoded},
      // Outside the table, also next to known codes; the whole 32 bits are compared.
      {false, 0x4F03, 3, 0xABCDEF,
       "OXA Read( nIdxG=0x00000003, nIdxO=0x00ABCDEF, nErr=20227(0x4F03) )", undecoded},
      {false, static_cast<int32_t>(0x80000006u), 0, 0,
       "OXA Read( nIdxG=0x00000000, nIdxO=0x00000000, nErr=-2147483642(0x80000006) )", undecoded},
  };
  i18n::StringTable strings;
  for (const auto& c : cases) {
    const auto lines =
        Lines(axlink::BuildOxaErrorText(strings, false, c.write, c.code, c.group, c.offset));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4], c.request);
    EXPECT_EQ(lines[5], c.decoded);
  }
}

TEST(ReportOxaError, FollowsTheLanguageButKeepsTheFixedLiterals) {
  Fixture f;
  ASSERT_TRUE(f.strings.SetLanguage(i18n::kGerman));
  f.doc.ReportOxaError(true, false, 0x745, 0x8000F001, 16);
  f.doc.ReportOxaError(false, false, 0x1234, 0x8000F001, 16);
  ASSERT_EQ(f.ui.boxes.size(), 2u);
  const std::vector<std::string> expected = {
      "Achtung",
      "",
      "In der OXA-Kommunikation mit dem Laufzeitsystem ist ein Fehler aufgetreten!",
      "",
      kTimeoutLine,
      "OXA-Fehler: Zeitüberschreitung",
      "",
      "Die OXA-Kommunikation wird eingestellt!",
  };
  EXPECT_EQ(Lines(f.ui.boxes[0]), expected);
  EXPECT_EQ(Lines(f.ui.boxes[1]).at(5), "OXA-Fehler: Nicht dekodierter OXA Error Code");

  ASSERT_TRUE(f.strings.SetLanguage(i18n::kChinese));
  const auto zh = Lines(axlink::BuildOxaErrorText(f.strings, true, false, 0x745, 0x8000F001, 16));
  const std::vector<std::string> zhExpected = {"注意",
                                               "",
                                               "与运行时系统的 OXA 连接报告了一个错误！",
                                               "",
                                               kTimeoutLine,
                                               "OXA-Fehler: 超时",
                                               "",
                                               "OXA 通信已停止！"};
  EXPECT_EQ(zh, zhExpected);
}

// Every string a code decodes to exists in every language, and the IDs the table keeps for codes
// of later libraries are reached by no code.
TEST(ReportOxaError, DecodedAndReservedIds) {
  std::set<uint32_t> reached;
  for (int32_t code = 1; code <= 0xFFFF; ++code) {
    if (auto id = axlink::OxaErrorStringId(code)) reached.insert(*id);
  }
  ASSERT_EQ(axlink::OxaErrorStringId(-1), 20071u);
  reached.insert(20071);
  EXPECT_FALSE(axlink::OxaErrorStringId(0).has_value());

  const std::set<uint32_t> reserved = {20042, 20043, 20047, 20048, 20050, 20051,
                                       20053, 20054, 20056, 20057, 20059, 20060,
                                       20062, 20063, 20065, 20066, 20067};
  for (uint32_t id = 20002; id <= 20071; ++id) {
    EXPECT_EQ(reached.count(id), reserved.count(id) ? 0u : 1u) << "string " << id;
    for (uint16_t lang : i18n::kLanguages) {
      EXPECT_TRUE(i18n::StringTable::Find(id, lang).has_value()) << id << " in " << lang;
    }
  }
}

}  // namespace
