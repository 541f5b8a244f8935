#include "oxa/LocalRouter.h"

#include <algorithm>
#include <cstring>

#include "oxa/Bytes.h"

namespace oxa {

int32_t AnswerLocalRouter(const RouteTable& table, Command command, uint32_t indexOffset,
                          std::span<uint8_t> readData) {
  if (command != Command::Read) return kErrServiceNotSupported;
  const size_t count = table.routes.size();
  if (indexOffset == kRouterOffsetCount) {
    if (readData.size() != sizeof(int32_t)) return kErrInvalidSize;
    bytes::Put<int32_t>(readData, 0, static_cast<int32_t>(count));
    return kOk;
  }
  if (indexOffset == kRouterOffsetList) {
    if (readData.size() != count * kRouteRecordSize) return kErrInvalidSize;
    std::fill(readData.begin(), readData.end(), uint8_t{0});
    for (size_t i = 0; i < count; ++i) {
      const RouteEntry& r = table.routes[i];
      uint8_t* rec = readData.data() + i * kRouteRecordSize;
      const size_t n = std::min(r.name.size(), kMaxRouteName);
      std::memcpy(rec + kRouteNameOffset, r.name.data(), n);
      std::memcpy(rec + kRouteNetIdOffset, r.netId.b.data(), r.netId.b.size());
    }
    return kOk;
  }
  return kErrServiceNotSupported;
}

}  // namespace oxa
