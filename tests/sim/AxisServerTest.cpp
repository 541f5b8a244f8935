#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Plant.h"
#include "sim/Reply.h"

using namespace simtest;

namespace {

sim::AxisServerConfig TransferConfig() {
  sim::AxisServerConfig c;
  c.port = 852;
  c.lib = {3, 0, 21};
  c.firstAxis = 5;
  c.axisNames = {"Transfer lift", "Transfer feed", "Stacker"};
  c.recordVersions = {6, 9, 14, 3, 4, 5, 1, 2, 5, std::nullopt, std::nullopt, 1, 1};
  return c;
}

}  // namespace

TEST(AxisServer, AnswersIdentificationNamesAndVersionTable) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddServer(TransferConfig(), error)) << error;
  sim::AxisServerConfig old;
  old.port = 802;
  old.lib = {2, 1, 6};
  old.axisNames = {"Press ram"};
  old.axisCount = 7;  // a server may report more axes than it names
  ASSERT_TRUE(plant.AddServer(old, error)) << error;
  sim::Controller& c = plant.Ctrl();

  Answer ident = Read(c, 852, sim::kGroupIdentification, 0, 256);
  ASSERT_EQ(ident.data.size(), 256u);
  EXPECT_EQ(ident.Text(), "Valdor OxaServer");

  constexpr int kFails = -1000;  // marks an expected error in the table below
  const struct {
    uint16_t port;
    uint32_t group, offset;
    int value;  // the 2-byte answer, or kFails - the error code
  } words[] = {
      {852, 0xFFFFFFFF, 1, 3},
      {852, 0xFFFFFFFF, 2, 0},
      {852, 0xFFFFFFFF, 3, 21},
      {852, 0xFFFFFFFF, 4, 3},
      {852, 0xFFFFFFFF, 5, 5},
      {852, 0xFFFFFFFF, 6, kFails - 0x703},
      {802, 0xFFFFFFFF, 4, 7},
      {802, 0xFFFFFFFF, 5, kFails - 0x703},
      {852, 0x8000F100, 0, 6},
      {852, 0x8000F100, 2, 14},
      {852, 0x8000F100, 19, 5},
      {852, 0x8000F100, 20, kFails - 0x703},
      {852, 0x8000F100, 23, 1},
      {852, 0x8000F100, 5, kFails - 0x703},
      {852, 0x8000F100, 24, kFails - 0x703},
  };
  for (const auto& w : words) {
    Answer a = Read(c, w.port, w.group, w.offset, 2);
    if (w.value <= kFails) {
      EXPECT_EQ(a.result(), kFails - w.value) << w.port << " " << w.group << " " << w.offset;
    } else {
      EXPECT_EQ(a.As<int16_t>(), w.value) << w.port << " " << w.group << " " << w.offset;
    }
  }
  EXPECT_EQ(Read(c, 852, sim::kGroupIdentification, 1, 4).result(), oxa::kErrInvalidSize);
  const uint8_t two[2] = {9, 9};
  EXPECT_EQ(Write(c, 852, sim::kGroupIdentification, 1, two).result(),
            oxa::kErrServiceNotSupported);

  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 7, 2, 256).Text(), "Stacker");
  EXPECT_EQ(Read(c, 802, sim::kGroupAxisName + 1, 2, 256).Text(), "Press ram");
  for (uint32_t n : {0u, 4u, 8u}) {
    EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + n, 2, 256).result(), oxa::kErrInvalidIndexGroup);
  }
  EXPECT_EQ(Read(c, 802, sim::kGroupAxisName + 2, 2, 256).result(), oxa::kErrInvalidIndexGroup);
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 1, 256).result(), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 2, 257).result(), oxa::kErrInvalidSize);
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 2, 8).Text(), "Transfer");  // as it is
  // A name that fills the field is cut so that the field stays terminated.
  plant.Server(852)->Axis(6)->SetName(std::string(300, 'x'));
  Answer full = Read(c, 852, sim::kGroupAxisName + 6, 2, 256);
  EXPECT_EQ(full.Text().size(), 255u);
}

TEST(AxisServer, LetsFeaturesAddGroupsPerAxisAndOffset) {
  sim::Plant plant(kNetId);
  std::string error;
  sim::AxisServer* s = plant.AddServer(TransferConfig(), error);
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
  EXPECT_TRUE(s->AddAxisGroup(kRecords, 1, 2, offset1));
  EXPECT_FALSE(s->AddAxisGroup(kRecords, 1, 2, offset1));
  EXPECT_TRUE(s->AddAxisGroup(kRecords, std::nullopt, 4, anyOffset));
  EXPECT_FALSE(s->AddAxisGroup(kRecords, std::nullopt, 4, anyOffset));
  // Groups the server itself serves.
  EXPECT_FALSE(s->AddAxisGroup(sim::kGroupAxisName + 1, 7, 2, offset1));
  EXPECT_FALSE(s->AddGroup(sim::kGroupRecordVersions, 0,
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
