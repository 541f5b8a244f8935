// The emulator's log group, request by request.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/AxisServer.h"
#include "sim/MessageLog.h"
#include "sim/ParamStore.h"
#include "sim/SimTestUtil.h"

namespace {

using sim::LogClass;
using simtest::Send;

constexpr uint16_t kPort = 851;
constexpr uint32_t kGroupAxis1 = 0x8000F201;
constexpr uint64_t kNow = 133536836967890000ull;  // 2024-02-29 12:34:56.789 UTC

class SimLogTest : public ::testing::Test {
 protected:
  void Start(std::optional<int16_t> layout) {
    server.reset();  // its handlers live in the controller
    ctrl = std::make_unique<sim::Controller>(simtest::kNetId);
    sim::AxisServerConfig c;
    c.port = kPort;
    c.lib = {3, 0, 35};
    c.axisNames = {"Press ram", "Clamp left"};
    c.recordVersions[3] = layout;
    std::string error;
    server = sim::AxisServer::Create(*ctrl, c, error);
    ASSERT_TRUE(server) << error;
    ASSERT_TRUE(sim::InstallMessageLog(*server, [this] { return now; }));
    log = sim::LogOf(*server->Axis(1));
    ASSERT_NE(log, nullptr);
  }
  simtest::Answer Read(uint32_t offset, uint32_t length) {
    return simtest::Read(*ctrl, kPort, kGroupAxis1, offset, length);
  }

  std::unique_ptr<sim::Controller> ctrl;
  std::unique_ptr<sim::AxisServer> server;
  sim::AxisLog* log = nullptr;
  uint64_t now = kNow;
};

TEST_F(SimLogTest, EntriesTravelInTheServersLayoutAtTheirOffsets) {
  Start(3);
  log->AddReal(LogClass::Warning, "Overlap %.2f", 0.5, 77);
  const auto a = Read(1, 542);
  ASSERT_EQ(a.result(), 0);
  ASSERT_EQ(a.data.size(), 542u);
  EXPECT_EQ(oxa::bytes::At<uint64_t>(a.data, 0), kNow);
  EXPECT_EQ(oxa::bytes::At<int32_t>(a.data, 8), 2);
  EXPECT_EQ(oxa::bytes::At<int32_t>(a.data, 12), 77);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data.data() + 16)), "Overlap %.2f");
  EXPECT_EQ(oxa::bytes::At<int16_t>(a.data, 272), 2);
  EXPECT_EQ(oxa::bytes::At<double>(a.data, 278), 0.5);
  // The start-up messages lie before, one per offset, each older than the next.
  uint64_t newer = kNow;
  for (uint32_t off = 2; off <= 21; ++off) {
    const auto e = Read(off, 542);
    ASSERT_EQ(e.result(), 0) << off;
    EXPECT_LT(oxa::bytes::At<uint64_t>(e.data, 0), newer) << off;
    newer = oxa::bytes::At<uint64_t>(e.data, 0);
  }
  // A slot beyond the messages is empty; past the buffer there is nothing.
  log->Clear();
  const auto empty = Read(sim::kLogCapacity, 542);
  ASSERT_EQ(empty.result(), 0);
  EXPECT_EQ(empty.data, std::vector<uint8_t>(542, 0));
  EXPECT_EQ(Read(sim::kLogCapacity + 1, 542).result(), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Read(0, 542).result(), oxa::kErrInvalidIndexOffset);
}

TEST_F(SimLogTest, RequestsThatDoNotFitTheLogAreRefused) {
  Start(4);
  EXPECT_EQ(Read(1, 542).result(), oxa::kErrInvalidSize);
  EXPECT_EQ(Read(1, 545).result(), oxa::kErrInvalidSize);
  const std::vector<uint8_t> data{1};
  EXPECT_EQ(Send(*ctrl, oxa::Command::Write, kPort, kGroupAxis1, 1, 0, data).result(),
            oxa::kErrInvalidSize);
  EXPECT_EQ(Send(*ctrl, oxa::Command::Write, kPort, kGroupAxis1, 2, 0).result(),
            oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Send(*ctrl, oxa::Command::ReadWrite, kPort, kGroupAxis1, 1, 544, data).result(),
            oxa::kErrServiceNotSupported);
  EXPECT_GT(log->Size(), 20u);
  // Not ready: every request, the clear as well, answers 0x707 and changes nothing.
  log->SetReady(false);
  EXPECT_EQ(Read(1, 544).result(), oxa::kErrNotReady);
  EXPECT_EQ(Send(*ctrl, oxa::Command::Write, kPort, kGroupAxis1, 1, 0).result(), oxa::kErrNotReady);
  EXPECT_GT(log->Size(), 20u);
  log->SetReady(true);
  EXPECT_EQ(Send(*ctrl, oxa::Command::Write, kPort, kGroupAxis1, 1, 0).result(), 0);
  EXPECT_EQ(log->Size(), 0u);
  // An axis number without an axis is not served.
  EXPECT_EQ(simtest::Read(*ctrl, kPort, 0x8000F203, 1, 544).result(), oxa::kErrInvalidIndexGroup);
}

TEST_F(SimLogTest, LayoutZeroAndUnknownLayoutsKeepNoEntriesAndUnreportedMeansLayoutOne) {
  Start(0);
  EXPECT_EQ(Read(1, 530).result(), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Read(1, 544).result(), oxa::kErrInvalidIndexOffset);
  Start(std::nullopt);
  const auto a = Read(1, 530);
  ASSERT_EQ(a.result(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data.data() + 4)), "Axis ready");
}

TEST_F(SimLogTest, StampsAlwaysIncreaseAndTheOldestMessagesFallOut) {
  Start(2);
  log->Clear();
  now = 1000;  // a clock that stands still, or even goes back
  for (int i = 0; i < 40; ++i) {
    log->AddInt(LogClass::Activity, "Message %d", i);
    if (i == 20) now = 10;
  }
  ASSERT_EQ(log->Size(), sim::kLogCapacity);
  sim::LogMessage m;
  ASSERT_TRUE(log->At(1, m));
  EXPECT_EQ(m.intArg, 39);
  ASSERT_TRUE(log->At(sim::kLogCapacity, m));
  EXPECT_EQ(m.intArg, 40 - static_cast<int32_t>(sim::kLogCapacity));
  EXPECT_FALSE(log->At(sim::kLogCapacity + 1, m));
  for (size_t off = 1; off < sim::kLogCapacity; ++off) {
    sim::LogMessage newer;
    sim::LogMessage older;
    log->At(off, newer);
    log->At(off + 1, older);
    EXPECT_GT(newer.timeStamp, older.timeStamp) << off;
  }
  // Texts longer than the field are cut so that the field stays terminated.
  log->AddText(LogClass::Error, std::string(300, 'f'), std::string(300, 't'));
  const auto a = Read(1, 538);
  ASSERT_EQ(a.result(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data.data() + 12)), std::string(255, 'f'));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data.data() + 282)), std::string(255, 't'));
}

}  // namespace

TEST(SimLogLevel, TheAxisLogLevelChoosesWhichMessagesArrive) {
  sim::Controller ctrl{simtest::kNetId};
  sim::AxisServerConfig c;
  c.port = kPort;
  c.lib = {3, 0, 35};
  c.axisNames = {"Press ram"};
  std::string error;
  auto server = sim::AxisServer::Create(ctrl, c, error);
  ASSERT_TRUE(server) << error;
  ASSERT_TRUE(sim::InstallMessageLog(*server, [] { return kNow; }));
  sim::SimAxis& axis = *server->Axis(1);
  sim::AxisLog& log = *sim::LogOf(axis);
  // Without a parameter store every class is kept.
  log.Clear();
  log.Add(LogClass::Activity, "Axis homed");
  EXPECT_EQ(log.Size(), 1u);
  ASSERT_TRUE(sim::InstallParamStore(*server));
  struct Case {
    double level;
    size_t kept;  // of one error, one warning, one activity message
  };
  for (const Case& k :
       {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{2.5, 2}, Case{-7, 0}, Case{1e9, 3}}) {
    SCOPED_TRACE(k.level);
    ASSERT_TRUE(sim::ParamsOf(axis)->SetExtra(sim::kParamLogLevel, k.level));
    log.Clear();
    log.Add(LogClass::Error, "Position limit exceeded");
    log.Add(LogClass::Warning, "Supply pressure low");
    log.Add(LogClass::Activity, "Axis homed");
    EXPECT_EQ(log.Size(), k.kept);
  }
}
