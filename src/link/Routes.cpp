#include "link/Routes.h"

#include <algorithm>

#include "link/Login.h"

namespace axlink {

std::vector<TargetEntry> DecodeRouteRecords(std::span<const uint8_t> records, size_t maxRoutes) {
  const size_t count = std::min(records.size() / kRouteRecordSize, maxRoutes);
  std::vector<TargetEntry> routes;
  routes.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const auto rec = records.subspan(i * kRouteRecordSize, kRouteRecordSize);
    const auto name = rec.subspan(kRouteNameOffset, kRouteNameMax);
    TargetEntry e;
    e.name.assign(name.begin(), std::find(name.begin(), name.end(), uint8_t{0}));
    std::copy_n(rec.begin() + kRouteNetIdOffset, e.netId.b.size(), e.netId.b.begin());
    routes.push_back(std::move(e));
  }
  return routes;
}

std::vector<TargetEntry> ReadTargetEntries(oxa::IOxa& oxa) {
  oxa::OxaAddr router;
  if (oxa.OxaGetLocalAddress(&router) != oxa::kOk) return {};
  const oxa::NetId local = router.netId;
  router.port = oxa::kRouterPort;

  int32_t count = 0;
  std::array<uint8_t, 4> countBuf{};
  if (oxa.OxaSyncReadReq(&router, oxa::kRouterIndexGroup, kRouterCountOffset, 4, countBuf.data()) !=
      oxa::kOk) {
    return {};
  }
  count = static_cast<int32_t>(
      static_cast<uint32_t>(countBuf[0]) | static_cast<uint32_t>(countBuf[1]) << 8 |
      static_cast<uint32_t>(countBuf[2]) << 16 | static_cast<uint32_t>(countBuf[3]) << 24);
  if (count <= 0 || static_cast<size_t>(count) > kMaxRouteCount) return {};

  std::vector<uint8_t> records(static_cast<size_t>(count) * kRouteRecordSize);
  if (oxa.OxaSyncReadReq(&router, oxa::kRouterIndexGroup, kRouterListOffset,
                         static_cast<uint32_t>(records.size()), records.data()) != oxa::kOk) {
    return {};
  }

  std::vector<TargetEntry> entries;
  entries.push_back(TargetEntry{"Local", local});
  for (TargetEntry& r : DecodeRouteRecords(records, kMaxTargetEntries - 1)) {
    entries.push_back(std::move(r));
  }
  return entries;
}

std::optional<TargetChoice> ChooseTarget(const std::vector<TargetEntry>& entries, size_t index) {
  if (index >= entries.size()) return std::nullopt;
  TargetChoice c;
  c.netId = entries[index].netId;
  c.title = index == 0 ? std::string(kTitleLocal) : "Axtune -> " + entries[index].name;
  c.addressText = c.netId.ToString();
  return c;
}

}  // namespace axlink
