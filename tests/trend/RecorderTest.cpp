// The recorder's thread, stepped tick by tick through a clock that lets it pass one wait at a
// time.
#include <gtest/gtest.h>

#include "TrendRig.h"
#include "common/ForwardingOxa.h"
#include "common/GateClock.h"
#include "trend/Recorder.h"

namespace {

// Tells when it is opened and closed.
class OwnPort final : public testoxa::ForwardingOxa {
 public:
  OwnPort(sim::Plant& plant, bool& opened, bool& closed)
      : ForwardingOxa(direct_), opened_(opened), closed_(closed) {
    direct_.Register(trendtest::kLocal, plant.Ctrl());
  }
  long OxaPortOpen() override { return opened_ = true, ForwardingOxa::OxaPortOpen(); }
  int32_t OxaPortClose() override { return closed_ = true, ForwardingOxa::OxaPortClose(); }

 private:
  oxa::OxaDirect direct_;
  bool& opened_;
  bool& closed_;
};

TEST(RecorderTest, SamplesOnItsOwnThreadWithItsOwnPortAndKeepsTheSamplesWhenStopped) {
  trendtest::PlantRig rig;
  testclock::GateClock gate;
  bool opened = false, closed = false;
  trend::Recorder recorder([&] { return std::make_unique<OwnPort>(*rig.plant, opened, closed); },
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
