// Route files of any content, and the local router's answers from the table they give.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "oxa/LocalRouter.h"
#include "oxa/RouteTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const oxa::RouteTable table = oxa::ParseRouteTable(text, "fuzz.conf");
  for (const oxa::RouteWarning& w : table.warnings) {
    for (const char c : w.text) {
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
        __builtin_trap();
      }
    }
  }
  if (table.routes.size() > oxa::kMaxRoutes) __builtin_trap();
  for (const oxa::RouteEntry& r : table.routes) {
    if (r.name.empty() || r.name.size() > oxa::kMaxRouteName || r.host.empty() || r.tcpPort == 0) {
      __builtin_trap();
    }
    if (table.Find(r.netId) == nullptr) __builtin_trap();
  }
  int32_t count = -1;
  std::span<uint8_t> countBytes(reinterpret_cast<uint8_t*>(&count), sizeof count);
  if (oxa::AnswerLocalRouter(table, oxa::Command::Read, oxa::kRouterOffsetCount, countBytes) !=
          oxa::kOk ||
      count != static_cast<int32_t>(table.routes.size())) {
    __builtin_trap();
  }
  std::vector<uint8_t> list(table.routes.size() * oxa::kRouteRecordSize);
  if (oxa::AnswerLocalRouter(table, oxa::Command::Read, oxa::kRouterOffsetList, list) != oxa::kOk) {
    __builtin_trap();
  }
  // Every name stays zero-terminated inside its record.
  for (size_t i = 0; i < table.routes.size(); ++i) {
    if (list[i * oxa::kRouteRecordSize + 51] != 0) __builtin_trap();
  }
  return 0;
}
