#include "sim/Service.h"

#include "sim/Reply.h"

namespace sim {

bool Service::AddRange(uint32_t first, uint32_t last, Handler handler) {
  if (last < first || !handler) return false;
  // The range after `first` must start beyond `last`, the one before must end before `first`.
  auto next = ranges_.lower_bound(first);
  if (next != ranges_.end() && next->first <= last) return false;
  if (next != ranges_.begin() && std::prev(next)->second.last >= first) return false;
  ranges_.emplace(first, Range{last, std::move(handler)});
  return true;
}

const Handler* Service::Find(uint32_t indexGroup) const {
  auto it = ranges_.upper_bound(indexGroup);
  if (it == ranges_.begin()) return nullptr;
  --it;
  return indexGroup <= it->second.last ? &it->second.handler : nullptr;
}

oxa::OxaReplyInfo Service::Handle(const oxa::OxaRequest& request,
                                  std::span<uint8_t> readData) const {
  const Handler* h = Find(request.indexGroup);
  if (!h) return Fail(oxa::kErrInvalidIndexGroup);
  return (*h)(request, readData);
}

}  // namespace sim
