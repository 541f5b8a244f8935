// The auxiliary names of an emulated axis: what the group answers, the configuration, and the
// document's read of them through the in-process transport.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "oxa/OxaDirect.h"
#include "sim/AuxNames.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace {

using simtest::kNetId;
using simtest::Read;

constexpr uint32_t kGroup1 = 0x8000F301;

std::unique_ptr<sim::Plant> Load(const std::string& axes, std::string& error) {
  const std::string text = R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 9}],
    "servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1, "axes": )" +
                           axes +
                           R"(, "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]})";
  const auto features = sim::DefaultServerFeatures();
  return sim::LoadPlant(text, kNetId, features, error);
}

class Ui final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override { boxes.push_back(text); }
  void RequestRedisplay() override {}
  std::vector<std::string> boxes;
};

TEST(AuxNamesTest, GroupAnswersOnlyNamesWithinTheirFieldWhileTheFeatureLevelNamesThem) {
  std::string error;
  auto plant = Load(R"(["Ram", "Clamp"])", error);
  ASSERT_TRUE(plant) << error;
  sim::Controller& c = plant->Ctrl();

  struct Case {
    const char* what;
    uint32_t offset;
    uint32_t length;
    int32_t result;
    std::string text;
  };
  const Case cases[] = {
      {"first", 1, 21, oxa::kOk, "Pressure A"},
      {"fifth", 5, 21, oxa::kOk, "Valve current"},
      {"last", 20, 21, oxa::kOk, "Pump flow"},
      {"short read", 1, 5, oxa::kOk, "Press"},
      {"offset 0", 0, 21, oxa::kErrInvalidIndexOffset, ""},
      {"offset 21", 21, 21, oxa::kErrInvalidIndexOffset, ""},
      {"offset far", 0xFFFFFFFF, 21, oxa::kErrInvalidIndexOffset, ""},
      {"too long", 1, 22, oxa::kErrInvalidSize, ""},
      {"empty", 1, 0, oxa::kErrInvalidSize, ""},
  };
  for (const Case& k : cases) {
    const auto a = Read(c, 851, kGroup1, k.offset, k.length);
    EXPECT_EQ(a.result(), k.result) << k.what;
    if (k.result != oxa::kOk) continue;
    EXPECT_EQ(a.data.size(), k.length) << k.what;
    EXPECT_EQ(a.Text(), k.text) << k.what;
    if (k.length == sim::kAuxNameField) {
      EXPECT_EQ(a.data.back(), 0) << k.what;
    }
  }
  EXPECT_EQ(simtest::Write(c, 851, kGroup1, 1, simtest::Bytes("x")).result(),
            oxa::kErrServiceNotSupported);
  EXPECT_EQ(Read(c, 851, 0x8000F303, 1, 21).result(), oxa::kErrInvalidIndexGroup);  // no axis 3

  // An axis whose reference says feature level 2 names nothing.
  sim::SimAxis& axis = *plant->Server(851)->Axis(1);
  sim::RuntimeOf(axis)->featureLevel = 2;
  EXPECT_EQ(Read(c, 851, kGroup1, 1, 21).result(), oxa::kErrInvalidIndexGroup);
  EXPECT_EQ(Read(c, 851, 0x8000F302, 1, 21).Text(), "Pressure A");
}

TEST(AuxNamesTest, ConfigurationReplacesNamesAndRefusesWhatCannotBeSent) {
  std::string error;
  auto plant = Load(
      R"([{"name": "Ram", "auxNames": ["Öltemp. Tank", null, "Exactly twenty chars"]}])", error);
  ASSERT_TRUE(plant) << error;
  sim::Controller& c = plant->Ctrl();
  EXPECT_EQ(Read(c, 851, kGroup1, 1, 21).Text(), "\xD6ltemp. Tank");  // Latin-1 on the wire
  EXPECT_EQ(Read(c, 851, kGroup1, 2, 21).Text(), "Pressure B");
  const auto full = Read(c, 851, kGroup1, 3, 21);
  EXPECT_EQ(full.Text(), "Exactly twenty chars");
  EXPECT_EQ(full.data.back(), 0);

  const char* refused[] = {
      R"([{"name": "Ram", "auxNames": ["Twenty-one characters"]}])",
      R"([{"name": "Ram", "auxNames": "Pressure"}])",
      R"([{"name": "Ram", "auxNames": [1]}])",
      R"([{"name": "Ram", "auxNames": ["Ω"]}])",
      R"([{"name": "Ram", "auxNames": ["a\u0000b"]}])",
      R"([{"name": "Ram", "auxNames": ["1","2","3","4","5","6","7","8","9","10","11","12","13",
          "14","15","16","17","18","19","20","21"]}])",
  };
  for (const char* axes : refused) {
    error.clear();
    EXPECT_EQ(Load(axes, error), nullptr) << axes;
    EXPECT_NE(error.find("auxNames"), std::string::npos) << error;
  }
}

TEST(AuxNamesTest, DocumentReadsTheNamesAndFallsBackBelowFeatureLevelThree) {
  std::string error;
  auto plant = Load(R"([{"name": "Ram", "auxNames": ["Öltemp."]}])", error);
  ASSERT_TRUE(plant) << error;
  oxa::OxaDirect direct;
  direct.Register(kNetId, plant->Ctrl());
  direct.OxaPortOpen();
  Ui ui;
  i18n::StringTable strings;
  CAxtuneDoc doc(direct, ui, strings);

  axlink::AxisTarget target;
  target.addr = {kNetId, 851};
  target.number = 1;
  target.versions.Store({3, 0, 35}, {40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2});
  ASSERT_TRUE(doc.SelectAxis(target, model::kPageAll));
  doc.RefreshAxisData(model::kPageOnline, nullptr);  // the redraw reads AxisRef and the names
  ASSERT_TRUE(ui.boxes.empty()) << ui.boxes[0];
  EXPECT_EQ(doc.axisRef.FeatureLevel, 3);
  EXPECT_EQ(doc.auxNames[0], "\xD6ltemp.");
  EXPECT_EQ(doc.auxNames[1], "Pressure B");
  EXPECT_EQ(doc.auxNames[19], "Pump flow");

  sim::RuntimeOf(*plant->Server(851)->Axis(1))->featureLevel = 2;
  ASSERT_TRUE(doc.SelectAxis(target, model::kPageAll));
  doc.RefreshAxisData(model::kPageOnline, nullptr);
  EXPECT_EQ(doc.axisRef.FeatureLevel, 2);
  EXPECT_EQ(doc.auxNames[0], "AuxData[1]");
  EXPECT_EQ(doc.auxNames[19], "AuxData[20]");
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
