#include <gtest/gtest.h>

#include <string>

#include "RuntimeFake.h"
#include "model/AxisRef.h"

namespace {

using model::AxisRefRecord;
using rttest::Poke;

std::string Name(const AxisRefRecord& r) {
  return std::string(r.AxisRefName.data());
}

struct Read {
  int32_t rc;
  AxisRefRecord rec;
  model::RuntimeRecord runtime;
};

Read ReadBlock(int16_t layout, const std::vector<uint8_t>& block) {
  rttest::FakeServer server;
  server.blocks[0] = block;
  auto link = rttest::Link(server);
  link.versions[0] = layout;
  Read out{};
  out.rec.RefFlags.fill(true);
  out.runtime.AxisState = 77;
  out.rc = model::ReadAxisRef(link, out.rec, out.runtime);
  return out;
}

TEST(AxisRef, LayoutZeroHasNoFeatureLevelAndTwoWordFlags) {
  std::vector<uint8_t> block(130, 'A');  // an unterminated name over all 81 bytes
  Poke(block, 0x6D, uint32_t{0x01000000});
  Poke(block, 0x71, uint32_t{0});
  Poke(block, 0x7A, int16_t{0x0203});
  Poke(block, 0x7C, int16_t{-2});
  Poke(block, 0x7E, int32_t{0x4711});
  const Read r = ReadBlock(0, block);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Name(r.rec), std::string(80, 'A'));
  EXPECT_EQ(r.rec.AxisStateCode, 0x0203);
  EXPECT_EQ(r.runtime.AxisState, 0x0203);
  EXPECT_EQ(r.rec.InitState, -2);
  EXPECT_EQ(r.rec.InitError, 0x4711);
  EXPECT_EQ(r.rec.FeatureLevel, -1);
  const std::array<bool, 8> flags{false, true, false, false, false, false, false, false};
  EXPECT_EQ(r.rec.RefFlags, flags);
}

TEST(AxisRef, LayoutFourCarriesDevIoAndLinTabWords) {
  std::vector<uint8_t> block(136, 0);
  const std::string name = "Press 1";
  std::copy(name.begin(), name.end(), block.begin());
  Poke(block, 0x51, uint32_t{1});
  Poke(block, 0x55, uint32_t{0x00010000});  // HasDevIo: any non-zero word
  Poke(block, 0x59, uint32_t{0});
  Poke(block, 0x5D, uint32_t{0});
  Poke(block, 0x61, uint32_t{0xFFFFFFFF});  // HasLinTab
  Poke(block, 0x6A, int16_t{12});
  Poke(block, 0x6C, int16_t{3});
  Poke(block, 0x6E, int32_t{-1});
  Poke(block, 0x72, int16_t{3});
  const Read r = ReadBlock(4, block);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Name(r.rec), name);
  EXPECT_EQ(r.rec.AxisStateCode, 12);
  EXPECT_EQ(r.runtime.AxisState, 12);
  EXPECT_EQ(r.rec.InitState, 3);
  EXPECT_EQ(r.rec.InitError, -1);
  EXPECT_EQ(r.rec.FeatureLevel, 3);
  const std::array<bool, 8> flags{true, false, false, true, false, false, true, false};
  EXPECT_EQ(r.rec.RefFlags, flags);
  EXPECT_TRUE(r.rec.HasDevIo());
  EXPECT_TRUE(r.rec.HasLinTab());
}

TEST(AxisRef, LayoutSixHasALongerName) {
  std::vector<uint8_t> block(152, 'n');
  for (size_t off = 0x54; off <= 0x6B; ++off) block[off] = 0;
  Poke(block, 0x58, uint32_t{1});
  Poke(block, 0x68, uint32_t{1});
  Poke(block, 0x78, int16_t{-5});
  Poke(block, 0x7A, int16_t{6});
  Poke(block, 0x7C, int32_t{0x10000});
  Poke(block, 0x80, int16_t{2});
  const Read r = ReadBlock(6, block);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Name(r.rec), std::string(83, 'n'));
  EXPECT_EQ(r.rec.AxisStateCode, -5);
  EXPECT_EQ(r.rec.InitState, 6);
  EXPECT_EQ(r.rec.InitError, 0x10000);
  EXPECT_EQ(r.rec.FeatureLevel, 2);
  const std::array<bool, 8> flags{false, false, false, true, false, false, false, true};
  EXPECT_EQ(r.rec.RefFlags, flags);
}

TEST(AxisRef, LayoutFortyHasFixedComponents) {
  std::vector<uint8_t> block(256, 0xFF);  // every word non-zero: the flags must not follow it
  Poke(block, 0xE0, int16_t{40});
  Poke(block, 0xE2, int16_t{1});
  Poke(block, 0xE4, int32_t{0});
  Poke(block, 0xE8, int16_t{4});
  const Read r = ReadBlock(40, block);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Name(r.rec).size(), 83u);
  EXPECT_EQ(r.rec.AxisStateCode, 40);
  EXPECT_EQ(r.rec.InitState, 1);
  EXPECT_EQ(r.rec.InitError, 0);
  EXPECT_EQ(r.rec.FeatureLevel, 4);
  const std::array<bool, 8> flags{true, false, false, false, false, true, true, true};
  EXPECT_EQ(r.rec.RefFlags, flags);
  EXPECT_TRUE(r.rec.HasLinTab());
  EXPECT_FALSE(r.rec.HasDevIo());
}

TEST(AxisRef, UnknownLayoutOrFailedReadLeavesRecord) {
  for (int16_t layout : {int16_t{7}, int16_t{-1}, int16_t{39}}) {
    rttest::FakeServer server;
    auto link = rttest::Link(server);
    link.versions[0] = layout;
    AxisRefRecord rec;
    rec.AxisStateCode = 8;
    model::RuntimeRecord runtime;
    runtime.AxisState = 2;
    EXPECT_EQ(model::ReadAxisRef(link, rec, runtime), -1);
    EXPECT_TRUE(server.calls.empty());
    EXPECT_EQ(rec.AxisStateCode, 8);
    EXPECT_EQ(runtime.AxisState, 2);
  }
  rttest::FakeServer server;
  server.readError = oxa::kErrTimeout;
  auto link = rttest::Link(server);
  link.versions[0] = 5;
  AxisRefRecord rec;
  rec.AxisStateCode = 8;
  model::RuntimeRecord runtime;
  runtime.AxisState = 2;
  EXPECT_EQ(model::ReadAxisRef(link, rec, runtime), oxa::kErrTimeout);
  EXPECT_EQ(rec.AxisStateCode, 8);
  EXPECT_EQ(runtime.AxisState, 2);
  ASSERT_EQ(server.calls.size(), 1u);
  EXPECT_EQ(server.calls[0].length, 146u);
  EXPECT_EQ(server.calls[0].offset, 0u);
}

TEST(AxisRef, ResetSetsStateAndFeatureToMinusOne) {
  AxisRefRecord rec;
  rec.AxisStateCode = 3;
  rec.FeatureLevel = 5;
  rec.InitState = 2;
  rec.InitError = 9;
  model::ResetAxisRefRecord(rec);
  EXPECT_EQ(rec.AxisStateCode, -1);
  EXPECT_EQ(rec.FeatureLevel, -1);
  EXPECT_EQ(rec.InitState, 0);
  EXPECT_EQ(rec.InitError, 0);
}

}  // namespace
