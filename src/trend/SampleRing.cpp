#include "trend/SampleRing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trend {

size_t SampleRing::CapacityFor(double rateHz, double seconds) {
  const double n = rateHz * seconds;
  if (!std::isfinite(n) || n <= static_cast<double>(kMinCapacity)) return kMinCapacity;
  if (n >= static_cast<double>(kMaxCapacity)) return kMaxCapacity;
  return static_cast<size_t>(std::ceil(n));
}

SampleRing::SampleRing(size_t capacity)
    : slots_(std::clamp(capacity, kMinCapacity, kMaxCapacity)) {}

void SampleRing::Push(const Sample& s) {
  const std::lock_guard lock(mutex_);
  slots_[static_cast<size_t>(total_ % slots_.size())] = s;
  ++total_;
}

void SampleRing::Clear() {
  const std::lock_guard lock(mutex_);
  total_ = 0;
}

uint64_t SampleRing::Total() const {
  const std::lock_guard lock(mutex_);
  return total_;
}

uint64_t SampleRing::First() const {
  const std::lock_guard lock(mutex_);
  return FirstHeld();
}

double SampleRing::OldestTime() const {
  const std::lock_guard lock(mutex_);
  if (total_ == 0) return std::numeric_limits<double>::quiet_NaN();
  return At(FirstHeld()).t;
}

uint64_t SampleRing::CopySince(uint64_t from, std::vector<Sample>& out) const {
  const std::lock_guard lock(mutex_);
  for (uint64_t n = std::max(from, FirstHeld()); n < total_; ++n) out.push_back(At(n));
  return total_;
}

void SampleRing::CopyRange(double t0, double t1, std::vector<Sample>& out) const {
  const std::lock_guard lock(mutex_);
  // Times rise with the numbering: find the first sample at or after t0, then copy on.
  uint64_t lo = FirstHeld(), hi = total_;
  while (lo < hi) {
    const uint64_t mid = lo + (hi - lo) / 2;
    if (At(mid).t < t0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  for (uint64_t n = lo; n < total_ && At(n).t <= t1; ++n) out.push_back(At(n));
}

}  // namespace trend
