#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Plant.h"
#include "sim/Reply.h"

using namespace simtest;

namespace {

sim::AxisServerConfig PressConfig() {
  sim::AxisServerConfig c;
  c.port = 852;
  c.lib = {3, 0, 21};
  c.firstAxis = 5;
  c.axisNames = {"Transfer lift", "Transfer feed", "Stacker"};
  c.recordVersions = {6, 9, 14, 3, 4, 5, 1, 2, 5, std::nullopt, std::nullopt, 1, 1};
  return c;
}

}  // namespace

TEST(AxisServer, AnswersIdentificationOffsets) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddServer(PressConfig(), error)) << error;
  sim::AxisServerConfig old;
  old.port = 802;
  old.lib = {2, 1, 6};
  old.axisNames = {"Press ram", "Ejector"};
  old.axisCount = 7;  // a server may report more axes than it names
  ASSERT_TRUE(plant.AddServer(old, error)) << error;
  sim::Controller& c = plant.Ctrl();

  Answer ident = Read(c, 852, sim::kGroupIdentification, 0, 256);
  ASSERT_EQ(ident.result(), oxa::kOk);
  ASSERT_EQ(ident.data.size(), 256u);
  EXPECT_EQ(ident.Text(), "Valdor OxaServer");
  EXPECT_EQ(ident.data[16], 0);
  EXPECT_EQ(ident.data[255], 0);

  const struct {
    uint16_t port;
    uint32_t offset;
    int32_t result;
    uint16_t value;
  } words[] = {
      {852, 1, oxa::kOk, 3},  {852, 2, oxa::kOk, 0},
      {852, 3, oxa::kOk, 21}, {852, 4, oxa::kOk, 3},
      {852, 5, oxa::kOk, 5},  {852, 6, oxa::kErrInvalidIndexOffset, 0},
      {802, 1, oxa::kOk, 2},  {802, 3, oxa::kOk, 6},
      {802, 4, oxa::kOk, 7},  {802, 5, oxa::kErrInvalidIndexOffset, 0},
  };
  for (const auto& w : words) {
    Answer a = Read(c, w.port, sim::kGroupIdentification, w.offset, 2);
    EXPECT_EQ(a.result(), w.result) << w.port << " offset " << w.offset;
    if (w.result == oxa::kOk) {
      EXPECT_EQ(a.As<uint16_t>(), w.value) << w.port << " " << w.offset;
    }
  }
  EXPECT_EQ(Read(c, 852, sim::kGroupIdentification, 1, 4).result(), oxa::kErrInvalidSize);
  const uint8_t two[2] = {9, 9};
  EXPECT_EQ(Write(c, 852, sim::kGroupIdentification, 1, two).result(),
            oxa::kErrServiceNotSupported);

  sim::AxisServer* s = plant.Server(802);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->FirstAxisNumber(), 1);
  EXPECT_TRUE(s->LibAtLeast(2, 1, 0));
  EXPECT_FALSE(s->LibAtLeast(2, 2, 0));
}

TEST(AxisServer, AnswersAxisNamesByAxisNumber) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddServer(PressConfig(), error)) << error;
  sim::Controller& c = plant.Ctrl();
  const char* names[] = {"Transfer lift", "Transfer feed", "Stacker"};
  for (uint32_t n = 5; n <= 7; ++n) {
    Answer a = Read(c, 852, sim::kGroupAxisName + n, 2, 256);
    ASSERT_EQ(a.result(), oxa::kOk) << n;
    EXPECT_EQ(a.Text(), names[n - 5]);
  }
  for (uint32_t n : {0u, 1u, 4u, 8u, 255u}) {
    EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + n, 2, 256).result(), oxa::kErrInvalidIndexGroup)
        << n;
  }
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 1, 256).result(), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 2, 257).result(), oxa::kErrInvalidSize);
  // A short read gets the first bytes of the field, as they are.
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 2, 8).Text(), "Transfer");

  // A name that fills the field is cut so the field stays terminated.
  sim::SimAxis* axis = plant.Server(852)->Axis(6);
  ASSERT_TRUE(axis);
  EXPECT_EQ(axis->Number(), 6);
  axis->SetName(std::string(300, 'x'));
  Answer full = Read(c, 852, sim::kGroupAxisName + 6, 2, 256);
  EXPECT_EQ(full.data[255], 0);
  EXPECT_EQ(full.Text().size(), 255u);
}

TEST(AxisServer, AnswersRecordVersionTableWordByWord) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddServer(PressConfig(), error)) << error;
  sim::Controller& c = plant.Ctrl();
  const std::array<int, 13> expected{6, 9, 14, 3, 4, 5, 1, 2, 5, -1000, -1000, 1, 1};
  for (size_t w = 0; w < 13; ++w) {
    Answer a = Read(c, 852, sim::kGroupRecordVersions, sim::kRecordVersionOffsets[w], 2);
    if (expected[w] == -1000) {
      EXPECT_EQ(a.result(), oxa::kErrInvalidIndexOffset) << "word " << w;
    } else {
      ASSERT_EQ(a.result(), oxa::kOk) << "word " << w;
      EXPECT_EQ(a.As<int16_t>(), expected[w]) << "word " << w;
    }
  }
  for (uint32_t offset : {5u, 15u, 24u, 0xFFFFu}) {
    EXPECT_EQ(Read(c, 852, sim::kGroupRecordVersions, offset, 2).result(),
              oxa::kErrInvalidIndexOffset)
        << offset;
  }
  EXPECT_EQ(Read(c, 852, sim::kGroupRecordVersions, 0, 4).result(), oxa::kErrInvalidSize);
  EXPECT_EQ(plant.Server(852)->RecordVersion(2), 14);
  EXPECT_EQ(plant.Server(852)->RecordVersion(9), std::nullopt);
  EXPECT_EQ(plant.Server(852)->RecordVersion(13), std::nullopt);
}

TEST(AxisServer, LetsFeaturesAddGroupsPerAxisAndOffset) {
  sim::Plant plant(kNetId);
  std::string error;
  sim::AxisServer* s = plant.AddServer(PressConfig(), error);
  ASSERT_TRUE(s) << error;
  struct Counter {
    uint32_t reads = 0;
  };
  for (const auto& axis : s->Axes()) axis->Ext().Emplace<Counter>();
  const uint32_t kRecords = 0x8000F000;
  auto offset1 = [](sim::SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t> out) {
    if (auto* counter = axis.Ext().Find<Counter>()) ++counter->reads;
    return sim::ReadValue<uint16_t>(r, out, axis.Number());
  };
  auto anyOffset = [](sim::SimAxis&, const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadValue<uint32_t>(r, out, r.indexOffset);
  };
  EXPECT_TRUE(s->AddAxisGroup(kRecords, 1, offset1));
  EXPECT_FALSE(s->AddAxisGroup(kRecords, 1, offset1));
  EXPECT_TRUE(s->AddAxisGroup(kRecords, std::nullopt, anyOffset));
  EXPECT_FALSE(s->AddAxisGroup(kRecords, std::nullopt, anyOffset));
  // The name groups of the server itself and a server-wide group already served.
  EXPECT_FALSE(s->AddAxisGroup(sim::kGroupAxisName + 1, 7, offset1));
  EXPECT_FALSE(s->AddGroup(sim::kGroupRecordVersions,
                           [](const oxa::OxaRequest&, std::span<uint8_t>) { return sim::Done(); }));

  sim::Controller& c = plant.Ctrl();
  EXPECT_EQ(Read(c, 852, kRecords + 6, 1, 2).As<uint16_t>(), 6);
  EXPECT_EQ(Read(c, 852, kRecords + 6, 24, 4).As<uint32_t>(), 24u);
  EXPECT_EQ(Read(c, 852, kRecords + 4, 1, 2).result(), oxa::kErrInvalidIndexGroup);
  const Counter* six = s->Axis(6)->Ext().Find<Counter>();
  const Counter* five = s->Axis(5)->Ext().Find<Counter>();
  ASSERT_TRUE(six && five);
  EXPECT_EQ(six->reads, 1u);
  EXPECT_EQ(five->reads, 0u);
  EXPECT_EQ(s->Axis(5)->Ext().Find<std::string>(), nullptr);
}

TEST(AxisServer, RefusesConfigurationsItCannotServe) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddServer(PressConfig(), error));
  struct Case {
    const char* what;
    std::function<void(sim::AxisServerConfig&)> change;
    const char* message;
  } cases[] = {
      {"same port", [](sim::AxisServerConfig&) {}, "already has an axis server"},
      {"axis 0",
       [](sim::AxisServerConfig& k) {
         k.port = 900;
         k.firstAxis = 0;
       },
       "axis numbers"},
      {"beyond 255",
       [](sim::AxisServerConfig& k) {
         k.port = 900;
         k.firstAxis = 254;
       },
       "axis numbers"},
      {"long ident",
       [](sim::AxisServerConfig& k) {
         k.port = 900;
         k.ident = std::string(256, 'V');
       },
       "identification"},
      {"long name",
       [](sim::AxisServerConfig& k) {
         k.port = 900;
         k.axisNames[1] = std::string(256, 'n');
       },
       "axis name"},
  };
  for (const Case& k : cases) {
    sim::AxisServerConfig config = PressConfig();
    k.change(config);
    std::string err;
    EXPECT_EQ(plant.AddServer(config, err), nullptr) << k.what;
    EXPECT_NE(err.find(k.message), std::string::npos) << k.what << ": " << err;
  }
  // Nothing of a refused server was left behind on its port.
  EXPECT_EQ(Read(plant.Ctrl(), 900, sim::kGroupIdentification, 0, 256).result(),
            oxa::kErrTargetPortNotFound);
}
