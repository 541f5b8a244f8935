// The online state of an emulated axis and the records through which its server publishes it:
// the StRtData block and the runtime values of the batch, the axis reference, the process images
// of the I/O page and the linearisation record.
//
// For axis n the server answers in group 0x8000F000 + n, by index offset, a read of exactly the
// length of the layout that its record version table names (else 0x705; 0x703 when the table
// names no layout the server can build, 0x701 for anything but a read):
//   0 AxisRef (word 0)       1 StRtData block (word 1, layouts 0 to 9)   4 LinRecord (word 4)
//   16 to 19 encoder and drive terminal images (words 5 to 8)
//   20, 21 drive-device images (words 7, 8)   22, 23 device interface images (words 11, 12)
// The runtime values by number travel in the parameter store's batch (offset 24), which asks
// this feature for the numbers 1, 8, 10, 10000 to 10019 and 11000 to 11011. The notice that the
// parameters have changed (11008) stays set until the client writes the single byte 0 to
// 0x800F0000 + n, offset 11008.
#pragma once

#include <cstdint>

#include "model/AxisRef.h"
#include "model/LinRecord.h"
#include "model/ProcessImage.h"
#include "model/RuntimeRecord.h"
#include "sim/Plant.h"

namespace sim {

inline constexpr uint32_t kOffsetAxisRef = 0;
inline constexpr uint32_t kOffsetRuntimeBlock = 1;
inline constexpr uint32_t kOffsetLinRecord = 4;
inline constexpr uint32_t kOffsetParamsChangedAck = 11008;

// Everything an axis reports online, in one place for the motion model to drive.
struct AxisRuntime {
  // Position, velocity, pressures, state bits, step ... as the runtime record carries them;
  // SetpointVeloRatio is the setpoint velocity as a fraction of the parameters' ReferenceVelo.
  model::RuntimeRecord values;
  int16_t initState = 2;
  int32_t initError = 0;
  int16_t featureLevel = 3;
  double valveOutput = 0.0;  // the drive's command, -1 to 1
  bool powerOn = true;
  bool enabled = true;
  uint16_t latchCount = 0;
  bool paramsChanged = false;  // the notice 11008, until acknowledged
  // Parameter writes and loads so far: a save whose snapshot is still current marks it saved.
  uint64_t paramChanges = 0;
  model::LinRecord lin;
};

// The axis at rest: at mid stroke, ready, homed, in target, with a 21-point example valve
// characteristic (output -1 to 1, an overlap step of 5 % around zero) that is not enabled.
AxisRuntime RestingAxis();

// The canonical records the axis would report now. Encoder counts follow the position and the
// parameters' EncoderWeighting (mm per increment), the DAC words the valve output.
model::AxisRefRecord AxisRefOf(SimAxis& axis);
model::IoRecords IoImagesOf(SimAxis& axis);

// Gives every axis of `server` its runtime state and serves the records above. Needs the
// parameter store on the server for the batch; false with `error` when a group is taken.
bool InstallRuntimeRecords(AxisServer& server, std::string& error);
AxisRuntime* RuntimeOf(SimAxis& axis);

// The configuration feature: axis key "runtime", an object with any of "position" (mm),
// "pressure" (bar), "stateCode", "errorCode" and "step".
ServerFeature RuntimeRecordsFeature();

}  // namespace sim
