// Reading the parameter record by batch, by single numbers and by block, against a scripted
// controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ParamFake.h"
#include "model/ParamRead.h"
#include "model/ParamRecord.h"

namespace {

using model::ParamRecord;
using model::RuntimeRecord;
using paramtest::kNumberGroup;
using paramtest::MakeLink;
using paramtest::RecordingReport;
using paramtest::ScriptedOxa;

std::vector<int16_t> Used(const std::array<int16_t, 20>& slots) {
  std::vector<int16_t> v;
  for (int16_t s : slots) {
    if (s != 0) v.push_back(s);
  }
  return v;
}

TEST(ParamRead, MethodFollowsLibraryVersion) {
  using M = model::ParamReadMethod;
  EXPECT_EQ(model::ChooseParamReadMethod({3, 0, 22}), M::Batch);
  EXPECT_EQ(model::ChooseParamReadMethod({3, 1, 0}), M::Batch);
  EXPECT_EQ(model::ChooseParamReadMethod({3, 0, 21}), M::Single);
  EXPECT_EQ(model::ChooseParamReadMethod({3, 0, 20}), M::Single);
  EXPECT_EQ(model::ChooseParamReadMethod({3, 0, 19}), M::Block);
  EXPECT_EQ(model::ChooseParamReadMethod({2, 99, 99}), M::Block);
}

TEST(ParamRead, BatchSlotsFollowVersionConditions) {
  std::array<model::ParamBatchGroup, 6> g{};
  // Page 5 on V3.0.31: nine doubles, 1120 as sixth integer slot, no encoder info.
  ASSERT_EQ(model::ParamBatchGroups(5, {3, 0, 31}, g), 1u);
  EXPECT_EQ(Used(g[0].request.doubleNos),
            (std::vector<int16_t>{1102, 1103, 1104, 1105, 1107, 1109, 1111, 1112, 1117}));
  EXPECT_EQ(Used(g[0].request.intNos), (std::vector<int16_t>{1106, 1108, 1110, 1118, 1119, 1120}));
  EXPECT_TRUE(std::all_of(g[0].request.doubleNos.begin() + 9, g[0].request.doubleNos.end(),
                          [](int16_t s) { return s == 0; }));
  // From V3.0.32 the encoder info numbers follow in slots 9 and 10.
  model::ParamBatchGroups(5, {3, 0, 32}, g);
  EXPECT_EQ(g[0].request.doubleNos[9], 11009);
  EXPECT_EQ(g[0].request.doubleNos[10], 11010);
  // Page 6 on V3.0.27: 13 doubles, no 1717; on V3.0.28 1717 in slot 13.
  model::ParamBatchGroups(6, {3, 0, 27}, g);
  EXPECT_EQ(Used(g[0].request.doubleNos),
            (std::vector<int16_t>{1700, 1703, 1704, 1705, 1708, 1709, 1710, 1711, 1712, 1713, 1714,
                                  1715, 1716}));
  EXPECT_TRUE(Used(g[0].request.intNos).empty());
  model::ParamBatchGroups(6, {3, 0, 28}, g);
  EXPECT_EQ(g[0].request.doubleNos[13], 1717);
  // Page 4 before V3.0.26 without 1706/1707.
  model::ParamBatchGroups(4, {3, 0, 25}, g);
  EXPECT_EQ(Used(g[0].request.intNos), (std::vector<int16_t>{1302, 1303, 1304}));
  model::ParamBatchGroups(4, {3, 0, 26}, g);
  EXPECT_EQ(Used(g[0].request.intNos), (std::vector<int16_t>{1302, 1303, 1304, 1706, 1707}));
  // Page 12 asks all six groups in reading order; pages without parameters none.
  ASSERT_EQ(model::ParamBatchGroups(12, {3, 0, 31}, g), 6u);
  EXPECT_EQ(g[0].page, 0);
  EXPECT_EQ(g[5].page, 7);
  EXPECT_EQ(g[1].request.doubleNos[19], 15);  // Global fills all twenty double slots
  for (int p : {1, 2, 8, 9, 10, 11}) EXPECT_EQ(model::ParamBatchGroups(p, {3, 0, 31}, g), 0u);
}

TEST(ParamRead, EveryBatchNumberIsAFieldOfTheRecordOrAnEncoderValue) {
  std::array<model::ParamBatchGroup, 6> g{};
  const size_t n = model::ParamBatchGroups(model::kPageAll, {3, 0, 35}, g);
  ASSERT_EQ(n, g.size());
  for (size_t i = 0; i < n; ++i) {
    for (const auto* slots : {&g[i].request.doubleNos, &g[i].request.intNos}) {
      for (const int16_t no : Used(*slots)) {
        const auto number = static_cast<uint16_t>(no);
        const model::ParamField* f = model::FindParamField(number);
        const bool encoder =
            number == model::kParamNoEncoderInfo1 || number == model::kParamNoEncoderInfo2;
        EXPECT_TRUE(f != nullptr || (encoder && slots == &g[i].request.doubleNos)) << number;
        // A real travels in a double slot; an integer slot would cut it.
        if (f != nullptr && f->type == model::ParamType::Real) {
          EXPECT_EQ(slots, &g[i].request.doubleNos) << number;
        }
      }
    }
  }
}

TEST(ParamRead, BatchAnswerConversion) {
  model::ParamBatchRequest req;
  req.intNos = {1003, 1401, 1004, 1120, 1100};
  req.doubleNos = {8, 11009};
  model::ParamBatchAnswer ans;
  ans.ints = {2, 1, 0x18181, -5, 0x1FFFF};
  ans.doubles = {250.0, 4.5};
  ParamRecord r{};
  r.TimeBased = true;
  RuntimeRecord rt;
  model::ApplyParamBatch(req, ans, r, rt);
  EXPECT_FALSE(r.TimeBased);  // only 1 counts as true
  EXPECT_TRUE(r.PosAccEnabled);
  EXPECT_EQ(r.JerkEnabled, 0x8181);  // low 16 bits: all four boxes
  EXPECT_EQ(r.ZeroSwap, -5);
  EXPECT_EQ(r.EncoderType, -1);
  EXPECT_EQ(r.ReferenceVelo, 250.0);
  EXPECT_EQ(rt.EncoderInfo1, 4.5);
}

// A controller of V3.0.31 that knows every number of the record.
void FillServer(ScriptedOxa& s) {
  for (const auto& f : model::ParamFields()) {
    if (f.no == 0 || f.no == 1007 || f.no == 2000) continue;
    if (f.type == model::ParamType::Bool) {
      s.bytes[f.no] = 1;
    } else {
      s.doubles[f.no] = f.no + 0.5;
      s.ints[f.no] = f.no;
    }
  }
  s.doubles[1004] = 33153.0;  // 0x8181
  s.ints[1004] = 0x8181;
  std::copy_n("axis.dat", 8, s.fileName.begin());
  oxa::bytes::Put(std::span<uint8_t>(s.auxData), 8 * 19, 19.5);
}

TEST(ParamRead, BatchReadOfAllPages) {
  ScriptedOxa s;
  FillServer(s);
  RecordingReport rep;
  const auto link = MakeLink(s, rep, {3, 0, 31}, 14);
  ParamRecord r{};
  r.ValveSpare1 = 9;
  RuntimeRecord rt;
  ASSERT_EQ(model::ReadParamRecord(12, link, r, rt), 0);
  EXPECT_EQ(r.CycleTime, 1001.5);
  EXPECT_EQ(r.EncoderType, 1100);
  EXPECT_EQ(r.LagOutLimit, 1711.5);
  EXPECT_EQ(r.ZeroSwap, 1120);
  EXPECT_EQ(r.JerkEnabled, 0x8181);
  EXPECT_EQ(r.MaxApplJerk, 16.5);
  EXPECT_EQ(r.AuxWord, 1006);
  EXPECT_TRUE(r.PehEnabled);
  EXPECT_EQ(r.PreFeed, 1717.5);
  EXPECT_EQ(r.ValveSpare1, 0);
  EXPECT_EQ(model::FileNameText(r), "axis.dat");
  EXPECT_EQ(r.AuxData[19], 19.5);
  EXPECT_EQ(rt.ReferenceVelo, 8.5);
  EXPECT_TRUE(rep.reports.empty());
  // Six batches, FileName, MaxApplJerk, AuxData, AuxWord.
  EXPECT_EQ(s.calls.size(), 10u);
  EXPECT_EQ(s.NumberedReads(), (std::vector<uint32_t>{1007, 16, 2000, 1006}));
}

TEST(ParamRead, NumbersUnknownToOlderServersKeepTheirDefaults) {
  // Single method: 0x703 for the areas and the ratio leaves 1.0, for 16 and 1006 leaves 0.
  ScriptedOxa s;
  FillServer(s);
  for (uint16_t no : std::array<uint16_t, 5>{1280, 1281, 1301, 16, 1006}) {
    s.doubles.erase(no);
    s.failNo[no] = oxa::kErrInvalidIndexOffset;
  }
  RecordingReport rep;
  ParamRecord r{};
  RuntimeRecord rt;
  EXPECT_EQ(model::ReadParamRecord(12, MakeLink(s, rep, {3, 0, 21}, 14), r, rt), 0);
  EXPECT_EQ(r.AreaA, 1.0);
  EXPECT_EQ(r.AreaB, 1.0);
  EXPECT_EQ(r.VeloRatio, 1.0);
  EXPECT_EQ(r.MaxApplJerk, 0);
  EXPECT_EQ(r.AuxWord, 0);
  // Batch method: the single reads after the batches follow the same rule.
  r.MaxApplJerk = 5;
  r.AuxWord = 5;
  s.failNo[16] = oxa::kErrInvalidIndexGroup;
  EXPECT_EQ(model::ReadParamRecord(12, MakeLink(s, rep, {3, 0, 31}, 14), r, rt), 0);
  EXPECT_EQ(r.MaxApplJerk, 0);
  EXPECT_EQ(r.AuxWord, 0);
  EXPECT_TRUE(rep.reports.empty());
}

TEST(ParamRead, FailedBatchKeepsItsGroupAndTheLastFailureIsReturned) {
  ScriptedOxa s;
  FillServer(s);
  s.batchError = oxa::kErrBusy;
  RecordingReport rep;
  const auto link = MakeLink(s, rep, {3, 0, 31}, 14);
  ParamRecord r{};
  r.LagKp = 3;
  RuntimeRecord rt;
  EXPECT_EQ(model::ReadParamRecord(6, link, r, rt), oxa::kErrBusy);
  EXPECT_EQ(r.LagKp, 3);
  // Every group is still tried; no FileName, jerk, AuxData or AuxWord after failures.
  EXPECT_EQ(model::ReadParamRecord(12, link, r, rt), oxa::kErrBusy);
  EXPECT_EQ(s.calls.size(), 1u + 6u);
  EXPECT_TRUE(s.NumberedReads().empty());
  // A failing FileName read is reported at 1007 and becomes the result.
  s.batchError = 0;
  s.failNo[1007] = oxa::kErrAccessDenied;
  rep.reports.clear();
  EXPECT_EQ(model::ReadParamRecord(0, link, r, rt), oxa::kErrAccessDenied);
  ASSERT_EQ(rep.reports.size(), 1u);
  EXPECT_EQ(rep.reports[0].group, kNumberGroup);
  EXPECT_EQ(rep.reports[0].offset, 1007u);
  EXPECT_FALSE(rep.reports[0].stop);
  EXPECT_FALSE(rep.reports[0].write);
}

TEST(ParamRead, SingleMethodStopsAtTheFirstFailure) {
  // 0x703 on 1100: EncoderType -1, nothing shown, the page goes on.
  ScriptedOxa s;
  FillServer(s);
  s.failNo[1100] = oxa::kErrInvalidIndexOffset;
  RecordingReport rep;
  const auto link = MakeLink(s, rep, {3, 0, 21}, 14);  // layout 14 is not consulted
  ParamRecord r{};
  RuntimeRecord rt;
  EXPECT_EQ(model::ReadParamRecord(0, link, r, rt), 0);
  EXPECT_EQ(r.EncoderType, -1);
  EXPECT_EQ(r.ReferenceMode, 1101);
  EXPECT_EQ(r.ProfileType, 1000);
  EXPECT_TRUE(rep.reports.empty());
  EXPECT_EQ(s.NumberedReads(), (std::vector<uint32_t>{1001, 1100, 1101, 1300, 1000, 1007, 1006}));

  // A timeout on 1001 skips everything after it, AuxData included.
  ScriptedOxa t;
  FillServer(t);
  t.failNo[1001] = oxa::kErrTimeout;
  const auto link2 = MakeLink(t, rep, {3, 0, 20}, 14);
  r.CycleTime = 5;
  r.EncoderType = 7;
  EXPECT_EQ(model::ReadParamRecord(12, link2, r, rt), oxa::kErrTimeout);
  EXPECT_EQ(r.CycleTime, 0);
  EXPECT_EQ(r.EncoderType, 0);  // reset before a read of all pages, not read again
  EXPECT_EQ(t.NumberedReads(), std::vector<uint32_t>{1001});
  ASSERT_EQ(rep.reports.size(), 1u);
  EXPECT_EQ(rep.reports[0].code, oxa::kErrTimeout);
  EXPECT_EQ(rep.reports[0].offset, 1001u);

  // 0x8181 (33153.0) through the single read of an int16 field keeps all four boxes.
  ScriptedOxa u;
  FillServer(u);
  const auto link3 = MakeLink(u, rep, {3, 0, 21}, 14);
  ASSERT_EQ(model::ReadParamRecord(3, link3, r, rt), 0);
  EXPECT_TRUE(r.TimeBased);
  EXPECT_EQ(r.JerkEnabled, 0x8181);
  EXPECT_EQ(rt.ReferenceVelo, 8.5);
}

TEST(ParamRead, SingleReadsTruncateAndClampIntegers) {
  ScriptedOxa s;
  RecordingReport rep;
  const auto link = MakeLink(s, rep, {3, 0, 21}, 0);
  s.doubles[1100] = -3.9;
  s.doubles[1101] = 1e300;
  s.doubles[1300] = std::numeric_limits<double>::quiet_NaN();
  int16_t v = 0;
  EXPECT_EQ(model::ReadParamNoInt16(link, v, -1, 1100), 0);
  EXPECT_EQ(v, -3);
  EXPECT_EQ(model::ReadParamNoInt16(link, v, -1, 1101), 0);
  EXPECT_EQ(v, -1);  // clamped to INT32_MAX, whose low 16 bits are 0xFFFF
  EXPECT_EQ(model::ReadParamNoInt16(link, v, -1, 1300), 0);
  EXPECT_EQ(v, 0);
  s.failNo[1000] = oxa::kErrNoResponse;
  EXPECT_EQ(model::ReadParamNoInt16(link, v, -1, 1000), oxa::kErrNoResponse);
  EXPECT_EQ(v, -1);
}

TEST(ParamRead, BlockMethod) {
  // V2.1 with layout 2: -1 and nothing sent.
  ScriptedOxa s;
  RecordingReport rep;
  ParamRecord r{};
  r.CycleTime = 4;
  RuntimeRecord rt;
  EXPECT_EQ(model::ReadParamRecord(12, MakeLink(s, rep, {2, 1, 7}, 2), r, rt), -1);
  EXPECT_TRUE(s.calls.empty());
  EXPECT_EQ(r.CycleTime, 4);

  // A failed block read returns its code and leaves the record.
  const auto link = MakeLink(s, rep, {3, 0, 19}, 13);
  EXPECT_EQ(model::ReadParamRecord(5, link, r, rt), oxa::kErrInvalidSize);  // no block scripted
  EXPECT_EQ(r.CycleTime, 4);

  // A good one converts the whole record whatever the page, and copies ReferenceVelo.
  s.block.assign(912, 0);
  oxa::bytes::Put(std::span<uint8_t>(s.block), 0x198, 2.0);
  oxa::bytes::Put(std::span<uint8_t>(s.block), 0x1A0, 300.0);
  EXPECT_EQ(model::ReadParamRecord(5, link, r, rt), 0);
  EXPECT_EQ(r.CycleTime, 2.0);
  EXPECT_EQ(rt.ReferenceVelo, 300.0);
  EXPECT_EQ(s.calls.back().group, paramtest::kRecordGroup);
  EXPECT_EQ(s.calls.back().offset, 2u);
  EXPECT_EQ(s.calls.back().readLength, 912u);
  EXPECT_TRUE(rep.reports.empty());
}

TEST(ParamRecord, ResetsDifferOnPurpose) {
  ParamRecord r{};
  model::SetFileName(r, "keep.dat");
  r.EncoderType = 5;
  r.PehEnabled = true;
  model::ResetParamRecord(r);
  EXPECT_EQ(model::FileNameText(r), "keep.dat");
  EXPECT_EQ(r.AreaA, 1.0);
  EXPECT_EQ(r.VeloRatio, 1.0);
  EXPECT_EQ(r.EncoderType, 0);
  EXPECT_FALSE(r.PehEnabled);
  model::ResetParamRecordForDocument(r);
  EXPECT_EQ(model::FileNameText(r), "");
  EXPECT_EQ(r.AreaA, 0);
  EXPECT_EQ(r.AreaB, 0);
  EXPECT_EQ(r.VeloRatio, 0);
  EXPECT_EQ(r.EncoderType, -1);
  EXPECT_EQ(r.DriveType, -1);
  EXPECT_EQ(r.AuxWord, 1);
  EXPECT_EQ(r.EncoderIncInterpolation, 1.0);
  // Every field has a distinct name and number.
  std::vector<uint16_t> nos;
  for (const auto& f : model::ParamFields()) {
    EXPECT_EQ(model::FindParamField(f.name), &f);
    if (f.no != 0) nos.push_back(f.no);
  }
  std::sort(nos.begin(), nos.end());
  EXPECT_EQ(std::adjacent_find(nos.begin(), nos.end()), nos.end());
  EXPECT_EQ(model::ParamFields().size(), 95u);
}

}  // namespace
