// The sampler against the emulated plant over its own in-process port, on the plant's clock.
#include <gtest/gtest.h>

#include <cmath>

#include "TrendRig.h"
#include "common/ForwardingOxa.h"
#include "link/Commands.h"
#include "sim/RuntimeRecords.h"
#include "trend/Sampler.h"

namespace {

using trendtest::PlantRig;

// Each request takes `latency` seconds of the plant's clock, and request number `stallAt` (from
// 0) `stall` seconds more.
class SlowOxa final : public testoxa::ForwardingOxa {
 public:
  SlowOxa(oxa::IOxa& inner, trend::VirtualClock& clock, double latency)
      : ForwardingOxa(inner), clock_(clock), latency_(latency) {}
  int stallAt = -1;
  double stall = 0;

 private:
  void BeforeRequest() override { clock_.Advance(latency_ + (requests_++ == stallAt ? stall : 0)); }
  trend::VirtualClock& clock_;
  double latency_;
  int requests_ = 0;
};

std::vector<trend::Sample> All(const trend::SampleRing& ring) {
  std::vector<trend::Sample> out;
  ring.CopySince(0, out);
  return out;
}

TEST(SamplerTest, SamplesAtTheAskedRateStampedWhenTheAnswerArrives) {
  struct Case {
    double asked, expected;
    double latency;  // s per read
  };
  const Case cases[] = {
      {10, 10, 0}, {100, 100, 0}, {1000, 1000, 0.0004}, {5000, 1000, 0}, {2, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    PlantRig rig;
    SlowOxa oxa(rig.own, rig.clock, c.latency);
    trend::SampleRing ring(4000);
    trend::Sampler sampler(oxa, rig.Target(trendtest::kBatchPort, 1), c.asked, rig.clock, ring);
    const double start = rig.clock.Now();
    for (int i = 0; i < 2 * c.expected; ++i) sampler.Tick();
    const auto samples = All(ring);
    EXPECT_EQ(static_cast<double>(samples.size()), 2.0 * c.expected);
    EXPECT_EQ(sampler.MissedTicks(), 0u);
    for (size_t i = 0; i < samples.size(); ++i) {
      // Each tick reads at start + i / rate; its stamp is taken when the answer is in.
      EXPECT_NEAR(samples[i].t, start + static_cast<double>(i) / c.expected + c.latency, 1e-9) << i;
    }
  }
}

TEST(SamplerTest, AStallOfAFewTicksIsMadeUpAndALongerOneSkipsTheTicksItPassed) {
  struct Case {
    double stall;  // s, of the 50th read at 1000 Hz
    uint64_t missed;
  };
  for (const Case& c : {Case{0.003, 0}, Case{0.0045, 0}, Case{0.0065, 5}, Case{0.0105, 9}}) {
    SCOPED_TRACE(c.stall);
    PlantRig rig;
    SlowOxa oxa(rig.own, rig.clock, 0);
    oxa.stallAt = 50;
    oxa.stall = c.stall;
    trend::SampleRing ring(400);
    trend::Sampler sampler(oxa, rig.Target(trendtest::kBatchPort, 1), 1000, rig.clock, ring);
    const double start = rig.clock.Now();
    while (sampler.Reads() + sampler.MissedTicks() < 200) sampler.Tick();
    EXPECT_EQ(sampler.MissedTicks(), c.missed);
    // The schedule is met again: the 200th tick falls on its time.
    EXPECT_NEAR(All(ring).back().t - start, 0.199, 1e-9);
  }
}

TEST(SamplerTest, AFailedReadIsCountedAndTheNextTickReadsAgain) {
  PlantRig rig;
  trend::SampleRing ring(1000);
  trend::Sampler sampler(rig.own, rig.Target(trendtest::kBatchPort, 1), 100, rig.clock, ring);
  const int fault = rig.plant->Ctrl().Faults().Add(
      {trendtest::kBatchPort, 0x8000F001, std::nullopt, sim::Fault::Kind::Error, oxa::kErrBusy});
  for (int i = 0; i < 20; ++i) EXPECT_EQ(sampler.Tick(), oxa::kErrBusy);
  rig.plant->Ctrl().Faults().Remove(fault);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(sampler.Tick(), oxa::kOk);
  EXPECT_EQ(sampler.Reads(), 50u);
  EXPECT_EQ(sampler.Failures(), 20u);
  EXPECT_EQ(sampler.LastError(), oxa::kErrBusy);
  EXPECT_EQ(ring.Total(), 30u);
}

TEST(SamplerTest, LeavesTheChangedParametersNoticeForTheDocument) {
  PlantRig rig;
  sim::SimAxis& axis = *rig.plant->Server(trendtest::kBatchPort)->Axis(1);
  sim::RuntimeOf(axis)->paramsChanged = true;
  trend::SampleRing ring(100);
  trend::Sampler sampler(rig.own, rig.Target(trendtest::kBatchPort, 1), 100, rig.clock, ring);
  rig.plant->Ctrl().Log().Clear();
  for (int i = 0; i < 5; ++i) ASSERT_EQ(sampler.Tick(), oxa::kOk);
  EXPECT_TRUE(sim::RuntimeOf(axis)->paramsChanged);
  EXPECT_EQ(rig.plant->Ctrl().Log().Count(
                [](const sim::LoggedRequest& r) { return r.command == oxa::Command::Write; }),
            0u);
}

TEST(SamplerTest, SetpointVelocityIsInMillimetresPerSecondInBlockAndBatchLayouts) {
  struct Case {
    uint16_t port, axis;
    double to;  // a second's way at 100 mm/s within the demo axis's soft limits
  };
  for (const Case& c : {Case{trendtest::kBatchPort, 1, 110}, Case{trendtest::kBlockPort, 5, 300}}) {
    SCOPED_TRACE(c.port);
    PlantRig rig;
    rig.Select(c.port, c.axis);
    trend::RecordTarget target = rig.Target(c.port, c.axis);
    target.referenceVelo = rig.doc.runtime.ReferenceVelo;  // what the document read
    ASSERT_EQ(rig.doc.Move(axlink::kMoveToPosition, c.to, 100), oxa::kOk);
    trend::SampleRing ring(100);
    trend::Sampler sampler(rig.own, target, 100, rig.clock, ring);
    rig.clock.Advance(0.5);  // well into the constant velocity
    ASSERT_EQ(sampler.SampleOnce(), oxa::kOk);
    EXPECT_NEAR(All(ring).back().values[trend::kSetpointVelo], 100.0, 1e-6);
  }
}

}  // namespace
