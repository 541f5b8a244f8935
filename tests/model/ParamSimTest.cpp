// Round trips of the parameter record against the emulator's parameter store in this process,
// for every block layout and every access method.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ParamFake.h"
#include "model/ParamBatch.h"
#include "model/ParamDictionary.h"
#include "model/ParamLayouts.h"
#include "model/ParamRead.h"
#include "model/ParamWrite.h"
#include "oxa/OxaDirect.h"
#include "sim/AxisServer.h"
#include "sim/Controller.h"
#include "sim/ParamStore.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace {

using model::ParamField;
using model::ParamRecord;
using model::ParamType;

const oxa::NetId kNet{{127, 0, 0, 1, 1, 1}};

struct Rig {
  sim::Controller ctrl{kNet};
  std::unique_ptr<sim::AxisServer> server;
  oxa::OxaDirect oxa;
  paramtest::RecordingReport report;
  model::AxisLink link;

  Rig(model::LibVersion lib, int16_t layout) {
    sim::AxisServerConfig c;
    c.port = 851;
    c.lib = lib;
    c.axisNames = {"Clamp", "Feed", "Lift"};
    c.firstAxis = 1;
    c.recordVersions[2] = layout;
    std::string error;
    server = sim::AxisServer::Create(ctrl, c, error);
    EXPECT_TRUE(server) << error;
    EXPECT_TRUE(sim::InstallParamStore(*server));
    oxa.Register(kNet, ctrl);
    oxa.OxaPortOpen();
    link.oxa = &oxa;
    link.addr = {kNet, 851};
    link.axis = paramtest::kAxis;
    link.lib = lib;
    link.versions.fill(-1);
    link.versions[2] = layout;
    link.report = &report;
  }
  ParamRecord& Store() { return sim::ParamsOf(*server->Axis(paramtest::kAxis))->Record(); }
};

// The offset a layout gives a field, or -1.
int OffsetIn(int layout, std::string_view name) {
  const auto& t = model::ParamLayouts();
  const int c = t.Column(layout);
  for (const auto& row : t.rows) {
    const auto s = row.slots[static_cast<size_t>(c)];
    if (row.field.name == name && s.kind == model::Slot::Offset) return static_cast<int>(s.offset);
  }
  return -1;
}

TEST(ParamSim, BlockRoundTripInEveryLayout) {
  for (int16_t layout : std::array<int16_t, 12>{0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) {
    SCOPED_TRACE("layout " + std::to_string(layout));
    Rig rig({2, 1, 6}, layout);
    paramtest::Scramble(rig.Store(), layout);
    rig.Store().CreepSpeedAsym = rig.Store().CreepSpeed;  // pairs share one value up to 10
    ParamRecord r{};
    model::RuntimeRecord rt;
    ASSERT_EQ(model::ReadParamRecord(12, rig.link, r, rt), 0);
    const ParamRecord& s = rig.Store();
    for (const auto& f : model::ParamFields()) {
      const int off = OffsetIn(layout, f.name);
      if (off < 0 || f.name.ends_with("Asym") || f.name == "OverlapCompensation2") continue;
      EXPECT_TRUE(paramtest::SameField(f, r, s)) << f.name;
    }
    EXPECT_TRUE(paramtest::SameField(*model::FindParamField("FileName"), r, s));
    EXPECT_EQ(rt.ReferenceVelo, s.ReferenceVelo);

    // A changed record written back lands in the store.
    ParamRecord w = r;
    paramtest::Scramble(w, 500 + layout);
    ASSERT_EQ(model::WriteParamRecord(rig.link, w), 0);
    for (const auto& f : model::ParamFields()) {
      if (OffsetIn(layout, f.name) < 0 || f.name.ends_with("Asym") ||
          f.name == "OverlapCompensation2") {
        continue;
      }
      EXPECT_TRUE(paramtest::SameField(f, rig.Store(), w)) << f.name;
    }
    if (layout == 13) {
      EXPECT_EQ(rig.Store().PehFilter, w.PehFilter);
      EXPECT_EQ(rig.Store().PehEnabled, w.PehEnabled);
    }
    EXPECT_TRUE(rig.report.reports.empty());
  }
}

TEST(ParamSim, NumberedRoundTripBySingleAndBatch) {
  for (model::LibVersion lib : {model::LibVersion{3, 0, 21}, model::LibVersion{3, 0, 35}}) {
    SCOPED_TRACE(std::to_string(lib.build));
    Rig rig(lib, 14);
    paramtest::Scramble(rig.Store(), 7);
    ParamRecord r{};
    model::RuntimeRecord rt;
    ASSERT_EQ(model::ReadParamRecord(12, rig.link, r, rt), 0);
    EXPECT_TRUE(rig.report.reports.empty());
    const bool batch = lib.build >= 22;
    // The single method reads only the numbers of its lists; the batch every number.
    const std::vector<std::string_view> notSingle = {"OverrunThreshold",
                                                     "PositionMask",
                                                     "ZeroSwap",
                                                     "CtrlLoopOnError",
                                                     "PotRpRl",
                                                     "BrakeDistanceAuto",
                                                     "OutputWeighting",
                                                     "OutputIncInterpolation",
                                                     "LagDx",
                                                     "LagTi",
                                                     "LagWuLimit",
                                                     "LagOutLimit",
                                                     "VeloKp",
                                                     "VeloDx",
                                                     "VeloTi",
                                                     "VeloWuLimit",
                                                     "VeloOutLimit",
                                                     "PreFeed",
                                                     "DefaultPowerOk"};
    for (const auto& f : model::ParamFields()) {
      if (f.no == 0) continue;
      if (!batch && std::find(notSingle.begin(), notSingle.end(), f.name) != notSingle.end()) {
        continue;
      }
      EXPECT_TRUE(paramtest::SameField(f, r, rig.Store())) << f.name;
    }
    EXPECT_EQ(r.ValveSpare1, 0);
    EXPECT_EQ(rt.ReferenceVelo, rig.Store().ReferenceVelo);

    // Numbered writes land in the store.
    ASSERT_EQ(model::WriteParamNoReal(rig.link, 42.25, 1600), 0);
    ASSERT_EQ(model::WriteParamNoByte(rig.link, 1, 1608), 0);
    ASSERT_EQ(model::WriteParamNoUInt(rig.link, 0x8181, 1004), 0);
    ASSERT_EQ(model::WriteParamNoReal(rig.link, 4, 1100), 0);
    EXPECT_EQ(rig.Store().CreepSpeed, 42.25);
    EXPECT_TRUE(rig.Store().Asymmetric);
    EXPECT_EQ(rig.Store().JerkEnabled, 0x8181);
    EXPECT_EQ(rig.Store().EncoderType, 4);
    // A number the server does not know yet fails with 0x703 and is reported.
    EXPECT_EQ(model::WriteParamNoReal(rig.link, 1, 1717), batch ? 0 : oxa::kErrInvalidIndexOffset);
  }
}

TEST(ParamSim, ServerKnowsNumbersByVersionAndConfiguration) {
  Rig rig({3, 0, 21}, 14);
  sim::ParamStateOf(*rig.server)->unknown = {1280, 1281, 1301};
  EXPECT_FALSE(sim::ServerKnowsParam(*rig.server, 1117));  // from V3.0.22
  EXPECT_TRUE(sim::ServerKnowsParam(*rig.server, 1806));
  EXPECT_FALSE(sim::ServerKnowsParam(*rig.server, 1280));
  ParamRecord r{};
  model::RuntimeRecord rt;
  ASSERT_EQ(model::ReadParamRecord(12, rig.link, r, rt), 0);
  EXPECT_EQ(r.AreaA, 1.0);
  EXPECT_EQ(r.VeloRatio, 1.0);
  // A library that reads blocks only has numbered writes but no numbered reads and no batch.
  Rig old({3, 0, 11}, 9);
  std::array<uint8_t, 940> buf{};
  EXPECT_EQ(old.oxa.OxaSyncReadReq(&old.link.addr, paramtest::kNumberGroup, 8, 8, buf.data()),
            oxa::kErrInvalidIndexGroup);
  EXPECT_EQ(old.oxa.OxaSyncReadWriteReq(&old.link.addr, paramtest::kRecordGroup, 24, 240,
                                        buf.data(), 80, buf.data()),
            oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(model::WriteParamNoReal(old.link, 5, 8), 0);
  EXPECT_EQ(old.Store().ReferenceVelo, 5);
  // A server without a block layout refuses the block; wrong lengths are refused.
  EXPECT_EQ(rig.oxa.OxaSyncReadReq(&rig.link.addr, paramtest::kRecordGroup, 2, 940, buf.data()),
            oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(old.oxa.OxaSyncReadReq(&old.link.addr, paramtest::kRecordGroup, 2, 939, buf.data()),
            oxa::kErrInvalidSize);
  EXPECT_EQ(old.oxa.OxaSyncReadReq(&old.link.addr, paramtest::kNumberGroup + 1, 8, 8, buf.data()),
            oxa::kErrInvalidIndexGroup);
}

TEST(ParamSim, AuxEntriesAndLinSettingsByNumberFollowTheLibrary) {
  struct Case {
    uint16_t no;
    uint32_t length;  // 0: a number no server knows
    uint16_t since;   // the build of V3.0.x from which the server knows it
  };
  const Case cases[] = {{2001, 8, 11}, {2020, 8, 11}, {3000, 1, 32}, {3004, 1, 32},
                        {3104, 8, 32}, {3150, 8, 32}, {3158, 8, 32}, {2021, 0, 0},
                        {3005, 0, 0},  {3157, 0, 0},  {3201, 0, 0}};
  for (const uint16_t build : {uint16_t{21}, uint16_t{31}, uint16_t{35}}) {
    Rig rig({3, 0, build}, 14);
    std::string error;
    ASSERT_TRUE(sim::InstallRuntimeRecords(*rig.server, error)) << error;
    sim::AxisRuntime& rt = *sim::RuntimeOf(*rig.server->Axis(paramtest::kAxis));
    model::ParamBatchRequest batch;
    std::vector<std::pair<size_t, double>> expected;  // batch slot and value
    for (size_t i = 0; i < std::size(cases); ++i) {
      const Case& c = cases[i];
      SCOPED_TRACE(std::to_string(build) + ": " + std::to_string(c.no));
      const bool known = c.length != 0 && build >= c.since;
      const double value = c.length == 1 ? 1.0 : 3.0 + static_cast<double>(i);
      std::array<uint8_t, 9> wire{};
      oxa::bytes::Put(std::span<uint8_t>(wire), 0, value);
      if (c.length == 1) wire[0] = 1;
      const uint32_t length = c.length == 0 ? 8 : c.length;
      const int32_t unknown = oxa::kErrInvalidIndexOffset;
      EXPECT_EQ(rig.oxa.OxaSyncWriteReq(&rig.link.addr, paramtest::kNumberGroup, c.no, length + 1,
                                        wire.data()),
                known ? oxa::kErrInvalidSize : unknown);
      rt.values.Unsaved = false;
      ASSERT_EQ(rig.oxa.OxaSyncWriteReq(&rig.link.addr, paramtest::kNumberGroup, c.no, length,
                                        wire.data()),
                known ? oxa::kOk : unknown);
      EXPECT_EQ(rt.values.Unsaved, known);
      if (!known) continue;
      EXPECT_EQ(model::Get({&rig.Store(), &rt.lin}, c.no), value);
      std::array<uint8_t, 8> back{};
      ASSERT_EQ(rig.oxa.OxaSyncReadReq(&rig.link.addr, paramtest::kNumberGroup, c.no, length,
                                       back.data()),
                oxa::kOk);
      EXPECT_EQ(c.length == 1 ? back[0] : oxa::bytes::At<double>(back, 0), value);
      batch.doubleNos[expected.size()] = static_cast<int16_t>(c.no);
      batch.intNos[expected.size()] = static_cast<int16_t>(c.no);
      expected.emplace_back(expected.size(), value);
    }
    if (build < 22) continue;
    model::ParamBatchAnswer answer;
    ASSERT_EQ(model::RequestParamBatch(rig.link, batch, answer), oxa::kOk);
    for (const auto& [slot, value] : expected) {
      EXPECT_EQ(answer.doubles[slot], value) << build << " slot " << slot;
      EXPECT_EQ(answer.ints[slot], static_cast<int32_t>(value)) << build << " slot " << slot;
    }
  }
}

}  // namespace

namespace {

TEST(ParamSim, ConfigurationSetsValuesAndUnknownNumbers) {
  const std::vector<sim::ServerFeature> features = {sim::ParamStoreFeature()};
  std::string error;
  const auto plant = sim::LoadPlant(R"({"servers": [{"port": 851, "lib": "3.0.35",
      "firstAxis": 1, "unknownParams": [1280],
      "axes": [{"name": "A", "params": {"ReferenceVelo": 120.5, "EncoderType": 7,
               "Asymmetric": true, "FileName": "Zylinder-ü.dat", "AuxData": [1, 2.5],
               "1005": 3}}, "B"]}]})",
                                    kNet, features, error);
  ASSERT_TRUE(plant) << error;
  sim::AxisServer& server = *plant->Server(851);
  const ParamRecord& a = sim::ParamsOf(*server.Axis(1))->Record();
  EXPECT_EQ(a.ReferenceVelo, 120.5);
  EXPECT_EQ(a.EncoderType, 7);
  EXPECT_TRUE(a.Asymmetric);
  EXPECT_EQ(model::FileNameText(a), "Zylinder-\xFC.dat");  // single-byte on the controller
  EXPECT_EQ(a.AuxData[1], 2.5);
  double level = 0;
  EXPECT_TRUE(sim::ParamsOf(*server.Axis(1))->Extra(1005, level));
  EXPECT_EQ(level, 3);
  EXPECT_EQ(sim::ParamsOf(*server.Axis(2))->Record().ReferenceVelo, 300.0);  // the default
  EXPECT_FALSE(sim::ServerKnowsParam(server, 1280));

  // Wrong values are refused with the entry named.
  for (const char* bad : {R"({"Nonsense": 1})", R"({"EncoderType": 1.5})",
                          R"({"EncoderType": 40000})", R"({"Asymmetric": 1})",
                          R"({"AuxData": [1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21]})",
                          R"({"9999": 1})"}) {
    const std::string text = std::string(R"({"servers": [{"port": 851, "lib": "3.0.35",
        "axes": [{"name": "A", "params": )") +
                             bad + "}]}]}";
    EXPECT_FALSE(sim::LoadPlant(text, kNet, features, error)) << bad;
    EXPECT_NE(error.find("params"), std::string::npos) << error;
  }
  const std::string longName = std::string(R"({"servers": [{"port": 851, "lib": "3.0.35",
      "axes": [{"name": "A", "params": {"FileName": ")") +
                               std::string(256, 'x') + "\"}}]}]}";
  EXPECT_FALSE(sim::LoadPlant(longName, kNet, features, error));
  EXPECT_FALSE(sim::LoadPlant(R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": ["A"],
      "unknownParams": [-1]}]})",
                              kNet, features, error));
}

}  // namespace
