// Download of the parameter pages against the emulated controller: what is refused, what is
// taken over, and what reaches the wire for which library.
#include <gtest/gtest.h>

#include "EntryRig.h"
#include "sim/ParamStore.h"

namespace {

using entry::DownloadOutcome;
using entrytest::WiresWritten;

constexpr uint32_t kParamNo1 = 0x800F0001;
constexpr uint32_t kRecords1 = 0x8000F001;

// Axis 1 of a server of library V3.0.`build`, selected, with the numbered writes logged.
struct Rig {
  static doctest::ServerSpec Library(uint16_t build) {
    doctest::ServerSpec spec;
    spec.lib = {3, 0, build};
    spec.table[2] = 10;  // a StParam block layout, for the libraries that write the whole record
    return spec;
  }
  explicit Rig(uint16_t build = 35, bool select = true) : spec(Library(build)), s(spec) {
    EXPECT_TRUE(!select || s.Select(spec));
    s.doc.AddObserver(&log);
    s.Reset();
  }
  ~Rig() { s.doc.RemoveObserver(&log); }
  DownloadOutcome Download(int page) { return entry::DownloadPage(page, boxes, s.doc).outcome; }
  model::ParamRecord& Controller() {
    static model::ParamRecord none;
    sim::ParamStore* store = sim::ParamsOf(s.Axis(spec.port, 1));
    return store != nullptr ? store->Record() : none;
  }

  doctest::ServerSpec spec;
  doctest::DocSession s;
  entrytest::WriteLog log;
  entrytest::PageBoxes boxes;
};

TEST(EntryDownloadTest, InvalidInputIsCorrectedAndRefusedAndTheSecondDownloadGoesThrough) {
  Rig r;
  r.boxes(12).text = "0,0001";   // acceleration below its minimum
  r.boxes(14).text = "2000000";  // deceleration above its maximum
  r.boxes(1901).text = "  +12,5";
  r.boxes(1004, 0x8000).checked = true;
  const model::ParamRecord before = r.s.doc.params;
  EXPECT_EQ(r.Download(model::kPageGlobal), DownloadOutcome::Rejected);
  EXPECT_EQ(r.boxes(12).text, "0.001000");
  EXPECT_EQ(r.boxes(14).text, "1000000.000000");
  EXPECT_EQ(r.boxes(1901).text, "12.5");
  EXPECT_EQ(r.s.doc.params, before);
  EXPECT_EQ(r.s.Count(), 0u);

  EXPECT_TRUE(entry::DownloadPage(model::kPageGlobal, r.boxes, r.s.doc).repaintNow);
  // The whole list from V3.0.30 on, a hidden box with its record value.
  EXPECT_EQ(WiresWritten(r.s, kParamNo1), 24u);
  EXPECT_EQ(r.log.Of(1900).value, before.JogFast);
  EXPECT_EQ(r.log.Of(1004).value, before.JerkEnabled | 0x8000);  // an unsigned word
  EXPECT_EQ(r.Controller().Deceleration, 1000000);
  // Read back.
  EXPECT_EQ(r.s.Count(kRecords1, 24), 1u);
  EXPECT_EQ(r.s.doc.params.Acceleration, 0.001);
  EXPECT_EQ(r.s.doc.params.JogSlow, 12.5);
  EXPECT_GE(r.s.ui.redisplays, 1);
  EXPECT_TRUE(r.s.ui.boxes.empty());
}

TEST(EntryDownloadTest, GlobalSendsThePosAccNumbersOnlyBeforeV3_0_30) {
  for (const uint16_t build : {uint16_t{29}, uint16_t{30}}) {
    Rig r(build);
    ASSERT_EQ(r.Download(model::kPageGlobal), DownloadOutcome::Done);
    const std::vector<uint16_t> n = r.log.Numbers();
    ASSERT_EQ(n.size(), build < 30 ? 26u : 24u) << build;
    const std::vector<uint16_t> before{8, 1400, 1402, 1401}, from{8, 1400, 12, 14};
    EXPECT_EQ(std::vector<uint16_t>(n.begin(), n.begin() + 4), build < 30 ? before : from);
  }
}

TEST(EntryDownloadTest, BeforeV3_0_11TheParameterPagesWriteTheWholeRecord) {
  Rig r(10);
  for (int page = model::kPageCommon; page <= model::kPageLinDef; ++page) {
    r.s.Reset();
    r.Download(page);
    const bool record = page >= model::kPageGlobal && page <= model::kPageAuxilary;
    EXPECT_EQ(WiresWritten(r.s, kRecords1, 2), record ? 1u : 0u) << page;
    EXPECT_EQ(WiresWritten(r.s, kParamNo1), 0u) << page;
  }
  EXPECT_TRUE(r.s.ui.boxes.empty());
}

TEST(EntryDownloadTest, PercentFieldsAreHeldAsFractions) {
  Rig r;
  r.boxes(1200).text = "45";
  r.boxes(1302).checked = true;
  ASSERT_EQ(r.Download(model::kPageValve), DownloadOutcome::Done);
  EXPECT_EQ(r.s.doc.params.OverlapCompensation, 0.45);
  EXPECT_EQ(r.log.Of(1200).value, 0.45);
  EXPECT_EQ(r.log.Of(1200).writeKind, axlink::ParamWriteKind::Real);
  EXPECT_EQ(r.log.Of(1302).writeKind, axlink::ParamWriteKind::Byte);
  EXPECT_TRUE(r.s.doc.params.VeloRatioInverted);
  EXPECT_EQ(WiresWritten(r.s, kParamNo1), 16u);
}

TEST(EntryDownloadTest, EncoderWordsAndSignsAndTheInterpolationOfEncoderType30) {
  Rig r;
  r.Controller().EncoderType = 30;
  ASSERT_TRUE(r.s.doc.ReselectAxis(model::kPageAll));
  const double interpolation = r.s.doc.params.EncoderIncInterpolation;
  r.boxes(1118).text = "zz";
  r.boxes(1104).text = "abc";  // neither checked nor taken over while the encoder type is 30
  r.boxes(1120).text = "-1";
  EXPECT_EQ(r.Download(model::kPageEncoder), DownloadOutcome::Rejected);
  EXPECT_EQ(r.boxes(1118).text, "zz");

  r.boxes(1118).text = "FFFF";
  ASSERT_EQ(r.Download(model::kPageEncoder), DownloadOutcome::Done);
  ASSERT_EQ(r.log.writes.size(), 14u);
  EXPECT_EQ(r.log.Of(1118).value, 65535.0);
  EXPECT_EQ(r.log.Of(1120).value, -1.0);
  EXPECT_EQ(r.log.Of(1104).value, interpolation);
  EXPECT_EQ(r.boxes(1104).text, "abc");
}

TEST(EntryDownloadTest, SamplesMustBeOddAndWithinTheirLimits) {
  struct Case {
    const char* typed;
    const char* shown;
    DownloadOutcome outcome;
  };
  const Case cases[] = {{"20", "20", DownloadOutcome::Rejected},
                        {"101", "99.000000", DownloadOutcome::Rejected},
                        {"21", "21", DownloadOutcome::Done}};
  Rig r;
  r.s.ui.redisplays = 0;
  for (const Case& c : cases) {
    r.s.Reset();
    r.boxes(3150).text = c.typed;
    EXPECT_EQ(r.Download(model::kPageLinDef), c.outcome) << c.typed;
    EXPECT_EQ(r.boxes(3150).text, c.shown);
    const size_t sent = c.outcome == DownloadOutcome::Done ? 18 : 0;
    EXPECT_EQ(WiresWritten(r.s, kParamNo1), sent) << c.typed;
    EXPECT_TRUE(r.s.ui.boxes.empty()) << c.typed;
  }
  EXPECT_EQ(r.s.doc.lin.LinSamples, 21);
  EXPECT_EQ(r.s.ui.redisplays, 0);
}

TEST(EntryDownloadTest, CommonTakesTheSelectedTypesAndItsButtonsFollowTheLibrary) {
  for (const uint16_t build : {uint16_t{10}, uint16_t{35}}) {
    Rig r(build);
    r.boxes(1100).item = 5;
    r.boxes(1300).item = 17;
    r.boxes(1000).item = 3;  // the reference mode list has no selection
    const model::ParamRecord before = r.s.doc.params;
    r.s.ui.redisplays = 0;
    EXPECT_EQ(entry::DownloadTypeButton(522, r.boxes, r.s.doc).outcome, DownloadOutcome::Done);
    EXPECT_EQ(r.s.doc.params.DriveType, 17);
    if (build > 10) {
      // Every list, as reals.
      EXPECT_EQ(r.log.Numbers(), (std::vector<uint16_t>{1100, 1300, 1000, 1101}));
      EXPECT_EQ(r.log.Of(1101).value, before.ReferenceMode);
      EXPECT_EQ(r.s.doc.params.EncoderType, 5);
      EXPECT_GE(r.s.ui.redisplays, 1);
    } else {
      // The button's own list, then the whole record; no read-back, no redisplay.
      EXPECT_EQ(r.s.doc.params.EncoderType, before.EncoderType);
      EXPECT_EQ(WiresWritten(r.s, kRecords1, 2), 1u);
      EXPECT_EQ(r.s.Count(), 1u);
      EXPECT_EQ(r.s.ui.redisplays, 0);
    }
  }
}

TEST(EntryDownloadTest, WhileStoppedADownloadOnlyChangesTheRecords) {
  Rig r(35, false);  // no axis selected, as in the offline file mode
  r.s.doc.params.JerkEnabled = 0x0101;
  r.boxes(12).text = "250";
  r.boxes(1004, 0x8000).checked = true;
  r.boxes(1004, 0x0100).checked = false;
  EXPECT_EQ(r.Download(model::kPageGlobal), DownloadOutcome::Done);
  EXPECT_EQ(r.s.doc.params.Acceleration, 250);
  EXPECT_EQ(r.s.doc.params.JerkEnabled, 0x8001);
  EXPECT_EQ(r.s.Count(), 0u);
  EXPECT_GE(r.s.ui.redisplays, 1);
}

}  // namespace
