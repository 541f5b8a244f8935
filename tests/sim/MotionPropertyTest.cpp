// The axis under a long run of random commands, enable changes and faults: whatever happens,
// the state it shows stays consistent.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

#include "MotionRig.h"

using namespace simtest;

namespace {

void ExpectConsistent(MotionRig& rig, const model::RuntimeRecord& r, int i) {
  SCOPED_TRACE(i);
  const sim::HydraulicCylinder& cyl = rig.Motion().Cylinder();
  EXPECT_GE(cyl.State().position, 0.0);
  EXPECT_LE(cyl.State().position, cyl.Spec().strokeMm);
  for (double v : {r.ActualPos, r.SetpointPos, r.TargetPos, r.ActualVelo, r.SetpointVeloRatio,
                   r.Lag, r.Distance, r.ActualPressure, r.LagController}) {
    EXPECT_TRUE(std::isfinite(v));
  }
  for (double p : {r.ActualPressure, r.ActualPressure2}) {
    EXPECT_GE(p, cyl.Spec().tankBar);
    EXPECT_LE(p, cyl.Spec().reliefBar);
  }
  const bool notMoving = (r.StateBits & sim::kStateNotMoving) != 0;
  EXPECT_EQ(notMoving, std::fabs(r.ActualVelo) < 1.0);
  if (r.StateBits & sim::kStateInTarget) {
    EXPECT_TRUE(notMoving);
    EXPECT_LE(std::fabs(r.TargetPos - r.ActualPos), rig.Params().TargetRange);
  }
  EXPECT_FALSE((r.StateBits & sim::kStateMovingUp) && (r.StateBits & sim::kStateMovingDown));
  const bool error = r.ErrorCode != 0;
  EXPECT_EQ(error, r.AxisState == sim::kStateErrorStop);
  EXPECT_EQ(error, r.CurrentStep == sim::kStepFault || r.CurrentStep == sim::kStepEmergencyBreak);
  if (error) {
    EXPECT_FALSE(r.StateBits & sim::kStateReady);
  }
  EXPECT_EQ(r.CurrentStep == sim::kStepIdle,
            r.AxisState == sim::kStateStandstill || r.AxisState == sim::kStateDisabled);
}

TEST(MotionProperty, StateStaysConsistentUnderRandomCommands) {
  MotionRig rig;
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto pick = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };
  const std::set<int32_t> codes{0,
                                sim::kErrBeyondSoftLimit,
                                sim::kErrBelowBrakeDistance,
                                sim::kErrStartType,
                                sim::kErrNoControlEnable,
                                sim::kErrNoFeedNegative,
                                sim::kErrNoFeedPositive,
                                sim::kErrVelocity,
                                sim::kErrSetPosition,
                                sim::kErrNotStartable,
                                sim::kErrAxisNotReady,
                                oxa::kErrInvalidData};
  constexpr sim::MotionFault kFaults[] = {sim::MotionFault::ValveStuck, sim::MotionFault::LagError,
                                          sim::MotionFault::EncoderFault,
                                          sim::MotionFault::DriveNotReady};
  std::map<int32_t, int> results;
  std::set<int16_t> states;
  for (int i = 0; i < 1000; ++i) {
    int32_t code = 0;
    const double what = unit(rng);
    if (what < 0.35) {
      code = rig.Move(1, pick(-50, 550), pick(-10, 320));
    } else if (what < 0.5) {
      code = rig.Move(unit(rng) < 0.5 ? 3 : 4, 0.0, pick(1, 150));
    } else if (what < 0.55) {
      code = rig.Move(static_cast<int32_t>(pick(-3, 8)), pick(0, 500), pick(1, 100));
    } else if (what < 0.68) {
      code = rig.Command(sim::kCmdStop);
    } else if (what < 0.76) {
      code = rig.Command(sim::kCmdReset);
    } else if (what < 0.8) {
      code = rig.Command(sim::kCmdHome);
    } else if (what < 0.84) {
      code = rig.SetPosition(unit(rng) < 0.9 ? 1 : 0, pick(0, 500));
    } else if (what < 0.9) {
      rig.Motion().SetEnableBits(unit(rng) < 0.7 ? 7 : static_cast<uint32_t>(pick(0, 8)));
    } else if (what < 0.95) {
      const sim::MotionFault f = kFaults[static_cast<size_t>(pick(0, 4)) % 4];
      rig.Motion().SetFault(f, !rig.Motion().FaultOn(f) && unit(rng) < 0.5);
    } else if (what < 0.97) {
      uint8_t zero[sim::kMoveBlockLength] = {};
      code = rig.Command(sim::kCmdCharacteristic, zero);
    } else {
      for (sim::MotionFault f : kFaults) rig.Motion().SetFault(f, false);
      rig.Motion().SetEnableBits(7);
      code = rig.Command(sim::kCmdReset);
    }
    EXPECT_TRUE(codes.contains(code)) << i << ": " << code;
    ++results[code];
    ExpectConsistent(rig, rig.Sample(), i);
    // Let time pass, sometimes in small steps that catch the axis while it moves.
    const int steps = 1 + static_cast<int>(pick(0, 5));
    for (int s = 0; s < steps; ++s) {
      rig.Run(pick(0.001, 0.8));
      const model::RuntimeRecord r = rig.Sample();
      states.insert(r.AxisState);
      ExpectConsistent(rig, r, i);
    }
    if (HasFailure()) break;
  }
  // The run went through every kind of state, and most starts were taken.
  EXPECT_EQ(states, (std::set<int16_t>{0, 1, 2, 4, 5, 6, 7}));
  EXPECT_GT(results[0], 500);
}

}  // namespace
