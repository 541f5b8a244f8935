#include "pages/entry/PageRules.h"

#include <algorithm>
#include <array>
#include <tuple>

#include "model/ParamRecord.h"

namespace entry {
namespace {

constexpr double kBig = 1000000000;  // positions: ±1e9 mm
constexpr double kWordLimit = 4294967296;

constexpr FieldRule Field(uint16_t no, double min, double max, double replacement,
                          Conversion conversion = Conversion::Plain, bool negative = false) {
  return FieldRule{no, FieldCheck{negative, conversion == Conversion::Hex, min, max, replacement},
                   conversion};
}
constexpr FieldRule Signed(uint16_t no, double min, double max, double replacement,
                           Conversion conversion = Conversion::Plain) {
  return Field(no, min, max, replacement, conversion, true);
}
constexpr FieldRule Percent(uint16_t no, double min, double max, double replacement) {
  return Field(no, min, max, replacement, Conversion::Percent);
}
constexpr FieldRule HexWord(uint16_t no) {
  return Field(no, 0, kWordLimit, 0, Conversion::Hex);
}
// Taken over as typed, never checked.
constexpr FieldRule Unchecked(uint16_t no) {
  FieldRule r = Field(no, 0, 0, 0);
  r.validated = false;
  return r;
}
constexpr FieldRule UnlessEncoder30Or34(FieldRule r) {
  r.skipForEncoder30And34 = true;
  return r;
}
constexpr FieldRule Odd(FieldRule r) {
  r.odd = true;
  return r;
}

constexpr VersionCondition kAlways{};
constexpr VersionCondition From(uint16_t build) {
  return {VersionCondition::From, {3, 0, build}};
}
constexpr VersionCondition Before(uint16_t build) {
  return {VersionCondition::Before, {3, 0, build}};
}

// ---- Common: the four type lists ----
constexpr auto kCommonLists = std::to_array<uint16_t>({1100, 1101, 1300, 1000});
constexpr auto kCommonWrites = std::to_array<WriteItem>({
    {1100, kAlways, true},
    {1300, kAlways, true},
    {1000, kAlways, true},
    {1101, kAlways, true},
});

// ---- Global ----
constexpr std::array kGlobalFields{
    UnlessEncoder30Or34(Field(8, 0.001, 1000000, 100)),  // reference velocity
    Field(1400, 0.001, 100, 0.1),                        // start ramp
    Field(1402, 0, 1000000, 0),                          // PosAcc distance
    Field(12, 0.001, 1000000, 500),                      // acceleration
    Field(14, 0.001, 1000000, 500),                      // deceleration
    Field(1600, 0, 1000, 50),                            // creep speed, and asymmetric
    Field(1604, 0, 1000, 50),
    Field(1601, 0, 1000, 5),  // creep distance
    Field(1605, 0, 1000, 5),
    Field(1602, 0, 1000, 1),  // brake distance
    Field(1606, 0, 1000, 1),
    Field(1603, 0, 1, 0),  // brake dead time
    Field(1607, 0, 1, 0),
    Field(1500, 0.001, 100, 0.1),    // stop ramp
    Field(1501, 0.001, 1, 0.01),     // emergency ramp
    Field(1901, 0.1, 1000000, 0.1),  // jog slow
    Field(1900, 0.1, 1000000, 0.1),  // jog fast
    Field(9, 0.1, 1000000, 1),       // application limits: speed, acc., dec., jerk
    Field(13, 0.1, 1000000, 1),
    Field(15, 0.1, 1000000, 1),
    Field(16, 0.1, 1000000, 1),
};
constexpr auto kGlobalChecks = std::to_array<CheckRule>({
    {1401},  // PosAcc enabled
    {1608},  // asymmetric
    {1706},  // automatic brake distance
    {1003},  // time based
    {1004, 0x8000},
    {1004, 0x0100},
    {1004, 0x0080},
    {1004, 0x0001},
});
constexpr auto kGlobalWrites = std::to_array<WriteItem>({
    {8, kAlways},    {1400, kAlways}, {1402, Before(30)}, {1401, Before(30)}, {12, kAlways},
    {14, kAlways},   {1600, kAlways}, {1604, kAlways},    {1601, kAlways},    {1605, kAlways},
    {1602, kAlways}, {1606, kAlways}, {1603, kAlways},    {1607, kAlways},    {1608, kAlways},
    {1500, kAlways}, {1501, kAlways}, {1901, kAlways},    {1900, kAlways},    {9, kAlways},
    {13, kAlways},   {15, kAlways},   {16, kAlways},      {1003, kAlways},    {1004, kAlways},
    {1706, kAlways},
});

// ---- Valve ----
constexpr std::array kValveFields{
    Field(1301, 0.01, 10, 1),      // velocity ratio
    Percent(1200, 0, 90, 0),       // overlap compensation, and asymmetric
    Percent(1204, 0, 90, 0),       //
    Percent(1201, 0, 90, 0),       // bend point velocity
    Percent(1202, 0, 90, 0),       // bend point output
    Field(1203, 0, 0.9, 0),        // response time
    Field(1280, 0, 1000000, 100),  // areas A and B
    Field(1281, 0, 1000000, 100),
    Field(1503, 0, 5, 0),  // brake delays off, on, safety
    Field(1502, 0, 5, 0),
    Field(1504, 0, 5, 0),
    Field(1305, 0.000001, 100000, 0.01),  // output weighting
    Field(1306, 1, 100000000, 1),         // output interpolation
};
constexpr auto kValveChecks = std::to_array<CheckRule>({{1302}, {1303}, {1304}});
constexpr auto kValveWrites = std::to_array<WriteItem>({
    {1301, kAlways},
    {1200, kAlways},
    {1204, kAlways},
    {1201, kAlways},
    {1202, kAlways},
    {1203, kAlways},
    {1280, kAlways},
    {1281, kAlways},
    {1503, kAlways},
    {1502, kAlways},
    {1504, kAlways},
    {1302, kAlways},
    {1303, kAlways},
    {1304, kAlways},
    {1305, From(25)},
    {1306, From(25)},
});

// ---- Encoder ----
constexpr std::array kEncoderFields{
    Signed(1102, -kBig, kBig, 0),                     // zero offset
    Signed(1120, -2, 2, 0, Conversion::Integer),      // zero swap
    Field(1103, 0.000001, 100000, 0.01),              // weighting
    UnlessEncoder30Or34(Field(1104, 1, 2000000, 1)),  // interpolation
    Percent(1105, 0.001, 1000000, 1),                 // index search velocity
    Percent(1107, 0.001, 1000000, 1),                 // sync search velocity
    Signed(1109, -kBig, kBig, 1),                     // default home position
    Field(1111, 0.001, 1000, 20),                     // base distance
    Field(1117, 0, 1, 0),                             // potentiometer Rp/Rl
    HexWord(1118),                                    // overrun threshold
    HexWord(1119),                                    // position mask
};
constexpr auto kEncoderChecks = std::to_array<CheckRule>({{1110}, {1106}, {1108}});
constexpr auto kEncoderWrites = std::to_array<WriteItem>({
    {1102, kAlways},
    {1110, kAlways},
    {1103, kAlways},
    {1104, kAlways},
    {1105, kAlways},
    {1107, kAlways},
    {1106, kAlways},
    {1108, kAlways},
    {1109, kAlways},
    {1111, kAlways},
    {1117, From(22)},
    {1118, From(28)},
    {1119, From(28)},
    {1120, From(31), true},
});

// ---- Ctrl ----
constexpr std::array kCtrlFields{
    Field(1700, 0, 1000, 0),     // lag controller: kP, dX, Ti, WuLimit, OutLimit
    Field(1708, 0, 100, 0),      //
    Field(1709, 0, 10, 0),       //
    Field(1710, 0, 10000, 0),    //
    Field(1711, 0, 10000, 0),    //
    Field(1717, 0, 1, 1),        // pre-feed
    Signed(1703, -10, 10, 0),    // offset compensation
    Field(1704, 0, 1, 0),        // clamping output
    Field(1705, 0, 1000000, 0),  // repositioning distance
    Field(1712, 0, 10, 0),       // velocity controller: kP, dX, Ti, WuLimit, OutLimit
    Field(1713, 0, 10000, 0),    //
    Field(1714, 0, 10, 0),       //
    Field(1715, 0, 10000, 0),    //
    Field(1716, 0, 10000, 0),    //
};
constexpr auto kCtrlChecks = std::to_array<CheckRule>({{1707}});
constexpr auto kCtrlWrites = std::to_array<WriteItem>({
    {1700, kAlways},
    {1703, kAlways},
    {1704, kAlways},
    {1705, kAlways},
    {1707, kAlways},
    {1708, From(26)},
    {1709, From(26)},
    {1710, From(26)},
    {1711, From(26)},
    {1712, From(26)},
    {1713, From(26)},
    {1714, From(26)},
    {1715, From(26)},
    {1716, From(26)},
    {1717, From(26)},
});

// ---- Monitor ----
constexpr std::array kMonitorFields{
    Signed(3, -kBig, kBig, -kBig),  // software ends min and max
    Signed(2, -kBig, kBig, kBig),   //
    Field(1800, 0, 1000, 0),        // position range
    Field(1801, 0, 1000, 0),        // target range
    Field(1802, 0, 1000, 0),        // target filter
    Field(7, 0, kBig, 10),          // maximum lag
    Field(1803, 0, 1000, 1),        // lag filters
    Field(1804, 0, 1000, 1),        //
    Field(1806, 0, 1000, 0),        // PEH filter
};
constexpr auto kMonitorChecks = std::to_array<CheckRule>({{5}, {4}, {6}, {1805}});
constexpr auto kMonitorWrites = std::to_array<WriteItem>({
    {3, kAlways},
    {5, kAlways},
    {2, kAlways},
    {4, kAlways},
    {1800, kAlways},
    {1801, kAlways},
    {1802, kAlways},
    {6, kAlways},
    {7, kAlways},
    {1803, kAlways},
    {1804, kAlways},
    {1806, From(20)},
    {1805, From(20)},
});

// ---- Auxilary: twenty values, 2001 to 2020 ----
constexpr auto kAuxFields = [] {
  std::array<FieldRule, std::tuple_size_v<decltype(model::ParamRecord::AuxData)>> fields{};
  for (uint16_t i = 0; i < fields.size(); ++i) {
    fields[i] = Signed(static_cast<uint16_t>(model::kParamNoAuxFirst + i), -kBig, kBig, 0);
  }
  return fields;
}();
constexpr auto kAuxWrites = [] {
  std::array<WriteItem, kAuxFields.size()> writes{};
  for (size_t i = 0; i < writes.size(); ++i) writes[i] = {kAuxFields[i].no, kAlways};
  return writes;
}();

// ---- LinDef ----
constexpr std::array kLinDefFields{
    Field(3153, 0, 10, 0.5),                            // ramp
    Field(3154, 0, 10, 0),                              // settling
    Field(3155, 0, 10, 0),                              // recovery
    Field(3156, 1, 100, 10),                            // minimum cycle
    Odd(Field(3150, 11, 99, 21, Conversion::Integer)),  // samples
    Percent(3106, 10, 100, 50),                         // deceleration factor
    Field(3104, 2, 10, 5),                              // negative and positive limits
    Field(3105, 2, 10, 5),                              //
    Field(3158, 0, 1, 0, Conversion::Integer),          // curve type
    Unchecked(3152),                                    // high and low end
    Unchecked(3151),                                    //
    Unchecked(3100),                                    // end of travel negative and positive
    Unchecked(3101),                                    //
};
constexpr auto kLinDefChecks = std::to_array<CheckRule>({{3000}, {3001}, {3002}, {3003}, {3004}});
constexpr auto kLinDefWrites = std::to_array<WriteItem>({
    {3000, From(32)},
    {3001, From(32)},
    {3002, From(32)},
    {3003, From(32)},
    {3004, From(32)},
    {3153, From(32)},
    {3154, From(32)},
    {3155, From(32)},
    {3156, From(32)},
    {3150, From(32)},
    {3106, From(32)},
    {3104, From(32)},
    {3105, From(32)},
    {3152, From(32)},
    {3151, From(32)},
    {3100, From(32)},
    {3101, From(32)},
    {3158, From(32)},
});

constexpr std::array kPages{
    PageRules{model::kPageCommon, {}, {}, kCommonLists, kCommonWrites, false, ReadBack::Redisplay},
    PageRules{model::kPageGlobal,
              kGlobalFields,
              kGlobalChecks,
              {},
              kGlobalWrites,
              true,
              ReadBack::ReadAndRepaint},
    PageRules{model::kPageValve,
              kValveFields,
              kValveChecks,
              {},
              kValveWrites,
              true,
              ReadBack::ReadAndRedisplay},
    PageRules{model::kPageEncoder,
              kEncoderFields,
              kEncoderChecks,
              {},
              kEncoderWrites,
              true,
              ReadBack::ReadAndRedisplay},
    PageRules{model::kPageCtrl,
              kCtrlFields,
              kCtrlChecks,
              {},
              kCtrlWrites,
              true,
              ReadBack::ReadAndRedisplay},
    PageRules{model::kPageMonitor,
              kMonitorFields,
              kMonitorChecks,
              {},
              kMonitorWrites,
              true,
              ReadBack::ReadAndRedisplay},
    PageRules{
        model::kPageAuxilary, kAuxFields, {}, {}, kAuxWrites, true, ReadBack::ReadAndRedisplay},
    PageRules{
        model::kPageLinDef, kLinDefFields, kLinDefChecks, {}, kLinDefWrites, false, ReadBack::None},
};

constexpr auto kTypeButtons = std::to_array<TypeButton>({
    {520, 1100},  // encoder type
    {521, 1101},  // reference mode
    {522, 1300},  // drive type
    {523, 1000},  // profile type
});

}  // namespace

const PageRules* FindPageRules(int page) {
  const auto it = std::find_if(kPages.begin(), kPages.end(),
                               [page](const PageRules& p) { return p.page == page; });
  return it == kPages.end() ? nullptr : &*it;
}

const FieldRule* FindFieldRule(uint16_t no, const PageRules** page) {
  for (const PageRules& p : kPages) {
    for (const FieldRule& r : p.fields) {
      if (r.no != no) continue;
      if (page != nullptr) *page = &p;
      return &r;
    }
  }
  return nullptr;
}

bool WritesNumbered(const PageRules& rules, uint16_t no, const model::LibVersion& lib) {
  return std::any_of(rules.writes.begin(), rules.writes.end(),
                     [&](const WriteItem& w) { return w.no == no && w.when.Holds(lib); });
}

std::span<const TypeButton> TypeButtons() {
  return kTypeButtons;
}

std::optional<uint16_t> TypeButtonField(int buttonId) {
  for (const TypeButton& b : kTypeButtons) {
    if (b.buttonId == buttonId) return b.no;
  }
  return std::nullopt;
}

}  // namespace entry
