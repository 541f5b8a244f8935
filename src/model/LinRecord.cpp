#include "model/LinRecord.h"

#include <algorithm>
#include <array>

#include "model/Layout.h"
#include "model/ParamBatch.h"

namespace model {

namespace {

using L = LinRecord;
constexpr size_t kLinLayouts = 5;
using Row = LayoutRow<L, kLinLayouts>;

// Layouts 1 to 5; the table points live outside the rows (they interleave value and output)
// and only layout 5 carries them.
constexpr Row kRows[] = {
    {AXTUNE_FIELD(L, LinEnableEoT), {At(0x000), At(0x000), At(0x000), At(0x000), At(0x000)}},
    {AXTUNE_FIELD(L, LinEnableOverlap), {At(0x001), At(0x001), At(0x001), At(0x001), At(0x001)}},
    {AXTUNE_FIELD(L, LinEnableZAdjust), {At(0x002), At(0x002), At(0x002), At(0x002), At(0x002)}},
    {AXTUNE_FIELD(L, LinEnableRatio), {At(0x003), At(0x003), At(0x003), At(0x003), At(0x003)}},
    {AXTUNE_FIELD(L, LinEoTNegative), {At(0x004), At(0x004), At(0x004), At(0x004), At(0x004)}},
    {AXTUNE_FIELD(L, LinEoTPositive), {At(0x00C), At(0x00C), At(0x00C), At(0x00C), At(0x00C)}},
    {AXTUNE_FIELD(L, LinReserved14), {K, K, K, K, At(0x014)}},
    {AXTUNE_FIELD(L, LinNegativeLimit), {Z, Z, Z, At(0x01C), At(0x01C)}},
    {AXTUNE_FIELD(L, LinPositiveLimit), {Z, Z, Z, At(0x024), At(0x024)}},
    {AXTUNE_FIELD(L, LinReserved2C), {At(0x014), At(0x024), At(0x024), At(0x02C), At(0x02C)}},
    {AXTUNE_FIELD(L, LinDecelFactor), {K, K, K, K, At(0x02E)}},
    {AXTUNE_FIELD(L, LinEnableTable), {At(0x016), At(0x026), At(0x02E), At(0x036), At(0x036)}},
    {AXTUNE_FIELD(L, LinCurveType), {Z, Z, Z, Z, At(0x037)}},
    {AXTUNE_FIELD(L, LinSamples), {At(0x657), At(0x667), At(0x66F), At(0x677), At(0x679)}},
    {AXTUNE_FIELD(L, LinLowEnd), {At(0x659), At(0x669), At(0x671), At(0x679), At(0x67B)}},
    {AXTUNE_FIELD(L, LinHighEnd), {At(0x661), At(0x671), At(0x679), At(0x681), At(0x683)}},
    {AXTUNE_FIELD(L, LinRamp), {At(0x669), At(0x679), At(0x681), At(0x689), At(0x68B)}},
    {AXTUNE_FIELD(L, LinSettling), {K, K, K, K, At(0x693)}},
    {AXTUNE_FIELD(L, LinRecovery), {K, K, K, K, At(0x69B)}},
    {AXTUNE_FIELD(L, LinMinCycle), {K, K, K, K, At(0x6A3)}},
};

constexpr LayoutTable<L, kLinLayouts> kTable{
    {1, 2, 3, 4, 5},
    {1649, 1665, 1673, 1705, kLinRecordLength},
    kRows,
};
static_assert(FitsBlocks(kTable));
static_assert(std::ranges::all_of(kTable.lengths,
                                  [](uint32_t l) { return l <= kLinRecordLength; }));

constexpr int16_t kNewestLayout = 5;
constexpr size_t kTableOffset = 0x039;
constexpr size_t kPointBytes = 16;
static_assert(kTableOffset + kPointBytes * kLinTabPoints == 0x679);

}  // namespace

void ResetLinRecord(LinRecord& rec) {
  const auto values = rec.LinTabValue;
  const auto outputs = rec.LinTabOutput;
  rec = LinRecord{};
  rec.LinTabValue = values;
  rec.LinTabOutput = outputs;
}

uint32_t LinBlockLength(int16_t layout) {
  const int column = kTable.Column(layout);
  return column < 0 ? 0 : kTable.lengths[static_cast<size_t>(column)];
}

bool DecodeLinBlock(int16_t layout, std::span<const uint8_t> block, LinRecord& rec) {
  const int column = kTable.Column(layout);
  if (column < 0 || block.size() < kTable.lengths[static_cast<size_t>(column)]) return false;
  const bool ok = DecodeBlock(kTable, column, block, rec);
  if (layout == kNewestLayout) {
    for (size_t i = 0; i < kLinTabPoints; ++i) {
      oxa::bytes::Get(block, kTableOffset + kPointBytes * i, rec.LinTabValue[i]);
      oxa::bytes::Get(block, kTableOffset + kPointBytes * i + 8, rec.LinTabOutput[i]);
    }
  }
  return ok;
}

bool EncodeLinBlock(int16_t layout, const LinRecord& rec, std::span<uint8_t> block) {
  const int column = kTable.Column(layout);
  if (column < 0 || block.size() < kTable.lengths[static_cast<size_t>(column)]) return false;
  const bool ok = EncodeBlock(kTable, column, rec, block);
  if (layout == kNewestLayout) {
    for (size_t i = 0; i < kLinTabPoints; ++i) {
      oxa::bytes::Put(block, kTableOffset + kPointBytes * i, rec.LinTabValue[i]);
      oxa::bytes::Put(block, kTableOffset + kPointBytes * i + 8, rec.LinTabOutput[i]);
    }
  }
  return ok;
}

int32_t ReadLinTab(const AxisLink& link, LinRecord& rec) {
  const int16_t layout = link.versions[4];
  const uint32_t length = LinBlockLength(layout);
  if (length == 0) return oxa::kErrLayoutUnsupported;
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  std::array<uint8_t, kLinRecordLength> block{};
  const int32_t rc = link.oxa->OxaSyncReadReq(&link.addr, RecordGroup(link.axis), kLinRecordOffset,
                                              length, block.data());
  if (rc != oxa::kOk) return rc;
  DecodeLinBlock(layout, std::span<const uint8_t>(block.data(), length), rec);
  return oxa::kOk;
}

}  // namespace model
