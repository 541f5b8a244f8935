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

namespace axlink {

inline constexpr uint32_t kRouterCountOffset = 2;
inline constexpr uint32_t kRouterListOffset = 1;
inline constexpr size_t kRouteRecordSize = 58;
inline constexpr size_t kRouteNameOffset = 16;
inline constexpr size_t kRouteNetIdOffset = 52;
// Route names are cut at 35 characters even when the router sends no terminator.
inline constexpr size_t kRouteNameMax = 35;
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
