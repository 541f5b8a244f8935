// Whole tuning runs on three cylinders of the demo plant: what each step identifies alone
// against the closed form, what the apply does to the test move, how an abort leaves the axis,
// the whole-record writes of an old library, and the one journal entry of each run.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/ParamBatch.h"
#include "model/ParamLayouts.h"
#include "model/ParamNumbers.h"
#include "sim/Controller.h"
#include "tune/TuneRig.h"

namespace {

using tunetest::Cylinder;
using tunetest::TuneRig;

struct Plant {
  const char* name;
  uint16_t port, axis;
  Cylinder cyl;
  tune::Limits limits;
};

// Heavy with a big valve, light and long, lifting a load: bore, rod, mass, stroke, dead
// volumes, nominal flow, Coulomb and viscous friction, overlap, load.
const Plant kPlants[] = {
    {"Feed table",
     851,
     3,
     {0.100, 0.070, 1500, 0.800, 400e-6, 400e-6, 120e-3 / 60, 600, 8000},
     {100, 700, 400, 0}},
    {"Transfer feed",
     852,
     6,
     {0.050, 0.036, 150, 1.000, 60e-6, 60e-6, 40e-3 / 60, 100, 600, 0.02},
     {100, 900, 500, 0}},
    {"Stacker",
     852,
     7,
     {0.080, 0.056, 900, 0.700, 200e-6, 200e-6, 40e-3 / 60, 400, 5000, 0.05, 8800},
     {100, 600, 250, 0}},
};

std::optional<journal::Entry> TuningEntry(const std::vector<journal::Entry>& entries) {
  std::optional<journal::Entry> found;
  for (const journal::Entry& e : entries) {
    EXPECT_EQ(e.op, journal::kOpTuningRun) << "a request of the run has an entry of its own";
    if (e.op == journal::kOpTuningRun) found = e;
  }
  EXPECT_EQ(entries.size(), 1u);
  return found;
}

TEST(TuneRun, AnAbortInEitherStepLeavesTheAxisAsItWasAndTheJournalSaysSo) {
  const Plant& p = kPlants[1];
  struct Case {
    tune::Steps steps;
    tune::EndReason end;
    int stopAfter = 0;    // samples
    double lagBound = 0;  // mm
    int failAfter = 0;    // reads
  };
  const Case cases[] = {
      {{true, false, false}, tune::EndReason::StopRequested, 2500},
      {{false, true, false}, tune::EndReason::StopRequested, 3000},
      {{true, false, false}, tune::EndReason::LagBound, 0, 0.2},
      {{false, true, false}, tune::EndReason::LagBound, 0, 2.0},
      {{true, false, false}, tune::EndReason::ReadFailed, 0, 0, 2500},
      {{false, true, false}, tune::EndReason::ReadFailed, 0, 0, 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(tune::EndReasonName(c.end) +
                 std::string(c.steps.velocity ? " velocity" : " dynamics"));
    TuneRig rig(p.port, p.axis);
    const model::ParamRecord before = rig.ReadBack();
    int n = 0;
    tune::Limits limits = p.limits;
    limits.lagBound = c.lagBound;
    auto seq = rig.Make(limits, [&] { return c.stopAfter > 0 && ++n >= c.stopAfter; });
    rig.failing.failAfter = c.failAfter;
    const tune::RunResult r = seq->Run(c.steps);
    EXPECT_EQ(r.end, c.end) << r.message;
    EXPECT_TRUE(r.restored);
    EXPECT_TRUE(rig.Standing());
    EXPECT_EQ(rig.ReadBack(), before);

    const auto e = TuningEntry(rig.Journal());
    ASSERT_TRUE(e);
    EXPECT_EQ(e->end.rfind(tune::EndReasonName(c.end) + std::string(": "), 0), 0u) << e->end;
    // The last write of each parameter is its write-back to the value read before the run.
    // The stop and the failed read come within the dynamics step's writes.
    EXPECT_EQ(e->changes.empty(), !c.steps.dynamics || c.end == tune::EndReason::LagBound);
    for (size_t i = 0; i < e->changes.size(); ++i) {
      const journal::Change& w = e->changes[i];
      const bool last = std::none_of(e->changes.begin() + static_cast<long>(i) + 1,
                                     e->changes.end(), [&](const auto& x) { return x.no == w.no; });
      if (last) {
        EXPECT_EQ(w.value, model::NumberedValue(before, {}, w.no)) << w.name;
      }
    }
  }
}

TEST(TuneRun, AnOldLibraryTunesThroughWholeRecordWrites) {
  // The ejector on the V2.1.6 server: bore 63, rod 36, 300 kg, 25 l/min.
  TuneRig rig(802, 2);
  const model::ParamRecord before = rig.ReadBack();
  rig.plant->Ctrl().Log().Clear();
  auto seq = rig.Make({10, 190, 200, 0});
  const tune::RunResult r = seq->Run({false, true, false});
  ASSERT_EQ(r.end, tune::EndReason::Done) << r.message;
  EXPECT_EQ(rig.ReadBack(), before);
  const tune::ApplyResult a = seq->ApplyValues(r.proposal);
  EXPECT_TRUE(a.Ok()) << a.refused << a.message;
  const auto writes = [&](uint32_t group, uint32_t offset) {
    return rig.plant->Ctrl().Log().Count([&](const sim::LoggedRequest& q) {
      return q.port == 802 && q.command == oxa::Command::Write && q.indexGroup == group &&
             (offset == UINT32_MAX || q.indexOffset == offset);
    });
  };
  // One whole record for each write: the ramps set, the gain lowered for each of the two steps
  // and raised after it, the three written back; then the proposal in one.
  EXPECT_EQ(writes(model::RecordGroup(2), model::kParamBlockOffset), 2u + 2 * 2 + 3 + 1);
  EXPECT_EQ(writes(model::ParamGroup(2), UINT32_MAX), 0u);
  for (const auto& v : r.proposal) {
    EXPECT_EQ(model::FindParamField(std::string_view(v.name))->Ref<double>(rig.ReadBack()),
              std::round(v.proposed * 1e6) / 1e6)
        << v.name;
  }
}

TEST(TuneRun, AValueThePageRulesRefuseIsNamedAndNothingIsWritten) {
  TuneRig rig(851, 3);
  const model::ParamRecord before = rig.ReadBack();
  auto seq = rig.Make(kPlants[1].limits);
  rig.plant->Ctrl().Log().Clear();
  const tune::ApplyResult a = seq->ApplyValues(
      {{"LagKp", before.LagKp, 20, "ok"}, {"OverlapCompensation", 0.05, 0.95, "too wide"}});
  EXPECT_EQ(a.refused,
            "OverlapCompensation (1200): 95 % is refused by its page (limits 0 to 90 %)");
  EXPECT_EQ(rig.plant->Ctrl().Log().Count(
                [](const sim::LoggedRequest& q) { return q.command == oxa::Command::Write; }),
            0u);
  EXPECT_EQ(rig.ReadBack(), before);
  seq.reset();
  const auto e = TuningEntry(rig.Journal());
  ASSERT_TRUE(e);
  EXPECT_EQ(e->end, "apply refused: " + a.refused);
}

}  // namespace
