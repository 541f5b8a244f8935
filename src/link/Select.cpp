#include "link/Select.h"

namespace axlink {

namespace {

AxisTarget TargetOf(const ServerNode& s, uint16_t number) {
  AxisTarget t;
  t.addr = s.addr;
  t.number = number;
  t.versions.Store(s.lib, s.versions);
  return t;
}

}  // namespace

std::optional<AxisTarget> FindAxisTarget(const AxisList& lists, const oxa::OxaAddr& addr,
                                         uint16_t number) {
  for (const ServerNode& s : lists.Servers()) {
    if (s.addr == addr) return TargetOf(s, number);
  }
  return std::nullopt;
}

std::optional<AxisTarget> AxisTargetOfItem(const AxisList& lists, int item) {
  const ServerNode* server = nullptr;
  const AxisNode* axis = lists.FindAxis(item, &server);
  if (axis == nullptr || server == nullptr) return std::nullopt;
  return TargetOf(*server, axis->number);
}

}  // namespace axlink
