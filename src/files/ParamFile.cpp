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

// Refuses at compile time a field whose C++ type does not match the table's type.
template <FileValueType T>
constexpr void* Typed(typename CType<T>::type* p) {
  return p;
}

#define FILE_LIN(No, Type, Name)                                                 \
  FileParam {                                                                    \
    No, 1, FileValueType::Type, true, #Name, nullptr,                            \
        [](LinRecord& l, size_t) { return Typed<FileValueType::Type>(&l.Name); } \
  }
#define FILE_LIN_ARRAY(No, Count, Name)                                               \
  FileParam {                                                                         \
    No, Count, FileValueType::Real, true, #Name, nullptr,                             \
        [](LinRecord& l, size_t i) { return Typed<FileValueType::Real>(&l.Name[i]); } \
  }

// The linearisation settings and table travel only in files.
constexpr std::array kLinParams = {
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

#undef FILE_LIN
#undef FILE_LIN_ARRAY

using AuxArray = std::array<double, model::kAuxDataWireLength / sizeof(double)>;

FileValueType FileTypeOf(model::ParamType type) {
  switch (type) {
    case model::ParamType::Bool:
      return FileValueType::Bool;
    case model::ParamType::Int16:
      return FileValueType::Int16;
    case model::ParamType::UInt16:
      return FileValueType::Word16;
    case model::ParamType::Int32:
      return FileValueType::Int32;
    case model::ParamType::Real:
    case model::ParamType::Text:
    case model::ParamType::RealArray:
      break;
  }
  return FileValueType::Real;
}

// Every numbered field of the parameter record but FileName, which files do not carry; AuxData,
// 2000 on the wire as one block, is stored value by value as 2001 to 2020. Then the LinRecord
// numbers.
std::vector<FileParam> BuildTable() {
  std::vector<FileParam> table;
  for (const model::ParamField& f : model::ParamFields()) {
    if (f.no == 0 || f.type == model::ParamType::Text) continue;
    const bool array = f.type == model::ParamType::RealArray;
    table.push_back(FileParam{static_cast<uint16_t>(array ? f.no + 1 : f.no),
                              static_cast<uint16_t>(array ? std::tuple_size_v<AuxArray> : 1),
                              FileTypeOf(f.type), false, f.name, &f, nullptr});
  }
  std::sort(table.begin(), table.end(),
            [](const FileParam& a, const FileParam& b) { return a.no < b.no; });
  table.insert(table.end(), kLinParams.begin(), kLinParams.end());
  return table;
}

const std::vector<FileParam>& Table() {
  static const std::vector<FileParam> table = BuildTable();
  return table;
}

constexpr uint16_t kNoOverlapCompensation = 1200;
constexpr uint16_t kNoOverlapCompensation2 = 1204;

// Every number of the table has a slot of its own, 1 to the table's values; slot 0 stands for the
// numbers the format does not list. At most one slot per field of the parameter record, AuxData
// with one per value, and the LinRecord slots.
constexpr size_t kMaxSlots = [] {
  size_t n = 1 + model::kParamFieldCount + std::tuple_size_v<AuxArray>;
  for (const FileParam& p : kLinParams) n += p.count;
  return n;
}();

struct Plan {
  std::array<uint16_t, size_t{kFileNumberMask} + 1> slotOf{};  // by number
  std::vector<const FileParam*> param;                         // by slot
};

const Plan& ThePlan() {
  static const std::unique_ptr<Plan> plan = [] {
    auto p = std::make_unique<Plan>();
    p->param.push_back(nullptr);
    for (const FileParam& e : Table()) {
      for (size_t i = 0; i < e.count; ++i) {
        p->slotOf[e.no + i] = static_cast<uint16_t>(p->param.size());
        p->param.push_back(&e);
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
    for (size_t slot = 1; slot < plan_.param.size(); ++slot) {
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
  std::array<Staged, kMaxSlots> staged_{};
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

void* FileParam::at(ParamRecord& param, LinRecord& linRecord, size_t index) const {
  if (linAt) return linAt(linRecord, index);
  if (field->type == model::ParamType::RealArray) return &field->Ref<AuxArray>(param)[index];
  return field->at(param);
}

std::span<const FileParam> FileParams() {
  return Table();
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
  for (const FileParam& p : Table()) {
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
