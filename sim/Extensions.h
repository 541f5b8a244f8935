// Per-object state that later features attach to an emulated axis or server without the owner
// knowing their types: one object per type, created with Emplace<T>(...), found with Find<T>().
#pragma once

#include <map>
#include <memory>
#include <typeindex>
#include <utility>

namespace sim {

class Extensions {
 public:
  // Creates (or replaces) the object of type T.
  template <class T, class... Args>
  T& Emplace(Args&&... args) {
    auto p = std::make_shared<T>(std::forward<Args>(args)...);
    T& ref = *p;
    items_[std::type_index(typeid(T))] = std::move(p);
    return ref;
  }
  template <class T>
  T* Find() const {
    auto it = items_.find(std::type_index(typeid(T)));
    return it == items_.end() ? nullptr : static_cast<T*>(it->second.get());
  }

 private:
  std::map<std::type_index, std::shared_ptr<void>> items_;
};

}  // namespace sim
