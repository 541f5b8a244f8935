#include "sim/Hydraulic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace sim {

namespace {

constexpr double kBar = 1e5;                       // Pa
constexpr double kLpm = 1e-3 / 60.0;               // m³/s
constexpr double kLaminarDp = 0.1 * kBar;          // below this an edge's flow turns laminar
constexpr double kStepPhase = 0.25;                // ω·h of a sub-step at most
constexpr int kMaxSubSteps = 400;                  // per call of Step
constexpr double kMaxNaturalHz = 1000.0;           // stiffer configurations are refused
constexpr double kTwoPi = 2.0 * std::numbers::pi;  // rad per turn

struct Key {
  const char* name;
  double HydraulicSpec::*field;
  double lo, hi;
  bool loOpen;  // the lower bound itself is out of range
  const char* unit;
  const char* what;
};

constexpr Key kKeys[] = {
    {"massKg", &HydraulicSpec::massKg, 0, 1e6, true, "kg", "moved mass"},
    {"pistonDiameterMm", &HydraulicSpec::pistonDiameterMm, 0, 2000, true, "mm", "bore"},
    {"rodDiameterMm", &HydraulicSpec::rodDiameterMm, 0, 2000, false, "mm",
     "rod, less than the bore"},
    {"strokeMm", &HydraulicSpec::strokeMm, 0, 1e5, true, "mm", "stroke"},
    {"deadVolumeACm3", &HydraulicSpec::deadVolumeACm3, 0, 1e7, true, "cm3",
     "oil in A and its line when retracted"},
    {"deadVolumeBCm3", &HydraulicSpec::deadVolumeBCm3, 0, 1e7, true, "cm3",
     "oil in B and its line when extended"},
    {"bulkModulusBar", &HydraulicSpec::bulkModulusBar, 0, 1e5, true, "bar",
     "effective bulk modulus"},
    {"supplyBar", &HydraulicSpec::supplyBar, 0, 1000, true, "bar", "supply pressure"},
    {"tankBar", &HydraulicSpec::tankBar, 0, 1000, false, "bar", "tank pressure, below supply"},
    {"reliefBar", &HydraulicSpec::reliefBar, 0, 2000, true, "bar",
     "relief pressure, at least supply"},
    {"nominalFlowLpm", &HydraulicSpec::nominalFlowLpm, 0, 1e5, true, "l/min",
     "valve flow at full opening and nominalDpBar"},
    {"nominalDpBar", &HydraulicSpec::nominalDpBar, 0, 1000, true, "bar",
     "pressure drop across the valve (both edges) for nominalFlowLpm"},
    {"valveHz", &HydraulicSpec::valveHz, 0, 500, true, "Hz", "spool natural frequency"},
    {"valveDamping", &HydraulicSpec::valveDamping, 0, 5, true, "-", "spool damping ratio"},
    {"overlapPct", &HydraulicSpec::overlapPct, 0, 50, false, "%",
     "zero-flow band of the spool stroke on either side"},
    {"leakageLpmPerBar", &HydraulicSpec::leakageLpmPerBar, 0, 100, false, "l/min/bar",
     "laminar leakage A to B across the piston"},
    {"coulombN", &HydraulicSpec::coulombN, 0, 1e7, false, "N", "Coulomb friction"},
    {"viscousNsPerM", &HydraulicSpec::viscousNsPerM, 0, 1e8, false, "N s/m", "viscous friction"},
    {"loadN", &HydraulicSpec::loadN, -1e8, 1e8, false, "N",
     "constant load, positive opposes extension"},
    {"startMm", &HydraulicSpec::startMm, 0, 1e5, false, "mm",
     "piston position at start, within the stroke"},
};

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Flow through a sharp-edged orifice of unit opening and its derivative by the pressure drop;
// below kLaminarDp the square root turns into a straight line so that the derivative stays
// finite at zero.
struct Edge {
  double flow, slope;
};
Edge EdgeOf(double dp) {
  const double a = std::fabs(dp) + kLaminarDp;
  const double r = std::sqrt(a);
  return {dp / r, (0.5 * std::fabs(dp) + kLaminarDp) / (a * r)};
}

}  // namespace

double HydraulicSpec::AreaA() const {
  return std::numbers::pi / 4 * pistonDiameterMm * pistonDiameterMm * 1e-6;
}

double HydraulicSpec::AreaB() const {
  return AreaA() - std::numbers::pi / 4 * rodDiameterMm * rodDiameterMm * 1e-6;
}

double HydraulicSpec::NaturalFrequency(double xMm) const {
  const double x = std::clamp(xMm, 0.0, strokeMm) * 1e-3;
  const double vA = deadVolumeACm3 * 1e-6 + AreaA() * x;
  const double vB = deadVolumeBCm3 * 1e-6 + AreaB() * (strokeMm * 1e-3 - x);
  const double aA = AreaA(), aB = AreaB();
  return std::sqrt(bulkModulusBar * kBar * (aA * aA / vA + aB * aB / vB) / massKg);
}

double HydraulicSpec::MaxNaturalFrequency() const {
  return std::max(NaturalFrequency(0.0), NaturalFrequency(strokeMm));
}

bool ReadHydraulics(const nlohmann::json& j, HydraulicSpec& spec, std::string& error) {
  if (!j.is_object()) {
    error = "hydraulics must be an object";
    return false;
  }
  for (auto it = j.begin(); it != j.end(); ++it) {
    const std::string& name = it.key();
    const nlohmann::json& v = it.value();
    const Key* key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                  [&](const Key& k) { return name == k.name; });
    if (key == std::end(kKeys)) {
      error = "hydraulics: unknown key \"" + name + "\"";
      return false;
    }
    const double d = v.is_number() ? v.get<double>() : std::nan("");
    if (!std::isfinite(d) || d > key->hi || d < key->lo || (key->loOpen && d == key->lo)) {
      error = "hydraulics." + name + ": must be a number " + (key->loOpen ? "above " : "from ") +
              Number(key->lo) + (key->loOpen ? " up to " : " to ") + Number(key->hi) + " " +
              key->unit;
      return false;
    }
    spec.*(key->field) = d;
  }
  const auto fail = [&](const char* name, const char* what) {
    error = std::string("hydraulics.") + name + ": " + what;
    return false;
  };
  if (spec.rodDiameterMm >= spec.pistonDiameterMm) {
    return fail("rodDiameterMm", "the rod must be narrower than the piston");
  }
  if (spec.tankBar >= spec.supplyBar) return fail("tankBar", "must be below supplyBar");
  if (spec.reliefBar < spec.supplyBar) return fail("reliefBar", "must be at least supplyBar");
  if (spec.startMm > spec.strokeMm) return fail("startMm", "must lie within the stroke");
  if (spec.MaxNaturalFrequency() > kTwoPi * kMaxNaturalHz) {
    return fail("massKg", "too small for the oil column: its natural frequency exceeds 1000 Hz");
  }
  return true;
}

std::string HydraulicsKeysHelp() {
  const HydraulicSpec d;
  std::string out;
  for (const Key& k : kKeys) {
    char line[200];
    std::snprintf(line, sizeof line, "  %-17s %-9s %s (default %g)\n", k.name, k.unit, k.what,
                  d.*(k.field));
    out += line;
  }
  return out;
}

HydraulicCylinder::HydraulicCylinder(const HydraulicSpec& spec) : spec_(spec) {
  aA_ = spec_.AreaA();
  aB_ = spec_.AreaB();
  stroke_ = spec_.strokeMm * 1e-3;
  vA0_ = spec_.deadVolumeACm3 * 1e-6;
  vB0_ = spec_.deadVolumeBCm3 * 1e-6;
  beta_ = spec_.bulkModulusBar * kBar;
  pS_ = spec_.supplyBar * kBar;
  pT_ = spec_.tankBar * kBar;
  pRelief_ = spec_.reliefBar * kBar;
  // The data sheet's nominal flow passes two edges in series, half the drop across each.
  k_ = spec_.nominalFlowLpm * kLpm / std::sqrt(spec_.nominalDpBar * kBar / 2);
  leak_ = spec_.leakageLpmPerBar * kLpm / kBar;
  wValve_ = kTwoPi * spec_.valveHz;
  overlap_ = spec_.overlapPct / 100.0;
  wMax_ = std::max(spec_.MaxNaturalFrequency(), wValve_);
  Place(spec_.startMm);
}

void HydraulicCylinder::Place(double position) {
  const double x = std::isfinite(position) ? std::clamp(position, 0.0, spec_.strokeMm) : 0.0;
  // Pressures that hold the load and leave nothing for the leakage to move: equal on both
  // sides, or tank on A and what the load leaves on B when it pulls harder than tank pressure
  // on the ring area pushes.
  const double equal = spec_.loadN / (aA_ - aB_);
  const double pA = std::clamp(equal, pT_, pRelief_);
  const double pB = equal >= pT_ ? pA : std::clamp((pT_ * aA_ - spec_.loadN) / aB_, pT_, pRelief_);
  state_ = {x, 0.0, 0.0, 0.0, pA / kBar, pB / kBar};
}

void HydraulicCylinder::SetJammed(bool jammed) {
  jammed_ = jammed;
  if (jammed) state_.velocity = 0.0;
}

void HydraulicCylinder::Step(double command, double dt) {
  if (!(dt > 0.0) || !std::isfinite(dt)) return;
  const double u = std::isfinite(command) ? std::clamp(command, -1.0, 1.0) : 0.0;
  const int n = std::clamp(static_cast<int>(std::ceil(dt * wMax_ / kStepPhase)), 1, kMaxSubSteps);
  const double h = dt / n;
  for (int i = 0; i < n; ++i) SubStep(u, h);
}

// One sub-step, semi-implicit: the spool, then the pressures with the piston's velocity of the
// step before and the edges' flows taken implicitly, then the velocity from the new pressures
// with the viscous friction taken implicitly, then the position from the new velocity. For the
// oil column and the mass this is the symplectic Euler method, which keeps their energy bounded
// (it never grows); the edges, the leakage and the friction only take energy out.
void HydraulicCylinder::SubStep(double u, double h) {
  HydraulicState& s = state_;
  if (!valveStuck_) {
    double xs = s.spool, vs = s.spoolVelocity;
    vs = (vs + h * wValve_ * wValve_ * (u - xs)) / (1.0 + 2.0 * spec_.valveDamping * wValve_ * h);
    xs += h * vs;
    if (std::fabs(xs) >= 1.0) {
      xs = xs > 0 ? 1.0 : -1.0;
      vs = 0.0;
    }
    s.spool = xs;
    s.spoolVelocity = vs;
  }
  const double open = std::max(0.0, std::fabs(s.spool) - overlap_) / (1.0 - overlap_);
  const double kP = s.spool > 0 ? k_ * open : 0.0;  // P to A and B to T
  const double kN = s.spool < 0 ? k_ * open : 0.0;  // P to B and A to T

  const double x = s.position * 1e-3;
  const double v = s.velocity * 1e-3;
  double pA = s.pressureA * kBar, pB = s.pressureB * kBar;
  // Only the open edges of each side count (at most one of them); a closed valve costs no root.
  {
    const double c = beta_ / (vA0_ + aA_ * x) * h;
    double q = -aA_ * v - leak_ * (pA - pB), dq = -leak_;
    if (kP > 0) {
      const Edge e = EdgeOf(pS_ - pA);
      q += kP * e.flow;
      dq -= kP * e.slope;
    } else if (kN > 0) {
      const Edge e = EdgeOf(pA - pT_);
      q -= kN * e.flow;
      dq -= kN * e.slope;
    }
    pA = std::clamp(pA + c * q / (1.0 - c * dq), pT_, pRelief_);
  }
  {
    const double c = beta_ / (vB0_ + aB_ * (stroke_ - x)) * h;
    double q = aB_ * v + leak_ * (pA - pB), dq = -leak_;
    if (kN > 0) {
      const Edge e = EdgeOf(pS_ - pB);
      q += kN * e.flow;
      dq -= kN * e.slope;
    } else if (kP > 0) {
      const Edge e = EdgeOf(pB - pT_);
      q -= kP * e.flow;
      dq -= kP * e.slope;
    }
    pB = std::clamp(pB + c * q / (1.0 - c * dq), pT_, pRelief_);
  }
  s.pressureA = pA / kBar;
  s.pressureB = pB / kBar;

  double vNew = 0.0;
  if (!jammed_) {
    const double m = spec_.massKg;
    const double force = pA * aA_ - pB * aB_ - spec_.loadN;
    // At rest the piston sticks while the friction can hold the force.
    const double dir = v != 0.0                            ? (v > 0 ? 1.0 : -1.0)
                       : std::fabs(force) > spec_.coulombN ? (force > 0 ? 1.0 : -1.0)
                                                           : 0.0;
    if (dir != 0.0) {
      vNew = (v + h / m * (force - spec_.coulombN * dir)) / (1.0 + h * spec_.viscousNsPerM / m);
      if (vNew * dir < 0) vNew = 0.0;  // the friction stops it within the step
    }
  }
  // The end stops are hard: the piston stops dead at them.
  double xNew = x + h * vNew;
  if (xNew <= 0.0 && vNew <= 0.0) {
    xNew = 0.0;
    vNew = 0.0;
  } else if (xNew >= stroke_ && vNew >= 0.0) {
    xNew = stroke_;
    vNew = 0.0;
  }
  s.position = xNew * 1e3;
  s.velocity = vNew * 1e3;
}

}  // namespace sim
