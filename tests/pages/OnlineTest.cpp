// The online pages and the characteristic chart without widgets: values, names, lamps and I/O
// rows from the records, the overview columns, and what the chart draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "oxa/Bytes.h"
#include "pages/layout/Characteristic.h"
#include "pages/layout/OnlineDisplay.h"
#include "pages/layout/PageTables.h"

namespace {

using namespace pages::layout;
using model::IoRecordId;

const Control& ValueOn(int page, ValueId id, uint32_t bit = 0, Kind kind = Kind::ReadOnly) {
  for (const Control& c : PageControls(page)) {
    const bool lamp = c.kind == Kind::Lamp;
    if (c.bind.src == Src::Value && c.bind.Value() == id && c.bind.bit == bit &&
        lamp == (kind == Kind::Lamp)) {
      return c;
    }
  }
  ADD_FAILURE() << "no control for value " << static_cast<int>(id);
  static const Control none;
  return none;
}

struct Records {
  model::RuntimeRecord runtime;
  model::AxisRefRecord axisRef;
  model::IoRecords io;
  msglog::MessageLog log;
  int16_t encoderType = 1;
  int16_t driveType = 3;

  OnlineRecords View() const { return {runtime, axisRef, io, log, encoderType, driveType}; }
  template <class T>
  void Put(IoRecordId id, size_t offset, T v) {
    oxa::bytes::Put(model::IoBytes(io, id), offset, v);
  }
};

TEST(OnlineDisplay, ValuesAndNamesInTheirFormats) {
  Records r;
  r.runtime.ErrorCode = -1;
  r.runtime.LatchPos = 10;
  r.runtime.LatchPosOffset = 2.5;
  r.runtime.SetpointVeloRatio = 0.5;
  r.runtime.ReferenceVelo = 300;
  r.runtime.Overlap = 0.125;
  r.runtime.Buffered = 7;
  r.axisRef.InitError = 0x4221;
  r.axisRef.AxisStateCode = 5;
  const struct {
    int page;
    ValueId id;
    std::function<void(Records&)> set;
    std::string text;
  } cases[] = {
      {2, ValueId::ErrorCode, {}, "-1(0xFFFFFFFF)"},
      {0, ValueId::InitError, {}, "16929(0x4221)"},
      {2, ValueId::LatchPos, {}, "12.500000"},
      {2, ValueId::SetpointVelo, {}, "150.000000"},
      {2, ValueId::Overlap, {}, "12.50%"},
      {2, ValueId::Buffered, {}, "7"},
      {2, ValueId::CurrentState, {}, "McState_Errorstop"},
      {2, ValueId::CurrentStep, [](Records& x) { x.runtime.CurrentStep = -9999; },
       "iCvHydStateEmergencyBreak"},
      {2, ValueId::CurrentStep, [](Records& x) { x.runtime.CurrentStep = 9999; },
       "iCvHydStateFault"},
      {2, ValueId::CurrentStep, [](Records& x) { x.runtime.CurrentStep = 16; }, "undefiniert (16)"},
      {2, ValueId::CurrentState, [](Records& x) { x.axisRef.AxisStateCode = -1; },
       "undefiniert (-1)"},
  };
  for (const auto& c : cases) {
    Records x = r;
    if (c.set) c.set(x);
    EXPECT_EQ(OnlineText(ValueOn(c.page, c.id), x.View(), "undefiniert"), c.text) << c.text;
  }
  // The message box: lines 1 to 19, joined by line feeds.
  const std::string lines = *OnlineText(ValueOn(0, ValueId::MessageLines), r.View(), "");
  EXPECT_EQ(lines, std::string(18, '\n'));
  // Lamps: "protected" from either of its bits, the cams from the low bits downwards.
  r.runtime.StateBits = 1u << 29;
  r.runtime.PosCams = 0x8;
  EXPECT_EQ(OnlineLit(ValueOn(2, ValueId::StateBits, 0x20000020u, Kind::Lamp), r.View()), true);
  EXPECT_EQ(OnlineLit(ValueOn(2, ValueId::StateBits, 1, Kind::Lamp), r.View()), false);
  EXPECT_EQ(OnlineLit(ValueOn(2, ValueId::PosCams, 8, Kind::Lamp), r.View()), true);
}

TEST(OnlineDisplay, OverviewColumnsWholeAndTheEnableByLanguage) {
  model::RuntimeRecord r;
  r.ErrorCode = -1;
  r.EnableBits = 0x5;
  r.ActualPos = 1e300;
  r.SetpointVeloRatio = -0.25;
  r.ReferenceVelo = 100;
  const auto en = OverviewColumns(r, true, false);
  EXPECT_EQ(en[0], "<");
  EXPECT_EQ(en[1].size(), 301u + 7u);  // never cut
  EXPECT_EQ(en[2], "    0.000000");
  EXPECT_EQ(en[6], "  -25.000");
  EXPECT_EQ(en[7], "0xFFFFFFFF");
  EXPECT_EQ(en[8], "-C-p-N-");
  const auto de = OverviewColumns(r, false, true);
  EXPECT_EQ(de[0], " ");
  EXPECT_EQ(de[8], "-R-p-N-");
  EXPECT_EQ(EnableText(0x2, false), "-c-P-n-");
}

// The I/O rows read their images by the axis's encoder and drive type.
TEST(OnlineDisplay, IoRowsByEncoderAndDriveType) {
  Records base;
  base.Put<uint16_t>(IoRecordId::EncoderIn, 0x00, 1234);
  base.Put<uint16_t>(IoRecordId::EncoderIn, 0x02, 55);
  base.Put<uint8_t>(IoRecordId::EncoderIn, 0x0F, 1);
  base.Put<uint16_t>(IoRecordId::DriveDevIn, 0x0C, 4321);
  base.Put<uint32_t>(IoRecordId::DriveDevIn, 0x10, 0x44332211);
  base.Put<int16_t>(IoRecordId::DriveOut, 0x00, -5);
  base.Put<int32_t>(IoRecordId::DriveDevOut, 0x08, -100000);
  base.Put<uint32_t>(IoRecordId::DriveDevOut, 0x00, 0x04030201);
  base.Put<uint8_t>(IoRecordId::DriveDevOut, 0x12, 1);
  base.Put<uint8_t>(IoRecordId::DriveIn, 0x01, 1);
  base.Put<uint8_t>(IoRecordId::DevIn, 0x4F, 0x81);
  base.Put<int32_t>(IoRecordId::DevIn, 0x24, 0x00020003);
  base.Put<uint32_t>(IoRecordId::DevIn, 0x30, 0xA1B2C3D4);
  base.Put<uint32_t>(IoRecordId::DevIn, 0x00, 0xFFFFFFFF);
  base.Put<uint32_t>(IoRecordId::DevOut, 0x28, 0x0D0C0B0A);
  constexpr int kIo = 9;
  const struct {
    const char* what;
    int16_t encoder;
    int16_t drive;
    ValueId id;
    uint32_t bit;
    bool lamp;
    std::optional<std::string> text;  // a lamp: "1" lit, "0" unlit
  } cases[] = {
      {"terminal count", 1, 3, ValueId::EncCount, 0, false, "1234"},
      {"terminal latch", 1, 3, ValueId::EncLatch, 0, false, "55"},
      {"terminal input B", 1, 3, ValueId::EncDigIn, 1, true, "1"},
      {"16-bit output", 1, 3, ValueId::DrvDacOut, 0, false, "-5"},
      {"terminal drive acknowledge", 1, 3, ValueId::DrvEnAck, 0, true, "1"},
      {"terminal drive keeps Xerbo", 1, 3, ValueId::XerboDriveState, 0, false, std::nullopt},
      {"drive-device count", 7, 3, ValueId::EncCount, 0, false, "4321"},
      {"drive-device latch empty", 7, 3, ValueId::EncLatch, 0, false, ""},
      {"drive-device input unlit", 7, 3, ValueId::EncDigIn, 1, true, "0"},
      {"32-bit output", 1, 4, ValueId::DrvDacOut, 0, false, "-100000"},
      {"device drive power on", 1, 4, ValueId::DrvPowerOn, 0, true, "1"},
      {"Xerbo control", 1, 4, ValueId::XerboDriveCtrl, 0, false, "0x01 0x02 0x03 0x04"},
      {"Xerbo state", 1, 29, ValueId::XerboDriveState, 0, false, "0x11 0x22 0x33 0x44"},
      {"device drive keeps acknowledge", 1, 4, ValueId::DrvEnAck, 0, true, std::nullopt},
      {"status bits", 1, 3, ValueId::DevInStatus, 0, false, "10000001"},
      {"position words, high first", 1, 4, ValueId::DevInActualPos, 0, false, "    2     3"},
      {"drive state word", 25, 4, ValueId::DevInDriveState, 0, false, "C3D4"},
      {"drive state bytes", 7, 4, ValueId::DevInDriveState, 0, false, "D4 C3 B2 A1"},
      {"unsigned 32-bit count", 1, 3, ValueId::DevInUdiCount, 0, false, "4294967295"},
      {"drive control bytes", 24, 4, ValueId::DevOutDriveCtrl, 0, false, "0A 0B 0C 0D"},
  };
  for (const auto& c : cases) {
    Records r = base;
    r.encoderType = c.encoder;
    r.driveType = c.drive;
    const Control& control = ValueOn(kIo, c.id, c.bit, c.lamp ? Kind::Lamp : Kind::ReadOnly);
    if (c.lamp) {
      const std::optional<bool> lit = OnlineLit(control, r.View());
      EXPECT_EQ(lit ? std::optional<std::string>(*lit ? "1" : "0") : std::nullopt, c.text)
          << c.what;
    } else {
      EXPECT_EQ(OnlineText(control, r.View(), ""), c.text) << c.what;
    }
  }
}

// ---- The characteristic chart ----

model::LinRecord Table(std::initializer_list<std::pair<double, double>> points) {
  model::LinRecord lin;
  size_t i = 0;
  for (const auto& [output, value] : points) {
    lin.LinTabOutput[i] = output;
    lin.LinTabValue[i] = value;
    ++i;
  }
  lin.LinSamples = static_cast<int16_t>(points.size());
  return lin;
}

TEST(Characteristic, FullScaleAndItsLabels) {
  const struct {
    double m;
    double step;
    double full;
    std::vector<std::string> above;  // k = 1 to 10
    std::string belowFirst;
  } cases[] = {
      {37.2, 1, 37, {"4", "7", "11", "15", "19", "22", "26", "30", "33", "37"}, "-4"},
      {0.8,
       0.01,
       0.8,
       {"0.1", "0.2", "0.2", "0.3", "0.4", "0.5", "0.6", "0.6", "0.7", "0.8"},
       "-0.1"},
      {0, 0.01, 0, std::vector<std::string>(10, "0.0"), "0.0"},
      {12345, 1000, 12000, {"1200", "2400"}, "-1200"},
  };
  for (const auto& c : cases) {
    const FullScale s = ComputeFullScale(Table({{-1, -c.m / 2}, {0, 0}, {1, c.m}}));
    EXPECT_EQ(s.step, c.step) << c.m;
    EXPECT_NEAR(s.full, c.full, 1e-12) << c.m;
    for (size_t k = 0; k < c.above.size(); ++k) {
      EXPECT_EQ(ValueLabel(s.full, static_cast<int>(k) + 1), c.above[k]) << c.m << " " << k;
    }
    EXPECT_EQ(ValueLabel(s.full, -1), c.belowFirst) << c.m;
  }
  EXPECT_EQ(PercentLabel(1), "  10");
  EXPECT_EQ(PercentLabel(-10), "-100");
}

TEST(Characteristic, ZeroPointAndBranches) {
  model::LinRecord longFile = Table({{-1, -1}, {0, 0}, {0.5, 1}});
  longFile.LinSamples = 32767;
  for (size_t i = 3; i < model::kLinTabPoints; ++i)
    longFile.LinTabOutput[i] = 0.5 + 0.001 * static_cast<double>(i);
  const struct {
    const char* what;
    model::LinRecord lin;
    std::optional<size_t> zero;
    std::vector<size_t> positive;
    std::vector<size_t> negative;
  } cases[] = {
      {"rising", Table({{-1, -5}, {-0.5, -2}, {0, 0}, {0.5, 2}, {1, 5}}), 2, {2, 3, 4}, {2, 1, 0}},
      {"stops rising at 4",
       Table({{-1, -5}, {0, 0}, {0.4, 2}, {0.8, 4}, {0.6, 3}, {1, 5}}),
       1,
       {1, 2, 3},
       {1, 0}},
      {"leading points skipped", Table({{0.3, 9}, {-1, -5}, {0, 0}, {1, 5}}), 2, {2, 3}, {2, 1}},
      {"no zero point", Table({{-1, -5}, {-0.5, -2}}), std::nullopt, {}, {}},
      {"full scale 0", Table({{-1, 0}, {0, 0}, {1, 0}}), std::nullopt, {}, {}},
      {"one point", Table({{0, 1}}), std::nullopt, {}, {}},
      {"not a number ends a branch",
       Table({{-1, -5}, {0, 0}, {0.5, std::nan("")}, {1, 5}}),
       1,
       {1},
       {1, 0}},
  };
  for (const auto& c : cases) {
    const CurveIndices curve = FindCurve(c.lin);
    EXPECT_EQ(curve.zero, c.zero) << c.what;
    EXPECT_EQ(curve.positive, c.positive) << c.what;
    EXPECT_EQ(curve.negative, c.negative) << c.what;
  }
  // A file that claims 32767 points gives the table's 100.
  EXPECT_EQ(ChartPoints(longFile), model::kLinTabPoints);
  EXPECT_EQ(FindCurve(longFile).positive.back(), model::kLinTabPoints - 1);
}

TEST(Characteristic, FrameAndPlanInPixels) {
  // 768 lines: top 37 + 27, bottom 3 * (30 + 2 * 37) + 2 * 52 + 168.
  const ChartFrame f = MakeChartFrame(DesignScale(768), 0, 0, 1001);
  EXPECT_EQ(f.top, 64);
  EXPECT_EQ(f.bottom, 584);
  EXPECT_EQ(f.cx, 500);
  EXPECT_EQ(f.cy, 324);
  EXPECT_EQ(f.sx, 450);
  EXPECT_EQ(f.sy, 234);
  EXPECT_EQ(f.At(1, -1), (ChartPoint{950, 558}));
  EXPECT_EQ(f.At(-0.5, 1e300), (ChartPoint{275, 324 - 1000000}));

  const auto ops = PlanCharacteristic(f, Table({{-1, -10}, {0, 0}, {1, 10}}));
  const auto count = [&](ChartOp::Kind kind) {
    return std::count_if(ops.begin(), ops.end(),
                         [kind](const ChartOp& o) { return o.kind == kind; });
  };
  EXPECT_EQ(count(ChartOp::Kind::Line), 2 + 40 + 4);
  EXPECT_EQ(count(ChartOp::Kind::Text), 2 + 40);
  EXPECT_EQ(count(ChartOp::Kind::Mark), 1 + 4);
  // The axes come first, the curve last.
  EXPECT_EQ(ops[0].pen, ChartPen::Axis);
  EXPECT_EQ(ops.back().a, f.At(-1, -1));
  EXPECT_EQ(PlanCharacteristic(f, Table({{0, 1}})).size(), 2u + 2u + 80u);
}

}  // namespace
