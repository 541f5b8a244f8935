#include <gtest/gtest.h>

#include "RuntimeFake.h"
#include "model/LinRecord.h"

namespace {

using model::LinRecord;
using rttest::Poke;

LinRecord WithOldTable() {
  LinRecord r;
  for (size_t i = 0; i < model::kLinTabPoints; ++i) {
    r.LinTabValue[i] = 0.01 * static_cast<double>(i);
    r.LinTabOutput[i] = -0.02 * static_cast<double>(i);
  }
  r.LinCurveType = 3;
  r.LinNegativeLimit = -9.5;
  r.LinPositiveLimit = 9.5;
  r.LinDecelFactor = 0.4;
  r.LinSettling = 1.25;
  return r;
}

int32_t ReadLayout(int16_t layout, const std::vector<uint8_t>& block, LinRecord& rec) {
  rttest::FakeServer server;
  server.blocks[4] = block;
  auto link = rttest::Link(server);
  link.versions[4] = layout;
  return model::ReadLinTab(link, rec);
}

TEST(LinRecord, NewestLayoutFillsEveryField) {
  std::vector<uint8_t> b(1707, 0);
  b[0x000] = 1;
  b[0x002] = 1;
  Poke(b, 0x004, -12.5);
  Poke(b, 0x00C, 812.5);
  Poke(b, 0x01C, -10.0);
  Poke(b, 0x024, 10.0);
  Poke(b, 0x02E, 0.75);
  b[0x036] = 1;
  Poke(b, 0x037, int16_t{2});
  for (size_t i = 0; i < 100; ++i) {
    Poke(b, 0x039 + 16 * i, 1.0 + static_cast<double>(i));
    Poke(b, 0x039 + 16 * i + 8, -1.0 - static_cast<double>(i));
  }
  Poke(b, 0x679, int16_t{21});
  Poke(b, 0x67B, 5.0);
  Poke(b, 0x683, 795.0);
  Poke(b, 0x68B, 0.2);
  Poke(b, 0x693, 0.3);
  Poke(b, 0x69B, 0.4);
  Poke(b, 0x6A3, 0.05);
  LinRecord r = WithOldTable();
  ASSERT_EQ(ReadLayout(5, b, r), 0);
  EXPECT_TRUE(r.LinEnableEoT);
  EXPECT_FALSE(r.LinEnableOverlap);
  EXPECT_TRUE(r.LinEnableZAdjust);
  EXPECT_FALSE(r.LinEnableRatio);
  EXPECT_EQ(r.LinEoTNegative, -12.5);
  EXPECT_EQ(r.LinEoTPositive, 812.5);
  EXPECT_EQ(r.LinNegativeLimit, -10.0);
  EXPECT_EQ(r.LinPositiveLimit, 10.0);
  EXPECT_EQ(r.LinDecelFactor, 0.75);
  EXPECT_TRUE(r.LinEnableTable);
  EXPECT_EQ(r.LinCurveType, 2);
  EXPECT_EQ(r.LinTabValue[0], 1.0);
  EXPECT_EQ(r.LinTabOutput[0], -1.0);
  EXPECT_EQ(r.LinTabValue[99], 100.0);
  EXPECT_EQ(r.LinTabOutput[99], -100.0);
  EXPECT_EQ(r.LinSamples, 21);
  EXPECT_EQ(r.LinLowEnd, 5.0);
  EXPECT_EQ(r.LinHighEnd, 795.0);
  EXPECT_EQ(r.LinRamp, 0.2);
  EXPECT_EQ(r.LinSettling, 0.3);
  EXPECT_EQ(r.LinRecovery, 0.4);
  EXPECT_EQ(r.LinMinCycle, 0.05);
}

TEST(LinRecord, OlderLayoutsKeepTheTableAndConvert) {
  struct Case {
    int16_t layout;
    size_t length;
    int limits;  // -1: set to 0
    size_t reserved, enableTable, samples, lowEnd;
  };
  for (const Case& c :
       {Case{1, 1649, -1, 0x14, 0x16, 0x657, 0x659}, Case{2, 1665, -1, 0x24, 0x26, 0x667, 0x669},
        Case{3, 1673, -1, 0x24, 0x2E, 0x66F, 0x671},
        Case{4, 1705, 0x1C, 0x2C, 0x36, 0x677, 0x679}}) {
    SCOPED_TRACE(c.layout);
    std::vector<uint8_t> b(c.length, 0);
    b[0x001] = 1;
    Poke(b, 0x004, -3.0);
    Poke(b, 0x00C, 300.0);
    if (c.limits >= 0) {
      Poke(b, static_cast<size_t>(c.limits), -8.0);
      Poke(b, static_cast<size_t>(c.limits) + 8, 8.0);
    }
    b[c.reserved] = 0xAB;
    b[c.reserved + 1] = 0xCD;
    b[c.enableTable] = 1;
    Poke(b, c.samples, int16_t{17});
    Poke(b, c.lowEnd, 1.5);
    Poke(b, c.lowEnd + 8, 2.5);
    Poke(b, c.lowEnd + 16, 3.5);
    LinRecord r = WithOldTable();
    const LinRecord before = r;
    ASSERT_EQ(ReadLayout(c.layout, b, r), 0);
    EXPECT_TRUE(r.LinEnableOverlap);
    EXPECT_EQ(r.LinEoTNegative, -3.0);
    EXPECT_EQ(r.LinEoTPositive, 300.0);
    EXPECT_EQ(r.LinNegativeLimit, c.limits < 0 ? 0.0 : -8.0);
    EXPECT_EQ(r.LinPositiveLimit, c.limits < 0 ? 0.0 : 8.0);
    EXPECT_EQ(r.LinReserved2C[0], 0xAB);
    EXPECT_EQ(r.LinReserved2C[1], 0xCD);
    EXPECT_TRUE(r.LinEnableTable);
    EXPECT_EQ(r.LinCurveType, 0);
    EXPECT_EQ(r.LinSamples, 17);
    EXPECT_EQ(r.LinLowEnd, 1.5);
    EXPECT_EQ(r.LinHighEnd, 2.5);
    EXPECT_EQ(r.LinRamp, 3.5);
    EXPECT_EQ(r.LinTabValue, before.LinTabValue);
    EXPECT_EQ(r.LinTabOutput, before.LinTabOutput);
    EXPECT_EQ(r.LinDecelFactor, 0.4);
    EXPECT_EQ(r.LinSettling, 1.25);
  }
}

TEST(LinRecord, UnknownLayoutOrFailureLeavesRecord) {
  for (int16_t layout : {int16_t{0}, int16_t{6}, int16_t{-1}}) {
    rttest::FakeServer server;
    auto link = rttest::Link(server);
    link.versions[4] = layout;
    LinRecord r = WithOldTable();
    EXPECT_EQ(model::ReadLinTab(link, r), -1);
    EXPECT_TRUE(server.calls.empty());
    EXPECT_EQ(r.LinCurveType, 3);
  }
  rttest::FakeServer server;
  server.readError = oxa::kErrTimeout;
  auto link = rttest::Link(server);
  link.versions[4] = 5;
  LinRecord r = WithOldTable();
  EXPECT_EQ(model::ReadLinTab(link, r), oxa::kErrTimeout);
  EXPECT_EQ(r.LinCurveType, 3);
}

TEST(LinRecord, ResetKeepsOnlyTheTablePoints) {
  LinRecord r = WithOldTable();
  r.LinSamples = 21;
  r.LinEnableTable = true;
  r.LinReserved14[2] = 9;
  const LinRecord before = r;
  model::ResetLinRecord(r);
  EXPECT_EQ(r.LinSamples, 0);
  EXPECT_FALSE(r.LinEnableTable);
  EXPECT_EQ(r.LinCurveType, 0);
  EXPECT_EQ(r.LinNegativeLimit, 0.0);
  EXPECT_EQ(r.LinSettling, 0.0);
  EXPECT_EQ(r.LinReserved14[2], 0);
  EXPECT_EQ(r.LinTabValue, before.LinTabValue);
  EXPECT_EQ(r.LinTabOutput, before.LinTabOutput);
}

}  // namespace
