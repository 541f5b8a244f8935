// The settings of the linearisation record by number (3000 to 3158): the numbers under which
// parameter files and numbered writes carry them, and the LinDef page shows them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "model/LinRecord.h"
#include "model/ParamRecord.h"

namespace model {

struct LinField {
  std::string_view name;
  uint16_t no;
  ParamType type;  // Real, Int16 or Bool
  void* (*at)(LinRecord&);

  template <class T>
  T& Ref(LinRecord& r) const {
    return *static_cast<T*>(at(r));
  }
  template <class T>
  const T& Ref(const LinRecord& r) const {
    return *static_cast<const T*>(at(const_cast<LinRecord&>(r)));
  }
};

// The numbered settings, ascending by number (the table points 3201 and up are not among them).
std::span<const LinField> LinFields();
// The field of a number, or null.
const LinField* FindLinField(uint16_t no);

}  // namespace model
