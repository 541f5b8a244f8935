#include <gtest/gtest.h>

#include "RuntimeFake.h"
#include "model/ProcessImage.h"

namespace {

using model::IoRecordId;
using model::IoRecords;

void Fill(IoRecords& io, uint8_t v) {
  for (size_t i = 0; i < model::kIoRecordCount; ++i) {
    auto b = model::IoBytes(io, static_cast<IoRecordId>(i));
    std::fill(b.begin(), b.end(), v);
  }
}

bool All(std::span<const uint8_t> b, uint8_t v) {
  return std::all_of(b.begin(), b.end(), [v](uint8_t x) { return x == v; });
}

// Word of the version table and what a version without a layout does, by record.
TEST(IoRecords, VersionWithoutLayoutClearsAndAnswers) {
  struct Case {
    IoRecordId id;
    size_t word;
    int16_t version;
    int32_t result;
    std::vector<IoRecordId> cleared;
  };
  const Case cases[] = {
      {IoRecordId::EncoderIn, 5, 3, 0, {IoRecordId::EncoderIn}},
      {IoRecordId::EncoderOut, 6, 2, 0, {IoRecordId::EncoderOut}},
      {IoRecordId::DriveIn, 7, 3, 0, {IoRecordId::DriveIn}},
      {IoRecordId::DriveOut, 8, 1, 0, {IoRecordId::DriveOut}},
      {IoRecordId::DriveDevIn, 7, 0, 0, {IoRecordId::DriveDevIn}},
      {IoRecordId::DriveDevOut, 8, 2, 0, {IoRecordId::DriveDevOut}},
      {IoRecordId::DevIn, 11, 0, -1, {IoRecordId::DevIn}},
      {IoRecordId::DevOut, 12, 0, -2, {IoRecordId::DevOut}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(model::IoInfo(c.id).name);
    rttest::FakeServer server;
    auto link = rttest::Link(server);
    link.versions.fill(1);
    link.versions[c.word] = c.version;
    IoRecords io;
    Fill(io, 0x5A);
    EXPECT_EQ(model::ReadIoRecord(link, c.id, io), c.result);
    EXPECT_TRUE(server.calls.empty());
    for (size_t i = 0; i < model::kIoRecordCount; ++i) {
      const auto id = static_cast<IoRecordId>(i);
      const bool cleared = std::find(c.cleared.begin(), c.cleared.end(), id) != c.cleared.end();
      EXPECT_TRUE(All(model::IoBytes(io, id), cleared ? 0 : 0x5A)) << model::IoInfo(id).name;
    }
  }
}

TEST(IoRecords, NewestLayoutIsCopiedByteForByte) {
  struct Case {
    IoRecordId id;
    uint32_t offset;
    size_t word;
    int16_t version;
    size_t length;
  };
  const Case cases[] = {
      {IoRecordId::EncoderIn, 16, 5, 5, 45},  {IoRecordId::EncoderOut, 17, 6, 1, 26},
      {IoRecordId::DriveIn, 18, 7, 2, 24},    {IoRecordId::DriveOut, 19, 8, 6, 41},
      {IoRecordId::DriveDevIn, 20, 7, 1, 37}, {IoRecordId::DriveDevOut, 21, 8, 1, 26},
      {IoRecordId::DevIn, 22, 11, 2, 152},    {IoRecordId::DevOut, 23, 12, 2, 120},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(model::IoInfo(c.id).name);
    std::vector<uint8_t> block(c.length);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 1);
    rttest::FakeServer server;
    server.blocks[c.offset] = block;
    auto link = rttest::Link(server);
    link.versions[c.word] = c.version;
    IoRecords io;
    ASSERT_EQ(model::ReadIoRecord(link, c.id, io), 0);
    const auto image = model::IoBytes(io, c.id);
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.end()), block);

    server.readError = oxa::kErrTimeout;
    IoRecords before;
    Fill(before, 0x33);
    EXPECT_EQ(model::ReadIoRecord(link, c.id, before), oxa::kErrTimeout);
    EXPECT_TRUE(All(model::IoBytes(before, c.id), 0x33));
  }
}

// Reads `block` as `layout` of `id` into an image filled with 0xEE.
std::vector<uint8_t> Convert(IoRecordId id, size_t word, int16_t layout,
                             const std::vector<uint8_t>& block) {
  rttest::FakeServer server;
  server.blocks[model::IoInfo(id).indexOffset] = block;
  auto link = rttest::Link(server);
  link.versions[word] = layout;
  IoRecords io;
  Fill(io, 0xEE);
  EXPECT_EQ(model::ReadIoRecord(link, id, io), 0);
  const auto image = model::IoBytes(io, id);
  return {image.begin(), image.end()};
}

std::vector<uint8_t> Numbered(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(0x80 + i);
  return b;
}

// Each entry: canonical offset, byte count, block offset (-1: set to 0).
struct Move {
  size_t dst, len;
  int src;
};

void ExpectMoves(const std::vector<uint8_t>& image, const std::vector<uint8_t>& block,
                 const std::vector<Move>& moves) {
  std::vector<bool> touched(image.size(), false);
  for (const Move& m : moves) {
    for (size_t i = 0; i < m.len; ++i) {
      const uint8_t want = m.src < 0 ? 0 : block[static_cast<size_t>(m.src) + i];
      EXPECT_EQ(image[m.dst + i], want) << "canonical 0x" << std::hex << m.dst + i;
      touched[m.dst + i] = true;
    }
  }
  for (size_t i = 0; i < image.size(); ++i) {
    if (!touched[i]) {
      EXPECT_EQ(image[i], 0xEE) << "kept 0x" << std::hex << i;
    }
  }
}

TEST(IoRecords, OlderLayoutsMoveFieldByField) {
  struct Case {
    IoRecordId id;
    size_t word;
    int16_t layout;
    size_t length;
    std::vector<Move> moves;
  };
  const Case cases[] = {
      {IoRecordId::EncoderIn,
       5,
       4,
       36,
       {{0x00, 5, 0x00}, {0x05, 4, -1}, {0x09, 4, 0x05}, {0x0D, 7, 0x09}, {0x14, 5, -1}}},
      {IoRecordId::EncoderOut, 6, 0, 1, {{0x00, 1, 0x00}, {0x01, 5, -1}}},
      {IoRecordId::DriveIn, 7, 0, 3, {{0x00, 3, 0x00}}},
      {IoRecordId::DriveIn, 7, 1, 23, {{0x00, 3, 0x00}, {0x03, 5, -1}}},
      {IoRecordId::DriveOut, 8, 0, 12, {{0x00, 12, 0x00}, {0x0C, 8, -1}}},
      {IoRecordId::DriveOut, 8, 4, 18, {{0x00, 18, 0x00}, {0x12, 2, -1}}},
      {IoRecordId::DriveOut, 8, 5, 40, {{0x00, 20, 0x00}, {0x14, 5, -1}}},
      {IoRecordId::DevIn,
       11,
       1,
       143,
       {{0x00, 4, 0x0A}, {0x08, 4, 0x1B}, {0x18, 2, 0x00}, {0x1A, 2, 0x02}, {0x1C, 2, 0x05},
        {0x1E, 2, 0x07}, {0x20, 2, 0x11}, {0x22, 2, 0x13}, {0x24, 2, 0x1F}, {0x26, 2, 0x21},
        {0x28, 2, 0x5F}, {0x2A, 2, 0x62}, {0x2C, 2, 0x65}, {0x2E, 2, 0x67}, {0x30, 2, 0x0E},
        {0x39, 7, 0x6A}, {0x41, 7, 0x73}, {0x48, 4, 0x23}, {0x4C, 1, 0x10}, {0x4D, 1, 0x71},
        {0x4E, 1, 0x7A}, {0x4F, 1, 0x04}, {0x50, 1, 0x09}, {0x58, 6, 0x15}, {0x5E, 1, 0x61},
        {0x5F, 1, 0x64}, {0x60, 1, 0x5E}, {0x61, 1, 0x5D}}},
      {IoRecordId::DevOut,
       12,
       1,
       104,
       {{0x00, 4, 0x14},
        {0x10, 2, 0x00},
        {0x12, 2, 0x06},
        {0x14, 2, 0x08},
        {0x16, 2, 0x0A},
        {0x18, 2, 0x52},
        {0x1A, 2, 0x4F},
        {0x1C, 2, 0x18},
        {0x28, 4, 0x10},
        {0x2C, 1, 0x4D},
        {0x2D, 1, 0x4C},
        {0x2E, 1, 0x51},
        {0x38, 4, 0x02},
        {0x3C, 4, 0x0C},
        {0x40, 1, 0x4A},
        {0x41, 1, 0x4B},
        {0x42, 1, 0x49},
        {0x43, 1, 0x48}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(model::IoInfo(c.id).name) + " layout " + std::to_string(c.layout));
    const auto block = Numbered(c.length);
    ExpectMoves(Convert(c.id, c.word, c.layout, block), block, c.moves);
  }
}

}  // namespace
