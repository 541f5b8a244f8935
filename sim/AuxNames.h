// The names of the twenty auxiliary values of an emulated axis (group 0x8000F300 + n).
//
// A server whose axis reports a feature level above 2 in its AxisRef record names the values
// itself: a read of 1 to 21 bytes at offset i (1 to 20) answers name i, zero-padded, and the
// 21st byte is always 0, so a name has at most 20 characters. Offsets outside 1 to 20 answer
// 0x703, other lengths 0x705, writes 0x701. At feature level 2 or below (or without runtime
// records) the axis does not serve the group: 0x702.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/Plant.h"

namespace sim {

inline constexpr uint32_t kGroupAuxNames = 0x8000F300;
inline constexpr size_t kAuxNameCount = 20;
inline constexpr uint32_t kAuxNameField = 21;  // 20 characters and the terminator

// Single-byte texts, each at most 20 bytes.
struct AxisAuxNames {
  std::array<std::string, kAuxNameCount> names;
};

// The names a hydraulic axis reports unless its configuration says otherwise.
AxisAuxNames DefaultAuxNames();

// Gives every axis of `server` the default names and serves the group; false when the group is
// already served.
bool InstallAuxNames(AxisServer& server);
// The names of an axis, null when the server has none.
AxisAuxNames* AuxNamesOf(SimAxis& axis);

// The configuration feature: axis key "auxNames", a list of up to 20 texts (at most 20
// characters, Latin-1) that replace the first defaults; `null` keeps a default.
ServerFeature AuxNamesFeature();

}  // namespace sim
