#include "model/ParamNumbers.h"

#include <array>
#include <cmath>
#include <limits>
#include <string_view>

#include "model/LinFields.h"

namespace model {
namespace {

// A field of one of the records, reached by number; `count` numbers for an array.
struct NumberedField {
  uint16_t no;
  uint16_t count;
  ParamType type;
  std::string_view name;
  void* (*at)(ParamRecord&, LinRecord&, size_t index);
};

#define LIN_ARRAY(No, Name)                                                      \
  NumberedField {                                                                \
    No, kLinTabPoints, ParamType::Real, #Name,                                   \
        [](ParamRecord&, LinRecord& l, size_t i) -> void* { return &l.Name[i]; } \
  }

// The numbers that neither the parameter record's nor the linearisation settings' field table
// carries.
constexpr std::array kOthers = {
    NumberedField{kParamNoAuxFirst, 20, ParamType::Real, "AuxData",
                  [](ParamRecord& p, LinRecord&, size_t i) -> void* { return &p.AuxData[i]; }},
    LIN_ARRAY(3201, LinTabValue),
    LIN_ARRAY(3401, LinTabOutput),
};

#undef LIN_ARRAY

struct Found {
  ParamType type = ParamType::Text;
  std::string name;
  void* at = nullptr;
};

// The field of `no` in the given records; `at` null when no single value carries the number.
Found Find(ParamRecord& param, LinRecord& lin, uint16_t no) {
  Found f;
  if (const ParamField* p = FindParamField(no)) {
    if (p->type == ParamType::Text || p->type == ParamType::RealArray) return f;
    f.type = p->type;
    f.name = p->name;
    f.at = p->at(param);
    return f;
  }
  if (const LinField* l = FindLinField(no)) {
    f.type = l->type;
    f.name = l->name;
    f.at = l->at(lin);
    return f;
  }
  for (const NumberedField& n : kOthers) {
    if (no < n.no || no >= n.no + n.count) continue;
    const size_t index = size_t{no} - n.no;
    f.type = n.type;
    f.name =
        n.count > 1 ? std::string(n.name) + "[" + std::to_string(index) + "]" : std::string(n.name);
    f.at = n.at(param, lin, index);
    return f;
  }
  return f;
}

template <class T>
bool StoreInteger(void* at, double value) {
  const double t = std::trunc(value);
  if (!(t >= static_cast<double>(std::numeric_limits<T>::min()) &&
        t <= static_cast<double>(std::numeric_limits<T>::max()))) {
    return false;
  }
  *static_cast<T*>(at) = static_cast<T>(t);
  return true;
}

}  // namespace

std::string NumberedName(uint16_t no) {
  // Only the addresses of fields are taken; nothing is written to these.
  static ParamRecord p;
  static LinRecord l;
  return Find(p, l, no).name;
}

std::optional<double> NumberedValue(const ParamRecord& param, const LinRecord& lin, uint16_t no) {
  // The accessors hand out mutable addresses; nothing is written through them here.
  const Found f = Find(const_cast<ParamRecord&>(param), const_cast<LinRecord&>(lin), no);
  if (!f.at) return std::nullopt;
  switch (f.type) {
    case ParamType::Real:
      return *static_cast<const double*>(f.at);
    case ParamType::Int16:
      return *static_cast<const int16_t*>(f.at);
    case ParamType::UInt16:
      return *static_cast<const uint16_t*>(f.at);
    case ParamType::Int32:
      return *static_cast<const int32_t*>(f.at);
    case ParamType::Bool:
      return *static_cast<const bool*>(f.at) ? 1.0 : 0.0;
    case ParamType::Text:
    case ParamType::RealArray:
      break;
  }
  return std::nullopt;
}

bool StoreNumberedValue(ParamRecord& param, LinRecord& lin, uint16_t no, double value) {
  const Found f = Find(param, lin, no);
  if (!f.at) return false;
  switch (f.type) {
    case ParamType::Real:
      *static_cast<double*>(f.at) = value;
      return true;
    case ParamType::Int16:
      return StoreInteger<int16_t>(f.at, value);
    case ParamType::UInt16:
      return StoreInteger<uint16_t>(f.at, value);
    case ParamType::Int32:
      return StoreInteger<int32_t>(f.at, value);
    case ParamType::Bool:
      *static_cast<bool*>(f.at) = value != 0;
      return true;
    case ParamType::Text:
    case ParamType::RealArray:
      break;
  }
  return false;
}

}  // namespace model
