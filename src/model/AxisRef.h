// The axis reference of an axis: its state, its initialisation result and the components it
// is connected to. Read as one block in the layout of word 0 of the record version table.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/Link.h"
#include "model/RuntimeRecord.h"

namespace model {

inline constexpr uint32_t kAxisRefOffset = 0;  // index offset in 0x8000F000 + n
inline constexpr size_t kAxisRefNameSize = 84;
inline constexpr uint32_t kAxisRefMaxBlock = 256;

struct AxisRefRecord {
  std::array<char, kAxisRefNameSize> AxisRefName{};  // always zero-terminated
  int16_t AxisStateCode = -1;
  int16_t InitState = 0;
  int32_t InitError = 0;
  // Above 2 the server names the twenty AuxData values itself.
  int16_t FeatureLevel = -1;
  // Component flags; [3] the device interface records exist, [6] the linearisation record.
  std::array<bool, 8> RefFlags{};

  bool HasDevIo() const { return RefFlags[3]; }
  bool HasLinTab() const { return RefFlags[6]; }
};

// AxisStateCode and FeatureLevel -1, InitState and InitError 0.
void ResetAxisRefRecord(AxisRefRecord& rec);

// Block length of AxisRef layout `layout`, 0 for a version without a layout.
uint32_t AxisRefBlockLength(int16_t layout);
// Converts a block; false (and `rec` untouched) for a version without a layout or a short block.
bool DecodeAxisRefBlock(int16_t layout, std::span<const uint8_t> block, AxisRefRecord& rec);
// Writes the fields the layout carries into `block` (zeroed by the caller); a flag goes out as
// the 32-bit word 1 or 0.
bool EncodeAxisRefBlock(int16_t layout, const AxisRefRecord& rec, std::span<uint8_t> block);

// Reads record 0 of link's axis; -1 and `rec` unchanged for a version without a layout, the
// Oxa code and `rec` unchanged on a failed request. On success AxisStateCode is copied into
// runtime.AxisState.
int32_t ReadAxisRef(const AxisLink& link, AxisRefRecord& rec, RuntimeRecord& runtime);

}  // namespace model
