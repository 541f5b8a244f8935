// The tuning runs against the demo plant in this process: the closed forms of a cylinder's
// hydraulics as docs/hydraulics.md states them, and a rig with the sequencer's sampler (on a port
// that can be made to fail), the commissioning journal and the controller's request log.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "common/ForwardingOxa.h"
#include "common/TempDir.h"
#include "journal/Journal.h"
#include "journal/Recorder.h"
#include "trend/Arm.h"
#include "trend/TrendRig.h"
#include "tune/Sequencer.h"

namespace tunetest {

// A cylinder of the demo plant, in SI units, with the emulator's defaults for what its
// configuration leaves out.
struct Cylinder {
  double bore, rod, mass, stroke, deadA, deadB, flow, coulomb, viscous;
  double overlap = 0.05;
  double load = 0;  // N, against extending
  double zero = 0;  // the encoder's reading (mm) at the retracted end
  double beta = 14000e5, supply = 210e5, tank = 1e5, dp = 70e5;

  double AreaA() const { return std::numbers::pi / 4 * bore * bore; }
  double AreaB() const { return AreaA() - std::numbers::pi / 4 * rod * rod; }
  // Each edge passes K·√Δp, the nominal flow at half the nominal pressure drop.
  double K() const { return flow / std::sqrt(dp / 2); }
  // At full opening the chamber pressures follow from the two flows A·v, and the forces balance
  // with the friction and the load: p_in·A_in − p_out·A_out = F_c + F_v·v ± F_load (mm/s).
  double FullVelocity(bool out) const {
    const double aIn = out ? AreaA() : AreaB(), aOut = out ? AreaB() : AreaA();
    const double a3 = (std::pow(AreaA(), 3) + std::pow(AreaB(), 3)) / (K() * K());
    double v = 0.5;
    for (int i = 0; i < 50; ++i) {
      const double friction = coulomb + viscous * v + (out ? load : -load);
      v = std::sqrt((supply * aIn - tank * aOut - friction) / a3);
    }
    return v * 1000;
  }
  // ω_h² = β/m · (A_A²/V_A + A_B²/V_B) with the piston at `xMm`.
  double NaturalHz(double xMm) const {
    const double x = (xMm - zero) / 1000;
    const double va = deadA + AreaA() * x, vb = deadB + AreaB() * (stroke - x);
    return std::sqrt(beta / mass * (AreaA() * AreaA() / va + AreaB() * AreaB() / vb)) /
           (2 * std::numbers::pi);
  }
};

// Reads fail once `failAfter` requests went through (0: never).
class FailingOxa final : public testoxa::ForwardingOxa {
 public:
  using ForwardingOxa::ForwardingOxa;
  int failAfter = 0;
  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                         void* d) override {
    if (failAfter > 0 && ++count_ > failAfter) return kTimeout;
    return ForwardingOxa::OxaSyncReadReq(a, g, o, n, d);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rn, void* rd,
                              uint32_t wn, const void* wd) override {
    if (failAfter > 0 && ++count_ > failAfter) return kTimeout;
    return ForwardingOxa::OxaSyncReadWriteReq(a, g, o, rn, rd, wn, wd);
  }
  static constexpr int32_t kTimeout = 0x745;

 private:
  int count_ = 0;
};

struct TuneRig : trendtest::PlantRig {
  trend::SampleRing ring{4096};
  FailingOxa failing{own};
  std::unique_ptr<trend::Sampler> sampler;
  journaltest::TempDir dir;
  journal::Writer writer{dir.Path()};
  journal::Recorder recorder{writer, {"anna", "bench7"}};

  TuneRig(uint16_t port, uint16_t axis) {
    Select(port, axis);
    // As the CLI and the window do: the document's target, with the axis's reference velocity.
    sampler =
        std::make_unique<trend::Sampler>(failing, *trend::CurrentTarget(doc), 1000.0, clock, ring);
    doc.AddObserver(&recorder);
  }
  ~TuneRig() { doc.RemoveObserver(&recorder); }
  std::unique_ptr<tune::Sequencer> Make(const tune::Limits& limits,
                                        std::function<bool()> stop = {}) {
    return std::make_unique<tune::Sequencer>(doc, *sampler, ring, clock, limits, std::move(stop));
  }
  bool Standing() {
    failing.failAfter = 0;
    EXPECT_EQ(sampler->SampleOnce(), 0);
    std::vector<trend::Sample> s;
    ring.CopySince(ring.Total() - 1, s);
    return !s.empty() && trend::ChannelValue(s.back(), trend::kBitNotMoving) != 0.0;
  }
  model::ParamRecord ReadBack() {
    EXPECT_TRUE(doc.ReselectAxis(model::kPageAll));
    return doc.paramsRead;
  }
  std::vector<journal::Entry> Journal() {
    writer.Flush();
    return journal::ReadJournal(dir.Path()).entries;
  }
};

}  // namespace tunetest
