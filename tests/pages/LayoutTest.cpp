#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

#include "model/ParamDictionary.h"
#include "pages/layout/Design.h"
#include "pages/layout/Display.h"
#include "pages/layout/PageTables.h"
#include "pages/layout/TypeNames.h"
#include "pages/layout/Visibility.h"

namespace {

using namespace pages::layout;

const Control* Find(int page, Src src, uint16_t no, uint32_t bit = 0) {
  for (const PlacedControl& p : AllControls()) {
    const Bind& b = p.control->bind;
    if (p.page == page && b.src == src && b.no == no && b.bit == bit) return p.control;
  }
  return nullptr;
}
uint16_t V(ValueId id) {
  return static_cast<uint16_t>(id);
}
const Control* Label(int page, uint32_t textId) {
  for (const PlacedControl& p : AllControls()) {
    if (p.page == page && p.control->text == textId) return p.control;
  }
  return nullptr;
}

TEST(DesignUnits, EachTermIsConvertedAndTruncatedOnItsOwn) {
  const Control* axisName = Label(kFramePage, 1001);
  const Control* referenceVelo = Find(3, Src::Param, 8);
  const Control* timeBased = Find(3, Src::Param, 1003);
  ASSERT_TRUE(axisName && referenceVelo && timeBased);
  const struct {
    int screen;
    const Control* control;
    PixelRect rect;
  } cases[] = {
      {768, axisName, {7, 37, 217, 64}},
      // y - 2 gives 90 - 1; the bottom is 90 + 22 + 4.
      {768, referenceVelo, {225, 89, 397, 116}},
      {1080, referenceVelo, {316, 124, 558, 163}},
      {768, timeBased, {225, 382, 232, 409}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DesignScale(c.screen).Rect(*c.control), c.rect) << c.screen << " " << c.control->x;
  }
}

TEST(PageTables, EveryValueNamesAFieldAndIsFoundByWhatItShows) {
  std::set<std::tuple<int, Src, uint16_t, uint32_t>> seen;
  for (const PlacedControl& p : AllControls()) {
    const Control& c = *p.control;
    const Bind& b = c.bind;
    if (b.src == Src::Param) {
      const bool aux = b.no >= kParamNoAuxFirst && b.no < kParamNoAuxFirst + kAuxValues;
      EXPECT_TRUE(aux || model::FindParamField(b.no)) << b.no;
    }
    if (b.src == Src::Lin) {
      const model::ParamRow* row = model::FindParam(b.no);
      EXPECT_TRUE(row != nullptr && row->home == model::ParamHome::Lin) << b.no;
    }
    if (b.src == Src::TypeName) {
      EXPECT_TRUE(TypeName(b.no, 0)) << b.no;
    }
    if (b.src != Src::None) {
      EXPECT_TRUE(seen.insert({p.page, b.src, b.no, b.bit}).second)
          << "page " << p.page << " shows " << b.no << " twice";
    }
  }
  // Every parameter of the LinDef page and all twenty auxiliary values have their control.
  for (const model::ParamRow& row : model::ParamRows()) {
    if (row.home == model::ParamHome::Lin && row.count == 1) {
      EXPECT_TRUE(Find(11, Src::Lin, row.no));
    }
  }
  for (uint16_t i = 0; i < kAuxValues; ++i) {
    EXPECT_TRUE(Find(8, Src::Param, static_cast<uint16_t>(kParamNoAuxFirst + i)));
    EXPECT_TRUE(Find(8, Src::AuxName, i));
  }
}

// One case: a control, the inputs that differ from a plain V3.0.35 axis on its page, and
// whether the control shows.
struct ShowCase {
  const char* what;
  const Control* control;
  void (*setup)(ViewInputs&);
  bool shown;
};

ViewInputs Plain(int page) {
  ViewInputs in;
  in.page = page;
  in.lib = {3, 0, 35};
  in.axisRefLayout = 6;
  in.stParamLayout = 14;
  in.messageLogLayout = 4;
  in.encoderType = 1;
  in.referenceMode = 0;
  in.driveType = 3;
  in.profileType = 0;
  return in;
}

int PageOf(const Control* c) {
  for (const PlacedControl& p : AllControls()) {
    if (p.control == c) return p.page;
  }
  return -2;
}

void Check(const ShowCase& c) {
  ASSERT_TRUE(c.control) << c.what;
  const int page = PageOf(c.control);
  ViewInputs in = Plain(page == kFramePage ? 3 : page);
  c.setup(in);
  EXPECT_EQ(IsVisible(page, *c.control, in), c.shown) << c.what;
}

TEST(Visibility, ParameterRowsFollowProfileLayoutsVersionsAndTheStoredFlags) {
  const ShowCase cases[] = {
      {"jerk limit, profile 5, StParam 8", Find(3, Src::Param, 16),
       [](ViewInputs& in) { in.profileType = 5, in.stParamLayout = 8; }, false},
      {"TimeBased, profile 5, StParam 8", Find(3, Src::Param, 1003),
       [](ViewInputs& in) { in.profileType = 5, in.stParamLayout = 8; }, false},
      {"a JerkEnabled box, profile 5, StParam 8", Find(3, Src::Param, 1004, 0x0080),
       [](ViewInputs& in) { in.profileType = 5, in.stParamLayout = 8; }, false},
      {"jerk label, profile 5, StParam 9", Label(3, 1022),
       [](ViewInputs& in) { in.profileType = 5, in.stParamLayout = 9; }, true},
      {"TimeBased, profile 3, StParam 9", Find(3, Src::Param, 1003),
       [](ViewInputs& in) { in.profileType = 3, in.stParamLayout = 9; }, true},
      {"jerk limit, profile 3", Find(3, Src::Param, 16), [](ViewInputs& in) { in.profileType = 3; },
       false},
      {"PosAcc, profile 1", Find(3, Src::Param, 1401), [](ViewInputs& in) { in.profileType = 1; },
       true},
      {"PosAcc, profile 0", Label(3, 3003), [](ViewInputs&) {}, false},
      {"second creep speed, not asymmetric", Find(3, Src::Param, 1604), [](ViewInputs&) {}, false},
      {"second overlap compensation, asymmetric", Find(4, Src::Param, 1204),
       [](ViewInputs& in) { in.asymmetric = true; }, true},
      {"brake delay, profile 4", Find(4, Src::Param, 1502),
       [](ViewInputs& in) { in.profileType = 4; }, true},
      {"area A, AxisRef 3", Find(4, Src::Param, 1280), [](ViewInputs& in) { in.axisRefLayout = 3; },
       false},
      {"Default PowerOk, AxisRef 4", Find(4, Src::Param, 1303),
       [](ViewInputs& in) { in.axisRefLayout = 4; }, true},
      {"response time, StParam 9", Find(4, Src::Param, 1203),
       [](ViewInputs& in) { in.stParamLayout = 9; }, false},
      {"max. lag, StParam 9", Find(7, Src::Param, 6), [](ViewInputs& in) { in.stParamLayout = 9; },
       true},
      {"output weighting, drive 17, V3.0.24", Find(4, Src::Param, 1305),
       [](ViewInputs& in) {
         in.driveType = 17, in.lib = {3, 0, 24};
       },
       false},
      {"output weighting, drive 17, V3.0.24 file", Find(4, Src::Param, 1306),
       [](ViewInputs& in) {
         in.driveType = 17, in.lib = {3, 0, 24}, in.fileMode = true;
       },
       true},
      {"output weighting, drive 3", Find(4, Src::Param, 1305), [](ViewInputs&) {}, false},
      {"override, profile 6", Find(2, Src::Value, V(ValueId::Override)),
       [](ViewInputs& in) { in.profileType = 6; }, true},
      {"buffered, profile 6, V3.0.33", Label(2, 2017),
       [](ViewInputs& in) {
         in.profileType = 6, in.lib = {3, 0, 33};
       },
       false},
      {"LinDef, V3.0.32", Find(11, Src::Lin, 3153),
       [](ViewInputs& in) {
         in.lib = {3, 0, 32};
       },
       false},
      {"LinDef, V3.0.32 file", Label(11, 11006),
       [](ViewInputs& in) {
         in.lib = {3, 0, 32}, in.fileMode = true;
       },
       true},
      {"message box, log layout 0", Find(0, Src::Value, V(ValueId::MessageLines)),
       [](ViewInputs& in) { in.messageLogLayout = 0; }, false},
  };
  for (const ShowCase& c : cases) Check(c);
}

TEST(Visibility, EncoderValuesFollowTheEncoderGroupAndReferenceMode) {
  // Type 43 is in no group: nothing of the search, zero or terminal rows shows.
  for (uint16_t no : std::initializer_list<uint16_t>{1102, 1120, 1105, 1106, 1107, 1108, 1109, 1111,
                                                     1117, 1118, 1119}) {
    ViewInputs in = Plain(5);
    in.encoderType = 43;
    EXPECT_FALSE(IsVisible(5, *Find(5, Src::Param, no), in)) << no;
  }
  const ShowCase cases[] = {
      {"index search, incremental, mode 3", Find(5, Src::Param, 1105),
       [](ViewInputs& in) { in.referenceMode = 3; }, false},
      {"sync search, incremental, mode 3", Find(5, Src::Param, 1107),
       [](ViewInputs& in) { in.referenceMode = 3; }, true},
      {"home position, incremental, mode 3", Find(5, Src::Param, 1109),
       [](ViewInputs& in) { in.referenceMode = 3; }, true},
      {"base distance, incremental, mode 3", Find(5, Src::Param, 1111),
       [](ViewInputs& in) { in.referenceMode = 3; }, true},
      {"home position, absolute 5, mode 3", Find(5, Src::Param, 1109),
       [](ViewInputs& in) { in.encoderType = 5, in.referenceMode = 3; }, false},
      {"zero offset, type 42", Find(5, Src::Param, 1102),
       [](ViewInputs& in) { in.encoderType = 42; }, true},
      {"zero swap, group A", Find(5, Src::Param, 1120), [](ViewInputs& in) { in.encoderType = 4; },
       false},
      {"overrun row, group B", Label(5, 5011), [](ViewInputs& in) { in.encoderType = 37; }, true},
      {"potentiometer row, group B", Label(5, 5010), [](ViewInputs& in) { in.encoderType = 37; },
       false},
      {"zero swap label, group A", Label(5, 5004), [](ViewInputs& in) { in.encoderType = 4; },
       true},
      {"modulo base label", Label(5, 5009), [](ViewInputs&) {}, true},
      {"modulo base value", Find(5, Src::Param, 1112), [](ViewInputs&) {}, false},
      {"encoder info, drive 26", Find(5, Src::Value, V(ValueId::EncoderInfo2)),
       [](ViewInputs& in) { in.driveType = 26; }, true},
  };
  for (const ShowCase& c : cases) Check(c);
}

TEST(Visibility, FrameRowsAndTheIoLayoutsFollowThePage) {
  // The Overview page: the list and the rows at the bottom, nothing else.
  ViewInputs overview = Plain(1);
  std::set<uint32_t> shownTexts;
  int shownValues = 0;
  for (const PlacedControl& p : AllControls()) {
    if (!IsVisible(p.page, *p.control, overview)) continue;
    if (p.control->bind.src == Src::Value) ++shownValues;
    if (p.control->text != 0) shownTexts.insert(p.control->text);
  }
  EXPECT_EQ(shownValues, 3);  // list, destination, velocity
  EXPECT_EQ(shownTexts, (std::set<uint32_t>{1002, 1003, 1004, 1005, 1006, 1007, 1011, 1012, 1013,
                                            1014, 1015, 1016, 1017}));

  const Control* destination = Find(kFramePage, Src::Value, V(ValueId::Destination));
  const Control* destinationLabel = Label(kFramePage, 1002);
  ViewInputs linTab = Plain(10);
  EXPECT_FALSE(IsVisible(kFramePage, *destination, linTab));
  EXPECT_TRUE(IsVisible(kFramePage, *destinationLabel, linTab));
  EXPECT_EQ(TextIdFor(*destinationLabel, linTab), 0u);
  EXPECT_EQ(TextIdFor(*Label(kFramePage, 1015), linTab), 1015u);
  EXPECT_EQ(TextIdFor(*Label(kFramePage, 1017), linTab), 0u);
  ViewInputs encoder = Plain(5);
  EXPECT_EQ(TextIdFor(*Label(kFramePage, 1004), encoder), 0u);
  EXPECT_EQ(TextIdFor(*Label(kFramePage, 1017), encoder), 1017u);

  const ShowCase io[] = {
      {"terminal count, AxisRef 3", Label(9, 9001), [](ViewInputs& in) { in.axisRefLayout = 3; },
       true},
      {"terminal count, AxisRef 4", Label(9, 9001), [](ViewInputs&) {}, false},
      {"Xerbo state, AxisRef 3, drive 26", Label(9, 9171),
       [](ViewInputs& in) { in.axisRefLayout = 3, in.driveType = 26; }, true},
      {"DRIVE.bEnAck, AxisRef 3, drive 26, both flags", Label(9, 9102),
       [](ViewInputs& in) {
         in.axisRefLayout = 3, in.driveType = 26, in.hasDevIo = in.refFlag4 = true;
       },
       false},
      {"DRIVE.bEnAck, AxisRef 3, drive 3, both flags", Label(9, 9102),
       [](ViewInputs& in) { in.axisRefLayout = 3, in.hasDevIo = in.refFlag4 = true; }, true},
      {"DEV_IN.uiCount, one flag", Label(9, 10001), [](ViewInputs& in) { in.hasDevIo = true; },
       false},
      {"DEV_IN.uiCount, both flags", Label(9, 10001),
       [](ViewInputs& in) { in.hasDevIo = in.refFlag4 = true; }, true},
      {"DEV_IN.DriveError, drive 29, no flags", Label(9, 10013),
       [](ViewInputs& in) { in.driveType = 29; }, true},
      {"DEV_IN.uiCount, drive 29, both flags", Label(9, 10001),
       [](ViewInputs& in) { in.driveType = 29, in.hasDevIo = in.refFlag4 = true; }, false},
  };
  for (const ShowCase& c : io) Check(c);
  // The drive state label names the record field the drive type uses, or keeps its text.
  const Control* driveState = Label(9, 10017);
  ViewInputs in = Plain(9);
  in.driveType = 28;
  EXPECT_EQ(TextIdFor(*driveState, in), 10016u);
  in.driveType = 30;
  EXPECT_EQ(TextIdFor(*driveState, in), std::nullopt);
}

TEST(TypeNames, NamedValuesAndTheSortedTypeLists) {
  EXPECT_EQ(EncoderTypeName(7), "EncoderType07");
  EXPECT_EQ(EncoderTypeName(1000), "EncoderType1000");
  for (int v : {36, 45, -1, 999}) EXPECT_FALSE(EncoderTypeName(v)) << v;
  for (int v : {20, 22, 32, 40, -32768}) EXPECT_FALSE(DriveTypeName(v)) << v;
  EXPECT_EQ(ReferenceModeName(3), "HomingOnMultiSync");
  EXPECT_FALSE(ReferenceModeName(5));

  const struct {
    ComboList list;
    size_t count;
    const char* first;
  } lists[] = {{ComboList::Encoder, 45, "EncoderType00"},
               {ComboList::Drive, 38, "DriveType00"},
               {ComboList::Homing, 5, "HomingOnBlock"},
               {ComboList::Profile, 6, "ProfileBufferedJerk"}};
  for (const auto& l : lists) {
    const std::vector<ComboItem> items = ComboItems(l.list);
    ASSERT_EQ(items.size(), l.count);
    EXPECT_EQ(items.front().name, l.first);
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(),
                               [](const auto& a, const auto& b) { return a.name < b.name; }));
    for (const ComboItem& item : items)
      EXPECT_EQ(TypeName(l.list == ComboList::Encoder  ? 1100
                         : l.list == ComboList::Drive  ? 1300
                         : l.list == ComboList::Homing ? 1101
                                                       : 1000,
                         item.value),
                item.name);
  }
  // Profiles 1, 2 and 100 have names but cannot be chosen.
  for (int v : {1, 2, 100}) {
    EXPECT_TRUE(ProfileTypeName(v));
    for (const ComboItem& item : ComboItems(ComboList::Profile)) EXPECT_NE(item.value, v);
  }
}

TEST(Display, ValuesInTheirFormats) {
  model::ParamRecord params;
  model::LinRecord lin;
  model::RuntimeRecord runtime;
  params.PositionMask = 255;
  params.OverrunThreshold = -1;
  params.OverlapCompensation = 0.125;
  params.CycleTime = 0.002;
  params.ZeroSwap = -2;
  params.ReferenceVelo = 1e300;
  params.AuxData[19] = -1.5;
  params.EncoderType = 36;
  params.ProfileType = 100;
  model::SetFileName(params, "axis1.dat");
  lin.LinSamples = 21;
  lin.LinDecelFactor = 0.5;
  lin.LinRamp = 0.25;
  runtime.EncoderInfo1 = 2;
  const DisplayRecords records{params, lin, runtime};
  const struct {
    const Control* control;
    std::string text;
  } cases[] = {
      {Find(5, Src::Param, 1119), "000000FF"},
      {Find(5, Src::Param, 1118), "FFFFFFFF"},
      {Find(4, Src::Param, 1200), "12.500000"},
      {Find(0, Src::Param, 1001), "2.000"},
      {Find(5, Src::Param, 1120), "-2"},
      {Find(8, Src::Param, 2020), "-1.500000"},
      {Find(0, Src::TypeName, 1100), "undefined"},
      {Find(0, Src::Param, 1000), "ProfileTestOnly"},
      {Find(0, Src::Param, 1007), "axis1.dat"},
      {Find(11, Src::Lin, 3150), "21"},
      {Find(11, Src::Lin, 3106), "50.0"},
      {Find(11, Src::Lin, 3153), "0.250"},
      {Find(5, Src::Value, V(ValueId::EncoderInfo1)), "2.000000"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.control) << c.text;
    EXPECT_EQ(ParamText(*c.control, records, "undefined"), c.text);
  }
  // However large, a value is printed whole.
  const std::string huge = *ParamText(*Find(3, Src::Param, 8), records, "");
  EXPECT_EQ(huge.size(), 301u + 7u);
  EXPECT_EQ(huge.substr(0, 2), "10");

  params.JerkEnabled = 0x8001;
  lin.LinEnableTable = true;
  EXPECT_EQ(ParamChecked(*Find(3, Src::Param, 1004, 0x8000), records), true);
  EXPECT_EQ(ParamChecked(*Find(3, Src::Param, 1004, 0x0100), records), false);
  EXPECT_EQ(ParamChecked(*Find(11, Src::Lin, 3004), records), true);
  EXPECT_EQ(ParamChecked(*Find(3, Src::Param, 8), records), std::nullopt);
}

}  // namespace
