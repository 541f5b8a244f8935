// The process images of the I/O page: encoder and drive terminals and the device interface.
//
// Every canonical record is the byte image of the record's newest controller layout, so the
// newest block is taken over byte for byte and older blocks are moved into it piece by piece.
// The fields a page shows are listed as data (label, offset, type) and read with Field().
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "model/Layout.h"
#include "model/Link.h"

namespace model {

template <size_t N>
struct ImageRecord {
  static constexpr size_t kSize = N;
  std::array<uint8_t, N> bytes{};

  void Clear() { bytes.fill(0); }
  // The little-endian value at `offset`; 0 outside the image.
  template <class T>
  T Field(size_t offset) const {
    T v{};
    oxa::bytes::Get(std::span<const uint8_t>(bytes), offset, v);
    return v;
  }
  friend bool operator==(const ImageRecord&, const ImageRecord&) = default;
};

struct EncoderInRecord : ImageRecord<45> {};
struct EncoderOutRecord : ImageRecord<26> {};
struct DriveInRecord : ImageRecord<24> {};
struct DriveOutRecord : ImageRecord<41> {};
struct DriveDevInRecord : ImageRecord<37> {};
struct DriveDevOutRecord : ImageRecord<26> {};
struct DevInRecord : ImageRecord<152> {};
struct DevOutRecord : ImageRecord<120> {};

// The eight process images of the current axis, as the document holds them.
struct IoRecords {
  EncoderInRecord encoderIn;
  EncoderOutRecord encoderOut;
  DriveInRecord driveIn;
  DriveOutRecord driveOut;
  DriveDevInRecord driveDevIn;
  DriveDevOutRecord driveDevOut;
  DevInRecord devIn;
  DevOutRecord devOut;
};

enum class IoRecordId : uint8_t {
  EncoderIn,
  EncoderOut,
  DriveIn,
  DriveOut,
  DriveDevIn,
  DriveDevOut,
  DevIn,
  DevOut,
};
inline constexpr size_t kIoRecordCount = 8;

// One shown field of a process image: `count` consecutive elements of `type` from `offset`.
struct ImageField {
  std::string_view label;
  uint16_t offset;
  WireType type;
  uint16_t count;
};

// Where a record lives and how its layouts are read.
struct IoRecordInfo {
  std::string_view name;  // "EncoderInRecord", ...
  uint32_t indexOffset;   // in index group 0x8000F000 + n
  size_t versionWord;     // index into the record version table
  int32_t missingResult;  // result of a version without a layout
  std::span<const ImageField> fields;
};
const IoRecordInfo& IoInfo(IoRecordId id);

// The canonical bytes of record `id` in `io`.
std::span<uint8_t> IoBytes(IoRecords& io, IoRecordId id);
std::span<const uint8_t> IoBytes(const IoRecords& io, IoRecordId id);

// Block length of record `id` in layout `layout`, 0 for a version without a layout.
uint32_t IoBlockLength(IoRecordId id, int16_t layout);
// Moves a block of `layout` into the canonical image; false (image untouched) for a version
// without a layout or a short block.
bool DecodeIoBlock(IoRecordId id, int16_t layout, std::span<const uint8_t> block,
                   std::span<uint8_t> image);
// The inverse, for a server: writes what `layout` carries of the canonical image into `block`.
bool EncodeIoBlock(IoRecordId id, int16_t layout, std::span<const uint8_t> image,
                   std::span<uint8_t> block);

// Reads one record of link's axis. A version without a layout sends nothing and does what the
// record's directory entry says: encoder-terminal and drive-terminal images are cleared with
// result 0, the drive-device images clear the encoder-input and encoder-output images with
// result 0, DevIn is cleared with -1 and DevOut with -2. A failed request returns its code and
// leaves the image unchanged.
int32_t ReadIoRecord(const AxisLink& link, IoRecordId id, IoRecords& io);

inline int32_t ReadEncoderIn(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::EncoderIn, io);
}
inline int32_t ReadEncoderOut(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::EncoderOut, io);
}
inline int32_t ReadDriveIn(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::DriveIn, io);
}
inline int32_t ReadDriveOut(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::DriveOut, io);
}
inline int32_t ReadDriveDevIn(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::DriveDevIn, io);
}
inline int32_t ReadDriveDevOut(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::DriveDevOut, io);
}
inline int32_t ReadDevIn(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::DevIn, io);
}
inline int32_t ReadDevOut(const AxisLink& l, IoRecords& io) {
  return ReadIoRecord(l, IoRecordId::DevOut, io);
}

}  // namespace model
