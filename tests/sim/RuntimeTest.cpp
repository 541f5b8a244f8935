#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Plant.h"

using namespace simtest;

namespace {

Answer HandleByName(sim::Controller& c, uint16_t port, std::string_view name) {
  return Send(c, oxa::Command::ReadWrite, port, sim::kGroupSymbolHandleByName, 0, 4, Bytes(name));
}

Answer Release(sim::Controller& c, uint16_t port, uint32_t handle) {
  uint8_t data[4];
  oxa::bytes::Put(std::span<uint8_t>(data), 0, handle);
  return Write(c, port, sim::kGroupSymbolReleaseHandle, 0, data);
}

// The value of a symbol read the way the login probe does: handle, value, release.
std::optional<std::vector<uint8_t>> Probe(sim::Controller& c, uint16_t port, std::string_view name,
                                          uint32_t size) {
  Answer h = HandleByName(c, port, name);
  if (h.result() != oxa::kOk) return std::nullopt;
  Answer v = Read(c, port, sim::kGroupSymbolValueByHandle, h.As<uint32_t>(), size);
  EXPECT_EQ(Release(c, port, h.As<uint32_t>()).result(), oxa::kOk);
  if (v.result() != oxa::kOk) return std::nullopt;
  return v.data;
}

}  // namespace

TEST(Runtimes, AnswerTheTaskAndCycleCountProbes) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddCv2Runtime(801, {true, false, true, false}, error)) << error;
  ASSERT_TRUE(plant.AddCv3Runtime(851, 4183920, error)) << error;
  ASSERT_TRUE(plant.AddCv3Runtime(852, 0, error)) << error;
  sim::Controller& c = plant.Ctrl();

  for (int task = 1; task <= 4; ++task) {
    auto v = Probe(c, 801, ".SYSTEMTASKINFOARR[" + std::to_string(task) + "].ACTIVE", 1);
    ASSERT_TRUE(v) << task;
    EXPECT_EQ((*v)[0], task == 1 || task == 3 ? 1 : 0) << task;
  }
  EXPECT_FALSE(Probe(c, 801, ".SYSTEMTASKINFOARR[5].ACTIVE", 1));
  // The generations do not share their symbols.
  EXPECT_FALSE(Probe(c, 801, "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount", 4));
  EXPECT_FALSE(Probe(c, 851, ".SYSTEMTASKINFOARR[1].ACTIVE", 1));

  auto cycles = Probe(c, 851, "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount", 4);
  ASSERT_TRUE(cycles);
  EXPECT_EQ(oxa::bytes::At<uint32_t>(*cycles, 0), 4183920u);
  auto stopped = Probe(c, 852, "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount", 4);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(oxa::bytes::At<uint32_t>(*stopped, 0), 0u);
  // Names compare without case; a terminator in the write data ends the name.
  EXPECT_TRUE(Probe(c, 851, "corvane_systeminfovarlist._taskinfo[1].cyclecount", 4));
  EXPECT_TRUE(Probe(c, 801, std::string_view(".SYSTEMTASKINFOARR[2].ACTIVE\0junk", 33), 1));
  // The probes released every handle.
  EXPECT_EQ(c.Log().Count([](const sim::LoggedRequest& e) {
    return e.indexGroup == sim::kGroupSymbolReleaseHandle;
  }),
            c.Log().Count([](const sim::LoggedRequest& e) {
              return e.indexGroup == sim::kGroupSymbolValueByHandle;
            }));

  std::string dup;
  EXPECT_FALSE(plant.AddCv3Runtime(801, 1, dup));
  EXPECT_NE(dup.find("801"), std::string::npos);
}

TEST(Runtimes, SymbolServicesFailAsAControllerDoes) {
  sim::Plant plant(kNetId);
  std::string error;
  ASSERT_TRUE(plant.AddCv3Runtime(851, 12, error));
  sim::Controller& c = plant.Ctrl();
  const std::string name = "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount";

  EXPECT_EQ(HandleByName(c, 851, "NoSuchSymbol").result(), sim::kErrSymbolNotFound);
  EXPECT_EQ(HandleByName(c, 851, "").result(), sim::kErrSymbolNotFound);
  EXPECT_EQ(Send(c, oxa::Command::ReadWrite, 851, sim::kGroupSymbolHandleByName, 0, 2, Bytes(name))
                .result(),
            oxa::kErrInvalidSize);
  EXPECT_EQ(
      Send(c, oxa::Command::Write, 851, sim::kGroupSymbolHandleByName, 0, 0, Bytes(name)).result(),
      oxa::kErrServiceNotSupported);

  Answer h = HandleByName(c, 851, name);
  ASSERT_EQ(h.result(), oxa::kOk);
  const uint32_t handle = h.As<uint32_t>();
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, handle, 2).result(), oxa::kErrInvalidSize);
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, handle + 1, 4).result(),
            oxa::kErrInvalidIndexOffset);
  const uint8_t shortHandle[2] = {1, 0};
  EXPECT_EQ(Write(c, 851, sim::kGroupSymbolReleaseHandle, 0, shortHandle).result(),
            oxa::kErrInvalidSize);
  EXPECT_EQ(Release(c, 851, handle).result(), oxa::kOk);
  EXPECT_EQ(Release(c, 851, handle).result(), oxa::kErrInvalidData);
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, handle, 4).result(),
            oxa::kErrInvalidIndexOffset);

  // A client that never releases cannot make the runtime grow without limit.
  for (size_t i = 0; i < sim::SymbolServer::kMaxHandles; ++i) {
    ASSERT_EQ(HandleByName(c, 851, name).result(), oxa::kOk);
  }
  Answer busy = HandleByName(c, 851, name);
  EXPECT_EQ(busy.result(), oxa::kErrBusy);
  ASSERT_EQ(Release(c, 851, handle + 1).result(), oxa::kOk);
  Answer again = HandleByName(c, 851, name);
  ASSERT_EQ(again.result(), oxa::kOk);
  EXPECT_EQ(Read(c, 851, sim::kGroupSymbolValueByHandle, again.As<uint32_t>(), 4).As<uint32_t>(),
            12u);
}
