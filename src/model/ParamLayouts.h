// The StParam block layouts of the axis server: the parameter record as one block, in the byte
// layout of its layout version (word 2 of the record version table). Versions 0 and 3 to 13
// have a layout; every other version has none.
#pragma once

#include <cstdint>
#include <span>

#include "model/Layout.h"
#include "model/ParamRecord.h"

namespace model {

inline constexpr size_t kParamLayoutCount = 12;
inline constexpr uint32_t kParamBlockOffset = 2;  // index offset in 0x8000F000 + n
inline constexpr uint32_t kParamBlockMaxLength = 1008;

using ParamLayoutTable = LayoutTable<ParamRecord, kParamLayoutCount>;

// Every field but FileName, per layout version; FileName is handled by the converter because
// its wire length depends on the layout.
const ParamLayoutTable& ParamLayouts();

// Block length of a layout version, 0 when the version has no layout.
uint32_t ParamBlockLength(int version);
// Wire length of FileName in a layout version (81 or 256), 0 when the version has no layout.
uint32_t ParamFileNameWireLength(int version);

// Converts a block of layout `version` into `rec`: every field at its offset, shared offsets
// into both fields of a pair, the 0/1/1.0 fields set, the others kept. False (and `rec`
// untouched) when the version has no layout or the block is shorter than the layout.
bool DecodeParamBlock(int version, std::span<const uint8_t> block, ParamRecord& rec);

// Builds the block of layout `version` from zeros into `block`, which must be exactly the
// layout's length. Pairs that share an offset send their first field; layout 13 also sends
// PehFilter at 0x370 and PehEnabled at 0x378. False when the version has no layout or the
// buffer has the wrong length.
bool EncodeParamBlock(int version, const ParamRecord& rec, std::span<uint8_t> block);

// What the controller holds of `sent` after a block write of layout `version`, copied into
// `held`: every field the block carries (of a pair that shares an offset the first), FileName as
// far as the layout holds it, and in layout 13 PehFilter and PehEnabled. The fields the block
// has no place for keep their values. False, and nothing copied, when the version has no layout.
bool CopyParamBlockFields(int version, const ParamRecord& sent, ParamRecord& held);

}  // namespace model
