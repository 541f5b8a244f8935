// Target selection: the routes that the local Oxa router knows, the entries of the target
// dialog ("Local" first, then the routes in the router's order) and what choosing one means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "oxa/Oxa.h"
#include "oxa/RouteRecord.h"

namespace axlink {

inline constexpr uint32_t kRouterCountOffset = oxa::kRouterOffsetCount;
inline constexpr uint32_t kRouterListOffset = oxa::kRouterOffsetList;
inline constexpr size_t kRouteRecordSize = oxa::kRouteRecordSize;
inline constexpr size_t kRouteNameOffset = oxa::kRouteNameOffset;
inline constexpr size_t kRouteNetIdOffset = oxa::kRouteNetIdOffset;
// Route names are cut at 35 characters even when the router sends no terminator.
inline constexpr size_t kRouteNameMax = oxa::kMaxRouteName;
// The dialog lists "Local" and at most 49 routes.
inline constexpr size_t kMaxTargetEntries = 50;
// A route list whose read would not fit one answer frame is not asked for.
inline constexpr size_t kMaxRouteCount = 18000;

struct TargetEntry {
  std::string name;  // single-byte text as the router sent it
  oxa::NetId netId;
};

// Decodes up to `maxRoutes` 58-byte route records; a trailing partial record is ignored.
std::vector<TargetEntry> DecodeRouteRecords(std::span<const uint8_t> records, size_t maxRoutes);

// The dialog's entries: entry 0 "Local" with the local NetId, then the routes. Empty when the
// dialog is not shown: no local address, no route, or a router request failed.
std::vector<TargetEntry> ReadTargetEntries(oxa::IOxa& oxa);

struct TargetChoice {
  oxa::NetId netId;
  std::string title;        // "Axtune -> Local" or "Axtune -> " and the route's name
  std::string addressText;  // "%d.%d.%d.%d.%d.%d"
};

// What choosing entry `index` sets; nothing for an index outside the list.
std::optional<TargetChoice> ChooseTarget(const std::vector<TargetEntry>& entries, size_t index);

}  // namespace axlink
