#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SimTestUtil.h"
#include "oxa/OxaDirect.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/Plant.h"

using namespace simtest;

namespace {

const oxa::NetId kOther{{10, 1, 1, 9, 1, 1}};

std::unique_ptr<sim::Plant> Demo() {
  std::string error;
  auto plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kNetId,
                                  sim::DefaultServerFeatures(), error);
  EXPECT_TRUE(plant) << error;
  if (plant) {
    // A name read that is never answered.
    sim::Fault drop;
    drop.port = 852;
    drop.indexGroup = 0x80004006;
    drop.kind = sim::Fault::Kind::Drop;
    plant->Ctrl().Faults().Add(drop);
  }
  return plant;
}

// What the requests of a login see of the demo plant: result codes and values, in order.
std::vector<int64_t> ProbeDemo(oxa::IOxa& oxa) {
  std::vector<int64_t> seen;
  oxa::OxaAddr at{kNetId, 801};
  const std::string task = ".SYSTEMTASKINFOARR[3].ACTIVE";
  uint32_t handle = 0;
  uint8_t active = 0;
  seen.push_back(oxa.OxaSyncReadWriteReq(&at, 0xF003, 0, 4, &handle,
                                         static_cast<uint32_t>(task.size()), task.data()));
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xF005, handle, 1, &active));
  seen.push_back(active);
  seen.push_back(oxa.OxaSyncWriteReq(&at, 0xF006, 0, 4, &handle));
  seen.push_back(oxa.OxaSyncWriteReq(&at, 0xF006, 0, 4, &handle));
  at.port = 852;
  char text[256] = {};
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, 0, 256, text));
  seen.push_back(std::string(text) == "Valdor OxaServer");
  for (uint32_t offset : {3u, 5u, 6u}) {
    uint16_t word = 0xEEEE;
    seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, offset, 2, &word));
    seen.push_back(word);
  }
  seen.push_back(oxa.OxaSyncReadReq(&at, 0x80004007, 2, 256, text));
  seen.push_back(std::string(text) == "Stacker");
  seen.push_back(oxa.OxaSyncReadReq(&at, 0x80004006, 2, 256, text));
  at.port = 853;
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, 0, 256, text));
  at = {kOther, 851};
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, 0, 256, text));
  return seen;
}

}  // namespace

TEST(OverTcp, AnswersAsInProcess) {
  auto plant = Demo();
  ASSERT_TRUE(plant);
  std::string error;
  auto server = oxa::OxaTcpServer::Start(plant->Ctrl(), "127.0.0.1", 0, error);
  ASSERT_TRUE(server) << error;
  const uint16_t port = server->Port();
  // Both NetIds lead to the emulator; only the first is its own.
  oxa::OxaTcpClient client([port] {
    oxa::RouteTable t;
    t.local = {"", kNetId, "127.0.0.1", port};
    t.routes.push_back({"Press line 2", kOther, "127.0.0.1", port});
    return t;
  });
  ASSERT_NE(client.OxaPortOpen(), 0);
  ASSERT_EQ(client.OxaSyncSetTimeout(200), oxa::kOk);
  const std::vector<int64_t> overTcp = ProbeDemo(client);

  auto local = Demo();
  ASSERT_TRUE(local);
  oxa::OxaDirect direct;
  direct.Register(kNetId, local->Ctrl());
  direct.Register(kOther, local->Ctrl());
  ASSERT_NE(direct.OxaPortOpen(), 0);
  const std::vector<int64_t> inProcess = ProbeDemo(direct);

  const std::vector<int64_t> expected{0,
                                      0,
                                      1,
                                      0,
                                      oxa::kErrInvalidData,  // symbols at 801
                                      0,
                                      1,  // identification
                                      0,
                                      21,
                                      0,
                                      5,
                                      oxa::kErrInvalidIndexOffset,
                                      0xEEEE,  // offsets 3, 5, 6
                                      0,
                                      1,
                                      oxa::kErrTimeout,  // names of axes 7 and 6
                                      oxa::kErrTargetPortNotFound,
                                      oxa::kErrTargetMachineNotFound};
  EXPECT_EQ(overTcp, expected);
  EXPECT_EQ(inProcess, expected);
  // Every request arrived, the foreign one too.
  EXPECT_EQ(plant->Ctrl().Log().Total(), 12u);
  EXPECT_EQ(local->Ctrl().Log().Total(), 12u);
  client.OxaPortClose();
  server->Stop();
}
