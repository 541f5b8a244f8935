// The tuning runs on the demo plant in this process: what they identify against the closed
// form of the cylinder's hydraulics, and that an aborted run leaves the axis standing with its
// parameters as they were.
#include <gtest/gtest.h>

#include "tune/TuneRig.h"

namespace {

// The feed table: axis 3 of the V3.0.35 server, bore 100, rod 70, 1500 kg, 120 l/min at 70 bar.
constexpr uint16_t kFeedTable = 3;
const tunetest::Cylinder kFeedCylinder{0.100,  0.070,       1500, 0.800, 400e-6,
                                       400e-6, 120e-3 / 60, 600,  8000};

struct TuneRig : tunetest::TuneRig {
  explicit TuneRig(uint16_t axis) : tunetest::TuneRig(trendtest::kBatchPort, axis) {}
};

TEST(Sequencer, IdentifiesTheFeedTableAndRestoresItsParameters) {
  TuneRig rig(kFeedTable);
  const model::ParamRecord before = rig.ReadBack();
  auto seq = rig.Make({100, 700, 400, 0});
  const tune::RunResult r = seq->Run({});
  ASSERT_EQ(r.end, tune::EndReason::Done) << r.message;
  EXPECT_TRUE(r.restored);
  EXPECT_EQ(rig.ReadBack(), before);

  ASSERT_TRUE(r.measured.characteristic);
  const double vOut = kFeedCylinder.FullVelocity(true);
  EXPECT_NEAR(r.measured.characteristic->out.fullVelo, vOut, 0.05 * vOut);
  ASSERT_TRUE(r.measured.ringing);
  // The steps end at 355 and 445 mm.
  const double hz = 0.5 * (kFeedCylinder.NaturalHz(355) + kFeedCylinder.NaturalHz(445));
  EXPECT_NEAR(r.measured.ringing->HzNatural(), hz, 0.15 * hz);
  for (const auto& v : r.proposal) EXPECT_FALSE(v.reason.empty()) << v.name;
}

TEST(Sequencer, RefusesAnAxisOrWindowThatDoesNotAllowARun) {
  struct Case {
    uint16_t axis;
    tune::Limits limits;
    const char* message;
  };
  const Case cases[] = {
      {2, {5, 115, 50, 0}, "the axis is in error 0x4650"},
      {kFeedTable, {500, 700, 100, 0}, "the axis stands at 400.000 mm, outside the window"},
      {kFeedTable, {5, 700, 100, 0}, "the window begins below the soft limit 10.000 mm"},
      {kFeedTable, {700, 100, 100, 0}, "the window is empty"},
  };
  for (const Case& c : cases) {
    TuneRig rig(c.axis);
    auto seq = rig.Make(c.limits);
    const tune::RunResult r = seq->Run({});
    EXPECT_EQ(r.end, tune::EndReason::Refused);
    EXPECT_EQ(r.message, c.message);
  }
}

TEST(Sequencer, AnAbortStopsTheAxisAndWritesBackWhatTheRunChanged) {
  struct Case {
    tune::Steps steps;
    double lagBound;
    int stopAfter;  // samples; 0: never
    tune::EndReason end;
  };
  const Case cases[] = {
      {{false, true}, 0, 1500, tune::EndReason::StopRequested},
      {{true, false}, 0, 3000, tune::EndReason::StopRequested},
      {{false, true}, 2.0, 0, tune::EndReason::LagBound},
  };
  for (const Case& c : cases) {
    TuneRig rig(kFeedTable);
    const model::ParamRecord before = rig.ReadBack();
    int n = 0;
    auto seq = rig.Make({100, 700, 400, c.lagBound},
                        [&] { return c.stopAfter > 0 && ++n >= c.stopAfter; });
    const tune::RunResult r = seq->Run(c.steps);
    EXPECT_EQ(r.end, c.end) << r.message;
    EXPECT_TRUE(r.restored);
    EXPECT_EQ(rig.ReadBack(), before);
    EXPECT_TRUE(rig.Standing());
  }
}

}  // namespace
