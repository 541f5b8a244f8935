#include "model/LinFields.h"

#include <array>

namespace model {
namespace {

#define LIN(Name, No, Type)                                                                        \
  LinField {                                                                                       \
#Name, No, ParamType::Type, [](LinRecord & r) -> void* { return static_cast<void*>(&r.Name); } \
  }

constexpr std::array kFields = {
    LIN(LinEnableEoT, 3000, Bool),     LIN(LinEnableOverlap, 3001, Bool),
    LIN(LinEnableZAdjust, 3002, Bool), LIN(LinEnableRatio, 3003, Bool),
    LIN(LinEnableTable, 3004, Bool),   LIN(LinEoTNegative, 3100, Real),
    LIN(LinEoTPositive, 3101, Real),   LIN(LinNegativeLimit, 3104, Real),
    LIN(LinPositiveLimit, 3105, Real), LIN(LinDecelFactor, 3106, Real),
    LIN(LinSamples, 3150, Int16),      LIN(LinLowEnd, 3151, Real),
    LIN(LinHighEnd, 3152, Real),       LIN(LinRamp, 3153, Real),
    LIN(LinSettling, 3154, Real),      LIN(LinRecovery, 3155, Real),
    LIN(LinMinCycle, 3156, Real),      LIN(LinCurveType, 3158, Int16),
};

#undef LIN

}  // namespace

std::span<const LinField> LinFields() {
  return kFields;
}

const LinField* FindLinField(uint16_t no) {
  for (const auto& f : kFields) {
    if (f.no == no) return &f;
  }
  return nullptr;
}

}  // namespace model
