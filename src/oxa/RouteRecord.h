// What the local router answers (Oxa port 1 of the local NetId, index group 3): the number of
// routes at offset 2, and at offset 1 one 58-byte record per route in the order of the route
// file: bytes 0-15 zero, 16-51 the name zero-terminated and zero-padded, 52-57 the NetId. The
// router that answers and the target selection that reads the records both use these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace oxa {

inline constexpr uint32_t kRouterOffsetList = 1;
inline constexpr uint32_t kRouterOffsetCount = 2;
inline constexpr size_t kRouteRecordSize = 58;
inline constexpr size_t kRouteNameOffset = 16;
inline constexpr size_t kRouteNameField = 36;
inline constexpr size_t kRouteNetIdOffset = 52;
// A name fills at most 35 bytes, so that it stays terminated in its field.
inline constexpr size_t kMaxRouteName = kRouteNameField - 1;

static_assert(kRouteNameOffset + kRouteNameField == kRouteNetIdOffset);
static_assert(kRouteNetIdOffset + 6 == kRouteRecordSize);

}  // namespace oxa
