#include "model/RuntimeRecord.h"

#include <algorithm>
#include <array>

#include "model/Layout.h"
#include "model/ParamBatch.h"

namespace model {

namespace {

using R = RuntimeRecord;
constexpr size_t kBlockLayouts = 10;
using Row = LayoutRow<R, kBlockLayouts>;

// StRtData block layouts 0 to 9. Fields that no layout carries (EncoderInfo1/2, ReferenceVelo,
// Overlap, AxisState, Buffered) have no row: every block read leaves them as they are.
constexpr Row kRows[] = {
    {AXTUNE_FIELD(R, ActualPos),
     {At(0x0), At(0x0), At(0x0), At(0x0), At(0x0), At(0x0), At(0x0), At(0x0), At(0x0), At(0x0)}},
    {AXTUNE_FIELD(R, SetpointPos),
     {At(0xc8), At(0xc3), At(0xc3), At(0xc7), At(0xc7), At(0x41), At(0x41), At(0x41), At(0x4d),
      At(0x48)}},
    {AXTUNE_FIELD(R, TargetPosAux),
     {At(0x90), At(0x8b), At(0x8b), At(0x8f), At(0x8f), At(0xd7), At(0xd7), At(0xd7), At(0xeb),
      At(0xe8)}},
    {AXTUNE_FIELD(R, TargetPos),
     {At(0x90), At(0x8b), At(0x8b), At(0x8f), At(0x139), At(0x171), At(0x179), At(0x189), At(0x195),
      At(0x180)}},
    {AXTUNE_FIELD(R, LatchPos),
     {At(0x10a), At(0x105), At(0x11d), At(0x121), At(0x121), At(0x159), At(0x161), At(0x171),
      At(0x17d), At(0x198)}},
    {AXTUNE_FIELD(R, LatchPosOffset),
     {At(0x102), At(0xfd), At(0x115), At(0x119), At(0x119), At(0x151), At(0x159), At(0x169),
      At(0x175), At(0x190)}},
    {AXTUNE_FIELD(R, ActualPressure),
     {At(0x9), At(0x9), At(0x9), At(0x9), At(0x9), At(0x11), At(0x11), At(0x11), At(0x1d),
      At(0x18)}},
    {AXTUNE_FIELD(R, ActualPressure2),
     {At(0x9), At(0x9), At(0x9), At(0x9), At(0x9), At(0x19), At(0x19), At(0x19), At(0x25),
      At(0x20)}},
    {AXTUNE_FIELD(R, ActualPressure3),
     {At(0x9), At(0x9), At(0x9), At(0x9), At(0x9), At(0x21), At(0x21), At(0x21), At(0x2d),
      At(0x28)}},
    {AXTUNE_FIELD(R, SpareValue),
     {Z, Z, Z, Z, Z, At(0x39), At(0x39), At(0x39), At(0x45), At(0x40)}},
    {AXTUNE_FIELD(R, ActualVelo),
     {At(0x32), At(0x2d), At(0x2d), At(0x29), At(0x29), At(0x9), At(0x9), At(0x9), At(0x9),
      At(0x8)}},
    {AXTUNE_FIELD(R, SetpointVeloRatio),
     {At(0xb8), At(0xb3), At(0xb3), At(0xb7), At(0xb7), At(0x49), At(0x49), At(0x49), At(0x5d),
      At(0x58)}},
    {AXTUNE_FIELD(R, Override),
     {ONE, ONE, ONE, ONE, At(0x129), At(0x161), At(0x169), At(0x179), At(0x185), At(0x170)}},
    {AXTUNE_FIELD(R, Clamping),
     {At(0x3a), At(0x35), At(0x35), At(0x31), At(0x31), At(0x87), At(0x87), At(0x87), At(0x9b),
      At(0x98)}},
    {AXTUNE_FIELD(R, LagController),
     {At(0x52), At(0x4d), At(0x4d), At(0x51), At(0x51), At(0x8f), At(0x8f), At(0x8f), At(0xa3),
      At(0xa0)}},
    {AXTUNE_FIELD(R, Lag),
     {At(0x42), At(0x3d), At(0x3d), At(0x39), At(0x39), At(0x61), At(0x61), At(0x61), At(0x75),
      At(0x70)}},
    {AXTUNE_FIELD(R, Distance),
     {At(0x5a), At(0x55), At(0x55), At(0x59), At(0x59), At(0x69), At(0x69), At(0x69), At(0x7d),
      At(0x78)}},
    {AXTUNE_FIELD(R, EnableBits),
     {At(0x11), At(0x11), At(0x11), At(0x11), At(0x11), At(0x75), At(0x75), At(0x75), At(0x89),
      At(0x84)}},
    {AXTUNE_FIELD(R, StateBits),
     {At(0x26), At(0x21), At(0x21), At(0x1d), At(0x1d), At(0x71), At(0x71), At(0x71), At(0x85),
      At(0x80)}},
    {AXTUNE_FIELD(R, ErrorCode),
     {At(0x62), At(0x5d), At(0x5d), At(0x61), At(0x61), At(0x81), At(0x81), At(0x81), At(0x95),
      At(0x94)}},
    {AXTUNE_FIELD(R, CurrentStep),
     {At(0x66), At(0x61), At(0x61), At(0x65), At(0x65), At(0x85), At(0x85), At(0x85), At(0x99),
      At(0x18e)}},
    {AXTUNE_FIELD(R, Unsaved),
     {Z, Z, Z, Z, Z, At(0x193), At(0x19b), At(0x1ab), At(0x1b7), At(0x188)}},
    {AXTUNE_FIELD(R, PosCams),
     {At(0x8), At(0x8), At(0x8), At(0x8), At(0x8), At(0x8), At(0x8), At(0x8), At(0x8), At(0x1ba)}},
};

constexpr LayoutTable<R, kBlockLayouts> kTable{
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
    {274, 269, 293, 417, 419, 536, 536, 552, 580, 544},
    kRows,
};
static_assert(FitsBlocks(kTable));

constexpr size_t kMaxBlock = 580;
static_assert(std::ranges::all_of(kTable.lengths, [](uint32_t l) { return l <= kMaxBlock; }));

// The runtime values that travel as doubles, by parameter number.
struct DoubleNo {
  int16_t no;
  double R::*field;
};
constexpr DoubleNo kDoubleNos[] = {
    {10, &R::ActualVelo},
    {1, &R::TargetPosAux},
    {8, &R::ReferenceVelo},
    {10000, &R::ActualPos},
    {10004, &R::ActualPressure},
    {10017, &R::Clamping},
    {10016, &R::LagController},
    {10018, &R::Overlap},
    {10003, &R::Distance},
    {10015, &R::LatchPos},
    {10002, &R::Lag},
    {10010, &R::SetpointPos},
    {10011, &R::SetpointVeloRatio},
    {10014, &R::Override},
    {10019, &R::TargetPos},
};
constexpr int16_t kIntNos[] = {11000, 11001, 11002, 11003, 11004, 11005, 11007, 11008};
constexpr int16_t kBufferedNo = 11011;
constexpr int16_t kSetpointVeloNo = 10011;
constexpr double kMinReferenceVelo = 0.001;

double* DoubleField(R& rec, int16_t no) {
  for (const auto& d : kDoubleNos) {
    if (d.no == no) return &(rec.*d.field);
  }
  return nullptr;
}

// Stores one integer answer; true when it was the changed-parameters notice and set.
bool StoreInt(R& rec, int16_t no, int32_t v) {
  switch (no) {
    case 11000:
      rec.StateBits = static_cast<uint32_t>(v);
      break;
    case 11001:
      rec.EnableBits = static_cast<uint32_t>(v);
      break;
    case 11002:
      rec.ErrorCode = v;
      break;
    case 11003:
      rec.AxisState = static_cast<int16_t>(v & 0xFFFF);
      break;
    case 11004:
      rec.CurrentStep = static_cast<int16_t>(v & 0xFFFF);
      break;
    case 11005:
      rec.Unsaved = v != 0;
      break;
    case 11007:
      rec.PosCams = static_cast<uint8_t>(v & 0xFF);
      break;
    case kParamsChangedNo:
      return v != 0;
    case kBufferedNo:
      rec.Buffered = v;
      break;
    default:
      break;
  }
  return false;
}

int32_t ReadBlock(const AxisLink& link, int16_t layout, R& rec) {
  const uint32_t length = RuntimeBlockLength(layout);
  std::array<uint8_t, kMaxBlock> block{};
  const int32_t rc = link.oxa->OxaSyncReadReq(&link.addr, RecordGroup(link.axis),
                                              kRuntimeBlockOffset, length, block.data());
  if (rc != oxa::kOk) return rc;
  DecodeRuntimeBlock(layout, std::span<const uint8_t>(block.data(), length), rec);
  return oxa::kOk;
}

int32_t ReadBatch(const AxisLink& link, R& rec, bool commStopped, RuntimeReadNotice* notice) {
  ParamBatchAnswer answer;
  const ParamBatchRequest req = RuntimeBatchRequest(link.lib);
  const int32_t rc = RequestParamBatch(link, req, answer);
  if (rc != oxa::kOk) return rc;
  if (!ApplyRuntimeBatch(req, answer, rec)) return oxa::kOk;

  if (notice != nullptr) notice->paramsChanged = true;
  if (!commStopped) {
    const uint8_t zero = 0;
    const int32_t ack = link.oxa->OxaSyncWriteReq(&link.addr, ParamGroup(link.axis),
                                                  kParamsChangedAckOffset, 1, &zero);
    if (ack != oxa::kOk && link.report != nullptr) {
      link.report->ReportOxaError(false, true, ack, ParamGroup(link.axis), kParamsChangedAckOffset);
    }
  }
  return oxa::kOk;
}

}  // namespace

void ResetRuntimeRecord(RuntimeRecord& rec) {
  rec = RuntimeRecord{};
  rec.CurrentStep = -1;
}

uint32_t RuntimeBlockLength(int16_t layout) {
  const int column = kTable.Column(layout);
  return column < 0 ? 0 : kTable.lengths[static_cast<size_t>(column)];
}

bool DecodeRuntimeBlock(int16_t layout, std::span<const uint8_t> block, RuntimeRecord& rec) {
  const int column = kTable.Column(layout);
  if (column < 0 || block.size() < kTable.lengths[static_cast<size_t>(column)]) return false;
  return DecodeBlock(kTable, column, block, rec);
}

bool EncodeRuntimeBlock(int16_t layout, const RuntimeRecord& rec, std::span<uint8_t> block) {
  const int column = kTable.Column(layout);
  if (column < 0 || block.size() < kTable.lengths[static_cast<size_t>(column)]) return false;
  return EncodeBlock(kTable, column, rec, block);
}

ParamBatchRequest RuntimeBatchRequest(const LibVersion& lib) {
  ParamBatchRequest req;
  for (size_t i = 0; i < std::size(kDoubleNos); ++i) req.doubleNos[i] = kDoubleNos[i].no;
  for (size_t i = 0; i < std::size(kIntNos); ++i) req.intNos[i] = kIntNos[i];
  if (LibVersionAtLeast(lib, 3, 0, 34)) req.intNos[std::size(kIntNos)] = kBufferedNo;
  return req;
}

bool ApplyRuntimeBatch(const ParamBatchRequest& req, const ParamBatchAnswer& answer,
                       RuntimeRecord& rec) {
  bool paramsChanged = false;
  for (size_t i = 0; i < kBatchSlots; ++i) {
    const int16_t dno = req.doubleNos[i];
    if (dno != 0) {
      double v = answer.doubles[i];
      // The server answers the setpoint velocity in mm/s; the record holds it as a fraction
      // of the reference velocity, which slot 2 of the same answer has just brought.
      if (dno == kSetpointVeloNo) {
        v /= rec.ReferenceVelo > kMinReferenceVelo ? rec.ReferenceVelo : kMinReferenceVelo;
      }
      if (double* field = DoubleField(rec, dno)) *field = v;
    }
    const int16_t ino = req.intNos[i];
    if (ino != 0 && StoreInt(rec, ino, answer.ints[i])) paramsChanged = true;
  }
  return paramsChanged;
}

bool RuntimeBatchValue(const RuntimeRecord& rec, int16_t no, double& value) {
  if (no == kSetpointVeloNo) {
    value = rec.SetpointVeloRatio * rec.ReferenceVelo;
    return true;
  }
  if (double* field = DoubleField(const_cast<R&>(rec), no)) {
    value = *field;
    return true;
  }
  return false;
}

bool RuntimeBatchValue(const RuntimeRecord& rec, int16_t no, int32_t& value) {
  switch (no) {
    case 11000:
      value = static_cast<int32_t>(rec.StateBits);
      return true;
    case 11001:
      value = static_cast<int32_t>(rec.EnableBits);
      return true;
    case 11002:
      value = rec.ErrorCode;
      return true;
    case 11003:
      value = rec.AxisState;
      return true;
    case 11004:
      value = rec.CurrentStep;
      return true;
    case 11005:
      value = rec.Unsaved ? 1 : 0;
      return true;
    case 11007:
      value = rec.PosCams;
      return true;
    case kBufferedNo:
      value = rec.Buffered;
      return true;
    default:
      return false;
  }
}

int32_t ReadRuntimeRecord(const AxisLink& link, RuntimeRecord& rec, bool commStopped,
                          RuntimeReadNotice* notice) {
  if (notice != nullptr) notice->paramsChanged = false;
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  const int16_t layout = link.versions[1];
  if (RuntimeBlockLength(layout) != 0) return ReadBlock(link, layout, rec);
  return ReadBatch(link, rec, commStopped, notice);
}

}  // namespace model
