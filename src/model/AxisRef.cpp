#include "model/AxisRef.h"

#include <algorithm>
#include <cstring>

#include "model/ParamBatch.h"
#include "oxa/Bytes.h"

namespace model {

namespace {

using oxa::bytes::Get;
using oxa::bytes::Put;

// Where a component flag comes from: a constant, or a 32-bit word that is true when not 0.
struct FlagSrc {
  bool dword;
  uint32_t value;  // the word's offset, or the constant 0/1
};
constexpr FlagSrc F0{false, 0};
constexpr FlagSrc F1{false, 1};
constexpr FlagSrc D(uint32_t offset) {
  return {true, offset};
}

struct AxisRefLayout {
  int16_t version;
  uint32_t length;
  uint32_t nameBytes;  // the last of them is forced to 0
  uint32_t stateCode;
  uint32_t initState;
  uint32_t initError;
  int32_t featureLevel;  // offset, or -1: the layout has none and the field becomes -1
  std::array<FlagSrc, 8> flags;
};

constexpr AxisRefLayout kLayouts[] = {
    {0, 130, 81, 0x7A, 0x7C, 0x7E, -1, {F0, D(0x6D), D(0x71), F0, F0, F0, F0, F0}},
    {1, 148, 81, 0x7A, 0x7C, 0x7E, 0x82, {F0, D(0x6D), D(0x71), F0, F0, F0, F0, F0}},
    {2, 154, 81, 0x7A, 0x7C, 0x7E, 0x82, {D(0x59), D(0x6D), D(0x71), F0, F0, F0, F0, F0}},
    {3, 158, 81, 0x7E, 0x80, 0x82, 0x86, {D(0x59), D(0x6D), D(0x71), F0, F0, D(0x75), F0, F0}},
    {4, 136, 81, 0x6A, 0x6C, 0x6E, 0x72, {D(0x51), F0, F0, D(0x55), D(0x59), D(0x5D), D(0x61), F0}},
    {5,
     146,
     81,
     0x72,
     0x74,
     0x76,
     0x7A,
     {D(0x51), F0, F0, D(0x55), D(0x59), D(0x5D), D(0x61), D(0x65)}},
    {6,
     152,
     84,
     0x78,
     0x7A,
     0x7C,
     0x80,
     {D(0x54), F0, F0, D(0x58), D(0x5C), D(0x60), D(0x64), D(0x68)}},
    {40, 256, 84, 0xE0, 0xE2, 0xE4, 0xE8, {F1, F0, F0, F0, F0, F1, F1, F1}},
};

constexpr bool Fits(const AxisRefLayout& l) {
  if (l.nameBytes > kAxisRefNameSize || l.nameBytes > l.length) return false;
  if (l.length > kAxisRefMaxBlock) return false;
  if (l.stateCode + 2 > l.length || l.initState + 2 > l.length || l.initError + 4 > l.length) {
    return false;
  }
  if (l.featureLevel >= 0 && static_cast<uint32_t>(l.featureLevel) + 2 > l.length) return false;
  for (const FlagSrc& f : l.flags) {
    if (f.dword && f.value + 4 > l.length) return false;
  }
  return true;
}
static_assert(std::all_of(std::begin(kLayouts), std::end(kLayouts), Fits));

const AxisRefLayout* Find(int16_t layout) {
  for (const auto& l : kLayouts) {
    if (l.version == layout) return &l;
  }
  return nullptr;
}

}  // namespace

void ResetAxisRefRecord(AxisRefRecord& rec) {
  rec.AxisStateCode = -1;
  rec.FeatureLevel = -1;
  rec.InitState = 0;
  rec.InitError = 0;
}

uint32_t AxisRefBlockLength(int16_t layout) {
  const AxisRefLayout* l = Find(layout);
  return l == nullptr ? 0 : l->length;
}

bool DecodeAxisRefBlock(int16_t layout, std::span<const uint8_t> block, AxisRefRecord& rec) {
  const AxisRefLayout* l = Find(layout);
  if (l == nullptr || block.size() < l->length) return false;
  rec.AxisRefName.fill('\0');
  std::memcpy(rec.AxisRefName.data(), block.data(), l->nameBytes - 1);
  Get(block, l->stateCode, rec.AxisStateCode);
  Get(block, l->initState, rec.InitState);
  Get(block, l->initError, rec.InitError);
  if (l->featureLevel < 0) {
    rec.FeatureLevel = -1;
  } else {
    Get(block, static_cast<size_t>(l->featureLevel), rec.FeatureLevel);
  }
  for (size_t i = 0; i < rec.RefFlags.size(); ++i) {
    const FlagSrc f = l->flags[i];
    if (f.dword) {
      uint32_t word = 0;
      Get(block, f.value, word);
      rec.RefFlags[i] = word != 0;
    } else {
      rec.RefFlags[i] = f.value != 0;
    }
  }
  return true;
}

bool EncodeAxisRefBlock(int16_t layout, const AxisRefRecord& rec, std::span<uint8_t> block) {
  const AxisRefLayout* l = Find(layout);
  if (l == nullptr || block.size() < l->length) return false;
  const auto nameBegin = rec.AxisRefName.begin();
  const auto nameEnd = std::find(nameBegin, nameBegin + (l->nameBytes - 1), '\0');
  std::copy(nameBegin, nameEnd, block.begin());
  Put(block, l->stateCode, rec.AxisStateCode);
  Put(block, l->initState, rec.InitState);
  Put(block, l->initError, rec.InitError);
  if (l->featureLevel >= 0) Put(block, static_cast<size_t>(l->featureLevel), rec.FeatureLevel);
  for (size_t i = 0; i < rec.RefFlags.size(); ++i) {
    if (l->flags[i].dword) Put(block, l->flags[i].value, uint32_t{rec.RefFlags[i] ? 1u : 0u});
  }
  return true;
}

int32_t ReadAxisRef(const AxisLink& link, AxisRefRecord& rec, RuntimeRecord& runtime) {
  const int16_t layout = link.versions[0];
  const uint32_t length = AxisRefBlockLength(layout);
  if (length == 0) return oxa::kErrLayoutUnsupported;
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  std::array<uint8_t, kAxisRefMaxBlock> block{};
  const int32_t rc = link.oxa->OxaSyncReadReq(&link.addr, RecordGroup(link.axis), kAxisRefOffset,
                                              length, block.data());
  if (rc != oxa::kOk) return rc;
  DecodeAxisRefBlock(layout, std::span<const uint8_t>(block.data(), length), rec);
  runtime.AxisState = rec.AxisStateCode;
  return oxa::kOk;
}

}  // namespace model
