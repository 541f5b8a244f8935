#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "MotionRig.h"
#include "sim/Plant.h"

using namespace simtest;

namespace {

TEST(Motion, StartEndsInTargetWithinItsProfileTime) {
  struct Case {
    double from, to, velocity;
    bool jerk;
  };
  const Case cases[] = {
      {250, 400, 100, true},    // long move up, jerk limited
      {250, 20, 200, true},     // long move down near the speed the cylinder retracts at
      {250, 251.5, 200, true},  // too short to reach the velocity
      {100, 450, 200, false},   // plain trapezoid
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    MotionRig rig;
    rig.Params().JerkEnabled = c.jerk ? 1 : 0;
    if (c.from != 250) {
      ASSERT_EQ(rig.Move(1, c.from, 200), 0);
      ASSERT_GT(rig.RunUntil(InTarget, 3.0), 0.0);
      rig.seen.clear();
    }
    ASSERT_EQ(rig.Move(1, c.to, c.velocity), 0);
    const double predicted = rig.Motion().PredictedMoveTime();
    EXPECT_GT(predicted, 0.0);
    const double taken = rig.RunUntil(InTarget, predicted + 5.0);
    ASSERT_GT(taken, 0.0) << "never in target";
    // The axis follows its setpoint: it arrives after the profile ends, within the time the
    // target filter and the settling of the valve need.
    EXPECT_GE(taken, predicted);
    EXPECT_LE(taken, predicted + rig.Params().TargetFilter + 0.3);
    const model::RuntimeRecord& end = rig.seen.back();
    EXPECT_NEAR(end.ActualPos, c.to, rig.Params().TargetRange);
    EXPECT_EQ(end.TargetPos, c.to);
    EXPECT_EQ(end.ErrorCode, 0);
    EXPECT_EQ(end.CurrentStep, sim::kStepIdle);
    EXPECT_EQ(end.AxisState, sim::kStateStandstill);
    double maxLag = 0, maxVelo = 0;
    bool accelStep = false;
    for (const model::RuntimeRecord& r : rig.seen) {
      maxLag = std::max(maxLag, std::fabs(r.Lag));
      maxVelo = std::max(maxVelo, std::fabs(r.ActualVelo));
      accelStep |= r.CurrentStep == (c.to > c.from ? sim::kStepPcAccP : sim::kStepPcAccM);
    }
    EXPECT_LT(maxLag, rig.Params().MaxLag);
    EXPECT_LT(maxVelo, c.velocity * 1.15);
    EXPECT_TRUE(accelStep);
  }
}

TEST(Motion, JogMovesUntilStopOrTheSoftLimit) {
  MotionRig rig;
  const double start = rig.Sample().ActualPos;
  ASSERT_EQ(rig.Move(3, 0.0, 10.0), 0);
  rig.Run(2.0);
  model::RuntimeRecord r = rig.Sample();
  EXPECT_NEAR(r.ActualPos - start, 20.0, 1.0);
  EXPECT_EQ(r.CurrentStep, sim::kStepConstVeloP);
  EXPECT_EQ(r.AxisState, sim::kStateContinuousMotion);
  EXPECT_TRUE(r.StateBits & sim::kStateMovingUp);
  EXPECT_FALSE(r.StateBits & sim::kStateNotMoving);

  ASSERT_EQ(rig.Command(sim::kCmdStop), 0);
  ASSERT_GT(rig.RunUntil([](const auto& s) { return s.AxisState == sim::kStateStandstill; }, 1.0),
            0.0);
  const double stoppedAt = rig.Sample().ActualPos;
  rig.Run(1.0);
  r = rig.Sample();
  EXPECT_NEAR(r.ActualPos, stoppedAt, 0.5);  // settles at the setpoint where the ramp ended
  rig.Run(3.0);
  EXPECT_NEAR(rig.Sample().ActualPos, r.ActualPos, 0.001);
  EXPECT_TRUE(r.StateBits & sim::kStateStopped);
  EXPECT_TRUE(r.StateBits & sim::kStateNotMoving);

  // Fast down: the jog ends at the soft limit and waits there for its stop.
  ASSERT_EQ(rig.Move(4, 0.0, 100.0), 0);
  rig.Run(4.0);
  r = rig.Sample();
  EXPECT_NEAR(r.ActualPos, rig.Params().SoftEndMin, 0.2);
  EXPECT_EQ(r.CurrentStep, sim::kStepFeedStopNeg);
  EXPECT_EQ(r.ErrorCode, 0);
  EXPECT_EQ(rig.Move(4, 0.0, 100.0), sim::kErrBeyondSoftLimit);
  EXPECT_EQ(rig.Command(sim::kCmdStop), 0);

  // A deceleration written too small to brake with, while moving: the stop still ends.
  ASSERT_EQ(rig.Move(3, 0.0, 50.0), 0);
  rig.Run(0.5);
  rig.Params().Deceleration = 1e-310;
  ASSERT_EQ(rig.Command(sim::kCmdStop), 0);
  EXPECT_TRUE(std::isfinite(rig.Sample().TargetPos));
  EXPECT_GT(rig.RunUntil([](const auto& s) { return s.AxisState == sim::kStateStandstill; }, 1.0),
            0.0);
}

TEST(Motion, RefusedStartsLeaveTheAxisWhereItIs) {
  struct Case {
    const char* what;
    std::function<void(MotionRig&)> setup;
    int32_t mode;
    double position, velocity;
    int32_t expected;
  };
  const Case cases[] = {
      {"beyond the upper soft limit", {}, 1, 500.5, 100, sim::kErrBeyondSoftLimit},
      {"beyond the lower soft limit", {}, 1, -1.0, 100, sim::kErrBeyondSoftLimit},
      {"position not a number", {}, 1, NAN, 100, sim::kErrBeyondSoftLimit},
      {"no control enable", [](MotionRig& r) { r.Motion().SetEnableBits(6); }, 1, 300, 100,
       sim::kErrNoControlEnable},
      {"no positive feed", [](MotionRig& r) { r.Motion().SetEnableBits(5); }, 3, 0, 10,
       sim::kErrNoFeedPositive},
      {"no negative feed", [](MotionRig& r) { r.Motion().SetEnableBits(3); }, 1, 100, 10,
       sim::kErrNoFeedNegative},
      {"velocity 0", {}, 1, 300, 0, sim::kErrVelocity},
      {"negative velocity", {}, 3, 0, -10, sim::kErrVelocity},
      {"velocity above the reference", {}, 1, 300, 300.5, sim::kErrVelocity},
      {"velocity infinite", {}, 1, 300, INFINITY, sim::kErrVelocity},
      {"unknown mode", {}, 2, 300, 100, sim::kErrStartType},
      {"no acceleration", [](MotionRig& r) { r.Params().Acceleration = 0; }, 1, 300, 100,
       sim::kErrAcceleration},
      {"deceleration not a number", [](MotionRig& r) { r.Params().Deceleration = NAN; }, 1, 300,
       100, sim::kErrDeceleration},
      {"acceleration too small to count", [](MotionRig& r) { r.Params().Acceleration = 1e-310; }, 1,
       300, 100, sim::kErrAcceleration},
      {"deceleration too small to count", [](MotionRig& r) { r.Params().Deceleration = 1e-310; }, 1,
       300, 100, sim::kErrDeceleration},
      {"pending error",
       [](MotionRig& r) {
         r.Motion().SetFault(sim::MotionFault::DriveNotReady, true);
         r.Run(0.01);
       },
       1, 300, 100, sim::kErrAxisNotReady},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MotionRig rig;
    if (c.setup) c.setup(rig);
    const double before = rig.Sample().ActualPos;
    EXPECT_EQ(rig.Move(c.mode, c.position, c.velocity), c.expected);
    rig.Run(1.0);
    EXPECT_NEAR(rig.Sample().ActualPos, before, 0.01);
  }

  // Malformed commands.
  MotionRig rig;
  const uint8_t short19[19] = {};
  EXPECT_EQ(rig.Command(sim::kCmdMove, short19), oxa::kErrInvalidSize);
  EXPECT_EQ(rig.Command(sim::kCmdStop, short19), oxa::kErrInvalidSize);
  EXPECT_EQ(Read(rig.ctrl, MotionRig::kPort, MotionRig::kCommands, sim::kCmdMove, 20).result(),
            oxa::kErrServiceNotSupported);
  EXPECT_EQ(rig.SetPosition(2, 10.0), oxa::kErrInvalidData);
  EXPECT_EQ(rig.SetPosition(1, NAN), oxa::kErrInvalidData);
  uint8_t mode1[sim::kMoveBlockLength] = {1};
  EXPECT_EQ(rig.Command(sim::kCmdCharacteristic, mode1), sim::kErrStartType);
  // A new target closer than the braking distance in the direction of travel.
  ASSERT_EQ(rig.Move(1, 450, 250), 0);
  rig.Run(0.8);
  const double at = rig.Sample().SetpointPos;
  EXPECT_EQ(rig.Move(1, at + 1.0, 250), sim::kErrBelowBrakeDistance);
  // Setting the position while moving.
  EXPECT_EQ(rig.SetPosition(1, 0.0), sim::kErrNotStartable);
}

TEST(Motion, FaultsStopTheAxisWithTheirErrorCode) {
  struct Case {
    sim::MotionFault fault;
    int32_t code;
    bool persists;  // the fault raises its error again at rest
  };
  const Case cases[] = {
      {sim::MotionFault::ValveStuck, sim::kErrLag, false},
      {sim::MotionFault::LagError, sim::kErrLag, false},
      {sim::MotionFault::EncoderFault, sim::kErrEncoder, true},
      {sim::MotionFault::DriveNotReady, sim::kErrDriveNotReady, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    MotionRig rig;
    ASSERT_EQ(rig.Move(1, 450, 200), 0);
    rig.Run(0.3);
    rig.Motion().SetFault(c.fault, true);
    ASSERT_GT(rig.RunUntil([](const auto& r) { return r.ErrorCode != 0; }, 3.0), 0.0);
    rig.Run(1.0);
    model::RuntimeRecord r = rig.Sample();
    EXPECT_EQ(r.ErrorCode, c.code);
    EXPECT_EQ(r.AxisState, sim::kStateErrorStop);
    EXPECT_EQ(r.CurrentStep, sim::kStepFault);
    EXPECT_FALSE(r.StateBits & sim::kStateReady);
    EXPECT_FALSE(r.StateBits & sim::kStateInTarget);
    sim::LogMessage newest;
    ASSERT_TRUE(rig.Log().At(1, newest));
    EXPECT_EQ(newest.cls, sim::LogClass::Error);
    EXPECT_EQ(newest.code, c.code);
    if (c.fault == sim::MotionFault::LagError) {
      // The jammed piston stood against the open valve until the controller let go; the closed
      // valve then traps the pressure, which stays below the relief.
      double peak = 0;
      for (const auto& s : rig.seen) peak = std::max(peak, s.ActualPressure);
      EXPECT_GT(peak, 150.0);
      EXPECT_LE(r.ActualPressure, rig.Motion().Cylinder().Spec().reliefBar);
    }
    if (c.fault == sim::MotionFault::EncoderFault) {
      EXPECT_FALSE(r.StateBits & sim::kStateHomed);
      EXPECT_EQ(rig.SetPosition(1, 10.0), sim::kErrSetPosition);
    }
    if (c.fault == sim::MotionFault::DriveNotReady) {
      EXPECT_FALSE(sim::RuntimeOf(rig.Axis())->powerOn);
    }

    // While a lasting cause is there a reset does not last; without it the axis is ready
    // again.
    EXPECT_EQ(rig.Command(sim::kCmdReset), 0);
    rig.Run(0.5);
    EXPECT_EQ(rig.Sample().ErrorCode, c.persists ? c.code : 0);
    rig.Motion().SetFault(c.fault, false);
    EXPECT_EQ(rig.Command(sim::kCmdReset), 0);
    rig.Run(0.5);
    r = rig.Sample();
    EXPECT_EQ(r.ErrorCode, 0);
    EXPECT_TRUE(r.StateBits & sim::kStateReady);
    EXPECT_EQ(r.CurrentStep, sim::kStepIdle);
    EXPECT_EQ(rig.Move(1, 250, 50), 0);
  }
}

TEST(Motion, EndStopWithoutSoftLimitRaisesPressureAndTheLagError) {
  MotionRig rig;
  rig.Params().SoftEndMaxEnabled = false;
  ASSERT_EQ(rig.Move(3, 0.0, 100.0), 0);
  ASSERT_GT(rig.RunUntil([](const auto& r) { return r.ErrorCode != 0; }, 10.0), 0.0);
  const model::RuntimeRecord r = rig.Sample();
  EXPECT_EQ(r.ErrorCode, sim::kErrLag);
  EXPECT_NEAR(rig.Motion().Cylinder().State().position, rig.Motion().Cylinder().Spec().strokeMm,
              1e-9);
  double peak = 0;
  for (const auto& s : rig.seen) peak = std::max(peak, s.ActualPressure);
  EXPECT_GT(peak, 150.0);
}

TEST(Motion, HomeFindsTheIndexAndSetPositionMovesTheScale) {
  MotionRig rig;
  rig.Params().DefaultHomePos = 1000.0;
  ASSERT_EQ(rig.Params().IndexSearchPositive, true);
  ASSERT_EQ(sim::ParamsOf(rig.Axis())->SetExtra(sim::kParamLogLevel, 3), true);
  ASSERT_EQ(rig.Command(sim::kCmdHome), 0);
  EXPECT_EQ(rig.Sample().AxisState, sim::kStateHoming);
  EXPECT_FALSE(rig.Sample().StateBits & sim::kStateHomed);
  EXPECT_EQ(rig.Move(1, 300, 10), sim::kErrNotStartable);
  ASSERT_GT(rig.RunUntil([](const auto& r) { return r.StateBits & sim::kStateHomed; }, 30.0), 0);
  const model::RuntimeRecord r = rig.Sample();
  EXPECT_TRUE(rig.Logged("Axis homed"));
  EXPECT_EQ(r.AxisState, sim::kStateStandstill);
  // The scale now reads the home position at the reference index.
  const sim::HydraulicCylinder& cyl = rig.Motion().Cylinder();
  EXPECT_NEAR(r.ActualPos - cyl.State().position, 1000.0 - rig.Motion().IndexMark(),
              rig.Params().EncoderWeighting);
  // The reference index was seen on the way.
  bool index = false;
  for (const auto& s : rig.seen) index |= (s.EnableBits & sim::kEnableRefIndex) != 0;
  EXPECT_TRUE(index);

  ASSERT_EQ(rig.SetPosition(1, -12.5), 0);
  EXPECT_EQ(rig.Sample().ActualPos, -12.5);
  rig.Run(1.0);
  EXPECT_NEAR(rig.Sample().ActualPos, -12.5, 0.01);
  EXPECT_TRUE(rig.Logged("Actual position set"));
}

TEST(Motion, CharacteristicRunRecordsTheValve) {
  MotionRig rig;
  uint8_t zero[sim::kMoveBlockLength] = {};
  ASSERT_EQ(rig.Command(sim::kCmdCharacteristic, zero), 0);
  EXPECT_EQ(rig.Sample().CurrentStep, sim::kStepExtGenerated);
  EXPECT_EQ(rig.Move(1, 300, 10), sim::kErrNotStartable);
  ASSERT_GT(
      rig.RunUntil([](const auto& r) { return r.CurrentStep == sim::kStepIdle; }, 120.0, 0.05),
      0.0);
  EXPECT_EQ(rig.Sample().ErrorCode, 0);
  const model::LinRecord& lin = sim::RuntimeOf(rig.Axis())->lin;
  ASSERT_EQ(lin.LinSamples, 21);
  const double overlap = rig.Motion().Cylinder().Spec().overlapPct / 100;
  for (size_t i = 0; i < 21; ++i) {
    const double out = lin.LinTabOutput[i];
    const double expected =
        out == 0 ? 0 : (out > 0 ? 1 : -1) * (std::fabs(out) - overlap) / (1 - overlap);
    EXPECT_NEAR(lin.LinTabValue[i], expected, 0.03) << out;
  }
  // The run kept to its range.
  for (const auto& s : rig.seen) {
    EXPECT_GE(s.ActualPos, lin.LinLowEnd - 1.0);
    EXPECT_LE(s.ActualPos, lin.LinHighEnd + 1.0);
  }
}

TEST(Motion, ConfiguredStateStaysUntilTheFirstCommand) {
  MotionRig rig;
  sim::RuntimeOf(rig.Axis())->values.ActualPos = 123.25;
  sim::RuntimeOf(rig.Axis())->values.CurrentStep = 7;
  rig.Run(5.0);
  EXPECT_EQ(rig.Sample().ActualPos, 123.25);
  EXPECT_EQ(rig.Sample().CurrentStep, 7);
  // The first command takes the axis over from there.
  ASSERT_EQ(rig.Move(1, 130.0, 50.0), 0);
  rig.Run(0.01);
  EXPECT_NEAR(rig.Sample().ActualPos, 123.25, 0.1);
  ASSERT_GT(rig.RunUntil(InTarget, 2.0), 0.0);
  EXPECT_NEAR(rig.Sample().ActualPos, 130.0, 0.1);
}

}  // namespace

namespace {

TEST(Motion, ConfigurationSetsEnablesAndFaults) {
  const auto load = [](const std::string& motion, std::string& error) {
    const std::string text =
        R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": [{"name": "A",
      "motion": )" +
        motion + R"(}], "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]})";
    return sim::LoadPlant(text, kNetId, sim::DefaultServerFeatures(), error);
  };
  std::string error;
  auto plant = load(R"({"enableBits": 6, "faults": ["encoder"]})", error);
  ASSERT_TRUE(plant) << error;
  sim::MotionAxis& m = *sim::MotionOf(*plant->Server(851)->Axis(1));
  EXPECT_TRUE(m.FaultOn(sim::MotionFault::EncoderFault));
  EXPECT_FALSE(m.FaultOn(sim::MotionFault::ValveStuck));
  m.Run(1);
  EXPECT_EQ(m.Error(), sim::kErrEncoder);
  EXPECT_EQ(m.Move(1, 300, 10), sim::kErrAxisNotReady);

  for (const char* bad :
       {R"({"faults": ["valve"]})", R"({"enableBits": 8})", R"({"speed": 1})", R"([1])"}) {
    SCOPED_TRACE(bad);
    error.clear();
    EXPECT_FALSE(load(bad, error));
    EXPECT_NE(error.find("axes[0].motion"), std::string::npos) << error;
  }
}

}  // namespace
