// The axis parameter record: the one in-memory form of an axis's parameters, whatever layout or
// access method delivered them, and the table of its fields with their parameter numbers.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace model {

struct ParamRecord {
  std::array<char, 256> FileName{};
  double OverlapCompensation = 0;
  double OverlapCompensation2 = 0;
  double BendPointVelo = 0;
  double BendPointOutput = 0;
  double ResponseTime = 0;
  double AreaA = 0;
  double AreaB = 0;
  double ValveSpare1 = 0;
  double ValveSpare2 = 0;
  double ZeroOffset = 0;
  double EncoderWeighting = 0;
  double EncoderIncInterpolation = 0;
  double IndexSearchVelo = 0;
  double SyncSearchVelo = 0;
  double DefaultHomePos = 0;
  double BaseDistance = 0;
  double ModuloBase = 0;
  int16_t EncoderType = 0;
  int16_t ReferenceMode = 0;
  int32_t OverrunThreshold = 0;
  int32_t PositionMask = 0;
  int32_t ZeroSwap = 0;
  bool IndexSearchPositive = false;
  bool SyncSearchPositive = false;
  bool EncoderInverted = false;
  bool TimeBased = false;
  int16_t ProfileType = 0;
  uint16_t JerkEnabled = 0;  // bits 0x8000, 0x0100, 0x0080, 0x0001 are the four check boxes
  int16_t AuxWord = 0;
  bool PosAccEnabled = false;
  bool MaxLagEnabled = false;
  double CycleTime = 0;
  double ReferenceVelo = 0;
  double VeloRatio = 0;
  int16_t DriveType = 0;
  bool VeloRatioInverted = false;
  bool DefaultPowerOk = false;
  bool AbsoluteOutput = false;
  bool SoftEndMinEnabled = false;
  bool SoftEndMaxEnabled = false;
  bool Asymmetric = false;
  bool CtrlLoopOnError = false;
  bool BrakeDistanceAuto = false;
  double OutputWeighting = 0;
  double OutputIncInterpolation = 0;
  double SoftEndMin = 0;
  double SoftEndMax = 0;
  double CreepSpeed = 0;
  double CreepDistance = 0;
  double CreepSpeedAsym = 0;
  double CreepDistanceAsym = 0;
  double BrakeDistance = 0;
  double BrakeDeadTime = 0;
  double BrakeDistanceAsym = 0;
  double BrakeDeadTimeAsym = 0;
  double StartRamp = 0;
  double PosAccDistance = 0;
  double Acceleration = 0;
  double Deceleration = 0;
  double EmergencyRamp = 0;
  double StopRamp = 0;
  double LagKp = 0;
  double LagDx = 0;
  double LagTi = 0;
  double LagWuLimit = 0;
  double LagOutLimit = 0;
  double VeloKp = 0;
  double VeloDx = 0;
  double VeloTi = 0;
  double VeloWuLimit = 0;
  double VeloOutLimit = 0;
  double PreFeed = 0;
  double MaxLag = 0;
  double MaxLagFilter = 0;
  double DynLagFilter = 0;
  double OffsetCompensation = 0;
  double ClampingOutput = 0;
  double ReposDistance = 0;
  double PosRange = 0;
  double TargetRange = 0;
  double TargetFilter = 0;
  double JogFast = 0;
  double JogSlow = 0;
  double MaxApplSpeed = 0;
  double MaxApplAcc = 0;
  double MaxApplDec = 0;
  double MaxApplJerk = 0;
  double BrakeDelayOn = 0;
  double BrakeDelayOff = 0;
  double BrakeDelaySafety = 0;
  std::array<double, 20> AuxData{};
  double PehFilter = 0;
  bool PehEnabled = false;
  double PotRpRl = 0;

  friend bool operator==(const ParamRecord&, const ParamRecord&) = default;
};

// Parameter numbers that travel as something other than one value.
inline constexpr uint16_t kParamNoFileName = 1007;
inline constexpr uint16_t kParamNoAuxData = 2000;
inline constexpr uint16_t kParamNoAuxFirst = 2001;  // AuxData[0] by number; 2020 is AuxData[19]
inline constexpr uint16_t kParamNoAuxWord = 1006;
inline constexpr uint32_t kFileNameWireLength = 256;
inline constexpr uint32_t kAuxDataWireLength = 160;

// Numbers outside the record: the settings of the Online menu, and the encoder values that the
// batch of the Encoder page carries for the runtime record.
inline constexpr uint16_t kParamNoLogLevel = 1005;
inline constexpr uint16_t kParamNoLatch = 1113;
inline constexpr uint16_t kParamNoReferenceFlag = 1116;
inline constexpr uint16_t kParamNoEncoderInfo1 = 11009;
inline constexpr uint16_t kParamNoEncoderInfo2 = 11010;

// Page numbers of the page view, in tab order; 12 stands for all pages.
enum Page : int {
  kPageCommon = 0,
  kPageOverview = 1,
  kPageOnline = 2,
  kPageGlobal = 3,
  kPageValve = 4,
  kPageEncoder = 5,
  kPageCtrl = 6,
  kPageMonitor = 7,
  kPageAuxilary = 8,
  kPageIo = 9,
  kPageLinTab = 10,
  kPageLinDef = 11,
  kPageAll = 12,
  kPageNone = -1,
};

enum class ParamType : uint8_t { Real, Int16, UInt16, Int32, Bool, Text, RealArray };

// One field of the record: its name, parameter number (0: it has none), type, page, and what a
// failed single read of its number stores. This is the one map of parameter numbers to fields:
// the record readers and writers, the parameter file reader and the emulator all go through it.
struct ParamField {
  std::string_view name;
  uint16_t no;
  ParamType type;
  int page;
  void* (*at)(ParamRecord&);
  double readFallback;

  template <class T>
  T& Ref(ParamRecord& r) const {
    return *static_cast<T*>(at(r));
  }
  template <class T>
  const T& Ref(const ParamRecord& r) const {
    return *static_cast<const T*>(at(const_cast<ParamRecord&>(r)));
  }
};

// Every field of the record, in declaration order; kParamFieldCount of them.
inline constexpr size_t kParamFieldCount = 95;
std::span<const ParamField> ParamFields();
// The field of a parameter number, or null when no field carries it.
const ParamField* FindParamField(uint16_t no);
const ParamField* FindParamField(std::string_view name);

// The defaults before a numbered read of all pages and before a file load: every number and
// boolean 0, AuxData 0, AreaA, AreaB and VeloRatio 1.0; FileName keeps its value.
void ResetParamRecord(ParamRecord& r);

// The record of a reset document: as ResetParamRecord, then FileName empty, the four
// enumerations -1, AuxWord 1, EncoderIncInterpolation 1.0, and the areas and velocity ratio 0.
void ResetParamRecordForDocument(ParamRecord& r);

// The record's FileName as text (up to its terminator, at most 255 characters).
std::string_view FileNameText(const ParamRecord& r);
// Copies at most 255 characters of `text` into FileName and terminates it.
void SetFileName(ParamRecord& r, std::string_view text);

}  // namespace model
