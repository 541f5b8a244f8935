#include "model/ProcessImage.h"

#include <algorithm>

#include "model/ParamBatch.h"

namespace model {

namespace {

// `len` bytes of the canonical image from `dst` on come from block offset `src`, or are set to
// 0 when `src` is kZero.
struct Move {
  uint16_t dst;
  uint16_t len;
  int16_t src;
};
constexpr int16_t kZero = -1;

// A layout with no moves is the newest one: the block is the image.
struct ImageLayout {
  int16_t version;
  uint16_t length;
  std::span<const Move> moves;
};

constexpr Move kEncoderIn4[] = {
    {0x00, 5, 0x00}, {0x05, 4, kZero}, {0x09, 4, 0x05}, {0x0D, 7, 0x09}, {0x14, 5, kZero}};
constexpr ImageLayout kEncoderIn[] = {{4, 36, kEncoderIn4}, {5, 45, {}}};

constexpr Move kEncoderOut0[] = {{0x00, 1, 0x00}, {0x01, 5, kZero}};
constexpr ImageLayout kEncoderOut[] = {{0, 1, kEncoderOut0}, {1, 26, {}}};

constexpr Move kDriveIn0[] = {{0x00, 3, 0x00}};
constexpr Move kDriveIn1[] = {{0x00, 3, 0x00}, {0x03, 5, kZero}};
constexpr ImageLayout kDriveIn[] = {{0, 3, kDriveIn0}, {1, 23, kDriveIn1}, {2, 24, {}}};

constexpr Move kDriveOut0[] = {{0x00, 12, 0x00}, {0x0C, 8, kZero}};
constexpr Move kDriveOut4[] = {{0x00, 18, 0x00}, {0x12, 2, kZero}};
constexpr Move kDriveOut5[] = {{0x00, 20, 0x00}, {0x14, 5, kZero}};
constexpr ImageLayout kDriveOut[] = {
    {0, 12, kDriveOut0}, {4, 18, kDriveOut4}, {5, 40, kDriveOut5}, {6, 41, {}}};

constexpr ImageLayout kDriveDevIn[] = {{1, 37, {}}};
constexpr ImageLayout kDriveDevOut[] = {{1, 26, {}}};

constexpr Move kDevIn1[] = {
    {0x00, 4, 0x0A}, {0x08, 4, 0x1B}, {0x18, 2, 0x00}, {0x1A, 2, 0x02}, {0x1C, 2, 0x05},
    {0x1E, 2, 0x07}, {0x20, 2, 0x11}, {0x22, 2, 0x13}, {0x24, 2, 0x1F}, {0x26, 2, 0x21},
    {0x28, 2, 0x5F}, {0x2A, 2, 0x62}, {0x2C, 2, 0x65}, {0x2E, 2, 0x67}, {0x30, 2, 0x0E},
    {0x39, 7, 0x6A}, {0x41, 7, 0x73}, {0x48, 4, 0x23}, {0x4C, 1, 0x10}, {0x4D, 1, 0x71},
    {0x4E, 1, 0x7A}, {0x4F, 1, 0x04}, {0x50, 1, 0x09}, {0x58, 6, 0x15}, {0x5E, 1, 0x61},
    {0x5F, 1, 0x64}, {0x60, 1, 0x5E}, {0x61, 1, 0x5D},
};
constexpr ImageLayout kDevIn[] = {{1, 143, kDevIn1}, {2, 152, {}}};

constexpr Move kDevOut1[] = {
    {0x00, 4, 0x14}, {0x10, 2, 0x00}, {0x12, 2, 0x06}, {0x14, 2, 0x08}, {0x16, 2, 0x0A},
    {0x18, 2, 0x52}, {0x1A, 2, 0x4F}, {0x1C, 2, 0x18}, {0x28, 4, 0x10}, {0x2C, 1, 0x4D},
    {0x2D, 1, 0x4C}, {0x2E, 1, 0x51}, {0x38, 4, 0x02}, {0x3C, 4, 0x0C}, {0x40, 1, 0x4A},
    {0x41, 1, 0x4B}, {0x42, 1, 0x49}, {0x43, 1, 0x48},
};
constexpr ImageLayout kDevOut[] = {{1, 104, kDevOut1}, {2, 120, {}}};

using W = WireType;

constexpr ImageField kEncoderInFields[] = {
    {"ENC.uiCount", 0x00, W::U16, 1},          {"ENC.uiLatch", 0x02, W::U16, 1},
    {"ENC.usiStatus", 0x04, W::U8, 1},         {"ENC.uiPZDL", 0x09, W::U16, 1},
    {"ENC.uiPZDH", 0x0B, W::U16, 1},           {"ENC.usiREGSTATUS", 0x0D, W::U8, 1},
    {"ENC.bDigIn A", 0x0E, W::Bool8, 1},       {"ENC.bDigIn B", 0x0F, W::Bool8, 1},
    {"ENC.bDigCam MM..PP", 0x10, W::Bool8, 4},
};
constexpr ImageField kEncoderOutFields[] = {{"ENC.usiCtrl", 0x00, W::U8, 1}};
constexpr ImageField kDriveInFields[] = {
    {"DRIVE.bPowerOk", 0x00, W::Bool8, 1},
    {"DRIVE.bEnAck", 0x01, W::Bool8, 1},
    {"DRIVE.bReady", 0x02, W::Bool8, 1},
};
constexpr ImageField kDriveOutFields[] = {
    {"DRIVE.nDacOut", 0x00, W::I16, 1},        {"DRIVE.bDigOutA p/n", 0x02, W::Bool8, 2},
    {"DRIVE.bDigOutB p/n", 0x04, W::Bool8, 2}, {"DRIVE.uiCount", 0x06, W::U16, 1},
    {"DRIVE.bPowerOn", 0x08, W::Bool8, 1},     {"DRIVE.bEnable", 0x09, W::Bool8, 1},
    {"DRIVE.bEnable p/n", 0x0A, W::Bool8, 2},  {"DRIVE.uiDacOutA", 0x0C, W::U16, 1},
    {"DRIVE.uiDacOutB", 0x0E, W::U16, 1},      {"DRIVE.bMovePos/Neg", 0x10, W::Bool8, 2},
};
constexpr ImageField kDriveDevInFields[] = {
    {"ENC.uiCount", 0x0C, W::U16, 1},
    {"DRIVE.DevState", 0x10, W::U8, 4},
};
constexpr ImageField kDriveDevOutFields[] = {
    {"DRIVE.DevCtrl", 0x00, W::U8, 4},
    {"DRIVE.nDacOut", 0x08, W::I16, 1},
    {"DRIVE.bPowerOn", 0x12, W::Bool8, 1},
};
constexpr ImageField kDevInFields[] = {
    {"DEV_IN.udiCount", 0x00, W::U32, 1},      {"DEV_IN.DriveError", 0x08, W::I32, 1},
    {"DEV_IN.uiCount", 0x18, W::U16, 1},       {"DEV_IN.uiLatch", 0x1A, W::U16, 1},
    {"DEV_IN.uiPZDL_Reg.", 0x1C, W::U16, 1},   {"DEV_IN.uiPZDH", 0x1E, W::U16, 1},
    {"DEV_IN.uiTerm.Data", 0x20, W::U16, 1},   {"DEV_IN.uiTerm.Status", 0x22, W::U16, 1},
    {"DEV_IN.ActualPos", 0x24, W::I32, 1},     {"DEV_IN.DriveDevSt.", 0x28, W::U16, 1},
    {"DEV_IN.EncDevSt.", 0x2A, W::U16, 1},     {"DEV_IN.DriveBoxSt.", 0x2C, W::U16, 1},
    {"DEV_IN.EncBoxSt.", 0x2E, W::U16, 1},     {"DEV_IN.DriveState", 0x30, W::U16, 1},
    {"DEV_IN.bTerm.State", 0x4C, W::Bool8, 1}, {"DEV_IN.usiStatus", 0x4F, W::U8, 1},
    {"DEV_IN.usiRegStatus", 0x50, W::U8, 1},   {"DEV_IN.bDigIn A/B", 0x58, W::Bool8, 2},
    {"DEV_IN.bDigCam", 0x5A, W::Bool8, 4},     {"DEV_IN.DriveWcSt.", 0x5E, W::U8, 1},
    {"DEV_IN.EncWcSt.", 0x5F, W::U8, 1},       {"DEV_IN.PwrOk+Enack", 0x60, W::Bool8, 2},
};
constexpr ImageField kDevOutFields[] = {
    {"DEVOUT.NomVelo", 0x00, W::I32, 1},   {"DEVOUT.nDacOut", 0x10, W::I16, 1},
    {"DEVOUT.uiCount", 0x12, W::U16, 1},   {"DEVOUT.DacOutA", 0x14, W::U16, 1},
    {"DEVOUT.DacOutB", 0x16, W::U16, 1},   {"DEVOUT.DriveCtrl", 0x28, W::U8, 4},
    {"DEVOUT.bDigOut", 0x38, W::Bool8, 4}, {"DEVOUT.Move", 0x3C, W::Bool8, 3},
    {"DEVOUT.Pwr+Ena", 0x40, W::Bool8, 4},
};

struct RecordDef {
  IoRecordInfo info;
  size_t imageSize;
  std::span<const ImageLayout> layouts;
};

// Results of a version without a layout.
constexpr int32_t kClearedOk = 0;
constexpr int32_t kDevOutMissing = -2;

const RecordDef kRecords[kIoRecordCount] = {
    {{"EncoderInRecord", 16, 5, kClearedOk, kEncoderInFields}, EncoderInRecord::kSize, kEncoderIn},
    {{"EncoderOutRecord", 17, 6, kClearedOk, kEncoderOutFields},
     EncoderOutRecord::kSize,
     kEncoderOut},
    {{"DriveInRecord", 18, 7, kClearedOk, kDriveInFields}, DriveInRecord::kSize, kDriveIn},
    {{"DriveOutRecord", 19, 8, kClearedOk, kDriveOutFields}, DriveOutRecord::kSize, kDriveOut},
    {{"DriveDevInRecord", 20, 7, kClearedOk, kDriveDevInFields},
     DriveDevInRecord::kSize,
     kDriveDevIn},
    {{"DriveDevOutRecord", 21, 8, kClearedOk, kDriveDevOutFields},
     DriveDevOutRecord::kSize,
     kDriveDevOut},
    {{"DevInRecord", 22, 11, oxa::kErrLayoutUnsupported, kDevInFields}, DevInRecord::kSize, kDevIn},
    {{"DevOutRecord", 23, 12, kDevOutMissing, kDevOutFields}, DevOutRecord::kSize, kDevOut},
};

constexpr size_t kMaxImage = DevInRecord::kSize;

const RecordDef& Def(IoRecordId id) {
  const auto i = static_cast<size_t>(id);
  return kRecords[i < kIoRecordCount ? i : 0];
}

const ImageLayout* FindLayout(IoRecordId id, int16_t layout) {
  for (const auto& l : Def(id).layouts) {
    if (l.version == layout) return &l;
  }
  return nullptr;
}

}  // namespace

const IoRecordInfo& IoInfo(IoRecordId id) {
  return Def(id).info;
}

std::span<uint8_t> IoBytes(IoRecords& io, IoRecordId id) {
  switch (id) {
    case IoRecordId::EncoderIn:
      return io.encoderIn.bytes;
    case IoRecordId::EncoderOut:
      return io.encoderOut.bytes;
    case IoRecordId::DriveIn:
      return io.driveIn.bytes;
    case IoRecordId::DriveOut:
      return io.driveOut.bytes;
    case IoRecordId::DriveDevIn:
      return io.driveDevIn.bytes;
    case IoRecordId::DriveDevOut:
      return io.driveDevOut.bytes;
    case IoRecordId::DevIn:
      return io.devIn.bytes;
    case IoRecordId::DevOut:
      return io.devOut.bytes;
  }
  return {};
}

std::span<const uint8_t> IoBytes(const IoRecords& io, IoRecordId id) {
  return IoBytes(const_cast<IoRecords&>(io), id);
}

uint32_t IoBlockLength(IoRecordId id, int16_t layout) {
  const ImageLayout* l = FindLayout(id, layout);
  return l == nullptr ? 0 : l->length;
}

bool DecodeIoBlock(IoRecordId id, int16_t layout, std::span<const uint8_t> block,
                   std::span<uint8_t> image) {
  const ImageLayout* l = FindLayout(id, layout);
  if (l == nullptr || block.size() < l->length || image.size() != Def(id).imageSize) return false;
  if (l->moves.empty()) {
    std::copy_n(block.begin(), image.size(), image.begin());
    return true;
  }
  for (const Move& m : l->moves) {
    const auto dst = image.subspan(m.dst, m.len);
    if (m.src == kZero) {
      std::fill(dst.begin(), dst.end(), uint8_t{0});
    } else {
      const auto src = block.subspan(static_cast<size_t>(m.src), m.len);
      std::copy(src.begin(), src.end(), dst.begin());
    }
  }
  return true;
}

bool EncodeIoBlock(IoRecordId id, int16_t layout, std::span<const uint8_t> image,
                   std::span<uint8_t> block) {
  const ImageLayout* l = FindLayout(id, layout);
  if (l == nullptr || block.size() < l->length || image.size() != Def(id).imageSize) return false;
  if (l->moves.empty()) {
    std::copy(image.begin(), image.end(), block.begin());
    return true;
  }
  for (const Move& m : l->moves) {
    if (m.src == kZero) continue;
    const auto src = image.subspan(m.dst, m.len);
    std::copy(src.begin(), src.end(), block.begin() + m.src);
  }
  return true;
}

int32_t ReadIoRecord(const AxisLink& link, IoRecordId id, IoRecords& io) {
  const RecordDef& def = Def(id);
  const int16_t layout = link.versions[def.info.versionWord];
  const uint32_t length = IoBlockLength(id, layout);
  if (length == 0) {
    // A drive-device image without a layout clears itself, like every other image. Clearing
    // the encoder images here instead would wipe the encoder values just read on the same
    // tick and leave a previous axis's drive-device bytes on the I/O page.
    auto image = IoBytes(io, id);
    std::fill(image.begin(), image.end(), uint8_t{0});
    return def.info.missingResult;
  }
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  std::array<uint8_t, kMaxImage> block{};
  const int32_t rc = link.oxa->OxaSyncReadReq(&link.addr, RecordGroup(link.axis),
                                              def.info.indexOffset, length, block.data());
  if (rc != oxa::kOk) return rc;
  DecodeIoBlock(id, layout, std::span<const uint8_t>(block.data(), length), IoBytes(io, id));
  return oxa::kOk;
}

// Every move of every layout stays inside its block and its image.
constexpr bool LayoutsFit(std::span<const ImageLayout> layouts, size_t imageSize) {
  for (const auto& l : layouts) {
    if (l.moves.empty() && l.length != imageSize) return false;
    if (l.length > kMaxImage) return false;
    for (const Move& m : l.moves) {
      if (m.dst + m.len > imageSize) return false;
      if (m.src != kZero && static_cast<size_t>(m.src) + m.len > l.length) return false;
    }
  }
  return true;
}
constexpr bool FieldsFit(std::span<const ImageField> fields, size_t imageSize) {
  for (const auto& f : fields) {
    if (f.offset + WireSize(f.type) * f.count > imageSize) return false;
  }
  return true;
}
static_assert(FieldsFit(kEncoderInFields, EncoderInRecord::kSize));
static_assert(FieldsFit(kEncoderOutFields, EncoderOutRecord::kSize));
static_assert(FieldsFit(kDriveInFields, DriveInRecord::kSize));
static_assert(FieldsFit(kDriveOutFields, DriveOutRecord::kSize));
static_assert(FieldsFit(kDriveDevInFields, DriveDevInRecord::kSize));
static_assert(FieldsFit(kDriveDevOutFields, DriveDevOutRecord::kSize));
static_assert(FieldsFit(kDevInFields, DevInRecord::kSize));
static_assert(FieldsFit(kDevOutFields, DevOutRecord::kSize));
static_assert(LayoutsFit(kEncoderIn, EncoderInRecord::kSize));
static_assert(LayoutsFit(kEncoderOut, EncoderOutRecord::kSize));
static_assert(LayoutsFit(kDriveIn, DriveInRecord::kSize));
static_assert(LayoutsFit(kDriveOut, DriveOutRecord::kSize));
static_assert(LayoutsFit(kDriveDevIn, DriveDevInRecord::kSize));
static_assert(LayoutsFit(kDriveDevOut, DriveDevOutRecord::kSize));
static_assert(LayoutsFit(kDevIn, DevInRecord::kSize));
static_assert(LayoutsFit(kDevOut, DevOutRecord::kSize));

}  // namespace model
