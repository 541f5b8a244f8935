#include <gtest/gtest.h>

#include <chrono>
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

// What a login probe sees of the demo plant, request by request, as result codes and values.
std::vector<int64_t> ProbeDemo(oxa::IOxa& oxa) {
  std::vector<int64_t> seen;
  oxa::OxaAddr at{kNetId, 801};
  const std::string task = ".SYSTEMTASKINFOARR[3].ACTIVE";
  uint32_t handle = 0;
  seen.push_back(oxa.OxaSyncReadWriteReq(&at, 0xF003, 0, 4, &handle,
                                         static_cast<uint32_t>(task.size()), task.data()));
  uint8_t active = 0;
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xF005, handle, 1, &active));
  seen.push_back(active);
  seen.push_back(oxa.OxaSyncWriteReq(&at, 0xF006, 0, 4, &handle));
  seen.push_back(oxa.OxaSyncWriteReq(&at, 0xF006, 0, 4, &handle));
  const std::string unknown = "NoSuchSymbol";
  seen.push_back(oxa.OxaSyncReadWriteReq(&at, 0xF003, 0, 4, &handle,
                                         static_cast<uint32_t>(unknown.size()), unknown.data()));

  at.port = 852;
  char ident[256] = {};
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, 0, 256, ident));
  seen.push_back(std::string(ident) == "Valdor OxaServer");
  for (uint32_t offset = 1; offset <= 6; ++offset) {
    uint16_t word = 0xEEEE;
    seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, offset, 2, &word));
    seen.push_back(word);
  }
  char name[256] = {};
  seen.push_back(oxa.OxaSyncReadReq(&at, 0x80004000 + 7, 2, 256, name));
  seen.push_back(std::string(name) == "Stacker");
  int16_t version = 0;
  seen.push_back(oxa.OxaSyncReadReq(&at, 0x8000F100, 23, 2, &version));
  seen.push_back(version);

  at.port = 853;
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, 0, 256, ident));
  at = {kOther, 851};
  seen.push_back(oxa.OxaSyncReadReq(&at, 0xFFFFFFFF, 0, 256, ident));
  return seen;
}

std::unique_ptr<sim::Plant> Demo() {
  std::string error;
  auto plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kNetId,
                                  sim::DefaultServerFeatures(), error);
  EXPECT_TRUE(plant) << error;
  return plant;
}

class OverTcp : public ::testing::Test {
 protected:
  void SetUp() override {
    plant_ = Demo();
    ASSERT_TRUE(plant_);
    std::string error;
    server_ = oxa::OxaTcpServer::Start(plant_->Ctrl(), "127.0.0.1", 0, error);
    ASSERT_TRUE(server_) << error;
    const uint16_t port = server_->Port();
    // Both NetIds lead to the emulator; only the first is its own.
    client_ = std::make_unique<oxa::OxaTcpClient>([port] {
      oxa::RouteTable t;
      t.local = {"", kNetId, "127.0.0.1", port};
      t.routes.push_back({"Press line 2", kOther, "127.0.0.1", port});
      return t;
    });
    ASSERT_NE(client_->OxaPortOpen(), 0);
  }
  void TearDown() override {
    if (client_) client_->OxaPortClose();
    if (server_) server_->Stop();
  }

  std::unique_ptr<sim::Plant> plant_;
  std::unique_ptr<oxa::OxaTcpServer> server_;
  std::unique_ptr<oxa::OxaTcpClient> client_;
};

}  // namespace

TEST_F(OverTcp, AnswersAsInProcess) {
  const std::vector<int64_t> overTcp = ProbeDemo(*client_);

  auto local = Demo();
  ASSERT_TRUE(local);
  oxa::RouteTable table;
  table.local = {"", kNetId, "127.0.0.1", 1};
  oxa::OxaDirect direct(table);
  direct.Register(kNetId, local->Ctrl());
  direct.Register(kOther, local->Ctrl());
  ASSERT_NE(direct.OxaPortOpen(), 0);
  const std::vector<int64_t> inProcess = ProbeDemo(direct);

  const std::vector<int64_t> expected{0,
                                      0,
                                      1,
                                      0,
                                      oxa::kErrInvalidData,
                                      sim::kErrSymbolNotFound,  // symbols at 801
                                      0,
                                      1,  // identification
                                      0,
                                      3,
                                      0,
                                      0,
                                      0,
                                      21,
                                      0,
                                      3,
                                      0,
                                      5,
                                      oxa::kErrInvalidIndexOffset,
                                      0xEEEE,  // offsets 1 to 6
                                      0,
                                      1,
                                      0,
                                      1,  // name of axis 7, word 12
                                      oxa::kErrTargetPortNotFound,
                                      oxa::kErrTargetMachineNotFound};
  EXPECT_EQ(overTcp, expected);
  EXPECT_EQ(inProcess, expected);
  EXPECT_EQ(plant_->Ctrl().Log().Total(), local->Ctrl().Log().Total());
  EXPECT_EQ(plant_->Ctrl().Log().Total(), 16u);  // every request arrived, the foreign one too
}

TEST_F(OverTcp, FaultsReachTheClient) {
  sim::Controller& c = plant_->Ctrl();
  sim::Fault f;
  f.port = 851;
  f.indexGroup = 0xFFFFFFFF;
  f.indexOffset = 1;
  f.kind = sim::Fault::Kind::Drop;
  const int drop = c.Faults().Add(f);
  f.indexOffset = 2;
  f.kind = sim::Fault::Kind::WrongLength;
  f.length = 1;
  c.Faults().Add(f);
  f.indexOffset = 3;
  f.kind = sim::Fault::Kind::Error;
  f.error = oxa::kErrNotReady;
  c.Faults().Add(f);

  ASSERT_EQ(client_->OxaSyncSetTimeout(200), oxa::kOk);
  oxa::OxaAddr at{kNetId, 851};
  uint16_t word = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client_->OxaSyncReadReq(&at, 0xFFFFFFFF, 1, 2, &word), oxa::kErrTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(client_->OxaSyncReadReq(&at, 0xFFFFFFFF, 2, 2, &word), oxa::kErrInvalidSize);
  EXPECT_EQ(client_->OxaSyncReadReq(&at, 0xFFFFFFFF, 3, 2, &word), oxa::kErrNotReady);

  // Once the fault is gone the same request works on the reopened connection.
  c.Faults().Remove(drop);
  EXPECT_EQ(client_->OxaSyncReadReq(&at, 0xFFFFFFFF, 1, 2, &word), oxa::kOk);
  EXPECT_EQ(word, 3);
  EXPECT_EQ(c.Log().Count([](const sim::LoggedRequest& e) {
    return e.indexGroup == 0xFFFFFFFF && e.indexOffset == 1;
  }),
            2u);
}
