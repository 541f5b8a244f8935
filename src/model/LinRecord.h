// The linearisation table of an axis and its settings (pages "LinTab" and "LinDef").
//
// The canonical record mirrors the newest controller block (1707 bytes): every byte of it has
// a home here, so that block is taken over byte for byte; older blocks are converted field by
// field.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/Link.h"

namespace model {

inline constexpr size_t kLinTabPoints = 100;
inline constexpr uint32_t kLinRecordLength = 1707;
inline constexpr uint32_t kLinRecordOffset = 4;  // index offset in 0x8000F000 + n

struct LinRecord {
  bool LinEnableEoT = false;               // 0x000
  bool LinEnableOverlap = false;           // 0x001
  bool LinEnableZAdjust = false;           // 0x002
  bool LinEnableRatio = false;             // 0x003
  double LinEoTNegative = 0;               // 0x004 mm
  double LinEoTPositive = 0;               // 0x00C mm
  std::array<uint8_t, 8> LinReserved14{};  // 0x014, carried
  double LinNegativeLimit = 0;             // 0x01C V
  double LinPositiveLimit = 0;             // 0x024 V
  std::array<uint8_t, 2> LinReserved2C{};  // 0x02C, carried
  double LinDecelFactor = 0;               // 0x02E %
  bool LinEnableTable = false;             // 0x036
  int16_t LinCurveType = 0;                // 0x037
  // 0x039: 100 entries of (value, output), 16 bytes each.
  std::array<double, kLinTabPoints> LinTabValue{};
  std::array<double, kLinTabPoints> LinTabOutput{};
  int16_t LinSamples = 0;  // 0x679
  double LinLowEnd = 0;    // 0x67B mm
  double LinHighEnd = 0;   // 0x683 mm
  double LinRamp = 0;      // 0x68B
  double LinSettling = 0;  // 0x693
  double LinRecovery = 0;  // 0x69B
  double LinMinCycle = 0;  // 0x6A3
};

// Sets every field to zero or false except the 100 table entries, which keep their values.
void ResetLinRecord(LinRecord& rec);

// Reads record 4 in the layout of link.versions[4] (1 to 5); -1 and `rec` unchanged for any
// other version, the Oxa error code and `rec` unchanged on a failed request.
int32_t ReadLinTab(const AxisLink& link, LinRecord& rec);

// Block length of LinRecord layout `layout`, 0 for a version without a layout.
uint32_t LinBlockLength(int16_t layout);
// Converts a block; false (and `rec` untouched) for a version without a layout or a short block.
// Only layout 5 carries the table points; the older ones leave them as they are.
bool DecodeLinBlock(int16_t layout, std::span<const uint8_t> block, LinRecord& rec);
// Writes what the layout carries of `rec` into `block` (zeroed by the caller).
bool EncodeLinBlock(int16_t layout, const LinRecord& rec, std::span<uint8_t> block);

}  // namespace model
