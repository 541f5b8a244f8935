// The motion of an emulated axis: a position controller with its setpoint generator, driving the
// hydraulic cylinder of sim/Hydraulic.h, with the commands of the axis server, the monitors that
// stop the axis with an error code, and faults that tests switch on.
//
// The controller runs in cycles of the axis's CycleTime (s, 2 ms by default) and holds its valve
// output between them; the cylinder of sim/Hydraulic.h integrates in sub-steps of a cycle. The
// cylinder comes from the configuration's "hydraulics" alone: the parameters only change how the
// controller drives it, never the cylinder itself. The server advances an axis to the emulator's
// clock just before it answers any request for that axis (MotionServerState::clock), so a client
// always sees the state of "now"; tests give the server a clock of their own and move it
// explicitly.
//
// The files: Motion.cpp the commands, the cycle and the published state; MotionParams.cpp the
// parameters read for a run of cycles; MotionControl.cpp the position controller and its valve
// output; MotionMonitor.cpp the monitors; MotionCharacteristic.cpp the characteristic run.
//
// An axis stays dormant, and leaves its runtime state exactly as configured, until the first
// command, enable change or fault; from then on it publishes its state into the AxisRuntime of
// sim/RuntimeRecords.h on every cycle (positions, velocities, pressures, lag, distance, state
// and enable bits, step and state codes, error code).
//
// Commands, group 0x80004200 + n (sim/Commands.h), writes:
//   1 reset (no data)          clears the error; the cause, when still there, raises it again
//   2 stop (no data)           brakes with the deceleration; ends a characteristic run
//   16 home (no data)          searches the reference index at the index search velocity (a
//                              fraction of ReferenceVelo), sets the position to DefaultHomePos
//                              there, stops and reports "Axis homed"
//   26 set position (12 bytes) int32 1, double position: the actual position becomes `position`
//   33 move (20 bytes)         int32 mode (1 to a position, 3 jog positive, 4 jog negative),
//                              double position (mm), double velocity (mm/s)
//   0xFFFF0003 (20 bytes)      move mode 0: the characteristic run, which records the valve
//                              characteristic into the linearisation table
// Wrong data lengths answer 0x705, reads 0x701, a malformed set-position block 0x706; refused
// starts answer the controller's codes below.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "sim/Commands.h"
#include "sim/Hydraulic.h"
#include "sim/MotionProfile.h"
#include "sim/Plant.h"

namespace sim {

inline constexpr uint32_t kCmdReset = 1;
inline constexpr uint32_t kCmdStop = 2;
inline constexpr uint32_t kCmdHome = 16;
inline constexpr uint32_t kCmdSetPosition = 26;
inline constexpr uint32_t kCmdMove = 33;
inline constexpr uint32_t kCmdCharacteristic = 0xFFFF0003;
inline constexpr uint32_t kMoveBlockLength = 20;
inline constexpr uint32_t kSetPositionBlockLength = 12;

// Codes the controller answers or shows in ErrorCode.
inline constexpr int32_t kErrBeyondSoftLimit = 0x4222;
inline constexpr int32_t kErrBelowBrakeDistance = 0x4228;
inline constexpr int32_t kErrStartType = 0x4239;
inline constexpr int32_t kErrAcceleration = 0x4309;
inline constexpr int32_t kErrDeceleration = 0x430A;
inline constexpr int32_t kErrNoControlEnable = 0x4356;
inline constexpr int32_t kErrNoFeedNegative = 0x4357;
inline constexpr int32_t kErrNoFeedPositive = 0x4358;
inline constexpr int32_t kErrVelocity = 0x4359;
inline constexpr int32_t kErrTargetTimeout = 0x435C;
inline constexpr int32_t kErrLag = 0x435D;
inline constexpr int32_t kErrSetPosition = 0x4422;
inline constexpr int32_t kErrEncoder = 0x4470;
inline constexpr int32_t kErrReferenceVelo = 0x4605;
inline constexpr int32_t kErrDriveNotReady = 0x4650;
inline constexpr int32_t kErrNotStartable = 0x4B01;
inline constexpr int32_t kErrAxisNotReady = 0x4B09;

// Bits of StateBits and EnableBits.
inline constexpr uint32_t kStateReady = 1u << 0;
inline constexpr uint32_t kStateHomed = 1u << 1;
inline constexpr uint32_t kStateNotMoving = 1u << 2;
inline constexpr uint32_t kStateInRange = 1u << 3;
inline constexpr uint32_t kStateInTarget = 1u << 4;
inline constexpr uint32_t kStateStopped = 1u << 7;
inline constexpr uint32_t kStateMovingUp = 1u << 9;
inline constexpr uint32_t kStateMovingDown = 1u << 10;
inline constexpr uint32_t kEnableControl = 1u << 0;
inline constexpr uint32_t kEnableFeedPositive = 1u << 1;
inline constexpr uint32_t kEnableFeedNegative = 1u << 2;
inline constexpr uint32_t kEnableRefIndex = 1u << 5;

// Step codes ("iCvHydState...") and axis state codes ("McState_...").
enum Step : int16_t {
  kStepIdle = 0,
  kStepCvAccP = 1,
  kStepCvAccM = 2,
  kStepPcAccP = 3,
  kStepPcAccM = 4,
  kStepConstVeloP = 5,
  kStepConstVeloM = 6,
  kStepPcDecP = 7,
  kStepPcDecM = 8,
  kStepCvDecP = 11,
  kStepCvDecM = 12,
  kStepFeedStopPos = 13,
  kStepFeedStopNeg = 14,
  kStepExtGenerated = 2000,
  kStepEmergencyBreak = 9000,
  kStepFault = 9999,
};
enum AxisStateCode : int16_t {
  kStateStandstill = 0,
  kStateDiscreteMotion = 1,
  kStateContinuousMotion = 2,
  kStateStopping = 4,
  kStateErrorStop = 5,
  kStateHoming = 6,
  kStateDisabled = 7,
};

enum class MotionFault : uint8_t { ValveStuck, EncoderFault, DriveNotReady, LagError };

struct MoveBlock {
  int32_t mode = 0;
  double position = 0.0;
  double velocity = 0.0;
};
// Reads a move block: exactly 20 bytes; false otherwise.
bool DecodeMoveBlock(std::span<const uint8_t> data, MoveBlock& out);

class MotionAxis {
 public:
  // The parameters of one run of cycles (sim/MotionParams.h).
  struct Params;

  // The default cylinder of sim/Hydraulic.h until SetHydraulics gives the axis its own.
  explicit MotionAxis(SimAxis& axis);

  // Replaces the cylinder (at its start position, at rest); the faults switched on stay.
  void SetHydraulics(const HydraulicSpec& spec);

  // Commands; 0 or the code the controller answers.
  int32_t Move(int32_t mode, double position, double velocity);
  int32_t Stop();
  int32_t Reset();
  int32_t Home();
  int32_t SetPosition(double position);
  int32_t StartCharacteristic();

  // What the PLC program sets: control enable and the two feed enables (bits 0 to 2).
  void SetEnableBits(uint32_t bits);
  void SetFault(MotionFault fault, bool on);
  bool FaultOn(MotionFault fault) const;

  // Runs the cycles up to `now` (seconds on the server's clock). A dormant axis only takes the
  // time. After a long pause at most a minute is simulated; an axis at rest skips the rest.
  void AdvanceTo(double now);
  // Runs `cycles` cycles.
  void Run(uint64_t cycles);
  // The cycle time the controller runs at now (s), from CycleTime.
  double CycleTime() const;
  // Where the encoder's reference index sits: mid stroke (mm from the retracted end).
  double IndexMark() const { return cylinder_.Spec().strokeMm / 2; }

  bool Dormant() const { return dormant_; }
  int32_t Error() const { return error_; }
  const HydraulicCylinder& Cylinder() const { return cylinder_; }
  const MotionProfile& Profile() const { return profile_; }
  // Duration of the last start's profile from rest to rest (s).
  double PredictedMoveTime() const { return predicted_; }

 private:
  enum class Mode : uint8_t { Idle, Position, Jog, Stopping, Homing, Characteristic, Error };

  Params Read() const;
  void Activate();
  void Cycle(const Params& p);
  void Raise(int32_t code, const char* format, double value);
  double ClosedLoop(const Params& p);
  void Control(const Params& p);
  void Measure(const Params& p);
  void Monitor(const Params& p);
  void CharacteristicCycle(const Params& p);
  void EndCharacteristic();
  void Publish(const Params& p);
  // Publishes the state after a command and passes its result on.
  int32_t Published(int32_t result);
  int16_t StepCode() const;
  int16_t StateCode() const;
  int32_t CheckStart(const Params& p) const;
  double SearchEnd(int dir) const;
  bool Moving() const;

  SimAxis& axis_;
  HydraulicCylinder cylinder_;
  MotionProfile profile_;
  bool dormant_ = true;
  double time_ = 0.0;  // s on the server's clock, of the last cycle run
  bool timeKnown_ = false;

  Mode mode_ = Mode::Idle;
  int32_t error_ = 0;
  uint32_t enableBits_ = kEnableControl | kEnableFeedPositive | kEnableFeedNegative;
  bool homed_ = true;
  bool stopped_ = false;
  bool encoderFault_ = false, driveNotReady_ = false;

  double offset_ = 0.0;  // actual position = physical position + offset
  double actual_ = 0.0;
  double actualVelo_ = 0.0;
  double target_ = 0.0;   // shown as TargetPos
  double command_ = 0.0;  // valve command of the last cycle, held until the next
  double lag_ = 0.0;
  double integral_ = 0.0;     // mm/s, the lag controller's integral part
  double correction_ = 0.0;   // mm/s, the lag controller's output
  double lagTime_ = 0.0;      // s over the lag limit
  double targetTime_ = 0.0;   // s in the target window
  double arrivalTime_ = 0.0;  // s since the setpoint arrived
  bool inTarget_ = false;
  double predicted_ = 0.0;
  int jogDir_ = 0;
  bool jogLimited_ = true;  // the jog ends at a soft limit
  bool stopFromJog_ = false;

  // Homing.
  int homeDir_ = 1;
  int homeReversals_ = 0;
  bool homeFound_ = false;
  ProfileLimits homeLimits_;

  // Characteristic run: segment k of 2 * kLevels, each a reposition, an open-loop run and a
  // pause.
  enum class RunPhase : uint8_t { Reposition, Drive, Pause };
  size_t segment_ = 0;
  RunPhase runPhase_ = RunPhase::Reposition;
  double runTime_ = 0.0;
  double measured_ = 0.0;
  double measureTime_ = 0.0;
  std::array<double, 21> runValues_{};
};

// The emulator's clock for the axes of one server, in seconds.
struct MotionServerState {
  std::function<double()> clock;
};

// Gives every axis of `server` its motion (it needs the parameter store and the runtime records
// on the server), serves the command group, and advances an axis before each request for it.
// `clock` defaults to the steady clock. False with `error` when something is missing or taken.
bool InstallMotion(AxisServer& server, std::string& error, std::function<double()> clock = nullptr);
MotionAxis* MotionOf(SimAxis& axis);

// The configuration feature: axis key "motion", an object with "enableBits" (0 to 7) and
// "faults", a list of "valveStuck", "encoder", "driveNotReady" and "lagError".
ServerFeature MotionFeature();

}  // namespace sim
