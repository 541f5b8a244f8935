// The online pages and the characteristic chart without widgets: values, names, lamps and I/O
// rows from the records, the overview columns, and what the chart draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "oxa/Bytes.h"
#include "pages/layout/Characteristic.h"
#include "pages/layout/OnlineDisplay.h"
#include "pages/layout/PageTables.h"

namespace {

using namespace pages::layout;
using model::IoRecordId;

// The value control or lamp of `page` that shows `id` (a lamp of a row: its index or mask).
const Control& ValueOn(int page, ValueId id, uint32_t bit = 0) {
  const auto controls = PageControls(page);
  const auto it = std::find_if(controls.begin(), controls.end(), [&](const Control& c) {
    return c.bind.src == Src::Value && c.bind.Value() == id && c.bind.bit == bit;
  });
  static const Control none;
  if (it != controls.end()) return *it;
  ADD_FAILURE() << "no control shows value " << static_cast<int>(id);
  return none;
}

struct Records {
  model::RuntimeRecord runtime;
  model::AxisRefRecord axisRef;
  model::IoRecords io;
  msglog::MessageLog log;
  int16_t encoderType = 1;
  int16_t driveType = 3;

  std::array<bool, model::kIoRecordCount> read = [] {
    std::array<bool, model::kIoRecordCount> all{};
    all.fill(true);
    return all;
  }();

  OnlineRecords View() const { return {runtime, axisRef, io, log, encoderType, driveType, &read}; }
  template <class T>
  void Put(IoRecordId id, size_t offset, T v) {
    oxa::bytes::Put(model::IoBytes(io, id), offset, v);
  }
};

TEST(OnlineDisplay, ValuesNamesAndOverviewColumnsInTheirFormats) {
  Records r;
  r.runtime.ErrorCode = -1;
  r.runtime.LatchPos = 10;
  r.runtime.LatchPosOffset = 2.5;
  r.runtime.SetpointVeloRatio = -0.25;
  r.runtime.ReferenceVelo = 100;
  r.runtime.Overlap = 0.125;
  r.runtime.CurrentStep = -9999;
  r.runtime.StateBits = 1u << 29;
  r.axisRef.AxisStateCode = 8;
  const struct {
    ValueId id;
    std::string text;
  } cases[] = {
      {ValueId::ErrorCode, "-1(0xFFFFFFFF)"},
      {ValueId::LatchPos, "12.500000"},
      {ValueId::SetpointVelo, "-25.000000"},
      {ValueId::Overlap, "12.50%"},
      {ValueId::CurrentStep, "iCvHydStateEmergencyBreak"},
      {ValueId::CurrentState, "undefiniert (8)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OnlineText(ValueOn(2, c.id), r.View(), "undefiniert"), c.text) << c.text;
  }
  EXPECT_EQ(StepName(16, "undefined"), "undefined (16)");
  // "protected" lights from either of its bits.
  EXPECT_EQ(OnlineLit(ValueOn(2, ValueId::StateBits, 0x20000020u), r.View()), true);

  r.runtime.EnableBits = 0x5;
  r.runtime.ActualPos = 1e300;
  const auto en = OverviewColumns(r.runtime, true, false);
  const auto de = OverviewColumns(r.runtime, false, true);
  EXPECT_EQ(en[1].size(), 301u + 7u);  // never cut
  EXPECT_EQ((std::vector<std::string>{en[0], en[2], en[6], en[7], en[8], de[0], de[8]}),
            (std::vector<std::string>{"<", "    0.000000", "  -25.000", "0xFFFFFFFF", "-C-p-N-",
                                      " ", "-R-p-N-"}));
}

// The I/O rows read their images by the axis's encoder and drive type.
TEST(OnlineDisplay, IoRowsByEncoderAndDriveType) {
  Records base;
  base.Put<uint16_t>(IoRecordId::EncoderIn, 0x00, 1234);
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
  constexpr int kIo = 9;
  const struct {
    const char* what;
    int16_t encoder;
    int16_t drive;
    ValueId id;
    uint32_t bit;
    bool lamp;
    std::optional<std::string> text;                  // a lamp: "1" lit, "0" unlit
    std::optional<IoRecordId> unread = std::nullopt;  // an image not read for this axis
  } cases[] = {
      {"terminal count", 1, 3, ValueId::EncCount, 0, false, "1234"},
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
      {"output not read", 7, 3, ValueId::DrvDacOut, 0, false, "", IoRecordId::DriveOut},
      {"power lamp not read", 7, 3, ValueId::DrvPowerOn, 0, true, "0", IoRecordId::DriveOut},
      {"kept row not read", 1, 3, ValueId::XerboDriveState, 0, false, std::nullopt,
       IoRecordId::DriveDevIn},
  };
  for (const auto& c : cases) {
    Records r = base;
    r.encoderType = c.encoder;
    r.driveType = c.drive;
    if (c.unread) r.read[static_cast<size_t>(*c.unread)] = false;
    const Control& control = ValueOn(kIo, c.id, c.bit);
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

}  // namespace
