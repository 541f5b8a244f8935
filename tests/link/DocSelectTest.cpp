// Axis selection: each axis is read in the layouts of its own server, a failed selection keeps
// the previous axis, and the document reset.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "DocSession.h"
#include "common/FakeOxa.h"
#include "link/Login.h"

namespace {

using doctest::DocSession;
using doctest::ServerSpec;

TEST(DocSelectTest, FailedSelectionKeepsThePreviousAxisAndItsRecords) {
  DocSession s;
  sim::ParamsOf(s.Axis(851, 2))->Record().ReferenceVelo = 999.0;
  ASSERT_TRUE(s.Select({}, 1));
  EXPECT_EQ(s.doc.axisName, "Clamp left");
  EXPECT_EQ(s.ui.redisplays, 1);
  const model::ParamRecord before = s.doc.params;

  // The name read fails: reported with stop, and axis 1 stays current with its values.
  s.Fault(0x80004002, 2, oxa::kErrTimeout);
  EXPECT_FALSE(s.Select({}, 2));
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].find(s.strings.Text(29992)), std::string::npos);
  EXPECT_EQ(s.doc.nAxis, 1);
  EXPECT_EQ(s.doc.axisName, "Clamp left");
  EXPECT_EQ(s.doc.params, before);
  EXPECT_TRUE(s.doc.bCommStopped);

  // ReselectAxis does nothing while stopped; a selection of axis 1 runs again.
  s.Reset();
  EXPECT_FALSE(s.doc.ReselectAxis(model::kPageGlobal));
  EXPECT_EQ(s.Count(), 0u);
  ASSERT_TRUE(s.Select({}, 1));
  EXPECT_TRUE(s.doc.ReselectAxis(model::kPageGlobal));
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(DocSelectTest, FailedParameterReadIsReportedWithoutStop) {
  DocSession s;
  s.Fault(0x8000F001, 24, oxa::kErrBusy);
  EXPECT_FALSE(s.Select());
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].find("nIdxG=0x8000F001, nIdxO=0x00000002"), std::string::npos);
  EXPECT_EQ(s.ui.boxes[0].find(s.strings.Text(29992)), std::string::npos);
  EXPECT_EQ(s.doc.nAxis, -1);
  EXPECT_EQ(s.Count(0x80004001), 0u);  // the name is not read
}

TEST(DocSelectTest, DocumentResetForgetsTheAxisAndKeepsTableWordsTenToTwelve) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  s.doc.RefreshAxisData(model::kPageOnline, nullptr);
  s.doc.nJogState = 2;
  s.doc.ResetDocument();
  EXPECT_TRUE(s.doc.bCommStopped);
  EXPECT_EQ(s.doc.nAxis, -1);
  EXPECT_EQ(s.doc.axisAddr.port, 0);
  EXPECT_TRUE(s.doc.axisName.empty());
  EXPECT_EQ(s.doc.nJogState, 0);
  EXPECT_EQ(s.doc.nLastPage, -1);
  EXPECT_EQ(s.doc.linkVersions.lib, model::LibVersion{});
  EXPECT_EQ(s.doc.linkVersions.table,
            (model::RecordVersionTable{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 2, 2}));
  EXPECT_EQ(s.doc.runtime.CurrentStep, -1);
  EXPECT_EQ(s.doc.params.EncoderType, -1);
  EXPECT_EQ(s.doc.auxNames[4], "AuxData[5]");
}

// A login that finds the V3.0.35 server last hands its layouts to the document; axes of the
// V2.1 and V3.0.21 servers must still be read in their own layouts.
TEST(DocSelectTest, AxesOfOtherServersReadInTheirOwnLayoutsAfterLogin) {
  std::ifstream in(AXTUNE_SIM_CONFIGS "/demo.json");
  nlohmann::json config = nlohmann::json::parse(in);
  for (auto& server : config["servers"]) {
    if (server["port"] == 851) {
      server["port"] = 852;
    } else if (server["port"] == 852) {
      server["port"] = 851;
    }
  }
  std::string error;
  auto plant = sim::LoadPlant(config.dump(), doctest::kNetId, sim::DefaultServerFeatures(), error);
  ASSERT_TRUE(plant) << error;
  for (const auto& server : plant->Servers()) {
    if (sim::RuntimeOf(*server->Axes().front()) == nullptr) {
      ASSERT_TRUE(sim::InstallRuntimeRecords(*server, error)) << error;
    }
  }
  oxa::OxaDirect direct;
  direct.Register(doctest::kNetId, plant->Ctrl());
  doctest::RecordingUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc(direct, ui, strings);
  axlink::AxisList lists;
  axlink::FrameStatus status;
  axlink::LoginEnv env{
      &direct, direct.OxaPortOpen(), doctest::kNetId, "Axtune -> Local", &lists, &doc, &status};
  ASSERT_TRUE(axlink::Login(env));
  ASSERT_EQ(doc.linkVersions.lib, (model::LibVersion{3, 0, 35}));

  struct Pick {
    uint16_t port;
    uint16_t axis;
    const char* name;
  };
  for (const Pick& p : {Pick{802, 2, "Ejector"}, Pick{851, 6, "Transfer feed"}}) {
    sim::SimAxis& simAxis = *plant->Server(p.port)->Axis(p.axis);
    sim::ParamsOf(simAxis)->Record().ReferenceVelo = 321.5;
    sim::RuntimeOf(simAxis)->values.ActualPos = 123.25;
    const oxa::OxaAddr addr{doctest::kNetId, p.port};

    // With the login's layouts this axis cannot be read: the test would notice a regression.
    axlink::AxisTarget wrong{addr, p.axis, doc.linkVersions};
    const bool wrongOk = doc.SelectAxis(wrong, model::kPageAll);
    EXPECT_TRUE(!wrongOk || doc.params.ReferenceVelo != 321.5 || !ui.boxes.empty()) << p.name;
    ui.boxes.clear();

    const auto target = axlink::FindAxisTarget(lists, addr, p.axis);
    ASSERT_TRUE(target) << p.name;
    ASSERT_TRUE(doc.SelectAxis(*target, model::kPageAll)) << p.name;
    EXPECT_EQ(doc.axisName, p.name);
    EXPECT_EQ(doc.params.ReferenceVelo, 321.5) << p.name;
    doc.RefreshAxisData(model::kPageOnline, nullptr);
    EXPECT_EQ(doc.runtime.ActualPos, 123.25) << p.name;
    EXPECT_FALSE(doc.bCommStopped) << p.name;
    EXPECT_TRUE(ui.boxes.empty()) << p.name << ": " << (ui.boxes.empty() ? "" : ui.boxes[0]);
    ui.boxes.clear();
  }
}

}  // namespace

namespace {

// Answers every read with as many 'X' as asked for: no terminator anywhere.
class FillingOxa final : public fakeoxa::ScriptBase {
 public:
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t length,
                         void* data) override {
    std::memset(data, 'X', length);
    return 0;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return 0;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t length, void* data,
                              uint32_t, const void*) override {
    std::memset(data, 'X', length);
    return 0;
  }
};

TEST(DocSelectTest, UnterminatedNamesAreCutToTheirCapacity) {
  FillingOxa oxa;
  doctest::RecordingUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc(oxa, ui, strings);
  axlink::AxisTarget target;
  target.addr.port = 802;
  target.number = 1;
  target.versions.Store({2, 1, 6}, {2, 4, 7, 1, -1, 4, 1, 1, 4, -1, -1, -1, -1});
  ASSERT_TRUE(doc.SelectAxis(target, model::kPageAll));
  EXPECT_EQ(doc.axisName, std::string(255, 'X'));
  doc.axisRef.FeatureLevel = 3;
  doc.ReadAuxNames();
  EXPECT_EQ(doc.auxNames[0], std::string(20, 'X'));
  EXPECT_EQ(doc.auxNames[19], std::string(20, 'X'));
}

}  // namespace
