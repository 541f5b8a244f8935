// The StParam block layouts against blocks built byte by byte from the layout tables, written
// out here independently of the library's own table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ParamFake.h"
#include "model/ParamLayouts.h"
#include "model/ParamRecord.h"
#include "model/ParamWrite.h"

namespace {

using model::ParamField;
using model::ParamRecord;
using model::ParamType;

constexpr int kZ = -1;    // read sets 0
constexpr int kK = -2;    // read keeps
constexpr int kOne = -3;  // read sets 1 / 1.0

struct Expect {
  const char* name;
  int where;
};

// clang-format off
// Layout 0.
const std::vector<Expect> kLayout0 = {
    {"OverlapCompensation", 0x53}, {"OverlapCompensation2", 0x53}, {"BendPointVelo", 0x5b}, {"BendPointOutput", 0x63}, {"ResponseTime", kZ}, {"AreaA", kZ}, {"AreaB", kZ}, {"ValveSpare1", kZ}, {"ValveSpare2", kZ}, {"ZeroOffset", 0x6f}, {"EncoderWeighting", 0x77}, {"EncoderIncInterpolation", kOne}, {"IndexSearchVelo", 0x7f}, {"SyncSearchVelo", 0x88}, {"DefaultHomePos", kZ}, {"BaseDistance", kK}, {"ModuloBase", kK}, {"EncoderType", 0x6b}, {"ReferenceMode", 0x6d}, {"OverrunThreshold", kK}, {"PositionMask", kK}, {"ZeroSwap", kK}, {"IndexSearchPositive", 0x87}, {"SyncSearchPositive", 0x90}, {"EncoderInverted", kZ}, {"TimeBased", kZ}, {"ProfileType", 0x51}, {"JerkEnabled", kK}, {"AuxWord", kOne}, {"PosAccEnabled", 0xc5}, {"MaxLagEnabled", kK}, {"CycleTime", 0x91}, {"ReferenceVelo", 0x9b}, {"VeloRatio", 0xa3}, {"DriveType", 0x99}, {"VeloRatioInverted", kZ}, {"DefaultPowerOk", kK}, {"AbsoluteOutput", kZ}, {"SoftEndMinEnabled", 0xab}, {"SoftEndMaxEnabled", 0xb4}, {"Asymmetric", kZ}, {"CtrlLoopOnError", kK}, {"BrakeDistanceAuto", kK}, {"OutputWeighting", kZ}, {"OutputIncInterpolation", kZ}, {"SoftEndMin", 0xac}, {"SoftEndMax", 0xb5}, {"CreepSpeed", 0xde}, {"CreepDistance", 0xe6}, {"CreepSpeedAsym", 0xde}, {"CreepDistanceAsym", 0xe6}, {"BrakeDistance", 0xee}, {"BrakeDeadTime", 0xf6}, {"BrakeDistanceAsym", 0xee}, {"BrakeDeadTimeAsym", 0xf6}, {"StartRamp", 0xbd}, {"PosAccDistance", 0xc6}, {"Acceleration", 0xce}, {"Deceleration", 0xd6}, {"EmergencyRamp", 0xfe}, {"StopRamp", 0x106}, {"LagKp", 0x10e}, {"LagDx", kZ}, {"LagTi", kZ}, {"LagWuLimit", kZ}, {"LagOutLimit", kZ}, {"VeloKp", kZ}, {"VeloDx", kZ}, {"VeloTi", kZ}, {"VeloWuLimit", kZ}, {"VeloOutLimit", kZ}, {"PreFeed", kK}, {"MaxLag", kK}, {"MaxLagFilter", kZ}, {"DynLagFilter", kZ}, {"OffsetCompensation", 0x126}, {"ClampingOutput", 0x12e}, {"ReposDistance", 0x136}, {"PosRange", 0x13e}, {"TargetRange", 0x146}, {"TargetFilter", 0x14e}, {"JogFast", 0x156}, {"JogSlow", 0x15e}, {"MaxApplSpeed", 0x166}, {"MaxApplAcc", 0x16e}, {"MaxApplDec", 0x176}, {"MaxApplJerk", kZ}, {"BrakeDelayOn", kZ}, {"BrakeDelayOff", kZ}, {"BrakeDelaySafety", kZ}, {"AuxData", 0x17e}, {"PehFilter", kZ}, {"PehEnabled", kZ}, {"PotRpRl", kZ}};

// Layout 4.
const std::vector<Expect> kLayout4 = {
    {"OverlapCompensation", 0x102}, {"OverlapCompensation2", 0x102}, {"BendPointVelo", 0x10a}, {"BendPointOutput", 0x112}, {"ResponseTime", kZ}, {"AreaA", kZ}, {"AreaB", kZ}, {"ValveSpare1", kZ}, {"ValveSpare2", kZ}, {"ZeroOffset", 0x11e}, {"EncoderWeighting", 0x126}, {"EncoderIncInterpolation", kOne}, {"IndexSearchVelo", 0x12e}, {"SyncSearchVelo", 0x137}, {"DefaultHomePos", 0x140}, {"BaseDistance", kK}, {"ModuloBase", kK}, {"EncoderType", 0x11a}, {"ReferenceMode", 0x11c}, {"OverrunThreshold", kK}, {"PositionMask", kK}, {"ZeroSwap", kK}, {"IndexSearchPositive", 0x136}, {"SyncSearchPositive", 0x13f}, {"EncoderInverted", kZ}, {"TimeBased", kZ}, {"ProfileType", 0x100}, {"JerkEnabled", kK}, {"AuxWord", kOne}, {"PosAccEnabled", 0x17c}, {"MaxLagEnabled", kK}, {"CycleTime", 0x148}, {"ReferenceVelo", 0x152}, {"VeloRatio", 0x15a}, {"DriveType", 0x150}, {"VeloRatioInverted", kZ}, {"DefaultPowerOk", kK}, {"AbsoluteOutput", kZ}, {"SoftEndMinEnabled", 0x162}, {"SoftEndMaxEnabled", 0x16b}, {"Asymmetric", kZ}, {"CtrlLoopOnError", kK}, {"BrakeDistanceAuto", kK}, {"OutputWeighting", kZ}, {"OutputIncInterpolation", kZ}, {"SoftEndMin", 0x163}, {"SoftEndMax", 0x16c}, {"CreepSpeed", 0x195}, {"CreepDistance", 0x19d}, {"CreepSpeedAsym", 0x195}, {"CreepDistanceAsym", 0x19d}, {"BrakeDistance", 0x1a5}, {"BrakeDeadTime", 0x1ad}, {"BrakeDistanceAsym", 0x1a5}, {"BrakeDeadTimeAsym", 0x1ad}, {"StartRamp", 0x174}, {"PosAccDistance", 0x17d}, {"Acceleration", 0x185}, {"Deceleration", 0x18d}, {"EmergencyRamp", 0x1b5}, {"StopRamp", 0x1bd}, {"LagKp", 0x1c5}, {"LagDx", kZ}, {"LagTi", kZ}, {"LagWuLimit", kZ}, {"LagOutLimit", kZ}, {"VeloKp", kZ}, {"VeloDx", kZ}, {"VeloTi", kZ}, {"VeloWuLimit", kZ}, {"VeloOutLimit", kZ}, {"PreFeed", kK}, {"MaxLag", kK}, {"MaxLagFilter", kZ}, {"DynLagFilter", kZ}, {"OffsetCompensation", 0x1dd}, {"ClampingOutput", 0x1e5}, {"ReposDistance", 0x1ed}, {"PosRange", 0x1f5}, {"TargetRange", 0x1fd}, {"TargetFilter", 0x205}, {"JogFast", 0x20d}, {"JogSlow", 0x215}, {"MaxApplSpeed", 0x21d}, {"MaxApplAcc", 0x225}, {"MaxApplDec", 0x22d}, {"MaxApplJerk", kZ}, {"BrakeDelayOn", kZ}, {"BrakeDelayOff", kZ}, {"BrakeDelaySafety", kZ}, {"AuxData", 0x235}, {"PehFilter", kZ}, {"PehEnabled", kZ}, {"PotRpRl", kZ}};

// Layout 9.
const std::vector<Expect> kLayout9 = {
    {"OverlapCompensation", 0x105}, {"OverlapCompensation2", 0x105}, {"BendPointVelo", 0x10d}, {"BendPointOutput", 0x115}, {"ResponseTime", kZ}, {"AreaA", 0x11d}, {"AreaB", 0x125}, {"ValveSpare1", 0x12d}, {"ValveSpare2", 0x135}, {"ZeroOffset", 0x141}, {"EncoderWeighting", 0x149}, {"EncoderIncInterpolation", 0x151}, {"IndexSearchVelo", 0x159}, {"SyncSearchVelo", 0x162}, {"DefaultHomePos", 0x16b}, {"BaseDistance", kK}, {"ModuloBase", kK}, {"EncoderType", 0x13d}, {"ReferenceMode", 0x13f}, {"OverrunThreshold", kK}, {"PositionMask", kK}, {"ZeroSwap", kK}, {"IndexSearchPositive", 0x161}, {"SyncSearchPositive", 0x16a}, {"EncoderInverted", 0x173}, {"TimeBased", 0x102}, {"ProfileType", 0x100}, {"JerkEnabled", kK}, {"AuxWord", kOne}, {"PosAccEnabled", 0x1aa}, {"MaxLagEnabled", kK}, {"CycleTime", 0x174}, {"ReferenceVelo", 0x17e}, {"VeloRatio", 0x186}, {"DriveType", 0x17c}, {"VeloRatioInverted", 0x18e}, {"DefaultPowerOk", kK}, {"AbsoluteOutput", kZ}, {"SoftEndMinEnabled", 0x190}, {"SoftEndMaxEnabled", 0x199}, {"Asymmetric", kZ}, {"CtrlLoopOnError", kK}, {"BrakeDistanceAuto", kK}, {"OutputWeighting", kZ}, {"OutputIncInterpolation", kZ}, {"SoftEndMin", 0x191}, {"SoftEndMax", 0x19a}, {"CreepSpeed", 0x1c3}, {"CreepDistance", 0x1cb}, {"CreepSpeedAsym", 0x1c3}, {"CreepDistanceAsym", 0x1cb}, {"BrakeDistance", 0x1d3}, {"BrakeDeadTime", 0x1db}, {"BrakeDistanceAsym", 0x1d3}, {"BrakeDeadTimeAsym", 0x1db}, {"StartRamp", 0x1a2}, {"PosAccDistance", 0x1ab}, {"Acceleration", 0x1b3}, {"Deceleration", 0x1bb}, {"EmergencyRamp", 0x1e3}, {"StopRamp", 0x1eb}, {"LagKp", 0x1f3}, {"LagDx", kZ}, {"LagTi", kZ}, {"LagWuLimit", kZ}, {"LagOutLimit", kZ}, {"VeloKp", kZ}, {"VeloDx", kZ}, {"VeloTi", kZ}, {"VeloWuLimit", kZ}, {"VeloOutLimit", kZ}, {"PreFeed", kK}, {"MaxLag", kK}, {"MaxLagFilter", 0x204}, {"DynLagFilter", 0x20c}, {"OffsetCompensation", 0x214}, {"ClampingOutput", 0x21c}, {"ReposDistance", 0x224}, {"PosRange", 0x22c}, {"TargetRange", 0x234}, {"TargetFilter", 0x23c}, {"JogFast", 0x244}, {"JogSlow", 0x24c}, {"MaxApplSpeed", 0x254}, {"MaxApplAcc", 0x25c}, {"MaxApplDec", 0x264}, {"MaxApplJerk", 0x26c}, {"BrakeDelayOn", 0x274}, {"BrakeDelayOff", 0x27c}, {"BrakeDelaySafety", 0x284}, {"AuxData", 0x28c}, {"PehFilter", kZ}, {"PehEnabled", kZ}, {"PotRpRl", kZ}};

// Layout 11.
const std::vector<Expect> kLayout11 = {
    {"OverlapCompensation", 0x105}, {"OverlapCompensation2", 0x10d}, {"BendPointVelo", 0x115}, {"BendPointOutput", 0x11d}, {"ResponseTime", 0x125}, {"AreaA", 0x12d}, {"AreaB", 0x135}, {"ValveSpare1", 0x13d}, {"ValveSpare2", 0x145}, {"ZeroOffset", 0x151}, {"EncoderWeighting", 0x159}, {"EncoderIncInterpolation", 0x161}, {"IndexSearchVelo", 0x169}, {"SyncSearchVelo", 0x172}, {"DefaultHomePos", 0x17b}, {"BaseDistance", kOne}, {"ModuloBase", kOne}, {"EncoderType", 0x14d}, {"ReferenceMode", 0x14f}, {"OverrunThreshold", kK}, {"PositionMask", kK}, {"ZeroSwap", kK}, {"IndexSearchPositive", 0x171}, {"SyncSearchPositive", 0x17a}, {"EncoderInverted", 0x183}, {"TimeBased", 0x102}, {"ProfileType", 0x100}, {"JerkEnabled", kK}, {"AuxWord", kOne}, {"PosAccEnabled", 0x1bb}, {"MaxLagEnabled", kK}, {"CycleTime", 0x184}, {"ReferenceVelo", 0x18e}, {"VeloRatio", 0x196}, {"DriveType", 0x18c}, {"VeloRatioInverted", 0x19e}, {"DefaultPowerOk", kK}, {"AbsoluteOutput", 0x1a0}, {"SoftEndMinEnabled", 0x1a1}, {"SoftEndMaxEnabled", 0x1aa}, {"Asymmetric", 0x214}, {"CtrlLoopOnError", kK}, {"BrakeDistanceAuto", kK}, {"OutputWeighting", kZ}, {"OutputIncInterpolation", kZ}, {"SoftEndMin", 0x1a2}, {"SoftEndMax", 0x1ab}, {"CreepSpeed", 0x1d4}, {"CreepDistance", 0x1dc}, {"CreepSpeedAsym", 0x1e4}, {"CreepDistanceAsym", 0x1ec}, {"BrakeDistance", 0x1f4}, {"BrakeDeadTime", 0x1fc}, {"BrakeDistanceAsym", 0x204}, {"BrakeDeadTimeAsym", 0x20c}, {"StartRamp", 0x1b3}, {"PosAccDistance", 0x1bc}, {"Acceleration", 0x1c4}, {"Deceleration", 0x1cc}, {"EmergencyRamp", 0x215}, {"StopRamp", 0x21d}, {"LagKp", 0x225}, {"LagDx", kZ}, {"LagTi", kZ}, {"LagWuLimit", kZ}, {"LagOutLimit", kZ}, {"VeloKp", kZ}, {"VeloDx", kZ}, {"VeloTi", kZ}, {"VeloWuLimit", kZ}, {"VeloOutLimit", kZ}, {"PreFeed", kK}, {"MaxLag", kK}, {"MaxLagFilter", 0x236}, {"DynLagFilter", 0x23e}, {"OffsetCompensation", 0x246}, {"ClampingOutput", 0x24e}, {"ReposDistance", 0x256}, {"PosRange", 0x25e}, {"TargetRange", 0x266}, {"TargetFilter", 0x26e}, {"JogFast", 0x276}, {"JogSlow", 0x27e}, {"MaxApplSpeed", 0x286}, {"MaxApplAcc", 0x28e}, {"MaxApplDec", 0x296}, {"MaxApplJerk", 0x29e}, {"BrakeDelayOn", 0x2a6}, {"BrakeDelayOff", 0x2ae}, {"BrakeDelaySafety", 0x2b6}, {"AuxData", 0x2be}, {"PehFilter", kZ}, {"PehEnabled", kZ}, {"PotRpRl", kZ}};

// Layout 12.
const std::vector<Expect> kLayout12 = {
    {"OverlapCompensation", 0x105}, {"OverlapCompensation2", 0x10d}, {"BendPointVelo", 0x115}, {"BendPointOutput", 0x11d}, {"ResponseTime", 0x125}, {"AreaA", 0x12d}, {"AreaB", 0x135}, {"ValveSpare1", 0x13d}, {"ValveSpare2", 0x145}, {"ZeroOffset", 0x151}, {"EncoderWeighting", 0x159}, {"EncoderIncInterpolation", 0x161}, {"IndexSearchVelo", 0x169}, {"SyncSearchVelo", 0x172}, {"DefaultHomePos", 0x17b}, {"BaseDistance", 0x183}, {"ModuloBase", 0x18b}, {"EncoderType", 0x14d}, {"ReferenceMode", 0x14f}, {"OverrunThreshold", kK}, {"PositionMask", kK}, {"ZeroSwap", kK}, {"IndexSearchPositive", 0x171}, {"SyncSearchPositive", 0x17a}, {"EncoderInverted", 0x193}, {"TimeBased", 0x102}, {"ProfileType", 0x100}, {"JerkEnabled", kK}, {"AuxWord", 0x19c}, {"PosAccEnabled", 0x1cd}, {"MaxLagEnabled", kK}, {"CycleTime", 0x194}, {"ReferenceVelo", 0x1a0}, {"VeloRatio", 0x1a8}, {"DriveType", 0x19e}, {"VeloRatioInverted", 0x1b0}, {"DefaultPowerOk", kK}, {"AbsoluteOutput", 0x1b2}, {"SoftEndMinEnabled", 0x1b3}, {"SoftEndMaxEnabled", 0x1bc}, {"Asymmetric", 0x226}, {"CtrlLoopOnError", kK}, {"BrakeDistanceAuto", kK}, {"OutputWeighting", kZ}, {"OutputIncInterpolation", kZ}, {"SoftEndMin", 0x1b4}, {"SoftEndMax", 0x1bd}, {"CreepSpeed", 0x1e6}, {"CreepDistance", 0x1ee}, {"CreepSpeedAsym", 0x1f6}, {"CreepDistanceAsym", 0x1fe}, {"BrakeDistance", 0x206}, {"BrakeDeadTime", 0x20e}, {"BrakeDistanceAsym", 0x216}, {"BrakeDeadTimeAsym", 0x21e}, {"StartRamp", 0x1c5}, {"PosAccDistance", 0x1ce}, {"Acceleration", 0x1d6}, {"Deceleration", 0x1de}, {"EmergencyRamp", 0x227}, {"StopRamp", 0x22f}, {"LagKp", 0x237}, {"LagDx", kZ}, {"LagTi", kZ}, {"LagWuLimit", kZ}, {"LagOutLimit", kZ}, {"VeloKp", kZ}, {"VeloDx", kZ}, {"VeloTi", kZ}, {"VeloWuLimit", kZ}, {"VeloOutLimit", kZ}, {"PreFeed", kK}, {"MaxLag", kK}, {"MaxLagFilter", 0x248}, {"DynLagFilter", 0x250}, {"OffsetCompensation", 0x258}, {"ClampingOutput", 0x260}, {"ReposDistance", 0x268}, {"PosRange", 0x270}, {"TargetRange", 0x278}, {"TargetFilter", 0x280}, {"JogFast", 0x288}, {"JogSlow", 0x290}, {"MaxApplSpeed", 0x298}, {"MaxApplAcc", 0x2a0}, {"MaxApplDec", 0x2a8}, {"MaxApplJerk", 0x2b0}, {"BrakeDelayOn", 0x2b8}, {"BrakeDelayOff", 0x2c0}, {"BrakeDelaySafety", 0x2c8}, {"AuxData", 0x2d0}, {"PehFilter", kZ}, {"PehEnabled", kZ}, {"PotRpRl", kZ}};

// Layout 13.
const std::vector<Expect> kLayout13 = {
    {"OverlapCompensation", 0x100}, {"OverlapCompensation2", 0x108}, {"BendPointVelo", 0x110}, {"BendPointOutput", 0x118}, {"ResponseTime", 0x120}, {"AreaA", 0x128}, {"AreaB", 0x130}, {"ValveSpare1", 0x138}, {"ValveSpare2", 0x140}, {"ZeroOffset", 0x148}, {"EncoderWeighting", 0x150}, {"EncoderIncInterpolation", 0x158}, {"IndexSearchVelo", 0x160}, {"SyncSearchVelo", 0x168}, {"DefaultHomePos", 0x170}, {"BaseDistance", 0x178}, {"ModuloBase", 0x180}, {"EncoderType", 0x188}, {"ReferenceMode", 0x18a}, {"OverrunThreshold", kK}, {"PositionMask", kK}, {"ZeroSwap", kK}, {"IndexSearchPositive", 0x18c}, {"SyncSearchPositive", 0x18d}, {"EncoderInverted", 0x18e}, {"TimeBased", 0x18f}, {"ProfileType", 0x190}, {"JerkEnabled", kK}, {"AuxWord", 0x194}, {"PosAccEnabled", 0x196}, {"MaxLagEnabled", kK}, {"CycleTime", 0x198}, {"ReferenceVelo", 0x1a0}, {"VeloRatio", 0x1a8}, {"DriveType", 0x1b0}, {"VeloRatioInverted", 0x1b2}, {"DefaultPowerOk", kK}, {"AbsoluteOutput", 0x1b4}, {"SoftEndMinEnabled", 0x1b5}, {"SoftEndMaxEnabled", 0x1b6}, {"Asymmetric", 0x1b7}, {"CtrlLoopOnError", kK}, {"BrakeDistanceAuto", kK}, {"OutputWeighting", kZ}, {"OutputIncInterpolation", kZ}, {"SoftEndMin", 0x1b8}, {"SoftEndMax", 0x1c0}, {"CreepSpeed", 0x1c8}, {"CreepDistance", 0x1d0}, {"CreepSpeedAsym", 0x1d8}, {"CreepDistanceAsym", 0x1e0}, {"BrakeDistance", 0x1e8}, {"BrakeDeadTime", 0x1f0}, {"BrakeDistanceAsym", 0x1f8}, {"BrakeDeadTimeAsym", 0x200}, {"StartRamp", 0x208}, {"PosAccDistance", 0x210}, {"Acceleration", 0x218}, {"Deceleration", 0x220}, {"EmergencyRamp", 0x228}, {"StopRamp", 0x230}, {"LagKp", 0x238}, {"LagDx", kZ}, {"LagTi", kZ}, {"LagWuLimit", kZ}, {"LagOutLimit", kZ}, {"VeloKp", kZ}, {"VeloDx", kZ}, {"VeloTi", kZ}, {"VeloWuLimit", kZ}, {"VeloOutLimit", kZ}, {"PreFeed", kK}, {"MaxLag", kK}, {"MaxLagFilter", 0x248}, {"DynLagFilter", 0x250}, {"OffsetCompensation", 0x258}, {"ClampingOutput", 0x260}, {"ReposDistance", 0x268}, {"PosRange", 0x270}, {"TargetRange", 0x278}, {"TargetFilter", 0x280}, {"JogFast", 0x288}, {"JogSlow", 0x290}, {"MaxApplSpeed", 0x298}, {"MaxApplAcc", 0x2a0}, {"MaxApplDec", 0x2a8}, {"MaxApplJerk", 0x2b0}, {"BrakeDelayOn", 0x2b8}, {"BrakeDelayOff", 0x2c0}, {"BrakeDelaySafety", 0x2c8}, {"AuxData", 0x2d0}, {"PehFilter", kZ}, {"PehEnabled", kZ}, {"PotRpRl", kZ}};

// clang-format on

struct Golden {
  int version;
  uint32_t length;
  uint32_t nameLength;
  const std::vector<Expect>* fields;
};

const Golden kGolden[] = {
    {0, 542, 81, &kLayout0},    {4, 725, 256, &kLayout4},    {9, 940, 256, &kLayout9},
    {11, 990, 256, &kLayout11}, {12, 1008, 256, &kLayout12}, {13, 912, 256, &kLayout13},
};

const ParamField& Field(const char* name) {
  const ParamField* f = model::FindParamField(std::string_view(name));
  if (f == nullptr) throw std::runtime_error(name);
  return *f;
}

// The fields a layout carries at an offset, the first of every shared offset only.
std::vector<const Expect*> Carried(const Golden& g) {
  std::vector<const Expect*> out;
  for (const Expect& e : *g.fields) {
    if (e.where < 0) continue;
    if (std::none_of(out.begin(), out.end(),
                     [&](const Expect* o) { return o->where == e.where; })) {
      out.push_back(&e);
    }
  }
  return out;
}

TEST(ParamLayout, GoldenBlocksReadIntoExactlyTheirValues) {
  for (const Golden& g : kGolden) {
    SCOPED_TRACE("layout " + std::to_string(g.version));
    ASSERT_EQ(model::ParamBlockLength(g.version), g.length);
    ParamRecord wire{};    // the controller's values
    ParamRecord before{};  // the record before the read
    paramtest::Scramble(wire, 1);
    paramtest::Scramble(before, 2);
    std::vector<uint8_t> block(g.length, 0xEE);  // unused bytes carry junk the read must ignore
    for (const Expect* e : Carried(g)) {
      const auto bytes = paramtest::FieldBytes(Field(e->name), wire);
      ASSERT_LE(static_cast<size_t>(e->where) + bytes.size(), block.size()) << e->name;
      std::memcpy(block.data() + e->where, bytes.data(), bytes.size());
    }
    const std::string name(300, 'n');
    std::memcpy(block.data(), name.data(), g.nameLength);

    ParamRecord expected = before;
    for (const Expect& e : *g.fields) {
      const auto dst = paramtest::FieldBytes(Field(e.name), expected);
      if (e.where >= 0) {  // both fields of a shared pair take the one wire value
        std::memcpy(dst.data(), block.data() + e.where, dst.size());
      } else if (e.where == kZ) {
        std::fill(dst.begin(), dst.end(), uint8_t{0});
      } else if (e.where == kOne && Field(e.name).type == ParamType::Real) {
        Field(e.name).Ref<double>(expected) = 1.0;
      } else if (e.where == kOne) {
        Field(e.name).Ref<int16_t>(expected) = 1;
      }
    }
    expected.FileName.fill(0);
    std::memcpy(expected.FileName.data(), name.data(), g.nameLength - 1);

    ParamRecord got = before;
    ASSERT_TRUE(model::DecodeParamBlock(g.version, block, got));
    for (const auto& f : model::ParamFields()) {
      EXPECT_TRUE(paramtest::SameField(f, got, expected)) << f.name;
    }
  }
}

TEST(ParamLayout, WriteGivesExactlyTheGoldenBytes) {
  for (const Golden& g : kGolden) {
    SCOPED_TRACE("layout " + std::to_string(g.version));
    ParamRecord rec{};
    paramtest::Scramble(rec, 3);
    std::vector<uint8_t> expected(g.length, 0);
    for (const Expect* e : Carried(g)) {
      const auto bytes = paramtest::FieldBytes(Field(e->name), rec);
      std::memcpy(expected.data() + e->where, bytes.data(), bytes.size());
    }
    const std::string_view name = model::FileNameText(rec);
    std::memcpy(expected.data(), name.data(), name.size());
    if (g.version == 13) {
      ASSERT_TRUE(oxa::bytes::Put(std::span<uint8_t>(expected), 0x370, rec.PehFilter));
      expected[0x378] = rec.PehEnabled ? 1 : 0;
    }

    paramtest::ScriptedOxa oxa;
    paramtest::RecordingReport report;
    const auto link = paramtest::MakeLink(oxa, report, {2, 1, 0}, static_cast<int16_t>(g.version));
    ASSERT_EQ(model::WriteParamRecord(link, rec), 0);
    ASSERT_EQ(oxa.calls.size(), 1u);
    EXPECT_EQ(oxa.calls[0].cmd, oxa::Command::Write);
    EXPECT_EQ(oxa.calls[0].group, paramtest::kRecordGroup);
    EXPECT_EQ(oxa.calls[0].offset, 2u);
    EXPECT_EQ(oxa.calls[0].written, expected);
    EXPECT_TRUE(report.reports.empty());
  }
}

TEST(ParamLayout, EveryLayoutFitsItsBlockAndOtherVersionsHaveNone) {
  EXPECT_TRUE(model::FitsBlocks(model::ParamLayouts()));
  const std::pair<int, uint32_t> lengths[] = {{0, 542},  {3, 550},  {4, 725},   {5, 741},
                                              {6, 749},  {7, 751},  {8, 759},   {9, 940},
                                              {10, 948}, {11, 990}, {12, 1008}, {13, 912}};
  for (auto [v, len] : lengths) EXPECT_EQ(model::ParamBlockLength(v), len) << v;
  for (int v : {-1, 1, 2, 14, 100}) {
    EXPECT_EQ(model::ParamBlockLength(v), 0u) << v;
    ParamRecord r{};
    r.CycleTime = 2.0;
    std::vector<uint8_t> block(1008, 0);
    EXPECT_FALSE(model::DecodeParamBlock(v, block, r));
    EXPECT_EQ(r.CycleTime, 2.0);
  }
  // A short block is refused rather than read past its end.
  ParamRecord r{};
  std::vector<uint8_t> shortBlock(541, 0);
  EXPECT_FALSE(model::DecodeParamBlock(0, shortBlock, r));
}

// The cases a reader of the tables gets wrong most easily.
TEST(ParamLayout, SharedPairsConstantsAndFileNameLengths) {
  // Layout 0: creep speed 12.5 fills both members of its pair; Inc.Interpolation becomes 1.0.
  std::vector<uint8_t> b0(542, 0);
  ASSERT_TRUE(oxa::bytes::Put(std::span<uint8_t>(b0), 0xDE, 12.5));
  ParamRecord r{};
  r.EncoderIncInterpolation = 7;
  ASSERT_TRUE(model::DecodeParamBlock(0, b0, r));
  EXPECT_EQ(r.CreepSpeed, 12.5);
  EXPECT_EQ(r.CreepSpeedAsym, 12.5);
  EXPECT_EQ(r.EncoderIncInterpolation, 1.0);

  // Layout 11: BaseDistance and ModuloBase are 1.0; layout 12 takes them from 0x183 and 0x18B.
  std::vector<uint8_t> b11(990, 0);
  ASSERT_TRUE(model::DecodeParamBlock(11, b11, r));
  EXPECT_EQ(r.BaseDistance, 1.0);
  EXPECT_EQ(r.ModuloBase, 1.0);
  std::vector<uint8_t> b12(1008, 0);
  ASSERT_TRUE(oxa::bytes::Put(std::span<uint8_t>(b12), 0x183, 4.5));
  ASSERT_TRUE(oxa::bytes::Put(std::span<uint8_t>(b12), 0x18B, 360.0));
  ASSERT_TRUE(model::DecodeParamBlock(12, b12, r));
  EXPECT_EQ(r.BaseDistance, 4.5);
  EXPECT_EQ(r.ModuloBase, 360.0);

  // Writing layout 0 with Asymmetric set: 0xDE carries CreepSpeed, the asymmetric value is lost.
  ParamRecord w{};
  w.Asymmetric = true;
  w.CreepSpeed = 10;
  w.CreepSpeedAsym = 20;
  std::vector<uint8_t> out(542, 0xEE);
  ASSERT_TRUE(model::EncodeParamBlock(0, w, out));
  EXPECT_EQ(oxa::bytes::At<double>(out, 0xDE), 10.0);
  for (size_t i = 0x116; i <= 0x125; ++i) EXPECT_EQ(out[i], 0) << i;

  // A 100-character FileName written in layout 3 is cut to 80; a 300-character one is held as
  // 255 and sent with its terminator.
  model::SetFileName(w, std::string(100, 'x'));
  std::vector<uint8_t> b3(550, 0);
  ASSERT_TRUE(model::EncodeParamBlock(3, w, b3));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b3.data())), std::string(80, 'x'));
  model::SetFileName(w, std::string(300, 'y'));
  EXPECT_EQ(model::FileNameText(w), std::string(255, 'y'));
  std::vector<uint8_t> b4(725, 0);
  ASSERT_TRUE(model::EncodeParamBlock(4, w, b4));
  EXPECT_EQ(b4[254], 'y');
  EXPECT_EQ(b4[255], 0);
  // A controller name without terminator is cut to 255 characters and terminated.
  std::vector<uint8_t> named(725, 'z');
  ASSERT_TRUE(model::DecodeParamBlock(4, named, r));
  EXPECT_EQ(model::FileNameText(r), std::string(255, 'z'));
}

TEST(ParamLayout, WriteWithoutLayoutSendsNothing) {
  paramtest::ScriptedOxa oxa;
  paramtest::RecordingReport report;
  for (int16_t v : {int16_t{2}, int16_t{14}, int16_t{-1}}) {
    const auto link = paramtest::MakeLink(oxa, report, {2, 1, 0}, v);
    EXPECT_EQ(model::WriteParamRecord(link, ParamRecord{}), -1);
  }
  EXPECT_TRUE(oxa.calls.empty());
  EXPECT_TRUE(report.reports.empty());
}

TEST(ParamLayout, NumberedWriteEncodings) {
  paramtest::ScriptedOxa oxa;
  paramtest::RecordingReport report;
  const auto link = paramtest::MakeLink(oxa, report, {3, 0, 30}, 13);
  EXPECT_EQ(model::WriteParamNoUInt(link, 3, 1005), 0);
  EXPECT_EQ(model::WriteParamNoUInt(link, 0xFFFFFFFFu, 1119), 0);
  EXPECT_EQ(model::WriteParamNoByte(link, 0x101, 1113), 0);
  EXPECT_EQ(model::WriteParamNoReal(link, -2.5, 1102), 0);
  ASSERT_EQ(oxa.calls.size(), 4u);
  const std::vector<uint8_t> three = {0, 0, 0, 0, 0, 0, 8, 0x40};
  EXPECT_EQ(oxa.calls[0].written, three);
  EXPECT_EQ(oxa.calls[0].group, paramtest::kNumberGroup);
  EXPECT_EQ(oxa.calls[0].offset, 1005u);
  EXPECT_EQ(oxa::bytes::At<double>(oxa.calls[1].written, 0), 4294967295.0);
  EXPECT_EQ(oxa.calls[2].written, std::vector<uint8_t>{1});
  EXPECT_EQ(oxa::bytes::At<double>(oxa.calls[3].written, 0), -2.5);
}

}  // namespace
