#include "sim/RequestLog.h"

#include <algorithm>

namespace sim {

void RequestLog::Record(const oxa::OxaRequest& request) {
  LoggedRequest e{request.target.netId,
                  request.target.port,
                  request.command,
                  request.indexGroup,
                  request.indexOffset,
                  request.readLength,
                  static_cast<uint32_t>(request.writeData.size())};
  std::lock_guard lock(mutex_);
  if (entries_.size() == capacity_) entries_.pop_front();
  entries_.push_back(e);
  ++total_;
}

void RequestLog::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  total_ = 0;
}

uint64_t RequestLog::Total() const {
  std::lock_guard lock(mutex_);
  return total_;
}

std::vector<LoggedRequest> RequestLog::Entries() const {
  std::lock_guard lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

size_t RequestLog::Count(const std::function<bool(const LoggedRequest&)>& match) const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(), match));
}

}  // namespace sim
