#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Plant.h"

using namespace simtest;

namespace {

const std::string kCycleCount = "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount";

Answer HandleByName(sim::Controller& c, uint16_t port, std::string_view name) {
  return Send(c, oxa::Command::ReadWrite, port, sim::kGroupSymbolHandleByName, 0, 4, Bytes(name));
}

Answer Release(sim::Controller& c, uint16_t port, uint32_t handle) {
  uint8_t data[4];
  oxa::bytes::Put(std::span<uint8_t>(data), 0, handle);
  return Write(c, port, sim::kGroupSymbolReleaseHandle, 0, data);
}

// A symbol's value read the way the login probe does: handle, value, release.
std::optional<uint32_t> Probe(sim::Controller& c, uint16_t port, std::string_view name,
                              uint32_t size) {
  Answer h = HandleByName(c, port, name);
  if (h.result() != oxa::kOk) return std::nullopt;
  Answer v = Read(c, port, sim::kGroupSymbolValueByHandle, h.As<uint32_t>(), size);
  EXPECT_EQ(Release(c, port, h.As<uint32_t>()).result(), oxa::kOk);
  if (v.result() != oxa::kOk) return std::nullopt;
  return size == 1 ? v.As<uint8_t>() : v.As<uint32_t>();
}

}  // namespace

TEST(Runtimes, AnswerTheTaskAndCycleCountProbes) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddCv2Runtime(801, {true, false, true, false}, error)) << error;
  ASSERT_TRUE(plant.AddCv3Runtime(851, 4183920, error)) << error;
  EXPECT_FALSE(plant.AddCv3Runtime(801, 1, error));
  sim::Controller& c = plant.Ctrl();

  for (uint32_t task = 1; task <= 4; ++task) {
    const std::string name = ".SYSTEMTASKINFOARR[" + std::to_string(task) + "].ACTIVE";
    EXPECT_EQ(Probe(c, 801, name, 1), task % 2) << task;
  }
  EXPECT_EQ(Probe(c, 801, ".SYSTEMTASKINFOARR[5].ACTIVE", 1), std::nullopt);
  EXPECT_EQ(Probe(c, 801, kCycleCount, 4), std::nullopt);  // the generations differ
  EXPECT_EQ(Probe(c, 851, kCycleCount, 4), 4183920u);
  // Names compare without case; a terminator in the write data ends the name.
  EXPECT_EQ(Probe(c, 851, "corvane_systeminfovarlist._taskinfo[1].cyclecount", 4), 4183920u);
  EXPECT_EQ(Probe(c, 801, std::string_view(".SYSTEMTASKINFOARR[1].ACTIVE\0x", 30), 1), 1u);
}

TEST(Runtimes, SymbolServicesFailAsAControllerDoes) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddCv3Runtime(851, 12, error));
  sim::Controller& c = plant.Ctrl();

  EXPECT_EQ(HandleByName(c, 851, "NoSuchSymbol").result(), sim::kErrSymbolNotFound);
  EXPECT_EQ(HandleByName(c, 851, "").result(), sim::kErrSymbolNotFound);
  EXPECT_EQ(
      Send(c, oxa::Command::ReadWrite, 851, sim::kGroupSymbolHandleByName, 0, 2, Bytes(kCycleCount))
          .result(),
      oxa::kErrInvalidSize);
  const uint32_t handle = HandleByName(c, 851, kCycleCount).As<uint32_t>();
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, handle, 2).result(), oxa::kErrInvalidSize);
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, handle + 1, 4).result(),
            oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Release(c, 851, handle).result(), oxa::kOk);
  EXPECT_EQ(Release(c, 851, handle).result(), oxa::kErrInvalidData);
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, handle, 4).result(),
            oxa::kErrInvalidIndexOffset);

  // A client that never releases cannot make the runtime grow without limit.
  for (size_t i = 0; i < sim::SymbolServer::kMaxHandles; ++i) {
    ASSERT_EQ(HandleByName(c, 851, kCycleCount).result(), oxa::kOk);
  }
  EXPECT_EQ(HandleByName(c, 851, kCycleCount).result(), oxa::kErrBusy);
  ASSERT_EQ(Release(c, 851, handle + 1).result(), oxa::kOk);
  EXPECT_EQ(HandleByName(c, 851, kCycleCount).result(), oxa::kOk);
}
