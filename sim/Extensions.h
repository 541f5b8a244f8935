// Per-object state that later features attach to an emulated axis or server without the owner
// knowing their types: one object per type, created with Emplace<T>(...), found with Find<T>().
//
// The motion model looks its axis's parameters and runtime state up on every 1 ms cycle, so a
// lookup is an index into a vector: each type gets its slot number on first use.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace sim {

class Extensions {
 public:
  // Creates (or replaces) the object of type T.
  template <class T, class... Args>
  T& Emplace(Args&&... args) {
    auto p = std::make_shared<T>(std::forward<Args>(args)...);
    T& ref = *p;
    const size_t slot = Slot<std::remove_cv_t<T>>();
    if (items_.size() <= slot) items_.resize(slot + 1);
    items_[slot] = std::move(p);
    return ref;
  }
  template <class T>
  T* Find() const {
    const size_t slot = Slot<std::remove_cv_t<T>>();
    return slot < items_.size() ? static_cast<T*>(items_[slot].get()) : nullptr;
  }

 private:
  static size_t NextSlot() {
    static std::atomic<size_t> next{0};
    return next++;
  }
  template <class T>
  static size_t Slot() {
    static const size_t slot = NextSlot();
    return slot;
  }

  std::vector<std::shared_ptr<void>> items_;  // by slot
};

}  // namespace sim
