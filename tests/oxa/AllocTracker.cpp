#include "AllocTracker.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace oxa::test {
namespace {
std::atomic<size_t> largest{0};
std::atomic<size_t> count{0};

void* Allocate(size_t n) {
  count.fetch_add(1, std::memory_order_relaxed);
  size_t seen = largest.load(std::memory_order_relaxed);
  while (n > seen && !largest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
  }
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void ResetLargestAllocation() {
  largest.store(0);
}
size_t LargestAllocation() {
  return largest.load();
}
size_t AllocationCount() {
  return count.load();
}

}  // namespace oxa::test

void* operator new(size_t n) {
  return oxa::test::Allocate(n);
}
void* operator new[](size_t n) {
  return oxa::test::Allocate(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
