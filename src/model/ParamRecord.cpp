#include "model/ParamRecord.h"

#include <algorithm>
#include <cstring>

namespace model {
namespace {

template <ParamType T>
struct CType;
template <>
struct CType<ParamType::Real> {
  using type = double;
};
template <>
struct CType<ParamType::Int16> {
  using type = int16_t;
};
template <>
struct CType<ParamType::UInt16> {
  using type = uint16_t;
};
template <>
struct CType<ParamType::Int32> {
  using type = int32_t;
};
template <>
struct CType<ParamType::Bool> {
  using type = bool;
};
template <>
struct CType<ParamType::Text> {
  using type = std::array<char, 256>;
};
template <>
struct CType<ParamType::RealArray> {
  using type = std::array<double, kAuxDataWireLength / sizeof(double)>;
};

// Refuses at compile time a field whose C++ type does not match the table's type.
template <ParamType T>
constexpr void* Typed(typename CType<T>::type* p) {
  return p;
}

// PARAM_OR: a field whose failed single read stores `Fallback` rather than 0. The areas and the
// velocity ratio fall back to 1.0, the value a read of all pages starts them with, so that a
// server that does not know them leaves a usable ratio; the four enumerations fall back to -1
// ("not read").
#define PARAM_OR(Name, No, Type, Page, Fallback)                                  \
  ParamField {                                                                    \
#Name, No, ParamType::Type, Page,                                             \
        [](ParamRecord & r) { return Typed<ParamType::Type>(&r.Name); }, Fallback \
  }
#define PARAM(Name, No, Type, Page) PARAM_OR(Name, No, Type, Page, 0.0)

constexpr std::array kFields = {
    PARAM(FileName, 1007, Text, kPageCommon),
    PARAM(OverlapCompensation, 1200, Real, kPageValve),
    PARAM(OverlapCompensation2, 1204, Real, kPageValve),
    PARAM(BendPointVelo, 1201, Real, kPageValve),
    PARAM(BendPointOutput, 1202, Real, kPageValve),
    PARAM(ResponseTime, 1203, Real, kPageValve),
    PARAM_OR(AreaA, 1280, Real, kPageValve, 1.0),
    PARAM_OR(AreaB, 1281, Real, kPageValve, 1.0),
    PARAM(ValveSpare1, 0, Real, kPageNone),
    PARAM(ValveSpare2, 0, Real, kPageNone),
    PARAM(ZeroOffset, 1102, Real, kPageEncoder),
    PARAM(EncoderWeighting, 1103, Real, kPageEncoder),
    PARAM(EncoderIncInterpolation, 1104, Real, kPageEncoder),
    PARAM(IndexSearchVelo, 1105, Real, kPageEncoder),
    PARAM(SyncSearchVelo, 1107, Real, kPageEncoder),
    PARAM(DefaultHomePos, 1109, Real, kPageEncoder),
    PARAM(BaseDistance, 1111, Real, kPageEncoder),
    PARAM(ModuloBase, 1112, Real, kPageEncoder),
    PARAM_OR(EncoderType, 1100, Int16, kPageCommon, -1.0),
    PARAM_OR(ReferenceMode, 1101, Int16, kPageCommon, -1.0),
    PARAM(OverrunThreshold, 1118, Int32, kPageEncoder),
    PARAM(PositionMask, 1119, Int32, kPageEncoder),
    PARAM(ZeroSwap, 1120, Int32, kPageEncoder),
    PARAM(IndexSearchPositive, 1106, Bool, kPageEncoder),
    PARAM(SyncSearchPositive, 1108, Bool, kPageEncoder),
    PARAM(EncoderInverted, 1110, Bool, kPageEncoder),
    PARAM(TimeBased, 1003, Bool, kPageGlobal),
    PARAM_OR(ProfileType, 1000, Int16, kPageCommon, -1.0),
    PARAM(JerkEnabled, 1004, UInt16, kPageGlobal),
    PARAM(AuxWord, 1006, Int16, kPageNone),
    PARAM(PosAccEnabled, 1401, Bool, kPageGlobal),
    PARAM(MaxLagEnabled, 6, Bool, kPageMonitor),
    PARAM(CycleTime, 1001, Real, kPageCommon),
    PARAM(ReferenceVelo, 8, Real, kPageGlobal),
    PARAM_OR(VeloRatio, 1301, Real, kPageValve, 1.0),
    PARAM_OR(DriveType, 1300, Int16, kPageCommon, -1.0),
    PARAM(VeloRatioInverted, 1302, Bool, kPageValve),
    PARAM(DefaultPowerOk, 1303, Bool, kPageValve),
    PARAM(AbsoluteOutput, 1304, Bool, kPageValve),
    PARAM(SoftEndMinEnabled, 5, Bool, kPageMonitor),
    PARAM(SoftEndMaxEnabled, 4, Bool, kPageMonitor),
    PARAM(Asymmetric, 1608, Bool, kPageGlobal),
    PARAM(CtrlLoopOnError, 1707, Bool, kPageCtrl),
    PARAM(BrakeDistanceAuto, 1706, Bool, kPageGlobal),
    PARAM(OutputWeighting, 1305, Real, kPageValve),
    PARAM(OutputIncInterpolation, 1306, Real, kPageValve),
    PARAM(SoftEndMin, 3, Real, kPageMonitor),
    PARAM(SoftEndMax, 2, Real, kPageMonitor),
    PARAM(CreepSpeed, 1600, Real, kPageGlobal),
    PARAM(CreepDistance, 1601, Real, kPageGlobal),
    PARAM(CreepSpeedAsym, 1604, Real, kPageGlobal),
    PARAM(CreepDistanceAsym, 1605, Real, kPageGlobal),
    PARAM(BrakeDistance, 1602, Real, kPageGlobal),
    PARAM(BrakeDeadTime, 1603, Real, kPageGlobal),
    PARAM(BrakeDistanceAsym, 1606, Real, kPageGlobal),
    PARAM(BrakeDeadTimeAsym, 1607, Real, kPageGlobal),
    PARAM(StartRamp, 1400, Real, kPageGlobal),
    PARAM(PosAccDistance, 1402, Real, kPageGlobal),
    PARAM(Acceleration, 12, Real, kPageGlobal),
    PARAM(Deceleration, 14, Real, kPageGlobal),
    PARAM(EmergencyRamp, 1501, Real, kPageGlobal),
    PARAM(StopRamp, 1500, Real, kPageGlobal),
    PARAM(LagKp, 1700, Real, kPageCtrl),
    PARAM(LagDx, 1708, Real, kPageCtrl),
    PARAM(LagTi, 1709, Real, kPageCtrl),
    PARAM(LagWuLimit, 1710, Real, kPageCtrl),
    PARAM(LagOutLimit, 1711, Real, kPageCtrl),
    PARAM(VeloKp, 1712, Real, kPageCtrl),
    PARAM(VeloDx, 1713, Real, kPageCtrl),
    PARAM(VeloTi, 1714, Real, kPageCtrl),
    PARAM(VeloWuLimit, 1715, Real, kPageCtrl),
    PARAM(VeloOutLimit, 1716, Real, kPageCtrl),
    PARAM(PreFeed, 1717, Real, kPageCtrl),
    PARAM(MaxLag, 7, Real, kPageMonitor),
    PARAM(MaxLagFilter, 1803, Real, kPageMonitor),
    PARAM(DynLagFilter, 1804, Real, kPageMonitor),
    PARAM(OffsetCompensation, 1703, Real, kPageCtrl),
    PARAM(ClampingOutput, 1704, Real, kPageCtrl),
    PARAM(ReposDistance, 1705, Real, kPageCtrl),
    PARAM(PosRange, 1800, Real, kPageMonitor),
    PARAM(TargetRange, 1801, Real, kPageMonitor),
    PARAM(TargetFilter, 1802, Real, kPageMonitor),
    PARAM(JogFast, 1900, Real, kPageGlobal),
    PARAM(JogSlow, 1901, Real, kPageGlobal),
    PARAM(MaxApplSpeed, 9, Real, kPageGlobal),
    PARAM(MaxApplAcc, 13, Real, kPageGlobal),
    PARAM(MaxApplDec, 15, Real, kPageGlobal),
    PARAM(MaxApplJerk, 16, Real, kPageGlobal),
    PARAM(BrakeDelayOn, 1502, Real, kPageValve),
    PARAM(BrakeDelayOff, 1503, Real, kPageValve),
    PARAM(BrakeDelaySafety, 1504, Real, kPageValve),
    PARAM(AuxData, 2000, RealArray, kPageAuxilary),
    PARAM(PehFilter, 1806, Real, kPageMonitor),
    PARAM(PehEnabled, 1805, Bool, kPageMonitor),
    PARAM(PotRpRl, 1117, Real, kPageEncoder),
};

#undef PARAM
#undef PARAM_OR

static_assert(kFields.size() == kParamFieldCount);

}  // namespace

std::span<const ParamField> ParamFields() {
  return kFields;
}

const ParamField* FindParamField(uint16_t no) {
  if (no == 0) return nullptr;
  for (const auto& f : kFields) {
    if (f.no == no) return &f;
  }
  return nullptr;
}

const ParamField* FindParamField(std::string_view name) {
  for (const auto& f : kFields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

void ResetParamRecord(ParamRecord& r) {
  const std::array<char, 256> name = r.FileName;
  r = ParamRecord{};
  r.FileName = name;
  r.AreaA = 1.0;
  r.AreaB = 1.0;
  r.VeloRatio = 1.0;
}

void ResetParamRecordForDocument(ParamRecord& r) {
  ResetParamRecord(r);
  r.FileName.fill('\0');
  r.EncoderType = -1;
  r.ReferenceMode = -1;
  r.ProfileType = -1;
  r.DriveType = -1;
  r.AuxWord = 1;
  r.EncoderIncInterpolation = 1.0;
  r.AreaA = 0;
  r.AreaB = 0;
  r.VeloRatio = 0;
}

std::string_view FileNameText(const ParamRecord& r) {
  const auto end = std::find(r.FileName.begin(), r.FileName.end() - 1, '\0');
  return {r.FileName.data(), static_cast<size_t>(end - r.FileName.begin())};
}

void SetFileName(ParamRecord& r, std::string_view text) {
  r.FileName.fill('\0');
  const size_t n = std::min(text.size(), r.FileName.size() - 1);
  std::memcpy(r.FileName.data(), text.data(), n);
}

}  // namespace model
