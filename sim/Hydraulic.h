// The physical side of an emulated axis: a proportional valve feeding a differential cylinder.
//
// The valve spool follows its command with a first-order lag and has a mechanical overlap
// (no flow until the spool leaves the overlap). The cylinder's velocity follows the valve flow
// with a short lag of its own; extending runs at `veloPos` at full opening, retracting at
// `veloNeg` (faster by the area ratio). Against an end stop, or while jammed, the cylinder stands
// and the pressure on the pushing side rises towards the supply pressure with the valve opening.
// Positions are physical (mm from the lower end of the frame); the encoder adds its own offset.
#pragma once

namespace sim {

struct HydraulicSpec {
  double strokeMin = -10.0;       // mm, lower end stop
  double strokeMax = 510.0;       // mm, upper end stop
  double veloPos = 300.0;         // mm/s extending at full opening
  double veloNeg = 500.0;         // mm/s retracting at full opening
  double valveTime = 0.02;        // s, spool time constant
  double moveTime = 0.01;         // s, velocity time constant of the cylinder and its load
  double overlap = 0.05;          // fraction of the spool travel without flow
  double restPressure = 42.0;     // bar, holding the load
  double supplyPressure = 210.0;  // bar
  double pressureTime = 0.03;     // s
  double indexMark = 300.0;       // mm, where the encoder's reference index sits
};

struct HydraulicState {
  double position = 250.0;    // mm, physical
  double velocity = 0.0;      // mm/s
  double spool = 0.0;         // -1 to 1
  double loadPressure = 0.0;  // bar above rest; positive pushes in positive direction
};

class HydraulicCylinder {
 public:
  explicit HydraulicCylinder(const HydraulicSpec& spec = {});

  const HydraulicSpec& Spec() const { return spec_; }
  const HydraulicState& State() const { return state_; }
  // Places the piston (clamped to the stroke) at rest.
  void Place(double position);

  // Faults of the hardware: a spool that no longer moves, a load that blocks the piston.
  void SetValveStuck(bool stuck) { valveStuck_ = stuck; }
  void SetJammed(bool jammed) { jammed_ = jammed; }
  bool ValveStuck() const { return valveStuck_; }
  bool Jammed() const { return jammed_; }

  // Advances by `dt` seconds with the valve command `command` (-1 to 1; anything else is
  // clamped, a non-finite command counts as 0).
  void Step(double command, double dt);

  // Pressures of the two chambers and the one the controller reports (the pushing side).
  double PressureA() const;
  double PressureB() const;
  double Pressure() const;
  // True while the piston stands at an end stop or jammed with the valve pushing against it.
  bool Blocked() const { return blocked_; }

 private:
  HydraulicSpec spec_;
  HydraulicState state_;
  bool valveStuck_ = false;
  bool jammed_ = false;
  bool blocked_ = false;
  // Step factors of the last dt (the emulator steps with a fixed dt, so they are computed once).
  double lastDt_ = -1.0;
  double kValve_ = 0.0, kMove_ = 0.0, kPressure_ = 0.0;
};

}  // namespace sim
