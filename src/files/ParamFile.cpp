#include "files/ParamFile.h"

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "oxa/Bytes.h"

namespace files {
namespace {

using model::LinRecord;
using model::ParamRecord;

template <FileValueType T>
struct CType;
template <>
struct CType<FileValueType::Real> {
  using type = double;
};
template <>
struct CType<FileValueType::Bool> {
  using type = bool;
};
template <>
struct CType<FileValueType::Int16> {
  using type = int16_t;
};
template <>
struct CType<FileValueType::Word16> {
  using type = uint16_t;
};
template <>
struct CType<FileValueType::Int32> {
  using type = int32_t;
};

// Refuses at compile time a field whose C++ type does not match the table's type.
template <FileValueType T>
constexpr void* Typed(typename CType<T>::type* p) {
  return p;
}

#define FILE_PARAM(No, Type, Name)                                                             \
  FileParam {                                                                                  \
    No, 1, FileValueType::Type, false, #Name,                                                  \
        [](ParamRecord& p, LinRecord&, size_t) { return Typed<FileValueType::Type>(&p.Name); } \
  }
#define FILE_LIN(No, Type, Name)                                                               \
  FileParam {                                                                                  \
    No, 1, FileValueType::Type, true, #Name,                                                   \
        [](ParamRecord&, LinRecord& l, size_t) { return Typed<FileValueType::Type>(&l.Name); } \
  }
#define FILE_PARAM_ARRAY(No, Count, Name)                                                    \
  FileParam {                                                                                \
    No, Count, FileValueType::Real, false, #Name, [](ParamRecord& p, LinRecord&, size_t i) { \
      return Typed<FileValueType::Real>(&p.Name[i]);                                         \
    }                                                                                        \
  }
#define FILE_LIN_ARRAY(No, Count, Name)                                                     \
  FileParam {                                                                               \
    No, Count, FileValueType::Real, true, #Name, [](ParamRecord&, LinRecord& l, size_t i) { \
      return Typed<FileValueType::Real>(&l.Name[i]);                                        \
    }                                                                                       \
  }

constexpr std::array kParams = {
    FILE_PARAM(2, Real, SoftEndMax),
    FILE_PARAM(3, Real, SoftEndMin),
    FILE_PARAM(4, Bool, SoftEndMaxEnabled),
    FILE_PARAM(5, Bool, SoftEndMinEnabled),
    FILE_PARAM(6, Bool, MaxLagEnabled),
    FILE_PARAM(7, Real, MaxLag),
    FILE_PARAM(8, Real, ReferenceVelo),
    FILE_PARAM(9, Real, MaxApplSpeed),
    FILE_PARAM(12, Real, Acceleration),
    FILE_PARAM(13, Real, MaxApplAcc),
    FILE_PARAM(14, Real, Deceleration),
    FILE_PARAM(15, Real, MaxApplDec),
    FILE_PARAM(16, Real, MaxApplJerk),
    FILE_PARAM(1000, Int16, ProfileType),
    FILE_PARAM(1001, Real, CycleTime),
    FILE_PARAM(1003, Bool, TimeBased),
    FILE_PARAM(1004, Word16, JerkEnabled),
    FILE_PARAM(1006, Int16, AuxWord),
    FILE_PARAM(1100, Int16, EncoderType),
    FILE_PARAM(1101, Int16, ReferenceMode),
    FILE_PARAM(1102, Real, ZeroOffset),
    FILE_PARAM(1103, Real, EncoderWeighting),
    FILE_PARAM(1104, Real, EncoderIncInterpolation),
    FILE_PARAM(1105, Real, IndexSearchVelo),
    FILE_PARAM(1106, Bool, IndexSearchPositive),
    FILE_PARAM(1107, Real, SyncSearchVelo),
    FILE_PARAM(1108, Bool, SyncSearchPositive),
    FILE_PARAM(1109, Real, DefaultHomePos),
    FILE_PARAM(1110, Bool, EncoderInverted),
    FILE_PARAM(1111, Real, BaseDistance),
    FILE_PARAM(1112, Real, ModuloBase),
    FILE_PARAM(1117, Real, PotRpRl),
    FILE_PARAM(1118, Int32, OverrunThreshold),
    FILE_PARAM(1119, Int32, PositionMask),
    FILE_PARAM(1120, Int32, ZeroSwap),
    FILE_PARAM(1200, Real, OverlapCompensation),  // sets OverlapCompensation2 as well
    FILE_PARAM(1201, Real, BendPointVelo),
    FILE_PARAM(1202, Real, BendPointOutput),
    FILE_PARAM(1203, Real, ResponseTime),
    FILE_PARAM(1204, Real, OverlapCompensation2),
    FILE_PARAM(1280, Real, AreaA),
    FILE_PARAM(1281, Real, AreaB),
    FILE_PARAM(1300, Int16, DriveType),
    FILE_PARAM(1301, Real, VeloRatio),
    FILE_PARAM(1302, Bool, VeloRatioInverted),
    FILE_PARAM(1303, Bool, DefaultPowerOk),
    FILE_PARAM(1304, Bool, AbsoluteOutput),
    FILE_PARAM(1305, Real, OutputWeighting),
    FILE_PARAM(1306, Real, OutputIncInterpolation),
    FILE_PARAM(1400, Real, StartRamp),
    FILE_PARAM(1401, Bool, PosAccEnabled),
    FILE_PARAM(1402, Real, PosAccDistance),
    FILE_PARAM(1500, Real, StopRamp),
    FILE_PARAM(1501, Real, EmergencyRamp),
    FILE_PARAM(1502, Real, BrakeDelayOn),
    FILE_PARAM(1503, Real, BrakeDelayOff),
    FILE_PARAM(1504, Real, BrakeDelaySafety),
    FILE_PARAM(1600, Real, CreepSpeed),
    FILE_PARAM(1601, Real, CreepDistance),
    FILE_PARAM(1602, Real, BrakeDistance),
    FILE_PARAM(1603, Real, BrakeDeadTime),
    FILE_PARAM(1604, Real, CreepSpeedAsym),
    FILE_PARAM(1605, Real, CreepDistanceAsym),
    FILE_PARAM(1606, Real, BrakeDistanceAsym),
    FILE_PARAM(1607, Real, BrakeDeadTimeAsym),
    FILE_PARAM(1608, Bool, Asymmetric),
    FILE_PARAM(1700, Real, LagKp),
    FILE_PARAM(1703, Real, OffsetCompensation),
    FILE_PARAM(1704, Real, ClampingOutput),
    FILE_PARAM(1705, Real, ReposDistance),
    FILE_PARAM(1706, Bool, BrakeDistanceAuto),
    FILE_PARAM(1707, Bool, CtrlLoopOnError),
    FILE_PARAM(1708, Real, LagDx),
    FILE_PARAM(1709, Real, LagTi),
    FILE_PARAM(1710, Real, LagWuLimit),
    FILE_PARAM(1711, Real, LagOutLimit),
    FILE_PARAM(1712, Real, VeloKp),
    FILE_PARAM(1713, Real, VeloDx),
    FILE_PARAM(1714, Real, VeloTi),
    FILE_PARAM(1715, Real, VeloWuLimit),
    FILE_PARAM(1716, Real, VeloOutLimit),
    FILE_PARAM(1717, Real, PreFeed),
    FILE_PARAM(1800, Real, PosRange),
    FILE_PARAM(1801, Real, TargetRange),
    FILE_PARAM(1802, Real, TargetFilter),
    FILE_PARAM(1803, Real, MaxLagFilter),
    FILE_PARAM(1804, Real, DynLagFilter),
    FILE_PARAM(1805, Bool, PehEnabled),
    FILE_PARAM(1806, Real, PehFilter),
    FILE_PARAM(1900, Real, JogFast),
    FILE_PARAM(1901, Real, JogSlow),
    FILE_PARAM_ARRAY(2001, 20, AuxData),
    FILE_LIN(3000, Bool, LinEnableEoT),
    FILE_LIN(3001, Bool, LinEnableOverlap),
    FILE_LIN(3002, Bool, LinEnableZAdjust),
    FILE_LIN(3003, Bool, LinEnableRatio),
    FILE_LIN(3004, Bool, LinEnableTable),
    FILE_LIN(3100, Real, LinEoTNegative),
    FILE_LIN(3101, Real, LinEoTPositive),
    FILE_LIN(3104, Real, LinNegativeLimit),
    FILE_LIN(3105, Real, LinPositiveLimit),
    FILE_LIN(3106, Real, LinDecelFactor),
    FILE_LIN(3150, Int16, LinSamples),
    FILE_LIN(3151, Real, LinLowEnd),
    FILE_LIN(3152, Real, LinHighEnd),
    FILE_LIN(3153, Real, LinRamp),
    FILE_LIN(3154, Real, LinSettling),
    FILE_LIN(3155, Real, LinRecovery),
    FILE_LIN(3156, Real, LinMinCycle),
    FILE_LIN(3158, Int16, LinCurveType),
    FILE_LIN_ARRAY(3201, model::kLinTabPoints, LinTabValue),
    FILE_LIN_ARRAY(3401, model::kLinTabPoints, LinTabOutput),
};

#undef FILE_PARAM
#undef FILE_LIN
#undef FILE_PARAM_ARRAY
#undef FILE_LIN_ARRAY

constexpr uint16_t kNoOverlapCompensation = 1200;

// Table index (+1) of every number 0 to 0x7FFF; 0 for a number the format does not list.
using NumberIndex = std::array<uint8_t, size_t{kFileNumberMask} + 1>;
static_assert(kParams.size() < 255);

const NumberIndex& Index() {
  static const std::unique_ptr<NumberIndex> index = [] {
    auto idx = std::make_unique<NumberIndex>();
    idx->fill(0);
    for (size_t k = 0; k < kParams.size(); ++k) {
      for (size_t i = 0; i < kParams[k].count; ++i) {
        (*idx)[kParams[k].no + i] = static_cast<uint8_t>(k + 1);
      }
    }
    return idx;
  }();
  return *index;
}

// Fields that came into the format later than the file's version get these values before
// every record.
void ApplyFormatDefaults(int format, ParamRecord& r) {
  if (format >= kFileFormatCurrent) return;
  if (format < 201) r.DefaultHomePos = 0.0;
  if (format < 202) r.BrakeDelayOn = r.BrakeDelayOff = 0.0;
  if (format < 203) r.EncoderIncInterpolation = 1.0;
  if (format < 204) r.EncoderInverted = r.VeloRatioInverted = false;
  if (format < 205) r.BrakeDelaySafety = 0.0;
  if (format < 206) {
    r.TimeBased = r.MaxLagEnabled = r.DefaultPowerOk = false;
    r.MaxApplJerk = 1000.0;
    r.MaxLag = r.MaxLagFilter = r.DynLagFilter = 0.0;
    r.AreaA = r.AreaB = 1.0;
  }
  if (format < 207) r.ResponseTime = 0.0;
  if (format < 208) {
    r.AbsoluteOutput = r.Asymmetric = false;
    r.CreepSpeedAsym = r.CreepDistanceAsym = r.BrakeDistanceAsym = r.BrakeDeadTimeAsym = 0.0;
    r.OverlapCompensation2 = 0.0;
  }
  if (format < 209) {
    r.BaseDistance = r.ModuloBase = 0.001;
    r.AuxWord = 1;
  }
  if (format < 210) {
    r.PehEnabled = false;
    r.PehFilter = 0.0;
  }
  if (format < 211) r.PotRpRl = 0.0;
  if (format < 212) {
    r.OutputWeighting = 0.001;
    r.OutputIncInterpolation = 1.0;
  }
  if (format < 213) r.BrakeDistanceAuto = r.CtrlLoopOnError = false;
  if (format < 214) {
    r.LagDx = r.LagTi = r.LagWuLimit = r.LagOutLimit = 0.0;
    r.VeloKp = r.VeloDx = r.VeloTi = r.VeloWuLimit = r.VeloOutLimit = 0.0;
  }
  r.PreFeed = 1.0;  // format < 215
}

void StoreValue(const FileParam& p, size_t index, const uint8_t* value, ParamRecord& param,
                LinRecord& lin) {
  void* at = p.at(param, lin, index);
  using oxa::bytes::LoadLe;
  switch (p.type) {
    case FileValueType::Real:
      *static_cast<double*>(at) = std::bit_cast<double>(LoadLe<uint64_t>(value));
      break;
    case FileValueType::Bool:
      *static_cast<bool*>(at) = LoadLe<uint32_t>(value) != 0;
      break;
    case FileValueType::Int16:
      *static_cast<int16_t*>(at) = static_cast<int16_t>(LoadLe<uint16_t>(value));
      break;
    case FileValueType::Word16:
      *static_cast<uint16_t*>(at) = LoadLe<uint16_t>(value);
      break;
    case FileValueType::Int32:
      *static_cast<int32_t*>(at) = static_cast<int32_t>(LoadLe<uint32_t>(value));
      break;
  }
}

constexpr size_t kSkippedNamed = 5;

// Applies records one after the other; the records are reset when it is made.
class Parser {
 public:
  Parser(ParamRecord& param, LinRecord& lin, FileLoadResult& result)
      : param_(param), lin_(lin), result_(result), index_(Index()) {
    model::ResetLinRecord(lin_);
    model::ResetParamRecord(param_);
  }

  void Record(const uint8_t* rec) {
    uint16_t no = static_cast<uint16_t>(oxa::bytes::LoadLe<uint32_t>(rec) & kFileNumberMask);
    const bool first = result_.recordsRead == 0;
    ++result_.recordsRead;
    if (first) result_.nFileFormat = no;
    ApplyFormatDefaults(result_.nFileFormat, param_);
    if (first) return;
    if (result_.nFileFormat <= kFileFormatOldNumbering && no >= 6 && no <= 13) no += 2;
    const uint8_t k = index_[no];
    if (k == 0) {
      if (result_.numbersSkipped < kSkippedNamed) skipped_[result_.numbersSkipped] = no;
      ++result_.numbersSkipped;
      return;
    }
    const FileParam& p = kParams[k - 1u];
    StoreValue(p, size_t{no} - p.no, rec + 4, param_, lin_);
    if (no == kNoOverlapCompensation) param_.OverlapCompensation2 = param_.OverlapCompensation;
  }

  // Feeds every whole record of `bytes`; returns the bytes of the incomplete rest.
  size_t Records(std::span<const uint8_t> bytes) {
    const size_t whole = bytes.size() / kFileRecordSize;
    for (size_t i = 0; i < whole; ++i) Record(bytes.data() + i * kFileRecordSize);
    return bytes.size() - whole * kFileRecordSize;
  }

  void Finish() {
    auto& w = result_.warnings;
    if (result_.recordsRead == 0) w.push_back("the file holds no whole record");
    if (result_.readError) {
      w.push_back("read error after " + std::to_string(result_.recordsRead) +
                  " records; the values read so far are kept");
    }
    if (result_.trailingBytes != 0) {
      w.push_back("ignored " + std::to_string(result_.trailingBytes) +
                  " bytes after the last whole record");
    }
    if (result_.nFileFormat > kFileFormatCurrent) {
      w.push_back("format " + std::to_string(result_.nFileFormat) + " is newer than " +
                  std::to_string(kFileFormatCurrent));
    }
    if (result_.numbersSkipped != 0) {
      std::string line = std::to_string(result_.numbersSkipped) +
                         " records with numbers that set nothing were skipped (";
      const size_t named = std::min(result_.numbersSkipped, kSkippedNamed);
      for (size_t i = 0; i < named; ++i) {
        line += (i ? ", " : "") + std::to_string(skipped_[i]);
      }
      line += named < result_.numbersSkipped ? ", ...)" : ")";
      w.push_back(std::move(line));
    }
    if (lin_.LinSamples < 0 || static_cast<size_t>(lin_.LinSamples) > model::kLinTabPoints) {
      w.push_back("LinSamples " + std::to_string(lin_.LinSamples) + " is outside 0 to " +
                  std::to_string(model::kLinTabPoints) + "; at most " +
                  std::to_string(model::kLinTabPoints) + " table points are used");
    }
  }

 private:
  ParamRecord& param_;
  LinRecord& lin_;
  FileLoadResult& result_;
  const NumberIndex& index_;
  std::array<uint16_t, kSkippedNamed> skipped_{};
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::span<const FileParam> FileParams() {
  return kParams;
}

const FileParam* FindFileParam(uint16_t no, size_t& index) {
  if (no > kFileNumberMask) return nullptr;
  const uint8_t k = Index()[no];
  if (k == 0) return nullptr;
  const FileParam& p = kParams[k - 1u];
  index = size_t{no} - p.no;
  return &p;
}

bool operator==(const FileValue& a, const FileValue& b) {
  if (a.type != b.type) return false;
  if (a.type == FileValueType::Real) {
    return a.real == b.real || (std::isnan(a.real) && std::isnan(b.real));
  }
  return a.integer == b.integer;
}

FileValue GetFileValue(const FileParam& p, size_t index, const ParamRecord& param,
                       const LinRecord& lin) {
  FileValue v;
  v.type = p.type;
  if (index >= p.count) return v;
  // The accessors hand out mutable addresses; nothing is written through them here.
  const void* at = p.at(const_cast<ParamRecord&>(param), const_cast<LinRecord&>(lin), index);
  switch (p.type) {
    case FileValueType::Real:
      v.real = *static_cast<const double*>(at);
      break;
    case FileValueType::Bool:
      v.integer = *static_cast<const bool*>(at) ? 1 : 0;
      break;
    case FileValueType::Int16:
      v.integer = *static_cast<const int16_t*>(at);
      break;
    case FileValueType::Word16:
      v.integer = *static_cast<const uint16_t*>(at);
      break;
    case FileValueType::Int32:
      v.integer = *static_cast<const int32_t*>(at);
      break;
  }
  return v;
}

std::string FileParamName(const FileParam& p, size_t index) {
  std::string name(p.name);
  if (p.count > 1) name += "[" + std::to_string(index) + "]";
  return name;
}

FileLoadResult ReadParameterData(std::span<const uint8_t> bytes, ParamRecord& param,
                                 LinRecord& lin) {
  FileLoadResult result;
  result.opened = true;
  Parser parser(param, lin, result);
  result.trailingBytes = parser.Records(bytes);
  parser.Finish();
  return result;
}

FileLoadResult LoadParameterFile(const std::string& path, ParamRecord& param, LinRecord& lin) {
  FileLoadResult result;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    result.warnings.push_back("cannot open \"" + path + "\"");
    return result;
  }
  // Only a plain file ends: a directory, pipe or device is refused as if it could not be opened.
  struct stat st {};
  if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.warnings.push_back("\"" + path + "\" is not a plain file");
    return result;
  }
  result.opened = true;
  Parser parser(param, lin, result);
  // Whole records per read; an incomplete record is carried to the front for the next one.
  constexpr size_t kBufferRecords = 5461;
  std::vector<uint8_t> buffer(kBufferRecords * kFileRecordSize);
  size_t carry = 0;
  for (;;) {
    const size_t got = std::fread(buffer.data() + carry, 1, buffer.size() - carry, f.get());
    if (got == 0) {
      result.readError = std::ferror(f.get()) != 0;
      break;
    }
    const size_t total = carry + got;
    carry = parser.Records({buffer.data(), total});
    if (carry != 0) {
      std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(total - carry),
                buffer.begin() + static_cast<std::ptrdiff_t>(total), buffer.begin());
    }
  }
  result.trailingBytes = carry;
  parser.Finish();
  return result;
}

model::RecordVersionTable FileModeVersionTable(const model::RecordVersionTable& current) {
  model::RecordVersionTable t = current;
  t[0] = 6;
  t[2] = 10;
  for (const size_t word : {1u, 3u, 4u, 11u, 12u}) t[word] = -1;
  return t;
}

std::vector<FileParamDiff> DiffParameterSets(const ParamRecord& paramA, const LinRecord& linA,
                                             const ParamRecord& paramB, const LinRecord& linB) {
  std::vector<FileParamDiff> diffs;
  for (const FileParam& p : kParams) {
    for (size_t i = 0; i < p.count; ++i) {
      const FileValue a = GetFileValue(p, i, paramA, linA);
      const FileValue b = GetFileValue(p, i, paramB, linB);
      if (!(a == b)) {
        diffs.push_back({static_cast<uint16_t>(p.no + i), FileParamName(p, i), a, b});
      }
    }
  }
  return diffs;
}

}  // namespace files
