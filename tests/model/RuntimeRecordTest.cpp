#include <gtest/gtest.h>

#include "RuntimeFake.h"
#include "model/RuntimeRecord.h"

namespace {

using model::RuntimeRecord;
using rttest::Poke;

// StRtData offsets of one block layout, copied by hand from the controller's structure
// description; -1 where the layout carries no such field.
struct BlockOffsets {
  int16_t layout;
  size_t length;
  int actualPos, setpointPos, targetPosAux, targetPos, latchPos, latchPosOffset;
  int pressure, pressure2, pressure3, spare, actualVelo, veloRatio, override_, clamping;
  int lagController, lag, distance, enableBits, stateBits, errorCode, currentStep, unsaved;
  int posCams;
};

constexpr BlockOffsets kBlocks[] = {
    {0,    274, 0x0,  0xc8, 0x90, 0x90, 0x10a, 0x102, 0x9,  0x9,  0x9, -1, 0x32,
     0xb8, -1,  0x3a, 0x52, 0x42, 0x5a, 0x11,  0x26,  0x62, 0x66, -1,  0x8},
    {4,    419,   0x0,  0xc7, 0x8f, 0x139, 0x121, 0x119, 0x9,  0x9,  0x9, -1, 0x29,
     0xb7, 0x129, 0x31, 0x51, 0x39, 0x59,  0x11,  0x1d,  0x61, 0x65, -1,  0x8},
    {8,    580,   0x0,  0x4d, 0xeb, 0x195, 0x17d, 0x175, 0x1d, 0x25, 0x2d,  0x45, 0x9,
     0x5d, 0x185, 0x9b, 0xa3, 0x75, 0x7d,  0x89,  0x85,  0x95, 0x99, 0x1b7, 0x8},
    {9,    544,   0x0,  0x48, 0xe8, 0x180, 0x198, 0x190, 0x18, 0x20,  0x28,  0x40, 0x8,
     0x58, 0x170, 0x98, 0xa0, 0x70, 0x78,  0x84,  0x80,  0x94, 0x18e, 0x188, 0x1ba},
};

double D(const std::vector<uint8_t>& b, int off) {
  double v = 0;
  oxa::bytes::Get(std::span<const uint8_t>(b), static_cast<size_t>(off), v);
  return v;
}

RuntimeRecord Sentinel() {
  RuntimeRecord r;
  r.Overlap = 7.5;
  r.ReferenceVelo = 250;
  r.EncoderInfo1 = 11;
  r.EncoderInfo2 = 12;
  r.AxisState = 9;
  r.Buffered = 33;
  r.SpareValue = 44;
  r.Override = 0.25;
  r.Unsaved = true;
  return r;
}

TEST(RuntimeBlock, LayoutsDecodeFromTheirOffsets) {
  for (const BlockOffsets& o : kBlocks) {
    SCOPED_TRACE(o.layout);
    std::vector<uint8_t> block(o.length, 0);
    // Distinct values, written in field order; shared offsets end with the last value written.
    double next = 1.5;
    for (int off : {o.actualPos, o.setpointPos, o.targetPosAux, o.targetPos, o.latchPos,
                    o.latchPosOffset, o.pressure, o.pressure2, o.pressure3, o.spare, o.actualVelo,
                    o.veloRatio, o.override_, o.clamping, o.lagController, o.lag, o.distance}) {
      if (off >= 0) Poke(block, static_cast<size_t>(off), next);
      next += 1.0;
    }
    Poke(block, static_cast<size_t>(o.enableBits), uint32_t{0x80000025});
    Poke(block, static_cast<size_t>(o.stateBits), uint32_t{0x20000611});
    Poke(block, static_cast<size_t>(o.errorCode), int32_t{-4711});
    Poke(block, static_cast<size_t>(o.currentStep), int16_t{-300});
    if (o.unsaved >= 0) Poke(block, static_cast<size_t>(o.unsaved), uint8_t{1});
    Poke(block, static_cast<size_t>(o.posCams), uint8_t{0x0A});

    rttest::FakeServer server;
    server.blocks[1] = block;
    auto link = rttest::Link(server);
    link.versions[1] = o.layout;
    link.lib = {2, 0, 0};
    RuntimeRecord r = Sentinel();
    ASSERT_EQ(model::ReadRuntimeRecord(link, r, false), 0);

    EXPECT_EQ(r.ActualPos, D(block, o.actualPos));
    EXPECT_EQ(r.SetpointPos, D(block, o.setpointPos));
    EXPECT_EQ(r.TargetPosAux, D(block, o.targetPosAux));
    EXPECT_EQ(r.TargetPos, D(block, o.targetPos));
    EXPECT_EQ(r.LatchPos, D(block, o.latchPos));
    EXPECT_EQ(r.LatchPosOffset, D(block, o.latchPosOffset));
    EXPECT_EQ(r.ActualPressure, D(block, o.pressure));
    EXPECT_EQ(r.ActualPressure2, D(block, o.pressure2));
    EXPECT_EQ(r.ActualPressure3, D(block, o.pressure3));
    EXPECT_EQ(r.SpareValue, o.spare < 0 ? 0.0 : D(block, o.spare));
    EXPECT_EQ(r.ActualVelo, D(block, o.actualVelo));
    EXPECT_EQ(r.SetpointVeloRatio, D(block, o.veloRatio));
    EXPECT_EQ(r.Override, o.override_ < 0 ? 1.0 : D(block, o.override_));
    EXPECT_EQ(r.Clamping, D(block, o.clamping));
    EXPECT_EQ(r.LagController, D(block, o.lagController));
    EXPECT_EQ(r.Lag, D(block, o.lag));
    EXPECT_EQ(r.Distance, D(block, o.distance));
    EXPECT_EQ(r.EnableBits, 0x80000025u);
    EXPECT_EQ(r.StateBits, 0x20000611u);
    EXPECT_EQ(r.ErrorCode, -4711);
    EXPECT_EQ(r.CurrentStep, -300);
    EXPECT_EQ(r.Unsaved, o.unsaved >= 0);
    EXPECT_EQ(r.PosCams, 0x0A);
    // No block carries these.
    EXPECT_EQ(r.Overlap, 7.5);
    EXPECT_EQ(r.ReferenceVelo, 250);
    EXPECT_EQ(r.EncoderInfo1, 11);
    EXPECT_EQ(r.EncoderInfo2, 12);
    EXPECT_EQ(r.AxisState, 9);
    EXPECT_EQ(r.Buffered, 33);
    ASSERT_EQ(server.calls.size(), 1u);
    EXPECT_EQ(server.calls[0].group, rttest::kRecordGroup);
    EXPECT_EQ(server.calls[0].length, o.length);
  }
}

TEST(RuntimeBlock, FailedOrShortReadLeavesRecord) {
  rttest::FakeServer server;
  server.readError = oxa::kErrTimeout;
  auto link = rttest::Link(server);
  link.versions[1] = 5;
  RuntimeRecord r = Sentinel();
  r.ActualPos = 3.0;
  EXPECT_EQ(model::ReadRuntimeRecord(link, r, false), oxa::kErrTimeout);
  EXPECT_EQ(r.ActualPos, 3.0);
  EXPECT_EQ(r.Override, 0.25);

  // A decoder handed fewer bytes than the layout needs refuses and touches nothing.
  std::vector<uint8_t> shortBlock(535, 0xFF);
  EXPECT_FALSE(model::DecodeRuntimeBlock(5, shortBlock, r));
  EXPECT_EQ(r.ActualPos, 3.0);
}

// --- batch method ---------------------------------------------------------------------------

std::vector<int16_t> Numbers(const std::vector<uint8_t>& request, size_t first, size_t count) {
  std::vector<int16_t> v;
  for (size_t i = 0; i < count; ++i) {
    int16_t n = 0;
    oxa::bytes::Get(std::span<const uint8_t>(request), 2 * (first + i), n);
    v.push_back(n);
  }
  return v;
}

TEST(RuntimeBatch, RequestSlotsFollowLibraryVersion) {
  const std::vector<int16_t> doubles = {10,    1,     8,     10000, 10004, 10017, 10016,
                                        10018, 10003, 10015, 10002, 10010, 10011, 10014,
                                        10019, 0,     0,     0,     0,     0};
  struct Case {
    model::LibVersion lib;
    std::vector<int16_t> ints;
  };
  const std::vector<int16_t> eight = {11000, 11001, 11002, 11003, 11004, 11005, 11007, 11008, 0, 0,
                                      0,     0,     0,     0,     0,     0,     0,     0,     0, 0};
  std::vector<int16_t> nine = eight;
  nine[8] = 11011;
  for (const Case& c : {Case{{3, 0, 33}, eight}, Case{{3, 0, 34}, nine}, Case{{3, 1, 0}, nine},
                        Case{{2, 9, 99}, eight}}) {
    SCOPED_TRACE(c.lib.build);
    rttest::FakeServer server;
    server.ints[11011] = 5;
    auto link = rttest::Link(server);
    link.lib = c.lib;
    link.versions[1] = 12;
    RuntimeRecord r = Sentinel();
    ASSERT_EQ(model::ReadRuntimeRecord(link, r, false), 0);
    ASSERT_EQ(server.calls.size(), 1u);
    const rttest::Call& call = server.calls[0];
    EXPECT_EQ(call.op, 'x');
    EXPECT_EQ(call.group, rttest::kRecordGroup);
    EXPECT_EQ(call.offset, 24u);
    EXPECT_EQ(call.length, 240u);
    ASSERT_EQ(call.data.size(), 80u);
    EXPECT_EQ(Numbers(call.data, 0, 20), doubles);
    EXPECT_EQ(Numbers(call.data, 20, 20), c.ints);
    EXPECT_EQ(r.Buffered, c.ints[8] == 11011 ? 5 : 33);
  }
}

TEST(RuntimeBatch, EveryNonBlockLayoutUsesTheBatch) {
  for (int16_t layout : {int16_t{10}, int16_t{11}, int16_t{12}, int16_t{-1}, int16_t{-32768}}) {
    rttest::FakeServer server;
    server.doubles[10000] = 42.0;
    auto link = rttest::Link(server);
    link.lib = {2, 5, 0};  // older than V3.0.20: the layout alone decides
    link.versions[1] = layout;
    RuntimeRecord r;
    ASSERT_EQ(model::ReadRuntimeRecord(link, r, false), 0);
    EXPECT_EQ(server.Count('x'), 1u);
    EXPECT_EQ(server.Count('r'), 0u);
    EXPECT_EQ(r.ActualPos, 42.0);
  }
}

TEST(RuntimeBatch, AnswersLandInTheirFields) {
  rttest::FakeServer server;
  const std::pair<int16_t, double> doubles[] = {
      {10, 1.0},     {1, 2.0},      {10000, 4.0},  {10004, 5.0},  {10017, 6.0},
      {10016, 7.0},  {10018, 8.0},  {10003, 9.0},  {10015, 10.0}, {10002, 11.0},
      {10010, 12.0}, {10014, 14.0}, {10019, 15.0},
  };
  for (auto [no, v] : doubles) server.doubles[no] = v;
  server.ints = {{11000, 0x20000011}, {11001, 7}, {11002, -3},    {11003, 0x12345},
                 {11004, 0x1FFFF},    {11005, 2}, {11007, 0x1F3}, {11011, -9}};
  auto link = rttest::Link(server);
  link.versions[1] = 10;
  RuntimeRecord r = Sentinel();
  r.ActualPressure2 = 99;
  ASSERT_EQ(model::ReadRuntimeRecord(link, r, false), 0);
  EXPECT_EQ(r.ActualVelo, 1.0);
  EXPECT_EQ(r.TargetPosAux, 2.0);
  EXPECT_EQ(r.ActualPos, 4.0);
  EXPECT_EQ(r.ActualPressure, 5.0);
  EXPECT_EQ(r.Clamping, 6.0);
  EXPECT_EQ(r.LagController, 7.0);
  EXPECT_EQ(r.Overlap, 8.0);
  EXPECT_EQ(r.Distance, 9.0);
  EXPECT_EQ(r.LatchPos, 10.0);
  EXPECT_EQ(r.Lag, 11.0);
  EXPECT_EQ(r.SetpointPos, 12.0);
  EXPECT_EQ(r.Override, 14.0);
  EXPECT_EQ(r.TargetPos, 15.0);
  EXPECT_EQ(r.StateBits, 0x20000011u);
  EXPECT_EQ(r.EnableBits, 7u);
  EXPECT_EQ(r.ErrorCode, -3);
  EXPECT_EQ(r.AxisState, 0x2345);
  EXPECT_EQ(r.CurrentStep, -1);  // low 16 bits of 0x1FFFF
  EXPECT_TRUE(r.Unsaved);        // any value but 0
  EXPECT_EQ(r.PosCams, 0xF3);
  EXPECT_EQ(r.Buffered, -9);
  EXPECT_EQ(r.ActualPressure2, 99);  // not asked by batch
}

TEST(RuntimeBatch, SetpointVelocityScalesByReferenceVelo) {
  struct Case {
    double reference;
    double setpoint;
    double ratio;
  };
  for (const Case& c : {Case{50.0, 25.0, 0.5}, Case{0.0, 0.002, 2.0}, Case{0.001, 0.002, 2.0},
                        Case{-10.0, 0.001, 1.0}, Case{0.002, 0.001, 0.5}}) {
    SCOPED_TRACE(c.reference);
    rttest::FakeServer server;
    server.doubles[8] = c.reference;
    server.doubles[10011] = c.setpoint;
    auto link = rttest::Link(server);
    link.versions[1] = 10;
    RuntimeRecord r = Sentinel();
    ASSERT_EQ(model::ReadRuntimeRecord(link, r, false), 0);
    EXPECT_DOUBLE_EQ(r.SetpointVeloRatio, c.ratio);
    EXPECT_EQ(r.ReferenceVelo, c.reference);
  }
}

TEST(RuntimeBatch, ChangedParametersNoticeIsAcknowledgedOnce) {
  struct Case {
    bool commStopped;
    int32_t writeError;
    size_t writes;
    size_t reports;
  };
  for (const Case& c :
       {Case{false, 0, 1, 0}, Case{true, 0, 0, 0}, Case{false, oxa::kErrTimeout, 1, 1}}) {
    SCOPED_TRACE(c.writeError);
    rttest::FakeServer server;
    rttest::Reports reports;
    server.ints[11008] = 1;
    server.doubles[10000] = 6.0;
    server.writeError = c.writeError;
    auto link = rttest::Link(server, &reports);
    link.versions[1] = 10;
    RuntimeRecord r;
    model::RuntimeReadNotice notice;
    EXPECT_EQ(model::ReadRuntimeRecord(link, r, c.commStopped, &notice), 0);
    EXPECT_TRUE(notice.paramsChanged);
    EXPECT_EQ(r.ActualPos, 6.0);
    ASSERT_EQ(server.Count('w'), c.writes);
    if (c.writes == 1) {
      const rttest::Call& w = server.calls.back();
      EXPECT_EQ(w.group, rttest::kNumberGroup);
      EXPECT_EQ(w.offset, 11008u);
      EXPECT_EQ(w.data, std::vector<uint8_t>{0});
    }
    ASSERT_EQ(reports.reports.size(), c.reports);
    if (c.reports == 1) {
      const auto& rep = reports.reports[0];
      EXPECT_FALSE(rep.stop);
      EXPECT_TRUE(rep.write);
      EXPECT_EQ(rep.code, oxa::kErrTimeout);
      EXPECT_EQ(rep.group, rttest::kNumberGroup);
      EXPECT_EQ(rep.offset, 11008u);
    }
  }

  // Without the notice nothing is written and the flag stays clear.
  rttest::FakeServer quiet;
  auto link = rttest::Link(quiet);
  link.versions[1] = 10;
  RuntimeRecord r;
  model::RuntimeReadNotice notice{true};
  EXPECT_EQ(model::ReadRuntimeRecord(link, r, false, &notice), 0);
  EXPECT_FALSE(notice.paramsChanged);
  EXPECT_EQ(quiet.Count('w'), 0u);
}

TEST(RuntimeBatch, FailedBatchLeavesRecord) {
  rttest::FakeServer server;
  server.batchError = oxa::kErrNotReady;
  server.ints[11008] = 1;
  auto link = rttest::Link(server);
  link.versions[1] = 10;
  RuntimeRecord r = Sentinel();
  model::RuntimeReadNotice notice;
  EXPECT_EQ(model::ReadRuntimeRecord(link, r, false, &notice), oxa::kErrNotReady);
  EXPECT_EQ(r.Override, 0.25);
  EXPECT_EQ(r.ReferenceVelo, 250);
  EXPECT_FALSE(notice.paramsChanged);
  EXPECT_EQ(server.Count('w'), 0u);
}

TEST(RuntimeRecord, ResetClearsAndStepIsMinusOne) {
  RuntimeRecord r = Sentinel();
  r.ActualPos = 5;
  r.CurrentStep = 4;
  r.PosCams = 3;
  r.SetpointVeloRatio = 0.5;
  r.StateBits = 1;
  r.ErrorCode = 2;
  model::ResetRuntimeRecord(r);
  EXPECT_EQ(r.CurrentStep, -1);
  EXPECT_EQ(r.ActualPos, 0);
  EXPECT_EQ(r.Overlap, 0);
  EXPECT_EQ(r.ReferenceVelo, 0);
  EXPECT_FALSE(r.Unsaved);
  EXPECT_EQ(r.PosCams, 0);
  EXPECT_EQ(r.Buffered, 0);
  EXPECT_EQ(r.SetpointVeloRatio, 0);
  EXPECT_EQ(r.StateBits, 0u);
  EXPECT_EQ(r.ErrorCode, 0);
  EXPECT_EQ(r.AxisState, 0);
}

}  // namespace
