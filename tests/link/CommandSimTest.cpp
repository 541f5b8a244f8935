// Commands and settings writes against the emulated controller: what goes over the wire, what
// is reported, and that nothing is sent while the communication is stopped.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "DocSession.h"
#include "model/ParamRead.h"
#include "oxa/Bytes.h"

namespace {

using doctest::DocSession;
using doctest::ServerSpec;

constexpr uint32_t kCommands1 = 0x80004201;
constexpr uint32_t kParamNo1 = 0x800F0001;
constexpr uint32_t kRecords1 = 0x8000F001;

struct Op {
  const char* name;
  std::function<int32_t(CAxtuneDoc&)> run;
};

const std::vector<Op>& AllOperations() {
  static const std::vector<Op> ops{
      {"save", [](CAxtuneDoc& d) { return d.SaveParams(); }},
      {"load", [](CAxtuneDoc& d) { return d.LoadParams(); }},
      {"reset", [](CAxtuneDoc& d) { return d.ResetAxis(); }},
      {"stop", [](CAxtuneDoc& d) { return d.StopAxis(); }},
      {"home", [](CAxtuneDoc& d) { return d.HomeAxis(); }},
      {"setpos", [](CAxtuneDoc& d) { return d.SetPosition(12.5); }},
      {"move", [](CAxtuneDoc& d) { return d.Move(1, 250.0, 100.0); }},
      {"run", [](CAxtuneDoc& d) { return d.Move(0, 0.0, 0.0); }},
      {"clearlog", [](CAxtuneDoc& d) { return d.ClearMessageLog(); }},
      {"loglevel", [](CAxtuneDoc& d) { return d.SetLogLevel(3); }},
      {"latch", [](CAxtuneDoc& d) { return d.SetLatch(true); }},
      {"refflag", [](CAxtuneDoc& d) { return d.SetReferenceFlag(false); }},
      {"real", [](CAxtuneDoc& d) { return d.WriteParamNoReal(1.5, 1005); }},
      {"record", [](CAxtuneDoc& d) { return d.WriteParamRecordToAxis(); }},
  };
  return ops;
}

TEST(CommandSimTest, NothingIsSentWithoutASelectedAxisOrAfterAStop) {
  DocSession s;
  for (const Op& op : AllOperations()) EXPECT_EQ(op.run(s.doc), oxa::kOk) << op.name;
  s.doc.StartJog(2);
  EXPECT_EQ(s.doc.nJogState, 2);  // the jog state follows the keys even so
  s.doc.ReleaseJog();
  EXPECT_EQ(s.doc.nJogState, 0);
  EXPECT_EQ(s.Count(), 0u);
  EXPECT_TRUE(s.ui.boxes.empty());

  ASSERT_TRUE(s.Select());
  s.doc.ReportOxaError(true, false, oxa::kErrTimeout, kRecords1, 1);
  s.Reset();
  for (const Op& op : AllOperations()) EXPECT_EQ(op.run(s.doc), oxa::kOk) << op.name;
  EXPECT_EQ(s.Count(), 0u);
}

TEST(CommandSimTest, CommandsSendTheirOffsetsAndBlocks) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  s.Reset();
  EXPECT_EQ(s.doc.SaveParams(), 0);
  EXPECT_EQ(s.doc.LoadParams(), 0);
  EXPECT_EQ(s.doc.ResetAxis(), 0);
  EXPECT_EQ(s.doc.StopAxis(), 0);
  EXPECT_EQ(s.doc.HomeAxis(), 0);
  EXPECT_EQ(s.doc.SetPosition(-12.5), 0);
  EXPECT_EQ(s.doc.Move(1, 250.0, 100.0), 0);
  EXPECT_EQ(s.doc.Move(0, 7.0, 8.0), 0);  // the characteristic run carries no values
  ASSERT_EQ(s.commands.size(), 8u);
  const uint32_t offsets[] = {0xFFFF0001, 0xFFFF0002, 1, 2, 16, 26, 33, 0xFFFF0003};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(s.commands[i].offset, offsets[i]) << i;
  for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(s.commands[i].data.empty()) << i;

  std::vector<uint8_t> setPos(12);
  oxa::bytes::Put<int32_t>(setPos, 0, 1);
  oxa::bytes::Put<double>(setPos, 4, -12.5);
  EXPECT_EQ(s.commands[5].data, setPos);
  std::vector<uint8_t> move(20);
  oxa::bytes::Put<int32_t>(move, 0, 1);
  oxa::bytes::Put<double>(move, 4, 250.0);
  oxa::bytes::Put<double>(move, 12, 100.0);
  EXPECT_EQ(s.commands[6].data, move);
  EXPECT_EQ(s.commands[7].data, std::vector<uint8_t>(20, 0));
  EXPECT_EQ(s.Count(kCommands1), 8u);
}

TEST(CommandSimTest, FailuresAreReportedAsWritesWithoutStopExceptTheCharacteristicRun) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  s.Reset();
  s.commandResult = 0x4356;
  EXPECT_EQ(s.doc.Move(1, 250.0, 100.0), 0x4356);
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].find("OXA Write( nIdxG=0x80004201, nIdxO=0x00000021, nErr=17238(0x4356)"),
            std::string::npos)
      << s.ui.boxes[0];
  EXPECT_NE(s.ui.boxes[0].find("Cannot start, control enable is missing"), std::string::npos);
  EXPECT_EQ(s.ui.boxes[0].find(s.strings.Text(29992)), std::string::npos);
  EXPECT_FALSE(s.doc.bCommStopped);

  EXPECT_EQ(s.doc.Move(0, 0.0, 0.0), 0x4356);
  EXPECT_EQ(s.ui.boxes.size(), 1u);

  // A refused clear of the log is reported the same way, in its own group.
  s.Fault(0x8000F201, 1, oxa::kErrAccessDenied);
  EXPECT_EQ(s.doc.ClearMessageLog(), oxa::kErrAccessDenied);
  ASSERT_EQ(s.ui.boxes.size(), 2u);
  EXPECT_NE(s.ui.boxes[1].find("OXA Write( nIdxG=0x8000F201, nIdxO=0x00000001"), std::string::npos);
  EXPECT_FALSE(s.doc.bCommStopped);
}

TEST(CommandSimTest, HeldJogKeyGivesOneMoveAndOneStop) {
  struct Case {
    int32_t state;
    int32_t mode;
    double velocity;
  };
  // The emulated axis jogs at 100 mm/s fast and 10 mm/s slow.
  for (const Case& c :
       {Case{-2, 4, 100.0}, Case{-1, 4, 10.0}, Case{1, 3, 10.0}, Case{2, 3, 100.0}}) {
    DocSession s;
    ASSERT_TRUE(s.Select());
    s.Reset();
    s.doc.StartJog(c.state);
    EXPECT_EQ(s.doc.nJogState, c.state);
    s.doc.ReleaseJog();  // the key comes up
    s.doc.ReleaseJog();  // and the mouse release after it finds nothing to stop
    ASSERT_EQ(s.commands.size(), 2u) << c.state;
    EXPECT_EQ(s.commands[0].offset, 33u);
    EXPECT_EQ(s.commands[1].offset, 2u);
    int32_t mode = 0;
    double position = -1, velocity = 0;
    oxa::bytes::Get<int32_t>(s.commands[0].data, 0, mode);
    oxa::bytes::Get<double>(s.commands[0].data, 4, position);
    oxa::bytes::Get<double>(s.commands[0].data, 12, velocity);
    EXPECT_EQ(mode, c.mode);
    EXPECT_EQ(position, 0.0);
    EXPECT_EQ(velocity, c.velocity);
    EXPECT_EQ(s.doc.nJogState, 0);
  }
}

TEST(CommandSimTest, SetPositionReadsPageZeroOnlyAfterSuccess) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  s.Reset();
  EXPECT_EQ(s.doc.SetPosition(40.0), 0);
  const model::LibVersion lib{3, 0, 35};
  std::array<model::ParamBatchGroup, 8> groups{};
  const size_t page0 = model::ParamBatchGroups(model::kPageCommon, lib, groups);
  ASSERT_GT(page0, 0u);
  EXPECT_EQ(s.Count(kRecords1, 24), page0);

  s.Reset();
  s.commandResult = 0x4422;
  EXPECT_EQ(s.doc.SetPosition(40.0), 0x4422);
  EXPECT_EQ(s.Count(kRecords1), 0u);
  EXPECT_EQ(s.ui.boxes.size(), 1u);
}

TEST(CommandSimTest, MenuSettingsTravelAsDoubleOrOneByte) {
  DocSession s;
  EXPECT_EQ(s.doc.SetLogLevel(1), 0);  // no axis selected yet
  EXPECT_EQ(s.Count(), 0u);
  ASSERT_TRUE(s.Select());
  s.Reset();
  auto* store = sim::ParamsOf(s.Axis(851, 1));
  for (uint32_t level : {3u, 0u}) {
    EXPECT_EQ(s.doc.SetLogLevel(level), 0);
    double v = -1;
    ASSERT_TRUE(store->Extra(1005, v));
    EXPECT_EQ(v, level);
  }
  EXPECT_EQ(s.doc.SetLatch(true), 0);
  EXPECT_EQ(s.doc.SetReferenceFlag(true), 0);
  const auto entries = s.plant.Ctrl().Log().Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].indexGroup, kParamNo1);
  EXPECT_EQ(entries[0].writeLength, 8u);
  EXPECT_EQ(entries[2].indexOffset, 1113u);
  EXPECT_EQ(entries[2].writeLength, 1u);
  EXPECT_EQ(entries[3].indexOffset, 1116u);
  EXPECT_EQ(entries[3].writeLength, 1u);
  double latch = 0;
  ASSERT_TRUE(store->Extra(1113, latch));
  EXPECT_EQ(latch, 1.0);
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(CommandSimTest, WholeRecordWriteOfAnOldServerAndUnsupportedLayout) {
  ServerSpec spec;
  spec.port = 802;
  spec.lib = {2, 1, 6};
  spec.table = {
      2, 4, 7, 1, std::nullopt, 4, 1, 1, 4, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  DocSession s(spec);
  ASSERT_TRUE(s.Select(spec));
  s.doc.params.CreepDistance = 4.25;
  s.Reset();
  EXPECT_EQ(s.doc.WriteParamRecordToAxis(), 0);
  EXPECT_EQ(s.Count(kRecords1, 2), 1u);
  EXPECT_EQ(sim::ParamsOf(s.Axis(802, 1))->Record().CreepDistance, 4.25);

  s.doc.linkVersions.table[2] = 99;  // a layout this program does not know
  s.Reset();
  EXPECT_EQ(s.doc.WriteParamRecordToAxis(), -1);
  EXPECT_EQ(s.Count(), 0u);
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].find(s.strings.Text(20071)), std::string::npos);
}

TEST(CommandSimTest, LoadNoticeGivesOneReReadAndOneAcknowledge) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  s.doc.RefreshAxisData(model::kPageGlobal, nullptr);
  s.Reset();
  s.doc.RefreshAxisData(model::kPageGlobal, nullptr);
  EXPECT_EQ(s.Count(kRecords1, 24), 1u);  // the runtime values only

  ASSERT_EQ(s.doc.LoadParams(), 0);
  s.Reset();
  EXPECT_TRUE(s.doc.RefreshAxisData(model::kPageGlobal, nullptr));
  std::array<model::ParamBatchGroup, 8> groups{};
  const size_t page3 = model::ParamBatchGroups(model::kPageGlobal, {3, 0, 35}, groups);
  EXPECT_EQ(s.Count(kRecords1, 24), 1u + page3);
  EXPECT_EQ(s.Count(kParamNo1, 11008), 1u);
  EXPECT_FALSE(sim::RuntimeOf(s.Axis(851, 1))->paramsChanged);

  s.Reset();
  s.doc.RefreshAxisData(model::kPageGlobal, nullptr);
  EXPECT_EQ(s.Count(kRecords1, 24), 1u);
  EXPECT_EQ(s.Count(kParamNo1, 11008), 0u);
  EXPECT_TRUE(s.ui.boxes.empty());
}

}  // namespace

// Observers hear of every request the document sends, once before and once after, with where it
// went and what it carried; while stopped they hear nothing.
TEST(CommandSimTest, ObserversHearEachRequestSentWithItsResult) {
  struct Recorder : axlink::IDocObserver {
    std::vector<axlink::SendEvent> before;
    std::vector<int32_t> results;
    void BeforeSend(const CAxtuneDoc&, const axlink::SendEvent& e) override { before.push_back(e); }
    void AfterSend(const CAxtuneDoc&, const axlink::SendEvent& e, int32_t result) override {
      EXPECT_EQ(e.indexOffset, before.back().indexOffset);
      results.push_back(result);
    }
  } rec;
  DocSession s;
  s.doc.AddObserver(&rec);
  for (const Op& op : AllOperations()) op.run(s.doc);
  EXPECT_TRUE(rec.before.empty());

  ASSERT_TRUE(s.Select());
  s.Reset();
  s.commandResult = 0x4356;
  for (const Op& op : AllOperations()) op.run(s.doc);
  ASSERT_EQ(rec.before.size(), AllOperations().size());
  // The whole-record write has no layout for StParam version 14: told, with -1, but not sent.
  EXPECT_EQ(rec.before.size(), s.Count() + 1);
  using K = axlink::SendKind;
  const struct {
    K kind;
    uint32_t group;
    uint32_t offset;
    int32_t result;
  } want[] = {{K::Command, kCommands1, 0xFFFF0001, 0x4356},
              {K::Command, kCommands1, 0xFFFF0002, 0x4356},
              {K::Command, kCommands1, 1, 0x4356},
              {K::Command, kCommands1, 2, 0x4356},
              {K::Command, kCommands1, 16, 0x4356},
              {K::SetPosition, kCommands1, 26, 0x4356},
              {K::Move, kCommands1, 33, 0x4356},
              {K::Move, kCommands1, 0xFFFF0003, 0x4356},
              {K::ClearLog, 0x8000F201, 1, 0},
              {K::ParamWrite, kParamNo1, 1005, 0},
              {K::ParamWrite, kParamNo1, 1113, 0},
              {K::ParamWrite, kParamNo1, 1116, 0},
              {K::ParamWrite, kParamNo1, 1005, 0},
              {K::RecordWrite, kRecords1, 2, -1}};
  for (size_t i = 0; i < std::size(want); ++i) {
    EXPECT_EQ(rec.before[i].kind, want[i].kind) << i;
    EXPECT_EQ(rec.before[i].indexGroup, want[i].group) << i;
    EXPECT_EQ(rec.before[i].indexOffset, want[i].offset) << i;
    EXPECT_EQ(rec.results[i], want[i].result) << i;
    EXPECT_EQ(rec.before[i].axis, 1) << i;
  }
  EXPECT_EQ(rec.before[5].position, 12.5);
  EXPECT_EQ(rec.before[6].move.mode, 1);
  EXPECT_EQ(rec.before[6].move.position, 250.0);
  EXPECT_EQ(rec.before[6].move.velocity, 100.0);
  EXPECT_EQ(rec.before[10].writeKind, axlink::ParamWriteKind::Byte);
  EXPECT_EQ(rec.before[10].value, 1.0);
  EXPECT_EQ(rec.before[12].value, 1.5);
  s.doc.RemoveObserver(&rec);
  s.doc.StopAxis();
  EXPECT_EQ(rec.before.size(), AllOperations().size());
}
