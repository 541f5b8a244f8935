#include "tune/Proposal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tune {

namespace {

// A number in the few digits a reason needs: three significant ones.
std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3g", v);
  return buf;
}

void Add(std::vector<ProposedValue>& out, const char* name, double current, double proposed,
         std::string reason) {
  out.push_back({name, current, proposed, std::move(reason)});
}

void ProposeCharacteristic(const Characteristic& c, const model::ParamRecord& p,
                           std::vector<ProposedValue>& out) {
  Add(out, "ReferenceVelo", p.ReferenceVelo, c.out.fullVelo,
      "extending at " + Num(c.out.fullVelo) + " mm/s at full output (fit rms " +
          Num(c.out.rms * 100) + " %)");
  Add(out, "VeloRatio", p.VeloRatio, c.veloRatio,
      "out " + Num(c.out.fullVelo) + " mm/s / in " + Num(c.in.fullVelo) + " mm/s");
  Add(out, "OverlapCompensation", p.OverlapCompensation, c.out.overlap,
      "extending starts at " + Num(c.out.overlap * 100) + " % output");
  Add(out, "OverlapCompensation2", p.OverlapCompensation2, c.in.overlap,
      "retracting starts at " + Num(c.in.overlap * 100) + " % output");
  const std::string knee = c.out.bent ? "knee at " + Num(c.out.bendVelo * 100) + " % velocity, " +
                                            Num(c.out.bendOutput * 100) + " % output"
                                      : "straight characteristic, no knee";
  Add(out, "BendPointVelo", p.BendPointVelo, c.out.bendVelo, knee);
  Add(out, "BendPointOutput", p.BendPointOutput, c.out.bendOutput, knee);
}

}  // namespace

std::vector<ProposedValue> Propose(const Measurements& m, const model::ParamRecord& p) {
  std::vector<ProposedValue> out;
  if (m.characteristic) ProposeCharacteristic(*m.characteristic, p, out);

  const double vref = m.characteristic ? m.characteristic->out.fullVelo : p.ReferenceVelo;
  if (m.ringing && m.ringing->omega > 0 && m.ringing->zeta > 0) {
    const Ringing& r = *m.ringing;
    const double hydraulic = 2.0 * r.zeta * r.omega;
    const double cycle = p.CycleTime > 0 ? 1.0 / (kCycleFactor * p.CycleTime) : hydraulic;
    const double bound = std::min(hydraulic, cycle);
    const double kp = bound / kGainMargin;
    std::string why = "ω_h " + Num(r.HzNatural()) + " Hz, ζ " + Num(r.zeta) + " → kP ≤ " +
                      Num(hydraulic) + " 1/s";
    if (cycle < hydraulic) why += ", cycle " + Num(p.CycleTime * 1000) + " ms → kP ≤ " + Num(cycle);
    why += "; proposed " + Num(kp) + " (margin " + Num(hydraulic / kp) + ")";
    Add(out, "LagKp", p.LagKp, kp, why);
    if (vref > 0) {
      const double lag = vref / kp;
      Add(out, "MaxLag", p.MaxLag, kLagMargin * lag,
          "v_ref " + Num(vref) + " mm/s / kP " + Num(kp) + " 1/s → lag " + Num(lag) +
              " mm without feed-forward; proposed " + Num(kLagMargin * lag) + " (margin " +
              Num(kLagMargin) + ")");
    }
  }
  if (m.reached && m.reached->acceleration > 0) {
    const double a = kRampShare * m.reached->acceleration;
    Add(out, "Acceleration", p.Acceleration, a,
        "reached " + Num(m.reached->acceleration) + " mm/s² at full output; proposed " + Num(a) +
            " (" + Num(kRampShare * 100) + " %)");
  }
  if (m.reached && m.reached->deceleration > 0) {
    const double d = kRampShare * m.reached->deceleration;
    Add(out, "Deceleration", p.Deceleration, d,
        "reached " + Num(m.reached->deceleration) + " mm/s² at full output; proposed " + Num(d) +
            " (" + Num(kRampShare * 100) + " %)");
  }
  return out;
}

}  // namespace tune
