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
  void RequestRedisplay() override { ++redisplays; }

  std::vector<std::string> boxes;
  int redisplays = 0;
  // Runs while the modal box is open, as the timer does in the application's nested event loop.
  std::function<void()> whileOpen;
};

// Counts what the document sends; no controller behind it.
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
    ++requests;
    return oxa::kOk;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    ++requests;
    return oxa::kOk;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*, uint32_t,
                              const void*) override {
    ++requests;
    return oxa::kOk;
  }

  std::vector<int32_t> timeouts;
  int requests = 0;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

struct Fixture {
  RecordingOxa oxa;
  RecordingUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc{oxa, ui, strings};
};

// Line 5 of the box: "OXA-Fehler: " and the decoded text.
std::string DecodedLine(const i18n::StringTable& strings, int32_t code) {
  return Lines(axlink::BuildOxaErrorText(strings, false, false, code, 0, 0)).at(5);
}

TEST(ReportOxaError, TimedOutRefreshReadStopsTheCommunication) {
  Fixture f;
  f.doc.bCommStopped = false;  // as after a successful axis selection
  // The box is modal but timers keep firing while it is open: by then the communication must
  // already be stopped, or the next refresh tick would send again and stack a second box.
  bool stoppedWhileOpen = false;
  std::vector<int32_t> timeoutsWhileOpen;
  f.ui.whileOpen = [&] {
    stoppedWhileOpen = f.doc.bCommStopped;
    timeoutsWhileOpen = f.oxa.timeouts;
  };
  f.doc.ReportOxaError(true, false, 0x745, 0x8000F001, 16);
  EXPECT_TRUE(stoppedWhileOpen);
  EXPECT_EQ(timeoutsWhileOpen, std::vector<int32_t>{1000});

  ASSERT_EQ(f.ui.boxes.size(), 1u);
  const std::string& box = f.ui.boxes[0];
  EXPECT_EQ(box,
            "Attention\n\n"
            "There has been an error reported from the OXA connection to the runtime system!\n\n"
            "OXA Read( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )\n"
            "OXA-Fehler: Timeout\n\n"
            "The OXA communication has been stopped!");
  const std::vector<std::string> expected = {
      "Attention",
      "",
      "There has been an error reported from the OXA connection to the runtime system!",
      "",
      "OXA Read( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )",
      "OXA-Fehler: Timeout",
      "",
      "The OXA communication has been stopped!",
  };
  EXPECT_EQ(Lines(box), expected);

  EXPECT_TRUE(f.doc.bCommStopped);
  EXPECT_EQ(f.oxa.timeouts, std::vector<int32_t>{1000});
  EXPECT_EQ(f.oxa.requests, 0);
  EXPECT_EQ(f.ui.redisplays, 0);
}

TEST(ReportOxaError, ReportWithoutStopKeepsTheCommunication) {
  Fixture f;
  f.doc.bCommStopped = false;
  f.doc.ReportOxaError(false, true, 0x4356, 0x80004201, 3);

  ASSERT_EQ(f.ui.boxes.size(), 1u);
  const std::string& box = f.ui.boxes[0];
  EXPECT_EQ(box.substr(box.size() - 2), "\n\n");
  EXPECT_EQ(box.find("stopped"), std::string::npos);
  EXPECT_EQ(Lines(box).at(5), "OXA-Fehler: Cannot start, control enable is missing");
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
      EXPECT_EQ(f.oxa.requests, 0);
    }
  }
}

TEST(ReportOxaError, DocumentStartsStopped) {
  Fixture f;
  EXPECT_TRUE(f.doc.bCommStopped);
  EXPECT_TRUE(f.oxa.timeouts.empty());
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(ReportOxaError, DecodedLine) {
  i18n::StringTable strings;
  const struct {
    int32_t code;
    std::string line;
  } cases[] = {
      {0x6, "OXA-Fehler: Target port not found"},
      {0x4346, "OXA-Fehler: Pointer fault: component missing or not connected"},
      {0x4A15, "OXA-Fehler: Table fault: to much entries"},
      {0x4B09, "OXA-Fehler: Axis is not ready"},
      // The three codes without text leave the line at its prefix.
      {0x4F00, "OXA-Fehler: "},
      {0x4F01, "OXA-Fehler: "},
      {0x4F02, "OXA-Fehler: "},
      {-1, "OXA-Fehler: This version of the Axtune doesn't support the library version yet"},
      // Codes outside the table, including neighbours of known ones.
      {0x4F03, "OXA-Fehler: Nicht dekodierter OXA Error Code"},
      {0x4B02, "OXA-Fehler: Nicht dekodierter OXA Error Code"},
      {0x1234, "OXA-Fehler: Nicht dekodierter OXA Error Code"},
      {-2, "OXA-Fehler: Nicht dekodierter OXA Error Code"},
      {INT32_MIN, "OXA-Fehler: Nicht dekodierter OXA Error Code"},
      // 0x80000006 is not 6: the whole 32-bit code is compared.
      {static_cast<int32_t>(0x80000006u), "OXA-Fehler: Nicht dekodierter OXA Error Code"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodedLine(strings, c.code), c.line) << "code " << c.code;
  }
}

TEST(ReportOxaError, RequestLine) {
  i18n::StringTable strings;
  const struct {
    bool write;
    int32_t code;
    uint32_t group;
    uint32_t offset;
    std::string line;
  } cases[] = {
      {false, 0x745, 0x8000F001, 16,
       "OXA Read( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )"},
      {true, 0x745, 0x8000F001, 16,
       "OXA Write( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )"},
      {true, 6, 0x800F0003, 0x6BC, "OXA Write( nIdxG=0x800F0003, nIdxO=0x000006BC, nErr=6(0x6) )"},
      // -1 is shown as the 32-bit pattern, never widened to 64 bits.
      {false, -1, 0x8000F000, 0,
       "OXA Read( nIdxG=0x8000F000, nIdxO=0x00000000, nErr=-1(0xFFFFFFFF) )"},
      {false, INT32_MIN, 0xFFFFFFFF, 0xFFFFFFFF,
       "OXA Read( nIdxG=0xFFFFFFFF, nIdxO=0xFFFFFFFF, nErr=-2147483648(0x80000000) )"},
      {false, INT32_MAX, 3, 0xABCDEF,
       "OXA Read( nIdxG=0x00000003, nIdxO=0x00ABCDEF, nErr=2147483647(0x7FFFFFFF) )"},
  };
  for (const auto& c : cases) {
    const auto lines =
        Lines(axlink::BuildOxaErrorText(strings, false, c.write, c.code, c.group, c.offset));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[4], c.line);
  }
}

TEST(ReportOxaError, FollowsTheLanguageButKeepsTheFixedLiterals) {
  Fixture f;
  ASSERT_TRUE(f.strings.SetLanguage(i18n::kGerman));
  f.doc.ReportOxaError(true, false, 0x745, 0x8000F001, 16);
  f.doc.ReportOxaError(false, true, 0x4A02, 0x8000F001, 16);
  ASSERT_EQ(f.ui.boxes.size(), 2u);

  const std::vector<std::string> expected = {
      "Achtung",
      "",
      "In der OXA-Kommunikation mit dem Laufzeitsystem ist ein Fehler aufgetreten!",
      "",
      "OXA Read( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )",
      "OXA-Fehler: Zeitüberschreitung",
      "",
      "Die OXA-Kommunikation wird eingestellt!",
  };
  EXPECT_EQ(Lines(f.ui.boxes[0]), expected);
  EXPECT_EQ(Lines(f.ui.boxes[1]).at(4).substr(0, 10), "OXA Write(");
  EXPECT_EQ(Lines(f.ui.boxes[1]).at(5),
            "OXA-Fehler: Tabellenfehler: unzulässige Anzahl von Einträgen");
  EXPECT_EQ(DecodedLine(f.strings, 0x1234), "OXA-Fehler: Nicht dekodierter OXA Error Code");

  ASSERT_TRUE(f.strings.SetLanguage(i18n::kChinese));
  const auto zh = Lines(axlink::BuildOxaErrorText(f.strings, true, false, 0x745, 0x8000F001, 16));
  ASSERT_EQ(zh.size(), 8u);
  EXPECT_EQ(zh[0], "注意");
  EXPECT_EQ(zh[4], expected[4]);
  EXPECT_EQ(zh[5], "OXA-Fehler: 超时");
  EXPECT_EQ(zh[7], "OXA 通信已停止！");
}

// Every string ID that a code decodes to exists with text in every language, and the IDs that
// the table keeps for future codes are not reached by any code.
TEST(ReportOxaError, DecodedIdsAndReservedIds) {
  std::set<uint32_t> reached;
  for (int32_t code = 1; code <= 0xFFFF; ++code) {
    if (auto id = axlink::OxaErrorStringId(code)) reached.insert(*id);
  }
  ASSERT_TRUE(axlink::OxaErrorStringId(-1).has_value());
  reached.insert(*axlink::OxaErrorStringId(-1));

  const std::set<uint32_t> reserved = {20042, 20043, 20047, 20048, 20050, 20051,
                                       20053, 20054, 20056, 20057, 20059, 20060,
                                       20062, 20063, 20065, 20066, 20067};
  for (uint32_t id = 20002; id <= 20071; ++id) {
    EXPECT_EQ(reached.count(id), reserved.count(id) ? 0u : 1u) << "string " << id;
  }
  for (uint32_t id : reached) {
    for (uint16_t lang : i18n::kLanguages) {
      EXPECT_TRUE(i18n::StringTable::Find(id, lang).has_value()) << id << " in " << lang;
    }
  }
  EXPECT_FALSE(axlink::OxaErrorStringId(0).has_value());
}

}  // namespace
