#include "model/ParamRead.h"

#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "model/ParamDictionary.h"
#include "model/ParamLayouts.h"

namespace model {
namespace {

constexpr uint16_t kReferenceVeloNo = 8;
constexpr uint16_t kMaxApplJerkNo = 16;

bool UnknownToServer(int32_t rc) {
  return rc == oxa::kErrInvalidIndexGroup || rc == oxa::kErrInvalidIndexOffset;
}

void Report(const AxisLink& link, int32_t rc, uint32_t group, uint32_t offset) {
  if (rc != oxa::kOk && link.report != nullptr) {
    link.report->ReportOxaError(false, false, rc, group, offset);
  }
}

// Reads `length` bytes of number `no`; 0x702/0x703 are handed back as they are.
int32_t ReadNo(const AxisLink& link, uint16_t no, uint32_t length, void* data) {
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  return link.oxa->OxaSyncReadReq(&link.addr, ParamGroup(link.axis), no, length, data);
}

// A numbered single read: default on failure, unknown numbers are no failure, the rest is
// reported.
template <class T, class Convert>
int32_t SingleRead(const AxisLink& link, T& dst, T def, uint16_t no, uint32_t length,
                   Convert convert) {
  std::array<uint8_t, 8> buf{};
  int32_t rc = ReadNo(link, no, length, buf.data());
  if (rc == oxa::kOk) {
    dst = convert(std::span<const uint8_t>(buf.data(), length));
    return oxa::kOk;
  }
  dst = def;
  if (UnknownToServer(rc)) rc = oxa::kOk;
  Report(link, rc, ParamGroup(link.axis), no);
  return rc;
}

// Truncates toward zero within the 32-bit range (NaN gives 0): a controller's double can hold
// anything, and converting an out-of-range double to an integer is undefined.
int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  constexpr double lo = std::numeric_limits<int32_t>::min();
  constexpr double hi = std::numeric_limits<int32_t>::max();
  if (v <= lo) return std::numeric_limits<int32_t>::min();
  if (v >= hi) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

int16_t Low16(int32_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu));
}

// Reads one number of the parameter record into its field: a boolean as one byte, every other
// value as a double, narrowed as a controller's answer; a failure stores the row's fallback.
int32_t ReadField(const AxisLink& link, ParamRecord& rec, uint16_t no) {
  const ParamRow* row = FindParam(no);
  if (row == nullptr || row->home != ParamHome::Param) return oxa::kOk;
  double v = 0;
  int32_t rc = oxa::kOk;
  if (row->wire == ParamWire::Byte) {
    bool b = false;
    rc = ReadParamNoByte(link, b, row->readFallback != 0, no);
    v = b ? 1.0 : 0.0;
  } else {
    rc = ReadParamNoReal(link, v, row->readFallback, no);
  }
  Set({&rec, nullptr}, *row, no, v, Narrowing::Clamp);
  return rc;
}

// A slot of a batch answer into its field of the parameter record; slots of other numbers (0
// among them) are skipped.
void StoreSlot(ParamRecord& rec, uint16_t no, double v) {
  const ParamRow* row = FindParam(no);
  if (row != nullptr && row->home == ParamHome::Param) {
    Set({&rec, nullptr}, *row, no, v, Narrowing::Clamp);
  }
}

// FileName, 256 bytes at 1007; the last byte is forced to 0. Reported as a read of 1007.
int32_t ReadFileName(const AxisLink& link, ParamRecord& rec) {
  std::array<char, kFileNameWireLength> buf{};
  const int32_t rc = ReadNo(link, kParamNoFileName, kFileNameWireLength, buf.data());
  if (rc == oxa::kOk) {
    rec.FileName = buf;
    rec.FileName.back() = '\0';
  }
  Report(link, rc, ParamGroup(link.axis), kParamNoFileName);
  return rc;
}

// AuxData, 160 bytes at 2000. Reported as a read of 2000.
int32_t ReadAuxData(const AxisLink& link, ParamRecord& rec) {
  std::array<uint8_t, kAuxDataWireLength> buf{};
  const int32_t rc = ReadNo(link, kParamNoAuxData, kAuxDataWireLength, buf.data());
  if (rc == oxa::kOk) {
    for (size_t i = 0; i < rec.AuxData.size(); ++i) {
      rec.AuxData[i] = oxa::bytes::At<double>(buf, 8 * i);
    }
  }
  Report(link, rc, ParamGroup(link.axis), kParamNoAuxData);
  return rc;
}

struct Group {
  int page;
  std::initializer_list<uint16_t> doubles;
  std::initializer_list<uint16_t> ints;
};

void Fill(std::array<int16_t, kBatchSlots>& slots, size_t& used,
          std::initializer_list<uint16_t> nos) {
  for (uint16_t no : nos) {
    if (used < slots.size()) slots[used++] = static_cast<int16_t>(no);
  }
}

ParamBatchRequest BatchRequest(int page, const LibVersion& lib) {
  ParamBatchRequest r;
  size_t d = 0;
  size_t i = 0;
  switch (page) {
    case kPageCommon:
      Fill(r.doubleNos, d, {1001});
      Fill(r.intNos, i, {1100, 1101, 1300, 1000});
      break;
    case kPageGlobal:
      Fill(r.doubleNos, d, {8,    1600, 1601, 1604, 1605, 1602, 1603, 1606, 1607, 1400,
                            1402, 12,   14,   1501, 1500, 1900, 1901, 9,    13,   15});
      Fill(r.intNos, i, {1003, 1004, 1401, 1608});
      break;
    case kPageValve:
      Fill(r.doubleNos, d,
           {1301, 1280, 1281, 1200, 1204, 1201, 1202, 1203, 1502, 1503, 1504, 1305, 1306});
      Fill(r.intNos, i, {1302, 1303, 1304});
      if (LibVersionAtLeast(lib, 3, 0, 26)) Fill(r.intNos, i, {1706, 1707});
      break;
    case kPageEncoder:
      Fill(r.doubleNos, d, {1102, 1103, 1104, 1105, 1107, 1109, 1111, 1112, 1117});
      if (LibVersionAtLeast(lib, 3, 0, 32))
        Fill(r.doubleNos, d, {kParamNoEncoderInfo1, kParamNoEncoderInfo2});
      Fill(r.intNos, i, {1106, 1108, 1110, 1118, 1119});
      if (LibVersionAtLeast(lib, 3, 0, 31)) Fill(r.intNos, i, {1120});
      break;
    case kPageCtrl:
      Fill(r.doubleNos, d, {1700, 1703, 1704, 1705});
      if (LibVersionAtLeast(lib, 3, 0, 26)) {
        Fill(r.doubleNos, d, {1708, 1709, 1710, 1711, 1712, 1713, 1714, 1715, 1716});
      }
      if (LibVersionAtLeast(lib, 3, 0, 28)) Fill(r.doubleNos, d, {1717});
      break;
    case kPageMonitor:
      Fill(r.doubleNos, d, {3, 2, 7, 1803, 1804, 1800, 1801, 1802, 1806});
      Fill(r.intNos, i, {6, 5, 4, 1805});
      break;
    default:
      break;
  }
  return r;
}

constexpr std::array kGroupPages = {kPageCommon,  kPageGlobal, kPageValve,
                                    kPageEncoder, kPageCtrl,   kPageMonitor};

bool HasGroup(int page) {
  for (int p : kGroupPages) {
    if (p == page) return true;
  }
  return false;
}

// The requests of the single method, per page, in order.
constexpr std::array<uint16_t, 5> kSingleCommon = {1001, 1100, 1101, 1300, 1000};
constexpr std::array<uint16_t, 25> kSingleGlobal = {
    1003, 1004, 1401, 8,  1608, 1600, 1601, 1604, 1605, 1602, 1603, 1606, 1607,
    1400, 1402, 12,   14, 1501, 1500, 1900, 1901, 9,    13,   15,   16};
constexpr std::array<uint16_t, 14> kSingleValve = {1301, 1302, 1303, 1304, 1280, 1281, 1200,
                                                   1204, 1201, 1202, 1203, 1502, 1503, 1504};
constexpr std::array<uint16_t, 11> kSingleEncoder = {1102, 1103, 1104, 1105, 1107, 1109,
                                                     1111, 1112, 1106, 1108, 1110};
constexpr std::array<uint16_t, 4> kSingleCtrl = {1700, 1703, 1704, 1705};
constexpr std::array<uint16_t, 13> kSingleMonitor = {6,    5,    4,    3,    2,    7,   1803,
                                                     1804, 1800, 1801, 1802, 1806, 1805};

std::span<const uint16_t> SingleList(int page) {
  switch (page) {
    case kPageCommon:
      return kSingleCommon;
    case kPageGlobal:
      return kSingleGlobal;
    case kPageValve:
      return kSingleValve;
    case kPageEncoder:
      return kSingleEncoder;
    case kPageCtrl:
      return kSingleCtrl;
    case kPageMonitor:
      return kSingleMonitor;
    default:
      return {};
  }
}

// One group of the single method; stops at the first failure.
int32_t ReadSingleGroup(int page, const AxisLink& link, ParamRecord& rec, RuntimeRecord& runtime) {
  for (uint16_t no : SingleList(page)) {
    const int32_t rc = ReadField(link, rec, no);
    if (rc != oxa::kOk) return rc;
    if (no == kReferenceVeloNo) runtime.ReferenceVelo = rec.ReferenceVelo;
  }
  if (page == kPageCommon) return ReadFileName(link, rec);
  return oxa::kOk;
}

int32_t ReadBatch(int page, const AxisLink& link, ParamRecord& rec, RuntimeRecord& runtime) {
  int32_t result = oxa::kOk;
  std::array<ParamBatchGroup, kGroupPages.size()> groups{};
  const size_t n = ParamBatchGroups(page, link.lib, groups);
  for (size_t g = 0; g < n; ++g) {
    ParamBatchAnswer answer;
    const int32_t rc = RequestParamBatch(link, groups[g].request, answer);
    if (rc != oxa::kOk) {
      // The group keeps its old values; the next group is still read.
      result = rc;
      continue;
    }
    ApplyParamBatch(groups[g].request, answer, rec, runtime);
    int32_t after = oxa::kOk;
    if (groups[g].page == kPageCommon) {
      after = ReadFileName(link, rec);
    } else if (groups[g].page == kPageGlobal) {
      runtime.ReferenceVelo = rec.ReferenceVelo;
      after = ReadParamNoReal(link, rec.MaxApplJerk, 0.0, kMaxApplJerkNo);
    }
    if (after != oxa::kOk) result = after;
  }
  return result;
}

int32_t ReadSingle(int page, const AxisLink& link, ParamRecord& rec, RuntimeRecord& runtime) {
  if (page != kPageAll) return ReadSingleGroup(page, link, rec, runtime);
  for (int p : kGroupPages) {
    const int32_t rc = ReadSingleGroup(p, link, rec, runtime);
    if (rc != oxa::kOk) return rc;
  }
  return oxa::kOk;
}

// The closing steps of both numbered methods.
int32_t CloseNumbered(int page, const AxisLink& link, ParamRecord& rec, int32_t result) {
  if (page == kPageAuxilary || page == kPageAll) {
    if (result == oxa::kOk) result = ReadAuxData(link, rec);
  }
  if (result == oxa::kOk) result = ReadParamNoInt16(link, rec.AuxWord, 0, kParamNoAuxWord);
  rec.ValveSpare1 = 0;
  rec.ValveSpare2 = 0;
  return result;
}

int32_t ReadBlock(const AxisLink& link, ParamRecord& rec, RuntimeRecord& runtime) {
  const int version = link.versions[2];
  const uint32_t length = ParamBlockLength(version);
  if (length == 0) return oxa::kErrLayoutUnsupported;
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  std::array<uint8_t, kParamBlockMaxLength> block{};
  const int32_t rc = link.oxa->OxaSyncReadReq(&link.addr, RecordGroup(link.axis), kParamBlockOffset,
                                              length, block.data());
  if (rc != oxa::kOk) return rc;
  DecodeParamBlock(version, std::span<const uint8_t>(block.data(), length), rec);
  runtime.ReferenceVelo = rec.ReferenceVelo;
  return oxa::kOk;
}

}  // namespace

ParamReadMethod ChooseParamReadMethod(const LibVersion& lib) {
  if (LibVersionAtLeast(lib, 3, 0, 22)) return ParamReadMethod::Batch;
  if (LibVersionAtLeast(lib, 3, 0, 20)) return ParamReadMethod::Single;
  return ParamReadMethod::Block;
}

int32_t ReadParamNoReal(const AxisLink& link, double& dst, double def, uint16_t no) {
  return SingleRead(link, dst, def, no, 8,
                    [](std::span<const uint8_t> b) { return oxa::bytes::At<double>(b, 0); });
}

int32_t ReadParamNoInt16(const AxisLink& link, int16_t& dst, int16_t def, uint16_t no) {
  return SingleRead(link, dst, def, no, 8, [](std::span<const uint8_t> b) {
    return Low16(TruncateToInt32(oxa::bytes::At<double>(b, 0)));
  });
}

int32_t ReadParamNoByte(const AxisLink& link, bool& dst, bool def, uint16_t no) {
  return SingleRead(link, dst, def, no, 1, [](std::span<const uint8_t> b) { return b[0] != 0; });
}

size_t ParamBatchGroups(int page, const LibVersion& lib, std::span<ParamBatchGroup> out) {
  size_t n = 0;
  for (int p : kGroupPages) {
    if ((page == kPageAll || page == p) && n < out.size()) out[n++] = {p, BatchRequest(p, lib)};
  }
  return n;
}

void ApplyParamBatch(const ParamBatchRequest& request, const ParamBatchAnswer& answer,
                     ParamRecord& rec, RuntimeRecord& runtime) {
  for (size_t s = 0; s < kBatchSlots; ++s) {
    const auto no = static_cast<uint16_t>(request.doubleNos[s]);
    const double v = answer.doubles[s];
    if (no == kParamNoEncoderInfo1) {
      runtime.EncoderInfo1 = v;
    } else if (no == kParamNoEncoderInfo2) {
      runtime.EncoderInfo2 = v;
    } else {
      StoreSlot(rec, no, v);
    }
  }
  for (size_t s = 0; s < kBatchSlots; ++s) {
    StoreSlot(rec, static_cast<uint16_t>(request.intNos[s]), answer.ints[s]);
  }
}

int32_t ReadParamRecord(int page, const AxisLink& link, ParamRecord& rec, RuntimeRecord& runtime) {
  switch (ChooseParamReadMethod(link.lib)) {
    case ParamReadMethod::Block:
      return ReadBlock(link, rec, runtime);
    case ParamReadMethod::Batch: {
      if (page == kPageAll) ResetParamRecord(rec);
      const int32_t rc =
          HasGroup(page) || page == kPageAll ? ReadBatch(page, link, rec, runtime) : oxa::kOk;
      return CloseNumbered(page, link, rec, rc);
    }
    case ParamReadMethod::Single: {
      if (page == kPageAll) ResetParamRecord(rec);
      return CloseNumbered(page, link, rec, ReadSingle(page, link, rec, runtime));
    }
  }
  return oxa::kErrLayoutUnsupported;
}

}  // namespace model
