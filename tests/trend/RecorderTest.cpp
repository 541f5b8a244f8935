// The recorder's thread, stepped tick by tick through a clock that lets it pass one wait at a
// time.
#include <gtest/gtest.h>

#include "TrendRig.h"
#include "common/GateClock.h"
#include "trend/Recorder.h"

namespace {

// Tells when it is opened and closed.
class OwnPort final : public oxa::IOxa {
 public:
  OwnPort(bool& opened, bool& closed) : opened_(opened), closed_(closed) {}
  oxa::OxaDirect direct;
  long OxaPortOpen() override { return opened_ = true, direct.OxaPortOpen(); }
  int32_t OxaPortClose() override { return closed_ = true, direct.OxaPortClose(); }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* a) override { return direct.OxaGetLocalAddress(a); }
  int32_t OxaSyncSetTimeout(int32_t ms) override { return direct.OxaSyncSetTimeout(ms); }
  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                         void* d) override {
    return direct.OxaSyncReadReq(a, g, o, n, d);
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                          const void* d) override {
    return direct.OxaSyncWriteReq(a, g, o, n, d);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rn, void* rd,
                              uint32_t wn, const void* wd) override {
    return direct.OxaSyncReadWriteReq(a, g, o, rn, rd, wn, wd);
  }

 private:
  bool& opened_;
  bool& closed_;
};

TEST(RecorderTest, SamplesOnItsOwnThreadWithItsOwnPortAndKeepsTheSamplesWhenStopped) {
  trendtest::PlantRig rig;
  testclock::GateClock gate;
  bool opened = false, closed = false;
  trend::Recorder recorder(
      [&] {
        auto port = std::make_unique<OwnPort>(opened, closed);
        port->direct.Register(trendtest::kLocal, rig.plant->Ctrl());
        return port;
      },
      gate, 100);
  ASSERT_TRUE(recorder.Start(rig.Target(trendtest::kBatchPort, 1), 100));
  EXPECT_FALSE(recorder.Start(rig.Target(trendtest::kBatchPort, 1), 100));
  gate.WaitForFirstWait();
  gate.Pass(3);
  EXPECT_EQ(recorder.Ring().Total(), 3u);
  EXPECT_EQ(recorder.Reads(), 3u);
  gate.Open();
  recorder.Stop();
  EXPECT_FALSE(recorder.Running());
  EXPECT_TRUE(opened);
  EXPECT_TRUE(closed);
  EXPECT_GE(recorder.Ring().Total(), 3u);
  EXPECT_FALSE(recorder.PortFailed());
}

TEST(RecorderTest, APortThatDoesNotOpenIsReportedAndNothingIsRead) {
  testclock::GateClock gate;
  trend::Recorder recorder([] { return std::unique_ptr<oxa::IOxa>(); }, gate, 100);
  ASSERT_TRUE(recorder.Start({}, 100));
  recorder.Stop();
  EXPECT_TRUE(recorder.PortFailed());
  EXPECT_EQ(recorder.Reads(), 0u);
}

}  // namespace
