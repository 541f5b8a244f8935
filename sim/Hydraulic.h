// The physical side of an emulated axis: a proportional valve feeding a differential cylinder,
// as the textbook models it (docs/hydraulics.md has the equations, the conventions and the
// integration method).
//
// The spool follows its command as a second-order system and stops at its end positions; an
// overlap band around zero passes no flow. Four sharp-edged control edges (P to A, A to T, P to
// B, B to T) feed the two chambers, whose pressures follow the flows in, the piston's
// displacement and a laminar leakage across the piston, between tank and the relief pressure.
// The piston carries the mass, Coulomb and viscous friction with stiction at rest, a constant
// load and two hard end stops.
//
// A is the full-bore side, B the rod side. A positive spool opens P to A and extends the
// cylinder. The position is the piston's distance from its retracted end (0 to the stroke); a
// positive load opposes extension, as a lifted weight does. Nothing here knows the parameters of
// the controller that drives it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace sim {

// The cylinder and its valve in the units of the configuration's "hydraulics" object; the
// defaults are those of a medium press axis.
struct HydraulicSpec {
  double massKg = 800.0;            // moved mass: piston, rod and load
  double pistonDiameterMm = 100.0;  // bore
  double rodDiameterMm = 63.0;
  double strokeMm = 520.0;
  double deadVolumeACm3 = 250.0;  // chamber A and its line at the retracted end
  double deadVolumeBCm3 = 250.0;  // chamber B and its line at the extended end
  double bulkModulusBar = 14000.0;
  double supplyBar = 210.0;
  double tankBar = 1.0;
  double reliefBar = 240.0;
  double nominalFlowLpm = 64.0;  // at full opening and nominalDpBar across the valve
  double nominalDpBar = 70.0;    // across the valve, two edges
  double valveHz = 60.0;
  double valveDamping = 0.7;
  double overlapPct = 5.0;  // of the spool stroke on either side of zero
  double leakageLpmPerBar = 0.002;
  double coulombN = 400.0;
  double viscousNsPerM = 3000.0;
  double loadN = 0.0;
  double startMm = 260.0;

  // The areas (m²) and the hydraulic natural frequency (rad/s) with the piston at `xMm`.
  double AreaA() const;
  double AreaB() const;
  double NaturalFrequency(double xMm) const;
  // Its highest value over the stroke (at one of the ends).
  double MaxNaturalFrequency() const;
};

// Reads a "hydraulics" object over the defaults. False with `error` naming the key when a key
// is unknown or a value out of its range (nothing is clamped).
bool ReadHydraulics(const nlohmann::json& j, HydraulicSpec& spec, std::string& error);
// The keys with their units, ranges and defaults, one line each, for --help.
std::string HydraulicsKeysHelp();

struct HydraulicState {
  double position = 0.0;       // mm from the retracted end
  double velocity = 0.0;       // mm/s
  double spool = 0.0;          // -1 to 1
  double spoolVelocity = 0.0;  // 1/s
  double pressureA = 0.0;      // bar
  double pressureB = 0.0;      // bar
};

class HydraulicCylinder {
 public:
  explicit HydraulicCylinder(const HydraulicSpec& spec = {});

  const HydraulicSpec& Spec() const { return spec_; }
  const HydraulicState& State() const { return state_; }
  // Places the piston at rest at `position` (clamped to the stroke), the spool in the middle and
  // the chamber pressures holding the load without a leakage flow.
  void Place(double position);

  // Faults of the hardware: a spool that no longer moves, a load that blocks the piston.
  void SetValveStuck(bool stuck) { valveStuck_ = stuck; }
  void SetJammed(bool jammed);
  bool ValveStuck() const { return valveStuck_; }
  bool Jammed() const { return jammed_; }

  // Advances by `dt` seconds with the valve command `command` held (-1 to 1; anything else is
  // clamped, a non-finite command counts as 0), in sub-steps short enough for the valve and the
  // oil column.
  void Step(double command, double dt);

  double PressureA() const { return state_.pressureA; }
  double PressureB() const { return state_.pressureB; }

 private:
  void SubStep(double u, double h);

  HydraulicSpec spec_;
  HydraulicState state_;
  bool valveStuck_ = false;
  bool jammed_ = false;
  // The configured cylinder in SI units (m, m², m³, Pa, m³/s), converted once at construction.
  double aA_ = 0, aB_ = 0, stroke_ = 0, vA0_ = 0, vB0_ = 0, beta_ = 0, pS_ = 0, pT_ = 0,
         pRelief_ = 0, k_ = 0, leak_ = 0, wValve_ = 0, overlap_ = 0, wMax_ = 0;
};

}  // namespace sim
