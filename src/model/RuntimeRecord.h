// The online values of the current axis and their read from the axis server.
//
// The axis server delivers them either as one block of its StRtData structure, in one of the
// block layouts 0 to 9, or by parameter number in one batch for every other layout version.
#pragma once

#include <cstdint>

#include <span>

#include "model/Link.h"
#include "model/ParamBatch.h"

namespace model {

// The document owns exactly one. Polymorphic only so that the document can hold it like its
// other records; the fields are plain values.
struct RuntimeRecord {
  virtual ~RuntimeRecord() = default;

  double ActualPos = 0;          // mm
  double SetpointPos = 0;        // mm
  double TargetPosAux = 0;       // mm, a second target position, carried not shown
  double TargetPos = 0;          // mm
  double LatchPos = 0;           // mm, shown plus LatchPosOffset
  double LatchPosOffset = 0;     // mm, only block layouts carry it
  double EncoderInfo1 = 0;       // written by the parameter read
  double EncoderInfo2 = 0;       // written by the parameter read
  double ActualPressure = 0;     // bar
  double ActualPressure2 = 0;    // bar
  double ActualPressure3 = 0;    // bar
  double SpareValue = 0;         // carried by block layouts 5 to 9
  double ActualVelo = 0;         // mm/s
  double SetpointVeloRatio = 0;  // fraction of ReferenceVelo
  double ReferenceVelo = 0;      // mm/s, copy of the parameter record's value
  double Override = 0;
  double Clamping = 0;
  double Overlap = 0;
  double LagController = 0;  // output of the lag controller
  double Lag = 0;            // mm
  double Distance = 0;       // mm, remaining distance
  uint32_t EnableBits = 0;   // bit 0 control, 1 feed +, 2 feed -, 5 reference index
  uint32_t StateBits = 0;    // bit 0 ready, 1 homed, 2 not moving, 3 in range, 4 in target ...
  int32_t ErrorCode = 0;
  int16_t AxisState = 0;     // copied from every AxisRef read
  int16_t CurrentStep = -1;  // -1: no step
  bool Unsaved = false;      // the controller holds parameter changes that are not saved
  uint8_t PosCams = 0;       // bit 3 ++, bit 2 +, bit 1 -, bit 0 --
  int32_t Buffered = 0;      // from library V3.0.34
};

// StateBits that show "protected".
inline constexpr uint32_t kStateProtectedMask = 0x20000020u;

// Index offset of the StRtData block and of the runtime batch, in index group 0x8000F000 + n.
inline constexpr uint32_t kRuntimeBlockOffset = 1;
inline constexpr uint32_t kRuntimeBatchOffset = 24;
// The changed-parameters notice: its number, and where it is acknowledged (index group
// 0x800F0000 + n, this offset, the single byte 0).
inline constexpr int32_t kParamsChangedNo = 11008;
inline constexpr uint32_t kParamsChangedAckOffset = 11008;

// Sets every field to 0 and CurrentStep to -1.
void ResetRuntimeRecord(RuntimeRecord& rec);

// What a runtime read tells its caller besides the values.
struct RuntimeReadNotice {
  // The axis server announced changed parameters: the caller forces a refresh and forgets
  // which parameter page it read last, so that the current page is read again.
  bool paramsChanged = false;
};

// Reads the runtime values of `link`'s axis into `rec`; 0 or the Oxa error code, `rec`
// unchanged on failure. The StRtData layout version (link.versions[1]) alone chooses the
// method: 0 to 9 block, anything else batch. A changed-parameters notice of the batch is
// acknowledged unless `commStopped`; a failed acknowledge goes to link.report as a write
// error and does not change the result.
int32_t ReadRuntimeRecord(const AxisLink& link, RuntimeRecord& rec, bool commStopped,
                          RuntimeReadNotice* notice = nullptr);

// The pieces of the read, for the emulator and the fuzz targets.

// Length of StRtData block `layout`, 0 when it is read by batch.
uint32_t RuntimeBlockLength(int16_t layout);
// Converts a block of `layout` into `rec`; false (and `rec` untouched) when the layout has no
// block or `block` is shorter than its length.
bool DecodeRuntimeBlock(int16_t layout, std::span<const uint8_t> block, RuntimeRecord& rec);
// Writes `rec` into `block` (zeroed by the caller) as `layout` carries it.
bool EncodeRuntimeBlock(int16_t layout, const RuntimeRecord& rec, std::span<uint8_t> block);
// The batch request of the runtime values for library `lib`.
ParamBatchRequest RuntimeBatchRequest(const LibVersion& lib);
// Stores a batch answer into `rec`; true when it carries the changed-parameters notice.
bool ApplyRuntimeBatch(const ParamBatchRequest& req, const ParamBatchAnswer& answer,
                       RuntimeRecord& rec);
// What a server answers for runtime number `no` (10011 in mm/s); false for other numbers.
bool RuntimeBatchValue(const RuntimeRecord& rec, int16_t no, double& value);
bool RuntimeBatchValue(const RuntimeRecord& rec, int16_t no, int32_t& value);

}  // namespace model
