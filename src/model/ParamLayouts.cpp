#include "model/ParamLayouts.h"

#include <algorithm>
#include <cstring>

namespace model {
namespace {

using Row = LayoutRow<ParamRecord, kParamLayoutCount>;

// clang-format off
// R(field, then what each layout version holds for it). Versions, left to right:
//                            0          3          4          5          6          7          8          9          10         11         12         13
#define R(Name, ...) Row{AXTUNE_FIELD(ParamRecord, Name), {{__VA_ARGS__}}}
constexpr std::array kRows = {
    R(OverlapCompensation,      At(0x53),  At(0x53),  At(0x102), At(0x102), At(0x102), At(0x102), At(0x102), At(0x105), At(0x105), At(0x105), At(0x105), At(0x100)),
    R(OverlapCompensation2,     At(0x53),  At(0x53),  At(0x102), At(0x102), At(0x102), At(0x102), At(0x102), At(0x105), At(0x105), At(0x10d), At(0x10d), At(0x108)),
    R(BendPointVelo,            At(0x5b),  At(0x5b),  At(0x10a), At(0x10a), At(0x10a), At(0x10a), At(0x10a), At(0x10d), At(0x10d), At(0x115), At(0x115), At(0x110)),
    R(BendPointOutput,          At(0x63),  At(0x63),  At(0x112), At(0x112), At(0x112), At(0x112), At(0x112), At(0x115), At(0x115), At(0x11d), At(0x11d), At(0x118)),
    R(ResponseTime,             Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x11d), At(0x125), At(0x125), At(0x120)),
    R(AreaA,                    Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x11d), At(0x125), At(0x12d), At(0x12d), At(0x128)),
    R(AreaB,                    Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x125), At(0x12d), At(0x135), At(0x135), At(0x130)),
    R(ValveSpare1,              Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x12d), At(0x135), At(0x13d), At(0x13d), At(0x138)),
    R(ValveSpare2,              Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x135), At(0x13d), At(0x145), At(0x145), At(0x140)),
    R(ZeroOffset,               At(0x6f),  At(0x6f),  At(0x11e), At(0x11e), At(0x11e), At(0x11e), At(0x11e), At(0x141), At(0x149), At(0x151), At(0x151), At(0x148)),
    R(EncoderWeighting,         At(0x77),  At(0x77),  At(0x126), At(0x126), At(0x126), At(0x126), At(0x126), At(0x149), At(0x151), At(0x159), At(0x159), At(0x150)),
    R(EncoderIncInterpolation,  ONE,       ONE,       ONE,       ONE,       At(0x12e), At(0x12e), At(0x12e), At(0x151), At(0x159), At(0x161), At(0x161), At(0x158)),
    R(IndexSearchVelo,          At(0x7f),  At(0x7f),  At(0x12e), At(0x12e), At(0x136), At(0x136), At(0x136), At(0x159), At(0x161), At(0x169), At(0x169), At(0x160)),
    R(SyncSearchVelo,           At(0x88),  At(0x88),  At(0x137), At(0x137), At(0x13f), At(0x13f), At(0x13f), At(0x162), At(0x16a), At(0x172), At(0x172), At(0x168)),
    R(DefaultHomePos,           Z,         At(0x91),  At(0x140), At(0x140), At(0x148), At(0x148), At(0x148), At(0x16b), At(0x173), At(0x17b), At(0x17b), At(0x170)),
    R(BaseDistance,             K,         K,         K,         K,         K,         K,         K,         K,         K,         ONE,       At(0x183), At(0x178)),
    R(ModuloBase,               K,         K,         K,         K,         K,         K,         K,         K,         K,         ONE,       At(0x18b), At(0x180)),
    R(EncoderType,              At(0x6b),  At(0x6b),  At(0x11a), At(0x11a), At(0x11a), At(0x11a), At(0x11a), At(0x13d), At(0x145), At(0x14d), At(0x14d), At(0x188)),
    R(ReferenceMode,            At(0x6d),  At(0x6d),  At(0x11c), At(0x11c), At(0x11c), At(0x11c), At(0x11c), At(0x13f), At(0x147), At(0x14f), At(0x14f), At(0x18a)),
    R(OverrunThreshold,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(PositionMask,             K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(ZeroSwap,                 K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(IndexSearchPositive,      At(0x87),  At(0x87),  At(0x136), At(0x136), At(0x13e), At(0x13e), At(0x13e), At(0x161), At(0x169), At(0x171), At(0x171), At(0x18c)),
    R(SyncSearchPositive,       At(0x90),  At(0x90),  At(0x13f), At(0x13f), At(0x147), At(0x147), At(0x147), At(0x16a), At(0x172), At(0x17a), At(0x17a), At(0x18d)),
    R(EncoderInverted,          Z,         Z,         Z,         Z,         Z,         At(0x150), At(0x150), At(0x173), At(0x17b), At(0x183), At(0x193), At(0x18e)),
    R(TimeBased,                Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x102), At(0x102), At(0x102), At(0x102), At(0x18f)),
    R(ProfileType,              At(0x51),  At(0x51),  At(0x100), At(0x100), At(0x100), At(0x100), At(0x100), At(0x100), At(0x100), At(0x100), At(0x100), At(0x190)),
    R(JerkEnabled,              K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(AuxWord,                  ONE,       ONE,       ONE,       ONE,       ONE,       ONE,       ONE,       ONE,       ONE,       ONE,       At(0x19c), At(0x194)),
    R(PosAccEnabled,            At(0xc5),  At(0xcd),  At(0x17c), At(0x17c), At(0x184), At(0x186), At(0x186), At(0x1aa), At(0x1b2), At(0x1bb), At(0x1cd), At(0x196)),
    R(MaxLagEnabled,            K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(CycleTime,                At(0x91),  At(0x99),  At(0x148), At(0x148), At(0x150), At(0x151), At(0x151), At(0x174), At(0x17c), At(0x184), At(0x194), At(0x198)),
    R(ReferenceVelo,            At(0x9b),  At(0xa3),  At(0x152), At(0x152), At(0x15a), At(0x15b), At(0x15b), At(0x17e), At(0x186), At(0x18e), At(0x1a0), At(0x1a0)),
    R(VeloRatio,                At(0xa3),  At(0xab),  At(0x15a), At(0x15a), At(0x162), At(0x163), At(0x163), At(0x186), At(0x18e), At(0x196), At(0x1a8), At(0x1a8)),
    R(DriveType,                At(0x99),  At(0xa1),  At(0x150), At(0x150), At(0x158), At(0x159), At(0x159), At(0x17c), At(0x184), At(0x18c), At(0x19e), At(0x1b0)),
    R(VeloRatioInverted,        Z,         Z,         Z,         Z,         Z,         At(0x16b), At(0x16b), At(0x18e), At(0x196), At(0x19e), At(0x1b0), At(0x1b2)),
    R(DefaultPowerOk,           K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(AbsoluteOutput,           Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x1a0), At(0x1b2), At(0x1b4)),
    R(SoftEndMinEnabled,        At(0xab),  At(0xb3),  At(0x162), At(0x162), At(0x16a), At(0x16c), At(0x16c), At(0x190), At(0x198), At(0x1a1), At(0x1b3), At(0x1b5)),
    R(SoftEndMaxEnabled,        At(0xb4),  At(0xbc),  At(0x16b), At(0x16b), At(0x173), At(0x175), At(0x175), At(0x199), At(0x1a1), At(0x1aa), At(0x1bc), At(0x1b6)),
    R(Asymmetric,               Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x214), At(0x226), At(0x1b7)),
    R(CtrlLoopOnError,          K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(BrakeDistanceAuto,        K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(OutputWeighting,          Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(OutputIncInterpolation,   Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(SoftEndMin,               At(0xac),  At(0xb4),  At(0x163), At(0x163), At(0x16b), At(0x16d), At(0x16d), At(0x191), At(0x199), At(0x1a2), At(0x1b4), At(0x1b8)),
    R(SoftEndMax,               At(0xb5),  At(0xbd),  At(0x16c), At(0x16c), At(0x174), At(0x176), At(0x176), At(0x19a), At(0x1a2), At(0x1ab), At(0x1bd), At(0x1c0)),
    R(CreepSpeed,               At(0xde),  At(0xe6),  At(0x195), At(0x195), At(0x19d), At(0x19f), At(0x19f), At(0x1c3), At(0x1cb), At(0x1d4), At(0x1e6), At(0x1c8)),
    R(CreepDistance,            At(0xe6),  At(0xee),  At(0x19d), At(0x19d), At(0x1a5), At(0x1a7), At(0x1a7), At(0x1cb), At(0x1d3), At(0x1dc), At(0x1ee), At(0x1d0)),
    R(CreepSpeedAsym,           At(0xde),  At(0xe6),  At(0x195), At(0x195), At(0x19d), At(0x19f), At(0x19f), At(0x1c3), At(0x1cb), At(0x1e4), At(0x1f6), At(0x1d8)),
    R(CreepDistanceAsym,        At(0xe6),  At(0xee),  At(0x19d), At(0x19d), At(0x1a5), At(0x1a7), At(0x1a7), At(0x1cb), At(0x1d3), At(0x1ec), At(0x1fe), At(0x1e0)),
    R(BrakeDistance,            At(0xee),  At(0xf6),  At(0x1a5), At(0x1a5), At(0x1ad), At(0x1af), At(0x1af), At(0x1d3), At(0x1db), At(0x1f4), At(0x206), At(0x1e8)),
    R(BrakeDeadTime,            At(0xf6),  At(0xfe),  At(0x1ad), At(0x1ad), At(0x1b5), At(0x1b7), At(0x1b7), At(0x1db), At(0x1e3), At(0x1fc), At(0x20e), At(0x1f0)),
    R(BrakeDistanceAsym,        At(0xee),  At(0xf6),  At(0x1a5), At(0x1a5), At(0x1ad), At(0x1af), At(0x1af), At(0x1d3), At(0x1db), At(0x204), At(0x216), At(0x1f8)),
    R(BrakeDeadTimeAsym,        At(0xf6),  At(0xfe),  At(0x1ad), At(0x1ad), At(0x1b5), At(0x1b7), At(0x1b7), At(0x1db), At(0x1e3), At(0x20c), At(0x21e), At(0x200)),
    R(StartRamp,                At(0xbd),  At(0xc5),  At(0x174), At(0x174), At(0x17c), At(0x17e), At(0x17e), At(0x1a2), At(0x1aa), At(0x1b3), At(0x1c5), At(0x208)),
    R(PosAccDistance,           At(0xc6),  At(0xce),  At(0x17d), At(0x17d), At(0x185), At(0x187), At(0x187), At(0x1ab), At(0x1b3), At(0x1bc), At(0x1ce), At(0x210)),
    R(Acceleration,             At(0xce),  At(0xd6),  At(0x185), At(0x185), At(0x18d), At(0x18f), At(0x18f), At(0x1b3), At(0x1bb), At(0x1c4), At(0x1d6), At(0x218)),
    R(Deceleration,             At(0xd6),  At(0xde),  At(0x18d), At(0x18d), At(0x195), At(0x197), At(0x197), At(0x1bb), At(0x1c3), At(0x1cc), At(0x1de), At(0x220)),
    R(EmergencyRamp,            At(0xfe),  At(0x106), At(0x1b5), At(0x1b5), At(0x1bd), At(0x1bf), At(0x1bf), At(0x1e3), At(0x1eb), At(0x215), At(0x227), At(0x228)),
    R(StopRamp,                 At(0x106), At(0x10e), At(0x1bd), At(0x1bd), At(0x1c5), At(0x1c7), At(0x1c7), At(0x1eb), At(0x1f3), At(0x21d), At(0x22f), At(0x230)),
    R(LagKp,                    At(0x10e), At(0x116), At(0x1c5), At(0x1c5), At(0x1cd), At(0x1cf), At(0x1cf), At(0x1f3), At(0x1fb), At(0x225), At(0x237), At(0x238)),
    R(LagDx,                    Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(LagTi,                    Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(LagWuLimit,               Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(LagOutLimit,              Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(VeloKp,                   Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(VeloDx,                   Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(VeloTi,                   Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(VeloWuLimit,              Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(VeloOutLimit,             Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(PreFeed,                  K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(MaxLag,                   K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K,         K),
    R(MaxLagFilter,             Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x204), At(0x20c), At(0x236), At(0x248), At(0x248)),
    R(DynLagFilter,             Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x20c), At(0x214), At(0x23e), At(0x250), At(0x250)),
    R(OffsetCompensation,       At(0x126), At(0x12e), At(0x1dd), At(0x1dd), At(0x1e5), At(0x1e7), At(0x1e7), At(0x214), At(0x21c), At(0x246), At(0x258), At(0x258)),
    R(ClampingOutput,           At(0x12e), At(0x136), At(0x1e5), At(0x1e5), At(0x1ed), At(0x1ef), At(0x1ef), At(0x21c), At(0x224), At(0x24e), At(0x260), At(0x260)),
    R(ReposDistance,            At(0x136), At(0x13e), At(0x1ed), At(0x1ed), At(0x1f5), At(0x1f7), At(0x1f7), At(0x224), At(0x22c), At(0x256), At(0x268), At(0x268)),
    R(PosRange,                 At(0x13e), At(0x146), At(0x1f5), At(0x1f5), At(0x1fd), At(0x1ff), At(0x1ff), At(0x22c), At(0x234), At(0x25e), At(0x270), At(0x270)),
    R(TargetRange,              At(0x146), At(0x14e), At(0x1fd), At(0x1fd), At(0x205), At(0x207), At(0x207), At(0x234), At(0x23c), At(0x266), At(0x278), At(0x278)),
    R(TargetFilter,             At(0x14e), At(0x156), At(0x205), At(0x205), At(0x20d), At(0x20f), At(0x20f), At(0x23c), At(0x244), At(0x26e), At(0x280), At(0x280)),
    R(JogFast,                  At(0x156), At(0x15e), At(0x20d), At(0x20d), At(0x215), At(0x217), At(0x217), At(0x244), At(0x24c), At(0x276), At(0x288), At(0x288)),
    R(JogSlow,                  At(0x15e), At(0x166), At(0x215), At(0x215), At(0x21d), At(0x21f), At(0x21f), At(0x24c), At(0x254), At(0x27e), At(0x290), At(0x290)),
    R(MaxApplSpeed,             At(0x166), At(0x16e), At(0x21d), At(0x21d), At(0x225), At(0x227), At(0x227), At(0x254), At(0x25c), At(0x286), At(0x298), At(0x298)),
    R(MaxApplAcc,               At(0x16e), At(0x176), At(0x225), At(0x225), At(0x22d), At(0x22f), At(0x22f), At(0x25c), At(0x264), At(0x28e), At(0x2a0), At(0x2a0)),
    R(MaxApplDec,               At(0x176), At(0x17e), At(0x22d), At(0x22d), At(0x235), At(0x237), At(0x237), At(0x264), At(0x26c), At(0x296), At(0x2a8), At(0x2a8)),
    R(MaxApplJerk,              Z,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x26c), At(0x274), At(0x29e), At(0x2b0), At(0x2b0)),
    R(BrakeDelayOn,             Z,         Z,         Z,         Z,         At(0x23d), At(0x23f), At(0x23f), At(0x274), At(0x27c), At(0x2a6), At(0x2b8), At(0x2b8)),
    R(BrakeDelayOff,            Z,         Z,         Z,         Z,         At(0x245), At(0x247), At(0x247), At(0x27c), At(0x284), At(0x2ae), At(0x2c0), At(0x2c0)),
    R(BrakeDelaySafety,         Z,         Z,         Z,         Z,         Z,         Z,         At(0x24f), At(0x284), At(0x28c), At(0x2b6), At(0x2c8), At(0x2c8)),
    R(AuxData,                  At(0x17e), At(0x186), At(0x235), At(0x245), At(0x24d), At(0x24f), At(0x257), At(0x28c), At(0x294), At(0x2be), At(0x2d0), At(0x2d0)),
    R(PehFilter,                Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(PehEnabled,               Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
    R(PotRpRl,                  Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z,         Z),
};
#undef R
// clang-format on

constexpr ParamLayoutTable kTable{
    {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
    {542, 550, 725, 741, 749, 751, 759, 940, 948, 990, 1008, 912},
    kRows,
};

static_assert(kRows.size() == 94, "every field of the record but FileName has a row");
static_assert(FitsBlocks(kTable), "every field of every layout lies inside its block");
static_assert(std::ranges::max(kTable.lengths) == kParamBlockMaxLength);

// Layout 13 carries the PEH filter for writing only; reading leaves both fields to the numbers.
constexpr int kPehLayout = 13;
constexpr uint32_t kPehFilterOffset = 0x370;
constexpr uint32_t kPehEnabledOffset = 0x378;

}  // namespace

const ParamLayoutTable& ParamLayouts() {
  return kTable;
}

uint32_t ParamBlockLength(int version) {
  const int c = kTable.Column(version);
  return c < 0 ? 0 : kTable.lengths[static_cast<size_t>(c)];
}

uint32_t ParamFileNameWireLength(int version) {
  if (kTable.Column(version) < 0) return 0;
  return version == 0 || version == 3 ? 81 : 256;
}

bool DecodeParamBlock(int version, std::span<const uint8_t> block, ParamRecord& rec) {
  const int column = kTable.Column(version);
  if (column < 0) return false;
  const uint32_t length = kTable.lengths[static_cast<size_t>(column)];
  if (block.size() < length) return false;
  block = block.first(length);
  DecodeBlock(kTable, column, block, rec);
  const uint32_t nameLength = ParamFileNameWireLength(version);
  rec.FileName.fill('\0');
  std::memcpy(rec.FileName.data(), block.data(), nameLength);
  rec.FileName[nameLength - 1] = '\0';
  return true;
}

bool EncodeParamBlock(int version, const ParamRecord& rec, std::span<uint8_t> block) {
  const int column = kTable.Column(version);
  if (column < 0 || block.size() != kTable.lengths[static_cast<size_t>(column)]) return false;
  std::ranges::fill(block, uint8_t{0});
  EncodeBlock(kTable, column, rec, block);
  const uint32_t nameLength = ParamFileNameWireLength(version);
  std::memcpy(block.data(), rec.FileName.data(), nameLength);
  block[nameLength - 1] = 0;
  if (version == kPehLayout) {
    oxa::bytes::Put(block, kPehFilterOffset, rec.PehFilter);
    oxa::bytes::Put(block, kPehEnabledOffset, rec.PehEnabled);
  }
  return true;
}

bool CopyParamBlockFields(int version, const ParamRecord& sent, ParamRecord& held) {
  const int column = kTable.Column(version);
  if (column < 0) return false;
  CopyEncodedFields(kTable, column, sent, held);
  const uint32_t nameLength = ParamFileNameWireLength(version);
  held.FileName.fill('\0');
  std::memcpy(held.FileName.data(), sent.FileName.data(), nameLength - 1);
  if (version == kPehLayout) {
    held.PehFilter = sent.PehFilter;
    held.PehEnabled = sent.PehEnabled;
  }
  return true;
}

}  // namespace model
