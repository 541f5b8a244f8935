#include "model/ParamDictionary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <type_traits>

namespace model {
namespace {

constexpr LibVersion V(uint16_t build) {
  return {3, 0, build};
}

// One row per field; the optional trailing initializers are .readFallback and .since.
#define ROW(No, Name, Type, File, Wire, Page, ...)                                \
  ParamRow {                                                                      \
    .no = No, .name = #Name, .home = ParamHome::Param,                            \
    .member = static_cast<Type ParamRecord::*>(&ParamRecord::Name), .page = Page, \
    .wire = ParamWire::Wire, .file = FileType::File __VA_OPT__(, ) __VA_ARGS__    \
  }
#define REAL(No, Name, Page, ...) ROW(No, Name, double, Real, Double, Page, __VA_ARGS__)
#define FLAG(No, Name, Page, ...) ROW(No, Name, bool, Bool, Byte, Page, __VA_ARGS__)
#define INT16(No, Name, Page, ...) ROW(No, Name, int16_t, Int16, Double, Page, __VA_ARGS__)
#define WORD16(No, Name, Page, ...) ROW(No, Name, uint16_t, Word16, Double, Page, __VA_ARGS__)
#define INT32(No, Name, Page, ...) ROW(No, Name, int32_t, Int32, Double, Page, __VA_ARGS__)
#define LIN(No, Name, Type, File, Wire)                                              \
  ParamRow {                                                                         \
    .no = No, .name = #Name, .home = ParamHome::Lin,                                 \
    .member = static_cast<Type LinRecord::*>(&LinRecord::Name), .page = kPageLinDef, \
    .wire = ParamWire::Wire, .file = FileType::File, .since = V(32)                  \
  }
#define LIN_REAL(No, Name) LIN(No, Name, double, Real, Double)
#define LIN_FLAG(No, Name) LIN(No, Name, bool, Bool, Byte)
#define LIN_INT16(No, Name) LIN(No, Name, int16_t, Int16, Double)
// The table points travel only in parameter files.
#define LIN_TABLE(No, Name)                                                   \
  ParamRow {                                                                  \
    .no = No, .count = kLinTabPoints, .name = #Name, .home = ParamHome::Lin,  \
    .member = &LinRecord::Name, .page = kPageLinTab, .wire = ParamWire::None, \
    .file = FileType::Real                                                    \
  }
#define OUTSIDE(No, Name, Wire, ...)                     \
  ParamRow {                                             \
    .no = No, .name = #Name, .home = ParamHome::Outside, \
    .wire = ParamWire::Wire __VA_OPT__(, ) __VA_ARGS__   \
  }

// The areas and the velocity ratio fall back to 1.0 after a failed single read, the value a read
// of all pages starts them with, so that a server that does not know them leaves a usable
// ratio; the four enumerations fall back to -1 ("not read").
constexpr std::array kRows = {
    REAL(2, SoftEndMax, kPageMonitor),
    REAL(3, SoftEndMin, kPageMonitor),
    FLAG(4, SoftEndMaxEnabled, kPageMonitor),
    FLAG(5, SoftEndMinEnabled, kPageMonitor),
    FLAG(6, MaxLagEnabled, kPageMonitor),
    REAL(7, MaxLag, kPageMonitor),
    REAL(8, ReferenceVelo, kPageGlobal),
    REAL(9, MaxApplSpeed, kPageGlobal),
    REAL(12, Acceleration, kPageGlobal),
    REAL(13, MaxApplAcc, kPageGlobal),
    REAL(14, Deceleration, kPageGlobal),
    REAL(15, MaxApplDec, kPageGlobal),
    REAL(16, MaxApplJerk, kPageGlobal),
    INT16(1000, ProfileType, kPageCommon, .readFallback = -1.0),
    REAL(1001, CycleTime, kPageCommon),
    FLAG(1003, TimeBased, kPageGlobal),
    WORD16(1004, JerkEnabled, kPageGlobal),
    OUTSIDE(kParamNoLogLevel, LogLevel, Double),
    INT16(1006, AuxWord, kPageNone),
    ParamRow{.no = kParamNoFileName,
             .name = "FileName",
             .member = &ParamRecord::FileName,
             .page = kPageCommon,
             .wire = ParamWire::Text256},
    INT16(1100, EncoderType, kPageCommon, .readFallback = -1.0),
    INT16(1101, ReferenceMode, kPageCommon, .readFallback = -1.0),
    REAL(1102, ZeroOffset, kPageEncoder),
    REAL(1103, EncoderWeighting, kPageEncoder),
    REAL(1104, EncoderIncInterpolation, kPageEncoder),
    REAL(1105, IndexSearchVelo, kPageEncoder),
    FLAG(1106, IndexSearchPositive, kPageEncoder),
    REAL(1107, SyncSearchVelo, kPageEncoder),
    FLAG(1108, SyncSearchPositive, kPageEncoder),
    REAL(1109, DefaultHomePos, kPageEncoder),
    FLAG(1110, EncoderInverted, kPageEncoder),
    REAL(1111, BaseDistance, kPageEncoder),
    REAL(1112, ModuloBase, kPageEncoder),
    OUTSIDE(kParamNoLatch, Latch, Byte),
    OUTSIDE(kParamNoReferenceFlag, ReferenceFlag, Byte),
    REAL(1117, PotRpRl, kPageEncoder, .since = V(22)),
    INT32(1118, OverrunThreshold, kPageEncoder, .since = V(28)),
    INT32(1119, PositionMask, kPageEncoder, .since = V(28)),
    INT32(1120, ZeroSwap, kPageEncoder, .since = V(31)),
    REAL(1200, OverlapCompensation, kPageValve),
    REAL(1201, BendPointVelo, kPageValve),
    REAL(1202, BendPointOutput, kPageValve),
    REAL(1203, ResponseTime, kPageValve),
    REAL(1204, OverlapCompensation2, kPageValve),
    REAL(1280, AreaA, kPageValve, .readFallback = 1.0),
    REAL(1281, AreaB, kPageValve, .readFallback = 1.0),
    INT16(1300, DriveType, kPageCommon, .readFallback = -1.0),
    REAL(1301, VeloRatio, kPageValve, .readFallback = 1.0),
    FLAG(1302, VeloRatioInverted, kPageValve),
    FLAG(1303, DefaultPowerOk, kPageValve),
    FLAG(1304, AbsoluteOutput, kPageValve),
    REAL(1305, OutputWeighting, kPageValve, .since = V(25)),
    REAL(1306, OutputIncInterpolation, kPageValve, .since = V(25)),
    REAL(1400, StartRamp, kPageGlobal),
    FLAG(1401, PosAccEnabled, kPageGlobal),
    REAL(1402, PosAccDistance, kPageGlobal),
    REAL(1500, StopRamp, kPageGlobal),
    REAL(1501, EmergencyRamp, kPageGlobal),
    REAL(1502, BrakeDelayOn, kPageValve),
    REAL(1503, BrakeDelayOff, kPageValve),
    REAL(1504, BrakeDelaySafety, kPageValve),
    REAL(1600, CreepSpeed, kPageGlobal),
    REAL(1601, CreepDistance, kPageGlobal),
    REAL(1602, BrakeDistance, kPageGlobal),
    REAL(1603, BrakeDeadTime, kPageGlobal),
    REAL(1604, CreepSpeedAsym, kPageGlobal),
    REAL(1605, CreepDistanceAsym, kPageGlobal),
    REAL(1606, BrakeDistanceAsym, kPageGlobal),
    REAL(1607, BrakeDeadTimeAsym, kPageGlobal),
    FLAG(1608, Asymmetric, kPageGlobal),
    REAL(1700, LagKp, kPageCtrl),
    REAL(1703, OffsetCompensation, kPageCtrl),
    REAL(1704, ClampingOutput, kPageCtrl),
    REAL(1705, ReposDistance, kPageCtrl),
    FLAG(1706, BrakeDistanceAuto, kPageGlobal, .since = V(26)),
    FLAG(1707, CtrlLoopOnError, kPageCtrl, .since = V(26)),
    REAL(1708, LagDx, kPageCtrl, .since = V(26)),
    REAL(1709, LagTi, kPageCtrl, .since = V(26)),
    REAL(1710, LagWuLimit, kPageCtrl, .since = V(26)),
    REAL(1711, LagOutLimit, kPageCtrl, .since = V(26)),
    REAL(1712, VeloKp, kPageCtrl, .since = V(26)),
    REAL(1713, VeloDx, kPageCtrl, .since = V(26)),
    REAL(1714, VeloTi, kPageCtrl, .since = V(26)),
    REAL(1715, VeloWuLimit, kPageCtrl, .since = V(26)),
    REAL(1716, VeloOutLimit, kPageCtrl, .since = V(26)),
    REAL(1717, PreFeed, kPageCtrl, .since = V(28)),
    REAL(1800, PosRange, kPageMonitor),
    REAL(1801, TargetRange, kPageMonitor),
    REAL(1802, TargetFilter, kPageMonitor),
    REAL(1803, MaxLagFilter, kPageMonitor),
    REAL(1804, DynLagFilter, kPageMonitor),
    FLAG(1805, PehEnabled, kPageMonitor, .since = V(20)),
    REAL(1806, PehFilter, kPageMonitor, .since = V(20)),
    REAL(1900, JogFast, kPageGlobal),
    REAL(1901, JogSlow, kPageGlobal),
    // AuxData as one block of 20 doubles on the wire, and value by value.
    ParamRow{.no = kParamNoAuxData,
             .name = "AuxData",
             .member = &ParamRecord::AuxData,
             .page = kPageAuxilary,
             .wire = ParamWire::Block},
    ParamRow{.no = kParamNoAuxFirst,
             .count = std::tuple_size_v<decltype(ParamRecord::AuxData)>,
             .name = "AuxData",
             .home = ParamHome::Aux,
             .member = &ParamRecord::AuxData,
             .page = kPageAuxilary,
             .wire = ParamWire::Double,
             .file = FileType::Real},
    LIN_FLAG(3000, LinEnableEoT),
    LIN_FLAG(3001, LinEnableOverlap),
    LIN_FLAG(3002, LinEnableZAdjust),
    LIN_FLAG(3003, LinEnableRatio),
    LIN_FLAG(3004, LinEnableTable),
    LIN_REAL(3100, LinEoTNegative),
    LIN_REAL(3101, LinEoTPositive),
    LIN_REAL(3104, LinNegativeLimit),
    LIN_REAL(3105, LinPositiveLimit),
    LIN_REAL(3106, LinDecelFactor),
    LIN_INT16(3150, LinSamples),
    LIN_REAL(3151, LinLowEnd),
    LIN_REAL(3152, LinHighEnd),
    LIN_REAL(3153, LinRamp),
    LIN_REAL(3154, LinSettling),
    LIN_REAL(3155, LinRecovery),
    LIN_REAL(3156, LinMinCycle),
    LIN_INT16(3158, LinCurveType),
    LIN_TABLE(3201, LinTabValue),
    LIN_TABLE(3401, LinTabOutput),
    OUTSIDE(kParamNoEncoderInfo1, EncoderInfo1, Double, .since = V(32)),
    OUTSIDE(kParamNoEncoderInfo2, EncoderInfo2, Double, .since = V(32)),
};

#undef ROW
#undef REAL
#undef FLAG
#undef INT16
#undef WORD16
#undef INT32
#undef LIN
#undef LIN_REAL
#undef LIN_FLAG
#undef LIN_INT16
#undef LIN_TABLE
#undef OUTSIDE

// Ascending, and no run reaches into the next: Find's binary search relies on it.
static_assert([] {
  for (size_t i = 0; i + 1 < kRows.size(); ++i) {
    if (kRows[i].count == 0 || size_t{kRows[i].no} + kRows[i].count > kRows[i + 1].no) {
      return false;
    }
  }
  return kRows.front().no > 0;
}());

template <class M>
struct Member;
template <class T, class C>
struct Member<T C::*> {
  using type = T;
  using record = C;
};

template <class C, class P, class L>
C* RecordOf(BasicRecords<P, L> r) {
  if constexpr (std::is_same_v<std::remove_const_t<C>, ParamRecord>) {
    return r.param;
  } else {
    return r.lin;
  }
}

// The scalar a row's number addresses: the field itself, or one entry of an array row (AuxData
// only as 2001 to 2020, never as the block 2000). Null for texts and blocks.
template <class M, class Rec>
auto* ScalarOf(M m, Rec& rec, const ParamRow& row, size_t index) {
  auto& field = rec.*m;
  using T = std::remove_cvref_t<decltype(field)>;
  if constexpr (std::is_same_v<T, std::array<char, 256>>) {
    return static_cast<std::conditional_t<std::is_const_v<Rec>, const double*, double*>>(nullptr);
  } else if constexpr (std::is_arithmetic_v<T>) {
    return &field;
  } else {
    return row.count > 1 ? &field[index] : nullptr;
  }
}

template <class T>
bool Narrow(double v, Narrowing how, T& out) {
  if constexpr (std::is_same_v<T, double>) {
    out = v;
  } else if constexpr (std::is_same_v<T, bool>) {
    out = how == Narrowing::Clamp ? v == 1.0 : v != 0;
  } else if (how == Narrowing::Exact) {
    const double t = std::trunc(v);
    if (!(t >= static_cast<double>(std::numeric_limits<T>::min()) &&
          t <= static_cast<double>(std::numeric_limits<T>::max()))) {
      return false;
    }
    out = static_cast<T>(t);
  } else {
    using U = std::make_unsigned_t<T>;
    if (how == Narrowing::Clamp) {
      int32_t c = 0;
      if (std::isnan(v)) {
        c = 0;
      } else if (v <= std::numeric_limits<int32_t>::min()) {
        c = std::numeric_limits<int32_t>::min();
      } else if (v >= std::numeric_limits<int32_t>::max()) {
        c = std::numeric_limits<int32_t>::max();
      } else {
        c = static_cast<int32_t>(v);
      }
      out = static_cast<T>(static_cast<U>(static_cast<uint32_t>(c)));
    } else {
      out = static_cast<T>(static_cast<U>(static_cast<uint64_t>(TruncateTo64(v))));
    }
  }
  return true;
}

}  // namespace

int64_t TruncateTo64(double v) {
  if (std::isnan(v)) return 0;
  if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
  if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(v);
}

std::span<const ParamRow> ParamRows() {
  return kRows;
}

const ParamRow* FindParam(uint16_t no) {
  const auto it = std::upper_bound(kRows.begin(), kRows.end(), no,
                                   [](uint16_t n, const ParamRow& r) { return n < r.no; });
  if (it == kRows.begin()) return nullptr;
  const ParamRow& row = *(it - 1);
  return row.Holds(no) ? &row : nullptr;
}

const ParamRow* FindParam(std::string_view name) {
  for (const ParamRow& r : kRows) {
    if (r.name == name) return &r;
  }
  return nullptr;
}

std::string ParamName(const ParamRow& row, uint16_t no) {
  if (row.count == 1) return std::string(row.name);
  return std::string(row.name) + "[" + std::to_string(no - row.no) + "]";
}

std::optional<double> Get(ConstRecords r, const ParamRow& row, uint16_t no) {
  if (!row.Holds(no)) return std::nullopt;
  return std::visit(
      [&](auto m) -> std::optional<double> {
        if constexpr (std::is_same_v<decltype(m), std::monostate>) {
          return std::nullopt;
        } else {
          const auto* rec = RecordOf<const typename Member<decltype(m)>::record>(r);
          if (rec == nullptr) return std::nullopt;
          const auto* v = ScalarOf(m, *rec, row, no - row.no);
          if (v == nullptr) return std::nullopt;
          return static_cast<double>(*v);
        }
      },
      row.member);
}

std::optional<double> Get(ConstRecords r, uint16_t no) {
  const ParamRow* row = FindParam(no);
  return row != nullptr ? Get(r, *row, no) : std::nullopt;
}

bool Set(Records r, const ParamRow& row, uint16_t no, double value, Narrowing narrowing) {
  if (!row.Holds(no)) return false;
  return std::visit(
      [&](auto m) {
        if constexpr (std::is_same_v<decltype(m), std::monostate>) {
          return false;
        } else {
          auto* rec = RecordOf<typename Member<decltype(m)>::record>(r);
          if (rec == nullptr) return false;
          auto* v = ScalarOf(m, *rec, row, no - row.no);
          return v != nullptr && Narrow(value, narrowing, *v);
        }
      },
      row.member);
}

bool Set(Records r, uint16_t no, double value, Narrowing narrowing) {
  const ParamRow* row = FindParam(no);
  return row != nullptr && Set(r, *row, no, value, narrowing);
}

}  // namespace model
