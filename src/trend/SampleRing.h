// The recorder's memory: a ring of samples, allocated once, that keeps the newest ones.
//
// One thread pushes (the sampler), others copy out (the window, a file export); every call takes
// the ring's lock for the few samples it touches. Samples are numbered from 0 in the order they
// were pushed, so that a reader asks for what came after its last copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "trend/Channels.h"

namespace trend {

class SampleRing {
 public:
  static constexpr size_t kMinCapacity = 16;
  // About 220 MB: an hour at 500 Hz, half an hour at 1000 Hz.
  static constexpr size_t kMaxCapacity = 2'000'000;
  // Ten minutes at 100 Hz.
  static constexpr size_t kDefaultCapacity = 60'000;

  // The capacity for `seconds` at `rateHz`, within the limits above.
  static size_t CapacityFor(double rateHz, double seconds);

  explicit SampleRing(size_t capacity = kDefaultCapacity);

  size_t Capacity() const { return slots_.size(); }
  void Push(const Sample& s);
  // Forgets every sample; the numbering starts again at 0.
  void Clear();

  // Number of samples pushed since the last Clear, and the number of the oldest one held.
  uint64_t Total() const;
  uint64_t First() const;
  // The time of the oldest sample held; NaN when the ring is empty.
  double OldestTime() const;

  // Appends the held samples numbered `from` and later to `out`, oldest first (those already
  // overwritten are skipped); returns the number after the last one copied.
  uint64_t CopySince(uint64_t from, std::vector<Sample>& out) const;
  // Appends the held samples with t0 <= t <= t1 to `out`, oldest first.
  void CopyRange(double t0, double t1, std::vector<Sample>& out) const;

 private:
  const Sample& At(uint64_t n) const { return slots_[static_cast<size_t>(n % slots_.size())]; }
  // The number of the oldest sample still held; the caller holds the lock.
  uint64_t FirstHeld() const { return total_ > slots_.size() ? total_ - slots_.size() : 0; }

  mutable std::mutex mutex_;
  std::vector<Sample> slots_;
  uint64_t total_ = 0;
};

}  // namespace trend
