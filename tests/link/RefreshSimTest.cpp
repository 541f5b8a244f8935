// The refresh tick against the emulated controller: which requests each page sends, and how a
// failure stops them until the axis is selected again.
#include <gtest/gtest.h>

#include "DocSession.h"
#include "model/ParamRead.h"

namespace {

using doctest::DocSession;
using doctest::ServerSpec;

constexpr uint32_t kRecords1 = 0x8000F001;
constexpr uint32_t kRecords2 = 0x8000F002;
constexpr uint32_t kAxisRefOffset = 0;
constexpr uint32_t kRuntimeBlock = 1;
constexpr uint32_t kParamBlock = 2;
constexpr uint32_t kLinOffset = 4;
constexpr uint32_t kBatch = 24;

// Libraries before V3.0.11 read both records as blocks, which keeps the counts unambiguous.
ServerSpec V21() {
  ServerSpec s;
  s.port = 802;
  s.lib = {2, 1, 6};
  s.table = {
      2, 4, 7, 1, std::nullopt, 4, 1, 1, 4, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  return s;
}

TEST(RefreshSimTest, TimeoutOnOnlineGivesOneBoxThenOnlyOverviewReadsUntilSelected) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  EXPECT_TRUE(s.doc.RefreshAxisData(model::kPageOnline, nullptr));
  ASSERT_TRUE(s.ui.boxes.empty());
  s.Reset();

  const int fault = s.Fault(kRecords1, std::nullopt, oxa::kErrTimeout);
  s.doc.RefreshAxisData(model::kPageOnline, nullptr);
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  const std::string& box = s.ui.boxes[0];
  EXPECT_NE(box.find("OXA Read( nIdxG=0x8000F001, nIdxO=0x00000001, nErr=1861(0x745) )"),
            std::string::npos)
      << box;
  EXPECT_NE(box.find(s.strings.Text(29992)), std::string::npos);
  EXPECT_TRUE(s.doc.bCommStopped);
  EXPECT_EQ(s.Count(), 1u);  // the runtime read, and nothing after it

  s.Reset();
  const axlink::AxisTarget list = s.Target({}, 2);
  for (int i = 0; i < 3; ++i) s.doc.RefreshAxisData(model::kPageOnline, &list);
  EXPECT_EQ(s.Count(), 0u);
  s.doc.RefreshAxisData(model::kPageOverview, &list);
  EXPECT_EQ(s.Count(kRecords2, kAxisRefOffset), 1u);
  EXPECT_EQ(s.Count(kRecords2, kBatch), 1u);
  EXPECT_EQ(s.Count(), 2u);
  EXPECT_TRUE(s.ui.boxes.empty());

  s.plant.Ctrl().Faults().Remove(fault);
  ASSERT_TRUE(s.Select());
  EXPECT_FALSE(s.doc.bCommStopped);
  s.Reset();
  s.doc.RefreshAxisData(model::kPageOnline, nullptr);
  EXPECT_EQ(s.Count(kRecords1, kBatch), 1u);
  EXPECT_EQ(s.Count(kRecords1, kAxisRefOffset), 2u);  // the redraw after selection, the page
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(RefreshSimTest, FailedOverviewReadIsSilentAndPausesOnlyTheOverviewReads) {
  DocSession s;
  const axlink::AxisTarget list = s.Target({}, 2);
  s.Fault(kRecords2, kAxisRefOffset, oxa::kErrNotReady);
  s.doc.RefreshAxisData(model::kPageOverview, &list);
  s.doc.RefreshAxisData(model::kPageOverview, &list);
  EXPECT_EQ(s.Count(), 1u);
  EXPECT_TRUE(s.doc.bOverviewReadFailed);
  EXPECT_TRUE(s.ui.boxes.empty());
}

// Every overview row carries its own axis's ReferenceVelo. A StRtData block has none: the
// current axis takes the document's (150, not the controller's 100), the others' are read once
// after a login (here as the StParam block of V2.1), not at every pass. The batch layouts bring
// it themselves. The second login follows a logout: no axis is current.
TEST(RefreshSimTest, OverviewRowsCarryTheirOwnReferenceVeloReadOncePerLogin) {
  struct Case {
    const char* name;
    ServerSpec spec;
    std::array<std::array<double, 3>, 2> shown;  // per login, the rows of axes 1 to 3
    std::array<size_t, 2> paramReads;            // per login
  };
  ServerSpec batch;
  batch.axes = {"A", "B", "C"};
  ServerSpec block = V21();
  block.axes = batch.axes;
  const Case cases[] = {
      {"block", block, {{{150, 200, 300}, {100, 200, 300}}}, {2, 3}},
      {"batch", batch, {{{100, 200, 300}, {100, 200, 300}}}, {0, 0}},
  };
  for (const Case& c : cases) {
    DocSession s(c.spec);
    for (uint16_t n = 1; n <= 3; ++n) {
      sim::ParamsOf(s.Axis(c.spec.port, n))->Record().ReferenceVelo = 100.0 * n;
    }
    ASSERT_TRUE(s.Select(c.spec, 1)) << c.name;
    const axlink::AxisTarget first = s.Target(c.spec, 1);
    s.doc.RefreshAxisData(model::kPageOverview, &first);  // reads the page's parameters
    s.doc.runtime.ReferenceVelo = 150.0;
    for (size_t login = 0; login < 2; ++login) {
      s.Reset();
      for (int pass = 0; pass < 3; ++pass) {
        s.doc.BeginOverviewPass();
        for (uint16_t n = 1; n <= 3; ++n) {
          const axlink::AxisTarget list = s.Target(c.spec, n);
          s.doc.RefreshAxisData(model::kPageOverview, &list);
          ASSERT_TRUE(s.doc.bListRead) << c.name;
          EXPECT_EQ(s.doc.listRuntime.ReferenceVelo, c.shown[login][n - 1])
              << c.name << ", login " << login << ", axis " << n;
        }
      }
      size_t reads = 0;
      for (uint32_t n = 1; n <= 3; ++n) {
        reads += s.Count(0x8000F000 + n, kParamBlock) + s.Count(0x800F0000 + n, 8);
      }
      EXPECT_EQ(reads, c.paramReads[login]) << c.name << ", login " << login;
      s.doc.ResetDocument();
    }
  }
}

// The I/O records hold only what was read for the current axis: a selection clears them, and
// the records the new axis's encoder type does not read stay cleared and unread.
TEST(RefreshSimTest, IoRecordsOfThePreviousAxisAreClearedAtSelection) {
  ServerSpec spec = V21();
  DocSession s(spec);
  sim::ParamsOf(s.Axis(spec.port, 1))->Record().EncoderType = 1;  // the four terminal images
  sim::ParamsOf(s.Axis(spec.port, 2))->Record().EncoderType = 7;  // the drive-device images
  using model::IoRecordId;
  const auto bytes = [&s](IoRecordId id) {
    const auto b = model::IoBytes(s.doc.io, id);
    return std::vector<uint8_t>(b.begin(), b.end());
  };
  const auto read = [&s](IoRecordId id) { return s.doc.ioRead[static_cast<size_t>(id)]; };
  ASSERT_TRUE(s.Select(spec, 1));
  s.doc.RefreshAxisData(model::kPageIo, nullptr);
  ASSERT_TRUE(read(IoRecordId::DriveOut));
  ASSERT_NE(bytes(IoRecordId::DriveOut), std::vector<uint8_t>(bytes(IoRecordId::DriveOut).size()));

  ASSERT_TRUE(s.Select(spec, 2));
  for (size_t i = 0; i < model::kIoRecordCount; ++i) {
    const auto id = static_cast<IoRecordId>(i);
    EXPECT_FALSE(read(id)) << i;
    EXPECT_EQ(bytes(id), std::vector<uint8_t>(bytes(id).size())) << i;
  }
  s.doc.RefreshAxisData(model::kPageIo, nullptr);
  EXPECT_TRUE(read(IoRecordId::DriveDevIn));
  EXPECT_TRUE(read(IoRecordId::DriveDevOut));
  EXPECT_FALSE(read(IoRecordId::DriveOut));
  EXPECT_EQ(bytes(IoRecordId::DriveOut), std::vector<uint8_t>(bytes(IoRecordId::DriveOut).size()));
}

TEST(RefreshSimTest, ValveToEncoderReadsPageFiveOnceThenOnlyRuntime) {
  const ServerSpec spec = V21();
  DocSession s(spec);
  ASSERT_TRUE(s.Select(spec));
  s.doc.RefreshAxisData(model::kPageValve, nullptr);
  s.Reset();

  s.doc.RefreshAxisData(model::kPageEncoder, nullptr);
  EXPECT_EQ(s.Count(kRecords1, kParamBlock), 1u);
  EXPECT_EQ(s.Count(kRecords1, kRuntimeBlock), 1u);
  EXPECT_EQ(s.Count(), 2u);
  s.Reset();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(s.doc.RefreshAxisData(model::kPageEncoder, nullptr));
  EXPECT_EQ(s.Count(kRecords1, kRuntimeBlock), 3u);
  EXPECT_EQ(s.Count(), 3u);
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(RefreshSimTest, LinTabEveryRefreshSixAndOnEntryLinDefOnlyOnEntry) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  s.doc.RefreshAxisData(model::kPageOnline, nullptr);
  ASSERT_TRUE(s.doc.axisRef.HasLinTab());
  s.Reset();

  std::vector<int> readAt;
  for (int tick = 1; tick <= 13; ++tick) {
    const size_t before = s.Count(kRecords1, kLinOffset);
    const bool redraw = s.doc.RefreshAxisData(model::kPageLinTab, nullptr);
    const bool read = s.Count(kRecords1, kLinOffset) > before;
    EXPECT_EQ(redraw, read) << tick;
    if (read) readAt.push_back(tick);
  }
  EXPECT_EQ(readAt, (std::vector<int>{1, 7, 13}));

  s.Reset();
  for (int tick = 1; tick <= 13; ++tick) s.doc.RefreshAxisData(model::kPageLinDef, nullptr);
  EXPECT_EQ(s.Count(kRecords1, kLinOffset), 1u);
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(RefreshSimTest, IoPageReadsByAxisRefLayoutDeviceFlagAndEncoderType) {
  struct Case {
    int16_t axisRefLayout;
    int16_t word7, word8;  // drive terminal and drive device images
    int16_t encoderType;
    std::vector<uint32_t> offsets;
  };
  // AxisRef layout 6 announces the device interface (read whatever the encoder); layout 40
  // announces none.
  const Case cases[] = {
      {3, 2, 6, 0, {}},        {3, 2, 6, 1, {16, 17, 18, 19}}, {3, 1, 1, 7, {20, 21}},
      {3, 1, 1, 31, {20, 21}}, {6, 2, 6, 0, {22, 23}},         {40, 2, 6, 1, {}},
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.axisRefLayout) + "/" + std::to_string(c.encoderType);
    ServerSpec spec;
    spec.table[0] = c.axisRefLayout;
    spec.table[7] = c.word7;
    spec.table[8] = c.word8;
    DocSession s(spec);
    sim::ParamsOf(s.Axis(851, 1))->Record().EncoderType = c.encoderType;
    ASSERT_TRUE(s.Select(spec));
    s.doc.RefreshAxisData(model::kPageIo, nullptr);  // entry: the page's parameters
    s.doc.io.encoderIn.bytes.fill(0xAA);
    s.Reset();

    s.doc.RefreshAxisData(model::kPageIo, nullptr);
    std::vector<uint32_t> offsets;
    for (const auto& r : s.plant.Ctrl().Log().Entries()) {
      if (r.indexGroup == kRecords1 && r.indexOffset >= 16 && r.indexOffset <= 23) {
        offsets.push_back(r.indexOffset);
      }
    }
    EXPECT_EQ(offsets, c.offsets) << name;
    EXPECT_EQ(s.Count(), 1 + c.offsets.size()) << name;  // and the runtime values
    EXPECT_TRUE(s.ui.boxes.empty()) << name;
    if (c.axisRefLayout < 4 && c.encoderType == 0) {
      EXPECT_EQ(s.doc.io.encoderIn, model::EncoderInRecord{}) << name;
    }
  }
}

TEST(RefreshSimTest, CommonPageLogNotReadyIsNoErrorOtherLogFailuresStop) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  const int fault = s.Fault(0x8000F201, std::nullopt, oxa::kErrNotReady);
  s.doc.RefreshAxisData(model::kPageCommon, nullptr);
  s.doc.RefreshAxisData(model::kPageCommon, nullptr);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_FALSE(s.doc.bCommStopped);
  EXPECT_EQ(s.Count(0x8000F201), 2u);

  s.plant.Ctrl().Faults().Remove(fault);
  s.Fault(0x8000F201, std::nullopt, oxa::kErrBusy);
  s.doc.RefreshAxisData(model::kPageCommon, nullptr);
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].find("nIdxG=0x8000F201"), std::string::npos);
  EXPECT_TRUE(s.doc.bCommStopped);
}

TEST(RefreshSimTest, CommonPageFillsTheLogLinesAndAuxNamesFallBackToDefaults) {
  DocSession s;
  ASSERT_TRUE(s.Select());
  bool redraw = false;
  for (int i = 0; i < 8; ++i) redraw = s.doc.RefreshAxisData(model::kPageCommon, nullptr) || redraw;
  EXPECT_TRUE(redraw);
  EXPECT_FALSE(s.doc.messageLog.Line(1).empty());
  // The emulated server names no auxiliary value: every read fails silently.
  EXPECT_EQ(s.Count(0x8000F301), 20u);
  EXPECT_EQ(s.doc.auxNames[0], "AuxData[1]");
  EXPECT_EQ(s.doc.auxNames[19], "AuxData[20]");
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(RefreshSimTest, UnknownParameterNumbersKeepTheirDefaultsSilently) {
  ServerSpec spec;
  spec.lib = {3, 0, 21};  // one number at a time
  DocSession s(spec);
  auto& store = sim::ParamsOf(s.Axis(851, 1))->Record();
  store.CreepSpeed = 7.5;
  store.JogFast = 250.0;
  store.JogSlow = 25.0;
  const uint16_t creep = model::FindParamField("CreepSpeed")->no;
  const uint16_t jogFast = model::FindParamField("JogFast")->no;
  sim::ParamStateOf(*s.plant.Server(851))->unknown.insert(creep);  // 0x703
  s.Fault(0x800F0001, jogFast, oxa::kErrInvalidIndexGroup);        // 0x702
  ASSERT_TRUE(s.Select(spec));
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(s.doc.params.CreepSpeed, 0.0);
  EXPECT_EQ(s.doc.params.JogFast, 0.0);
  EXPECT_EQ(s.doc.params.JogSlow, 25.0);
}

}  // namespace
