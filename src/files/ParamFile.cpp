#include "files/ParamFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
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
constexpr uint16_t kNoOverlapCompensation2 = 1204;

// Every number of the table has a slot of its own, 1 to kSlots - 1; slot 0 stands for the numbers
// the format does not list.
constexpr size_t kSlots = [] {
  size_t n = 1;
  for (const FileParam& p : kParams) n += p.count;
  return n;
}();

struct Plan {
  std::array<uint16_t, size_t{kFileNumberMask} + 1> slotOf{};  // by number
  std::array<const FileParam*, kSlots> param{};                // by slot
};

const Plan& ThePlan() {
  static const std::unique_ptr<Plan> plan = [] {
    auto p = std::make_unique<Plan>();
    uint16_t slot = 1;
    for (const FileParam& e : kParams) {
      for (size_t i = 0; i < e.count; ++i, ++slot) {
        p->slotOf[e.no + i] = slot;
        p->param[slot] = &e;
      }
    }
    return p;
  }();
  return *plan;
}

template <class T>
T LoadValue(const uint8_t* p) {
  using U = std::make_unsigned_t<T>;
  U u;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&u, p, sizeof u);
  } else {
    u = oxa::bytes::LoadLe<U>(p);
  }
  return static_cast<T>(u);
}

// Stores a value (bytes 4 to 11 of its record) by the type of its field: reals and integers as
// their first bytes, a boolean as true when bytes 4 to 7 are not 0.
void StoreValue(const FileParam& p, size_t index, uint64_t value, ParamRecord& param,
                LinRecord& lin) {
  void* at = p.at(param, lin, index);
  switch (p.type) {
    case FileValueType::Real:
      *static_cast<double*>(at) = std::bit_cast<double>(value);
      break;
    case FileValueType::Bool:
      *static_cast<bool*>(at) = static_cast<uint32_t>(value) != 0;
      break;
    case FileValueType::Int16:
      *static_cast<int16_t*>(at) = static_cast<int16_t>(static_cast<uint16_t>(value));
      break;
    case FileValueType::Word16:
      *static_cast<uint16_t*>(at) = static_cast<uint16_t>(value);
      break;
    case FileValueType::Int32:
      *static_cast<int32_t*>(at) = static_cast<int32_t>(static_cast<uint32_t>(value));
      break;
  }
}

constexpr size_t kSkippedNamed = 5;

// Applies records one after the other; the records are reset when it is made.
//
// The records first go to a staging area that keeps, per number, the value and the position of
// its last record, so that the loop over the records neither branches on types nor runs the
// default pass. Finish then gives exactly what applying them one by one gives: a field keeps the
// value of its last record, 1200 also sets OverlapCompensation2 when it came after the last
// 1204, and in a file older than 215 the defaults of the format win over every field except the
// one(s) that the file's last record set.
class Parser {
 public:
  Parser(ParamRecord& param, LinRecord& lin, FileLoadResult& result)
      : param_(param), lin_(lin), result_(result), plan_(ThePlan()) {
    model::ResetLinRecord(lin_);
    model::ResetParamRecord(param_);
  }

  // Feeds every whole record of `bytes`; returns the bytes of the incomplete rest.
  size_t Records(std::span<const uint8_t> bytes) {
    const size_t whole = bytes.size() / kFileRecordSize;
    const uint8_t* rec = bytes.data();
    const uint8_t* end = rec + whole * kFileRecordSize;
    size_t position = result_.recordsRead;
    if (rec != end && position == 0) {
      // The version record: its number is the format, and it sets no field.
      result_.nFileFormat = LoadValue<uint32_t>(rec) & kFileNumberMask;
      rec += kFileRecordSize;
      position = 1;
    }
    if (result_.nFileFormat <= kFileFormatOldNumbering) {
      Stage<true>(rec, end, position);
    } else {
      Stage<false>(rec, end, position);
    }
    result_.recordsRead += whole;
    return bytes.size() - whole * kFileRecordSize;
  }

  void Finish() {
    Apply();
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
  template <bool kOldNumbering>
  void Stage(const uint8_t* rec, const uint8_t* end, size_t position) {
    for (; rec != end; rec += kFileRecordSize) {
      uint32_t no = LoadValue<uint32_t>(rec) & kFileNumberMask;
      if (kOldNumbering && no - 6u <= 7u) no += 2;
      const uint16_t slot = plan_.slotOf[no];
      if (slot == 0) [[unlikely]] {
        if (result_.numbersSkipped < kSkippedNamed) {
          skipped_[result_.numbersSkipped] = static_cast<uint16_t>(no);
        }
        ++result_.numbersSkipped;
      }
      staged_[slot] = {LoadValue<uint64_t>(rec + 4), ++position};
    }
  }

  // Stores the staged values into the records.
  void Apply() {
    if (result_.recordsRead == 0) return;
    size_t lastSlot = 0;  // the slot of the file's last record, 0 when it set nothing
    for (size_t slot = 1; slot < kSlots; ++slot) {
      if (staged_[slot].position == result_.recordsRead) lastSlot = slot;
      if (staged_[slot].position != 0) Store(slot);
    }
    const size_t oc1 = plan_.slotOf[kNoOverlapCompensation];
    const size_t oc2 = plan_.slotOf[kNoOverlapCompensation2];
    if (staged_[oc1].position > staged_[oc2].position)
      param_.OverlapCompensation2 = param_.OverlapCompensation;
    if (result_.nFileFormat < kFileFormatCurrent) {
      ApplyFormatDefaults(result_.nFileFormat, param_);
      if (lastSlot != 0) {
        Store(lastSlot);
        if (lastSlot == oc1) param_.OverlapCompensation2 = param_.OverlapCompensation;
      }
    }
  }

  void Store(size_t slot) {
    const FileParam& p = *plan_.param[slot];
    const size_t index = static_cast<size_t>(plan_.slotOf[p.no]);
    StoreValue(p, slot - index, staged_[slot].value, param_, lin_);
  }

  ParamRecord& param_;
  LinRecord& lin_;
  FileLoadResult& result_;
  const Plan& plan_;
  std::array<uint16_t, kSkippedNamed> skipped_{};
  // Per slot the value of the number's last record and that record's position (1-based; 0: none).
  struct Staged {
    uint64_t value;
    size_t position;
  };
  std::array<Staged, kSlots> staged_{};
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

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

std::span<const FileParam> FileParams() {
  return kParams;
}

const FileParam* FindFileParam(uint16_t no, size_t& index) {
  if (no > kFileNumberMask) return nullptr;
  const Plan& plan = ThePlan();
  const uint16_t slot = plan.slotOf[no];
  if (slot == 0) return nullptr;
  const FileParam& p = *plan.param[slot];
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
  // Opened without waiting (a pipe without a writer would block), and only a plain file is read:
  // a directory, pipe or device is refused as if it could not be opened, since it may never end.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.warnings.push_back("cannot open \"" + path + "\"");
    return result;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    result.warnings.push_back("\"" + path + "\" is not a plain file");
    return result;
  }
  std::unique_ptr<std::FILE, FileCloser> f(::fdopen(fd, "rb"));
  if (!f) {
    ::close(fd);
    result.warnings.push_back("cannot open \"" + path + "\"");
    return result;
  }
  result.opened = true;
  Parser parser(param, lin, result);
  // A usual file in one read (the byte past its size sees the end), a large one in pieces of
  // whole records; an incomplete record is carried to the front for the next read.
  constexpr size_t kMaxBuffer = 87381 * kFileRecordSize;  // about 1 MiB
  const auto fileSize = static_cast<uint64_t>(std::max<off_t>(st.st_size, 0));
  const size_t bufferSize =
      fileSize < kMaxBuffer ? std::max<size_t>(static_cast<size_t>(fileSize) + 1, kFileRecordSize)
                            : kMaxBuffer;
  const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
  size_t carry = 0;
  for (;;) {
    const size_t got = std::fread(buffer.get() + carry, 1, bufferSize - carry, f.get());
    if (got == 0) {
      result.readError = std::ferror(f.get()) != 0;
      break;
    }
    const size_t total = carry + got;
    carry = parser.Records({buffer.get(), total});
    if (carry != 0) std::memmove(buffer.get(), buffer.get() + total - carry, carry);
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

size_t LinTablePoints(int16_t linSamples) {
  return linSamples <= 0 ? 0 : std::min(static_cast<size_t>(linSamples), model::kLinTabPoints);
}

std::vector<FileParamDiff> DiffParameterSets(const ParamRecord& paramA, const LinRecord& linA,
                                             const ParamRecord& paramB, const LinRecord& linB,
                                             size_t tablePoints) {
  std::vector<FileParamDiff> diffs;
  for (const FileParam& p : kParams) {
    const bool table = p.lin && p.count == model::kLinTabPoints;
    const size_t count = table ? std::min(tablePoints, size_t{p.count}) : p.count;
    for (size_t i = 0; i < count; ++i) {
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
