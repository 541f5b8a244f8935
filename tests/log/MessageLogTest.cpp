// The poll of the controller log against a scripted controller.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/FakeOxa.h"
#include "log/MessageLog.h"
#include "oxa/Bytes.h"

namespace {

constexpr uint16_t kAxis = 3;
constexpr uint32_t kGroup = 0x8000F200 + kAxis;
constexpr uint64_t kStamp2024 = 133536836967890000ull;  // 2024-02-29 12:34:56.789 UTC
constexpr uint64_t kSecond = 10'000'000;

struct Request {
  bool write;
  uint32_t group;
  uint32_t offset;
  uint32_t length;
};

// A controller that answers log reads from per-offset byte images, built by hand in layout 1
// (class @0, format @4, type @260, int @262, real @266, text @274) or layout 4 (real @0,
// stamp @8, class @16, class2 @20, format @24, type @280, int @284, text @288).
class ScriptedOxa : public fakeoxa::ScriptBase {
 public:
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset, uint32_t length,
                         void* data) override {
    requests.push_back({false, group, offset, length});
    if (auto e = errors.find(offset); e != errors.end()) return e->second;
    auto it = entries.find(offset);
    if (it == entries.end()) return oxa::kErrInvalidIndexOffset;
    if (it->second.size() != length) return oxa::kErrInvalidSize;
    std::memcpy(data, it->second.data(), length);
    return 0;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset, uint32_t length,
                          const void*) override {
    requests.push_back({true, group, offset, length});
    return writeResult;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*, uint32_t,
                              const void*) override {
    return oxa::kErrServiceNotSupported;
  }

  // Entry i says "Entry <i>" with i as integer argument.
  void Fill(int layout, uint64_t newestStamp) {
    for (uint32_t i = 1; i <= 20; ++i) {
      std::vector<uint8_t> b(layout == 1 ? 530 : 544, 0);
      const char* fmt = "Entry %d";
      if (layout == 1) {
        std::memcpy(b.data() + 4, fmt, std::strlen(fmt));
        oxa::bytes::Put<int16_t>(b, 260, 1);
        oxa::bytes::Put<int32_t>(b, 262, static_cast<int32_t>(i));
      } else {
        oxa::bytes::Put<uint64_t>(b, 8, newestStamp - (i - 1) * kSecond);
        std::memcpy(b.data() + 24, fmt, std::strlen(fmt));
        oxa::bytes::Put<int16_t>(b, 280, 1);
        oxa::bytes::Put<int32_t>(b, 284, static_cast<int32_t>(i));
      }
      entries[i] = b;
    }
  }
  size_t Reads() const {
    size_t n = 0;
    for (const auto& r : requests) n += r.write ? 0 : 1;
    return n;
  }

  std::map<uint32_t, std::vector<uint8_t>> entries;
  std::map<uint32_t, int32_t> errors;
  int32_t writeResult = 0;
  std::vector<Request> requests;
};

using fakeoxa::RecordingReport;
using fakeoxa::Report;

class MessageLogTest : public ::testing::Test {
 protected:
  model::AxisLink Link(int16_t layout) {
    model::AxisLink link;
    link.oxa = &oxa;
    link.axis = kAxis;
    link.versions.fill(-1);
    link.versions[3] = layout;
    link.report = &report;
    return link;
  }
  // Polls until a pass ends; returns the number of polls, or -1 past `limit`.
  int RunPass(const model::AxisLink& link, int limit = 10) {
    for (int n = 1; n <= limit; ++n) {
      bool redraw = false;
      EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
      if (redraw) return n;
    }
    return -1;
  }

  ScriptedOxa oxa;
  RecordingReport report;
  msglog::MessageLog log{[](int64_t) { return int64_t{3600}; }};  // UTC+1
};

TEST_F(MessageLogTest, ChangedNewestStampStartsOnePassOfTwentyEntriesFivePerPoll) {
  oxa.Fill(4, kStamp2024);
  const auto link = Link(4);
  bool redraw = false;
  // News check: one read of the newest entry; its stamp differs from the stored 0.
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
  ASSERT_EQ(oxa.requests.size(), 1u);
  EXPECT_EQ(oxa.requests[0].group, kGroup);
  EXPECT_EQ(oxa.requests[0].offset, 1u);
  EXPECT_EQ(oxa.requests[0].length, 544u);
  EXPECT_EQ(log.ReadPosition(), 20);
  EXPECT_FALSE(redraw);
  // Four polls of five reads, oldest first; only the last one asks for a redraw.
  for (int poll = 0; poll < 4; ++poll) {
    redraw = false;
    EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
    EXPECT_EQ(redraw, poll == 3);
    EXPECT_EQ(oxa.requests.size(), 1u + 5u * static_cast<size_t>(poll + 1));
  }
  for (size_t i = 1; i <= 20; ++i) EXPECT_EQ(oxa.requests[i].offset, 21 - i);
  EXPECT_EQ(log.ReadPosition(), 0);
  EXPECT_EQ(log.NewestTimeStamp(), kStamp2024);
  EXPECT_EQ(log.Line(1), "29.02.2024 13:34:56:789 Entry 1");
  EXPECT_EQ(log.Line(20), "29.02.2024 13:34:37:789 Entry 20");
  // Nothing new: the next checks read the newest entry only.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
  EXPECT_EQ(oxa.requests.size(), 24u);
  EXPECT_EQ(log.ReadPosition(), 0);
  // A new message at the controller starts the next pass.
  oxa.Fill(4, kStamp2024 + kSecond);
  EXPECT_EQ(RunPass(link), 5);
  EXPECT_EQ(log.Line(1), "29.02.2024 13:34:57:789 Entry 1");
}

TEST_F(MessageLogTest, LayoutOneRereadsEveryPassWithoutNewsRequests) {
  oxa.Fill(1, 0);
  const auto link = Link(1);
  for (int pass = 0; pass < 3; ++pass) {
    EXPECT_EQ(RunPass(link), 5);  // the news check and four polls
    EXPECT_EQ(oxa.Reads(), 20u * static_cast<size_t>(pass + 1));
  }
  for (const auto& r : oxa.requests) EXPECT_EQ(r.length, 530u);
  EXPECT_EQ(log.Line(7), "Entry 7");  // no time prefix without a stamp
  EXPECT_EQ(log.NewestTimeStamp(), 0u);
}

TEST_F(MessageLogTest, LayoutZeroClearsTheLinesPassAfterPassWithoutRequests) {
  oxa.Fill(4, kStamp2024);
  ASSERT_EQ(RunPass(Link(4)), 5);
  ASSERT_FALSE(log.Line(5).empty());
  oxa.requests.clear();
  for (int pass = 0; pass < 2; ++pass) EXPECT_EQ(RunPass(Link(0)), 5);
  EXPECT_TRUE(oxa.requests.empty());
  for (int i = 1; i <= 20; ++i) EXPECT_TRUE(log.Line(i).empty()) << i;
}

TEST_F(MessageLogTest, UnknownLayoutsNeitherReadNorStartAPass) {
  oxa.Fill(4, kStamp2024);
  for (int16_t layout : {int16_t{-1}, int16_t{5}, int16_t{100}}) {
    bool redraw = false;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(log.ReadMessageLog(Link(layout), &redraw), 0);
    EXPECT_FALSE(redraw);
    EXPECT_EQ(log.ReadPosition(), 0);
  }
  EXPECT_TRUE(oxa.requests.empty());
}

TEST_F(MessageLogTest, FailedReadsLeaveTheirLineEmptyAndOnlyTheLastReadDecides) {
  oxa.Fill(4, kStamp2024);
  const auto link = Link(4);
  bool redraw = false;
  // A failed news check returns its error and starts nothing.
  oxa.errors[1] = oxa::kErrNotReady;
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), oxa::kErrNotReady);
  EXPECT_EQ(log.ReadPosition(), 0);
  oxa.errors.clear();
  ASSERT_EQ(log.ReadMessageLog(link, &redraw), 0);
  // Entries 20 and 17 fail: the poll reads on, and its result is that of entry 16 (success).
  oxa.errors[20] = oxa::kErrTimeout;
  oxa.errors[17] = oxa::kErrInvalidSize;
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
  // Entry 11, the last of the next poll, fails: that is the result.
  oxa.errors[11] = oxa::kErrTimeout;
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), oxa::kErrTimeout);
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
  EXPECT_TRUE(redraw);
  for (int i : {20, 17, 11}) EXPECT_TRUE(log.Line(i).empty()) << i;
  for (int i : {19, 16, 12, 10, 1}) EXPECT_FALSE(log.Line(i).empty()) << i;
  // The stamp of the newest entry was stored, so nothing new is seen.
  EXPECT_EQ(log.ReadMessageLog(link, &redraw), 0);
  EXPECT_EQ(log.ReadPosition(), 0);
}

TEST_F(MessageLogTest, RefreshReportsFailuresWithStopExceptNotReady) {
  oxa.Fill(4, kStamp2024);
  const auto link = Link(4);
  bool redraw = false;
  oxa.errors[1] = oxa::kErrNotReady;
  EXPECT_EQ(log.RefreshMessageLog(link, &redraw), oxa::kErrNotReady);
  EXPECT_TRUE(report.reports.empty());
  oxa.errors[1] = oxa::kErrTimeout;
  EXPECT_EQ(log.RefreshMessageLog(link, &redraw), oxa::kErrTimeout);
  ASSERT_EQ(report.reports.size(), 1u);
  const Report& r = report.reports[0];
  EXPECT_TRUE(r.stop);
  EXPECT_FALSE(r.write);
  EXPECT_EQ(r.code, oxa::kErrTimeout);
  EXPECT_EQ(r.group, kGroup);
  EXPECT_EQ(r.offset, 0u);
}

TEST_F(MessageLogTest, ResetClearsTheLinesButAPassGoesOn) {
  oxa.Fill(4, kStamp2024);
  const auto link = Link(4);
  bool redraw = false;
  log.ReadMessageLog(link, &redraw);
  log.ReadMessageLog(link, &redraw);  // entries 20 to 16
  log.ClearLines();
  EXPECT_TRUE(log.Line(18).empty());
  EXPECT_EQ(log.ReadPosition(), 15);
  EXPECT_EQ(RunPass(link), 3);
  EXPECT_TRUE(log.Line(18).empty());
  EXPECT_EQ(log.Line(15).substr(24), "Entry 15");
  EXPECT_TRUE(log.Line(0).empty());
  EXPECT_TRUE(log.Line(21).empty());
}

TEST_F(MessageLogTest, ClearCommandWritesNothingToOffsetOneAndReportsFailureWithoutStop) {
  const auto link = Link(4);
  EXPECT_EQ(msglog::ClearControllerLog(link), 0);
  ASSERT_EQ(oxa.requests.size(), 1u);
  EXPECT_TRUE(oxa.requests[0].write);
  EXPECT_EQ(oxa.requests[0].group, kGroup);
  EXPECT_EQ(oxa.requests[0].offset, 1u);
  EXPECT_EQ(oxa.requests[0].length, 0u);
  EXPECT_TRUE(report.reports.empty());
  oxa.writeResult = oxa::kErrAccessDenied;
  EXPECT_EQ(msglog::ClearControllerLog(link), oxa::kErrAccessDenied);
  ASSERT_EQ(report.reports.size(), 1u);
  EXPECT_FALSE(report.reports[0].stop);
  EXPECT_TRUE(report.reports[0].write);
  EXPECT_EQ(report.reports[0].offset, 1u);
}

}  // namespace
