#include "sim/Service.h"

#include <algorithm>

#include "sim/Reply.h"

namespace sim {
namespace {

// The range of `ranges` (a Service's, const or not) that serves `indexGroup`, null if none.
template <class Ranges>
auto* FindIn(Ranges& ranges, uint32_t indexGroup) {
  auto it = ranges.upper_bound(indexGroup);
  decltype(&it->second) none = nullptr;
  if (it == ranges.begin()) return none;
  --it;
  return indexGroup <= it->second.last ? &it->second : none;
}

}  // namespace

bool Service::AddRange(uint32_t first, uint32_t last, uint32_t longestAnswer, Handler handler) {
  if (last < first || !handler) return false;
  // The range after `first` must start beyond `last`, the one before must end before `first`.
  auto next = ranges_.lower_bound(first);
  if (next != ranges_.end() && next->first <= last) return false;
  if (next != ranges_.begin() && std::prev(next)->second.last >= first) return false;
  ranges_.emplace(first, Range{last, longestAnswer, std::move(handler)});
  return true;
}

bool Service::WidenAnswer(uint32_t indexGroup, uint32_t longestAnswer) {
  Range* r = FindIn(ranges_, indexGroup);
  if (r == nullptr) return false;
  r->longestAnswer = std::max(r->longestAnswer, longestAnswer);
  return true;
}

const Service::Range* Service::Find(uint32_t indexGroup) const {
  return FindIn(ranges_, indexGroup);
}

uint32_t Service::AnswerRoom(const oxa::OxaRequest& request) const {
  const Range* r = Find(request.indexGroup);
  return r == nullptr ? 0 : std::min(request.readLength, r->longestAnswer);
}

oxa::OxaReplyInfo Service::Handle(const oxa::OxaRequest& request,
                                  std::span<uint8_t> readData) const {
  const Range* r = Find(request.indexGroup);
  if (!r) return Fail(oxa::kErrInvalidIndexGroup);
  return r->handler(request, readData);
}

}  // namespace sim
