// Moves: where the tracker ends them, and which of the document's commands arm one.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "TrendRig.h"
#include "link/Commands.h"
#include "trend/Arm.h"
#include "trend/Moves.h"

namespace {

constexpr uint32_t kInTarget = 1u << 4;

trend::Sample At(double t, double pos, bool inTarget) {
  trend::Sample s;
  s.t = t;
  s.values[trend::kActualPos] = pos;
  s.values[trend::kTargetPos] = 100;
  s.stateBits = inTarget ? kInTarget : 0;
  return s;
}

trend::MoveMark Start(double t, double target) {
  trend::MoveMark m;
  m.t = t;
  m.target = target;
  m.band = 0.1;
  return m;
}

TEST(MovesTest, AMoveEndsASecondAfterItsAxisIsInTargetOrAtTheNextCommand) {
  // Samples every 1/128 s for 3 s, so that the times add up exactly.
  constexpr double kStep = 1.0 / 128;
  struct Case {
    const char* name;
    std::vector<trend::MoveMark> marks;
    double leaves, arrives;  // the axis is out of target in [leaves, arrives)
    std::vector<double> ends;
    std::vector<bool> inTarget;
  };
  const Case cases[] = {
      {"in target, then a second", {Start(1.0, 100)}, 1.0625, 1.5, {2.5}, {true}},
      {"never leaves: after a second", {Start(1.0, 100)}, 9, 9, {2.0}, {true}},
      {"next command first",
       {Start(1.0, 100), Start(1.25, 0)},
       1.0625,
       1.5,
       {1.25 - kStep, 2.5},
       {false, true}},
      {"still out when the recording stops", {Start(1.0, 100)}, 1.0625, 9, {3 - kStep}, {false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trend::MoveTracker tracker;
    for (const auto& m : c.marks) tracker.Mark(m);
    for (int i = 0; i < 384; ++i) {
      const double t = i * kStep;
      tracker.Add(At(t, t * 10, !(t >= c.leaves && t < c.arrives)));
    }
    tracker.Finish();
    const auto ended = tracker.TakeEnded();
    ASSERT_EQ(ended.size(), c.ends.size());
    for (size_t i = 0; i < ended.size(); ++i) {
      EXPECT_EQ(ended[i].end, c.ends[i]) << i;
      EXPECT_EQ(ended[i].inTarget, c.inTarget[i]) << i;
      // The start is where the axis stood at the last sample before the command.
      EXPECT_EQ(ended[i].figures.start, (c.marks[i].t - kStep) * 10) << i;
    }
  }
}

TEST(MovesTest, ASampleStampedBeforeTheCommandButDeliveredAfterItIsTheStart) {
  trend::MoveTracker tracker;
  tracker.Add(At(0.99, 10, true));
  tracker.Mark(Start(1.0, 20));
  tracker.Add(At(1.01, 11, false));
  tracker.Add(At(0.995, 10.5, true));  // late
  tracker.Add(At(1.02, 20, true));
  tracker.Finish();
  const auto ended = tracker.TakeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].figures.start, 10.5);
  EXPECT_EQ(ended[0].samples, 2u);
}

TEST(MovesTest, TheLastFiveMovesAreKeptNewestFirst) {
  trend::MoveTracker tracker;
  for (int i = 0; i < 7; ++i) {
    tracker.Mark(Start(i, 100 + i));
    tracker.Add(At(i + 0.5, 0, false));
  }
  tracker.Finish();
  ASSERT_EQ(tracker.Results().size(), 5u);
  EXPECT_EQ(tracker.Results().front().mark.target, 106);
  EXPECT_EQ(tracker.Results().back().mark.target, 102);
}

TEST(MovesTest, StartJogAndHomeAcceptedByTheAxisArmAMove) {
  trendtest::PlantRig rig;
  rig.Select(trendtest::kBatchPort, 1);
  std::vector<trend::MoveMark> marks;
  trend::CommandArm arm(rig.clock, [&marks](const trend::MoveMark& m) { marks.push_back(m); });
  rig.doc.AddObserver(&arm);
  struct Case {
    const char* name;
    std::function<void(CAxtuneDoc&)> command;
    std::optional<trend::MoveKind> kind;
  };
  const Case cases[] = {
      {"start", [](CAxtuneDoc& d) { d.Move(axlink::kMoveToPosition, 60, 100); },
       trend::MoveKind::Start},
      {"stop", [](CAxtuneDoc& d) { d.StopAxis(); }, std::nullopt},
      {"jog", [](CAxtuneDoc& d) { d.StartJog(-1); }, trend::MoveKind::JogNegative},
      {"jog released", [](CAxtuneDoc& d) { d.ReleaseJog(); }, std::nullopt},
      {"fast jog", [](CAxtuneDoc& d) { d.StartJog(2); }, trend::MoveKind::JogPositive},
      {"home", [](CAxtuneDoc& d) { d.StopAxis(), d.HomeAxis(); }, trend::MoveKind::Home},
      {"refused start", [](CAxtuneDoc& d) { d.Move(axlink::kMoveToPosition, 60, 1e6); },
       std::nullopt},
      {"reset", [](CAxtuneDoc& d) { d.ResetAxis(); }, std::nullopt},
      {"characteristic run", [](CAxtuneDoc& d) { d.Move(axlink::kMoveCharacteristic, 0, 0); },
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    marks.clear();
    rig.clock.Advance(0.1);
    const double before = rig.clock.Now();
    c.command(rig.doc);
    if (!c.kind) {
      EXPECT_TRUE(marks.empty());
      continue;
    }
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].kind, *c.kind);
    EXPECT_EQ(marks[0].t, before);
    EXPECT_EQ(marks[0].axis, 1);
    EXPECT_EQ(marks[0].band, rig.doc.params.TargetRange);
    EXPECT_EQ(marks[0].lagKp, rig.doc.params.LagKp);
  }
  EXPECT_EQ(rig.ui.boxes.size(), 1u);  // the refused start
  rig.doc.RemoveObserver(&arm);
}

}  // namespace
