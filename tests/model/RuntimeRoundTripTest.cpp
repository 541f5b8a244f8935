// The record reads against the emulated axis server in the same process, in every layout.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/AxisRef.h"
#include "model/LinRecord.h"
#include "model/ProcessImage.h"
#include "model/RuntimeRecord.h"
#include "oxa/OxaDirect.h"
#include "sim/AxisServer.h"
#include "sim/ParamStore.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace {

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;
constexpr uint16_t kAxis = 2;

class FailOnReport : public model::IErrorReport {
 public:
  void ReportOxaError(bool, bool, int32_t code, uint32_t group, uint32_t offset) override {
    ADD_FAILURE() << "reported " << code << " at " << group << "/" << offset;
  }
};

// One server with two axes whose record version table holds `word` = `layout` (and every other
// word at its newest layout).
struct Rig {
  Rig(size_t word, int16_t layout, const std::string& name = "Clamp right") : ctrl(kNetId) {
    sim::AxisServerConfig c;
    c.port = kPort;
    c.lib = {3, 0, 35};
    c.firstAxis = 1;
    c.axisNames = {"Clamp left", name};
    const int16_t newest[] = {40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
    for (size_t i = 0; i < sim::kRecordVersionWords; ++i) c.recordVersions[i] = newest[i];
    c.recordVersions[word] = layout;
    std::string error;
    server = sim::AxisServer::Create(ctrl, c, error);
    EXPECT_TRUE(server) << error;
    EXPECT_TRUE(sim::InstallParamStore(*server));
    EXPECT_TRUE(sim::InstallRuntimeRecords(*server, error)) << error;
    direct.Register(kNetId, ctrl);
    direct.OxaPortOpen();
    link.oxa = &direct;
    link.addr = {kNetId, kPort};
    link.axis = kAxis;
    link.lib = c.lib;
    for (size_t i = 0; i < sim::kRecordVersionWords; ++i) link.versions[i] = *c.recordVersions[i];
    link.report = &noReport;
  }
  sim::SimAxis& Axis() { return *server->Axis(kAxis); }
  sim::AxisRuntime& State() { return *sim::RuntimeOf(Axis()); }

  sim::Controller ctrl;
  std::unique_ptr<sim::AxisServer> server;
  oxa::OxaDirect direct;
  FailOnReport noReport;
  model::AxisLink link;
};

TEST(RuntimeRoundTrip, EveryStRtDataLayoutAndTheBatch) {
  for (int l : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, -1}) {
    const auto layout = static_cast<int16_t>(l);
    SCOPED_TRACE(layout);
    Rig rig(1, layout);
    sim::ParamsOf(rig.Axis())->Record().ReferenceVelo = 200.0;
    model::RuntimeRecord& v = rig.State().values;
    v.ActualPos = 123.456;
    v.TargetPos = v.TargetPosAux = 300.5;
    v.SetpointVeloRatio = 0.25;
    v.StateBits = 0x20000615;
    v.EnableBits = 0x23;
    v.ErrorCode = 0x4410;
    v.CurrentStep = 7;
    v.Unsaved = true;
    v.PosCams = 0x6;

    model::RuntimeRecord r;
    r.ReferenceVelo = 200.0;  // the parameter read brings it for the block layouts
    ASSERT_EQ(model::ReadRuntimeRecord(rig.link, r, false), 0);
    EXPECT_EQ(r.ActualPos, 123.456);
    EXPECT_EQ(r.TargetPos, 300.5);
    EXPECT_DOUBLE_EQ(r.SetpointVeloRatio, 0.25);
    EXPECT_EQ(r.StateBits, 0x20000615u);
    EXPECT_EQ(r.EnableBits, 0x23u);
    EXPECT_EQ(r.ErrorCode, 0x4410);
    EXPECT_EQ(r.CurrentStep, 7);
    EXPECT_EQ(r.PosCams, 0x6);
    EXPECT_EQ(r.Unsaved, layout >= 5 || layout < 0);  // block layouts 0 to 4 have none
    EXPECT_EQ(r.Override, 1.0);
  }
}

TEST(RuntimeRoundTrip, ChangedParametersNoticeIsAcknowledgedAtTheServer) {
  Rig rig(1, 12);
  rig.State().paramsChanged = true;
  model::RuntimeRecord r;
  model::RuntimeReadNotice notice;
  ASSERT_EQ(model::ReadRuntimeRecord(rig.link, r, false, &notice), 0);
  EXPECT_TRUE(notice.paramsChanged);
  EXPECT_FALSE(rig.State().paramsChanged);
  ASSERT_EQ(model::ReadRuntimeRecord(rig.link, r, false, &notice), 0);
  EXPECT_FALSE(notice.paramsChanged);

  // While the communication is stopped the notice is seen but stays set at the server.
  rig.State().paramsChanged = true;
  ASSERT_EQ(model::ReadRuntimeRecord(rig.link, r, true, &notice), 0);
  EXPECT_TRUE(notice.paramsChanged);
  EXPECT_TRUE(rig.State().paramsChanged);
}

TEST(RuntimeRoundTrip, EveryAxisRefLayout) {
  const std::string name(90, 'x');
  for (int l : {0, 1, 2, 3, 4, 5, 6, 40}) {
    const auto layout = static_cast<int16_t>(l);
    SCOPED_TRACE(layout);
    Rig rig(0, layout, name);
    rig.State().values.AxisState = 11;
    rig.State().initState = 4;
    rig.State().initError = -77;
    model::AxisRefRecord ref;
    model::RuntimeRecord runtime;
    ASSERT_EQ(model::ReadAxisRef(rig.link, ref, runtime), 0);
    EXPECT_EQ(std::string(ref.AxisRefName.data()).size(), layout >= 6 ? 83u : 80u);
    EXPECT_EQ(ref.AxisStateCode, 11);
    EXPECT_EQ(runtime.AxisState, 11);
    EXPECT_EQ(ref.InitState, 4);
    EXPECT_EQ(ref.InitError, -77);
    EXPECT_EQ(ref.FeatureLevel, layout == 0 ? -1 : 3);
    EXPECT_TRUE(ref.RefFlags[0] || layout < 2);
    // The rig's server has the linearisation record and, from AxisRef layout 4, announces it.
    EXPECT_EQ(ref.HasLinTab(), layout >= 4);
    EXPECT_EQ(ref.HasDevIo(), layout >= 4 && layout != 40);
  }
}

TEST(RuntimeRoundTrip, EveryLinRecordLayout) {
  for (int l : {1, 2, 3, 4, 5}) {
    const auto layout = static_cast<int16_t>(l);
    SCOPED_TRACE(layout);
    Rig rig(4, layout);
    const model::LinRecord& sent = rig.State().lin;
    model::LinRecord r;
    ASSERT_EQ(model::ReadLinTab(rig.link, r), 0);
    EXPECT_EQ(r.LinEnableOverlap, sent.LinEnableOverlap);
    EXPECT_EQ(r.LinEoTPositive, sent.LinEoTPositive);
    EXPECT_EQ(r.LinEnableTable, sent.LinEnableTable);
    EXPECT_EQ(r.LinSamples, sent.LinSamples);
    EXPECT_EQ(r.LinHighEnd, sent.LinHighEnd);
    EXPECT_EQ(r.LinRamp, sent.LinRamp);
    EXPECT_EQ(r.LinNegativeLimit, layout >= 4 ? sent.LinNegativeLimit : 0.0);
    EXPECT_EQ(r.LinCurveType, layout == 5 ? sent.LinCurveType : 0);
    EXPECT_EQ(r.LinTabOutput[20], layout == 5 ? 1.0 : 0.0);
    EXPECT_EQ(r.LinMinCycle, layout == 5 ? sent.LinMinCycle : 0.0);
  }
}

TEST(RuntimeRoundTrip, EveryProcessImageLayout) {
  struct Case {
    model::IoRecordId id;
    std::vector<int16_t> layouts;
    // Byte ranges that every layout of the record carries.
    std::vector<std::pair<size_t, size_t>> carried;
  };
  using model::IoRecordId;
  const Case cases[] = {
      {IoRecordId::EncoderIn, {4, 5}, {{0x00, 5}, {0x09, 4}}},
      {IoRecordId::EncoderOut, {0, 1}, {{0x00, 1}}},
      {IoRecordId::DriveIn, {0, 1, 2}, {{0x00, 3}}},
      {IoRecordId::DriveOut, {0, 4, 5, 6}, {{0x00, 12}}},
      {IoRecordId::DriveDevIn, {1}, {{0x00, 37}}},
      {IoRecordId::DriveDevOut, {1}, {{0x00, 26}}},
      {IoRecordId::DevIn, {1, 2}, {{0x00, 4}, {0x18, 2}, {0x24, 4}, {0x60, 2}}},
      {IoRecordId::DevOut, {1, 2}, {{0x00, 4}, {0x10, 8}, {0x3C, 2}, {0x40, 2}}},
  };
  for (const Case& c : cases) {
    for (int16_t layout : c.layouts) {
      const auto& info = model::IoInfo(c.id);
      SCOPED_TRACE(std::string(info.name) + " layout " + std::to_string(layout));
      Rig rig(info.versionWord, layout);
      sim::ParamsOf(rig.Axis())->Record().EncoderWeighting = 0.01;
      sim::ParamsOf(rig.Axis())->Record().ReferenceVelo = 400.0;
      rig.State().values.ActualPos = 712.34;  // 71234 increments: beyond 16 bits
      rig.State().values.ActualVelo = -3.0;
      rig.State().values.SetpointVeloRatio = -0.01;
      rig.State().valveOutput = -0.5;
      model::IoRecords io;
      ASSERT_EQ(model::ReadIoRecord(rig.link, c.id, io), 0);
      const model::IoRecords sent = sim::IoImagesOf(rig.Axis());
      const auto got = model::IoBytes(io, c.id);
      const auto want = model::IoBytes(sent, c.id);
      for (auto [off, len] : c.carried) {
        for (size_t i = off; i < off + len; ++i) EXPECT_EQ(got[i], want[i]) << i;
      }
    }
  }
  // The emulator's images agree with the axis.
  Rig rig(11, 2);
  sim::ParamsOf(rig.Axis())->Record().EncoderWeighting = 0.01;
  rig.State().values.ActualPos = 712.34;
  rig.State().valveOutput = -0.5;
  model::IoRecords io;
  ASSERT_EQ(model::ReadDevIn(rig.link, io), 0);
  ASSERT_EQ(model::ReadDevOut(rig.link, io), 0);
  EXPECT_EQ(io.devIn.Field<uint32_t>(0x00), 71234u);
  EXPECT_EQ(io.devIn.Field<uint16_t>(0x18), 71234u & 0xFFFF);
  EXPECT_TRUE(io.devIn.Field<bool>(0x60));
  EXPECT_EQ(io.devOut.Field<int16_t>(0x10), -16384);
  EXPECT_EQ(io.devOut.Field<uint16_t>(0x16), 16384u);
}

TEST(RuntimeRoundTrip, ServerRefusesWrongLengthsAndMissingLayouts) {
  Rig rig(1, 12);  // StRtData by batch only: no block
  std::array<uint8_t, 600> buf{};
  EXPECT_EQ(rig.direct.OxaSyncReadReq(&rig.link.addr, 0x8000F002, 1, 274, buf.data()),
            oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(rig.direct.OxaSyncReadReq(&rig.link.addr, 0x8000F002, 0, 255, buf.data()),
            oxa::kErrInvalidSize);
  EXPECT_EQ(rig.direct.OxaSyncWriteReq(&rig.link.addr, 0x8000F002, 0, 256, buf.data()),
            oxa::kErrServiceNotSupported);
  EXPECT_EQ(rig.direct.OxaSyncWriteReq(&rig.link.addr, 0x800F0002, 11008, 2, buf.data()),
            oxa::kErrInvalidSize);
}

}  // namespace

namespace {

TEST(RuntimeRoundTrip, ConfigurationSetsTheAxisAndRefusesNonsense) {
  const auto features = sim::DefaultServerFeatures();
  const std::string head =
      R"({"servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1,
          "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2], "axes": [)";
  std::string error;
  auto plant = sim::LoadPlant(
      head + R"({"name": "Lift", "runtime": {"position": 12.5, "errorCode": 17}}]}]})", kNetId,
      features, error);
  ASSERT_TRUE(plant) << error;
  const sim::AxisRuntime* rt = sim::RuntimeOf(*plant->Server(851)->Axis(1));
  ASSERT_NE(rt, nullptr);
  EXPECT_EQ(rt->values.ActualPos, 12.5);
  EXPECT_EQ(rt->values.ErrorCode, 17);

  for (const char* bad :
       {R"({"name": "a", "runtime": {"position": "far"}})",
        R"({"name": "a", "runtime": {"step": 40000}})", R"({"name": "a", "runtime": {"speed": 1}})",
        R"({"name": "a", "runtime": 3})"}) {
    SCOPED_TRACE(bad);
    error.clear();
    EXPECT_FALSE(sim::LoadPlant(head + bad + "]}]}", kNetId, features, error));
    EXPECT_NE(error.find("runtime"), std::string::npos) << error;
  }
}

}  // namespace
