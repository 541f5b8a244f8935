#include <gtest/gtest.h>

#include <set>

#include "SimTestUtil.h"
#include "sim/MessageLog.h"
#include "sim/Motion.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

using namespace simtest;

namespace {

std::unique_ptr<sim::Plant> Load(std::string_view text, std::string& error,
                                 std::span<const sim::ServerFeature> features = {}) {
  return sim::LoadPlant(text, kNetId, features, error);
}

}  // namespace

TEST(PlantConfig, DemoPlantLoads) {
  std::string error;
  auto plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kNetId,
                                  sim::DefaultServerFeatures(), error);
  ASSERT_TRUE(plant) << error;
  ASSERT_EQ(plant->Servers().size(), 3u);
  sim::Controller& c = plant->Ctrl();
  EXPECT_EQ(plant->Server(802)->Lib(), (model::LibVersion{2, 1, 6}));
  EXPECT_EQ(Read(c, 802, sim::kGroupIdentification, 5, 2).result(), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(plant->Server(851)->Axes().size(), 4u);
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 2, 256).Text(), "Transfer lift");
  // The CV3 runtime and the axis server share port 851.
  EXPECT_EQ(Send(c, oxa::Command::ReadWrite, 851, sim::kGroupSymbolHandleByName, 0, 4,
                 Bytes("Corvane_SystemInfoVarList._TASKINFO[1].CycleCount"))
                .result(),
            oxa::kOk);
  EXPECT_TRUE(sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/minimal.json", kNetId, {}, error)) << error;

  // Nine cylinders of their own, at their own start positions, each log with its start-up.
  std::set<double> masses, starts;
  for (const auto& server : plant->Servers()) {
    for (const auto& axis : server->Axes()) {
      SCOPED_TRACE(axis->Name());
      masses.insert(sim::MotionOf(*axis)->Cylinder().Spec().massKg);
      starts.insert(sim::RuntimeOf(*axis)->values.ActualPos);
      sim::LogMessage newest;
      ASSERT_TRUE(sim::LogOf(*axis)->At(1, newest));
      EXPECT_NE(newest.format.find(newest.cls == sim::LogClass::Error ? "Axis error" : "position"),
                std::string::npos);
    }
  }
  EXPECT_GE(masses.size(), 8u);
  EXPECT_EQ(starts.size(), 9u);
  // The right clamp starts with its drive error, which a Reset clears.
  sim::SimAxis& clamp = *plant->Server(851)->Axis(2);
  ASSERT_EQ(clamp.Name(), "Clamp right");
  EXPECT_EQ(sim::RuntimeOf(clamp)->values.ErrorCode, sim::kErrDriveNotReady);
  EXPECT_EQ(sim::MotionOf(clamp)->Reset(), 0);
  EXPECT_EQ(sim::RuntimeOf(clamp)->values.ErrorCode, 0);
}

TEST(PlantConfig, BadConfigurationsGiveAClearError) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"{\"servers\": [", "not valid JSON at line 1, column 14"},
      {"{\"servers\": [\n  {\"port\": 851,\n   \"lib\": \"3.0.35\" \"axes\": []}]}",
       "not valid JSON at line 3, column 25: syntax error while parsing object"},
      // Columns count characters, not the bytes of UTF-8.
      {"{\"servers\": [{\"ident\": \"Stößel\",, }]}", "line 1, column 33: syntax error"},
      {R"({"servers": [{"port": 1e400}]})", "not valid JSON"},
      {"[]", "must be an object"},
      {std::string(100000, '[') + std::string(100000, ']'), "must be an object"},
      {std::string(sim::kMaxConfigBytes + 1, ' '), "larger than 1 MiB"},
      {R"({"server": []})", "unknown key \"server\""},
      {R"({"runtimes": [{"port": 801}]})", "runtimes[0]: missing \"generation\""},
      {R"({"runtimes": [{"generation": "CV2", "port": 801, "activeTasks": [5]}]})", "task numbers"},
      {R"({"runtimes": [{"generation": "CV3", "port": 0, "cycleCount": 1}]})",
       "\"port\" must be an integer from 1 to 65535"},
      {R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 1},
                        {"generation": "CV2", "port": 851, "activeTasks": []}]})",
       "runtimes[1]: runtime at port 851"},
      {R"({"servers": [{"port": 851, "lib": "3.0"}]})", "\"lib\""},
      {R"({"servers": [{"port": 851, "lib": "3.0.65536"}]})", "\"lib\""},
      {R"({"servers": [{"port": 851, "lib": "3.0.35", "recordVersions": [1,1,1]}]})", "13 words"},
      {R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": ["Presse \u6cb9"]}]})", "axes[0]"},
      {R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": [{"nom": "x"}]}]})", "\"nom\""},
      {R"({"servers": [{"port": 851, "lib": "3.0.35"}, {"port": 851, "lib": "3.0.35"}]})",
       "servers[1]: server at port 851"},
      {R"({"servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 254, "axes": ["a","b","c"]}]})",
       "axis numbers"},
      {R"({"faults": [{"port": 851, "indexGroup": 1, "error": 1793, "drop": true}]})",
       "exactly one"},
      {R"({"faults": [{"port": 851, "indexGroup": 1, "error": 0}]})", "must not be 0"},
      {R"({"faults": [{"port": 851, "indexGroup": "0x1FFFFFFFF", "drop": true}]})", "indexGroup"},
  };
  for (const auto& k : cases) {
    std::string error;
    EXPECT_EQ(Load(k.text, error), nullptr) << k.text.substr(0, 80);
    EXPECT_NE(error.find(k.message), std::string::npos) << k.text.substr(0, 80) << ": " << error;
  }
  std::string error;
  EXPECT_EQ(sim::LoadPlantFile("/nonexistent/plant.json", kNetId, {}, error), nullptr);
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(PlantConfig, ReadsTextsFaultsAndFeatureKeys) {
  std::vector<uint16_t> installed;
  std::vector<sim::ServerFeature> features{{
      "parameters",
      {"parameters"},
      {"stroke"},
      [&](sim::AxisServer& s, const nlohmann::json& config, std::string& error) {
        if (config.contains("parameters") && config["parameters"] == "broken") {
          error = "cannot read the parameters";
          return false;
        }
        (void)config.at("parameters").at("strict");  // throws when the key is missing
        installed.push_back(s.Port());
        return true;
      },
  }};
  std::string error;
  auto plant = Load(R"({
    "servers": [{"port": 851, "lib": "3.0.35", "ident": "Valdor OxaServer V3",
                 "parameters": {"strict": 1},
                 "axes": [{"name": "Stößel", "stroke": 400}, "Tür"]}],
    "faults": [{"port": 851, "indexGroup": "0xFFFFFFFF", "indexOffset": 1, "error": "0x708"},
               {"port": 851, "indexGroup": "0xFFFFFFFF", "indexOffset": 2, "drop": true},
               {"port": 851, "indexGroup": "0xFFFFFFFF", "indexOffset": 3, "wrongLength": 1},
               {"port": 851, "indexGroup": "0x80005000", "error": -1}]
  })",
                    error, features);
  ASSERT_TRUE(plant) << error;
  EXPECT_EQ(installed, std::vector<uint16_t>{851});
  sim::Controller& c = plant->Ctrl();
  EXPECT_EQ(Read(c, 851, sim::kGroupIdentification, 0, 256).Text(), "Valdor OxaServer V3");
  EXPECT_EQ(Read(c, 851, sim::kGroupAxisName + 1, 2, 256).Text(),
            "St\xF6\xDF"
            "el");
  EXPECT_EQ(Read(c, 851, sim::kGroupAxisName + 2, 2, 256).Text(), "T\xFCr");
  EXPECT_EQ(Read(c, 851, sim::kGroupIdentification, 1, 2).result(), oxa::kErrBusy);
  EXPECT_TRUE(Read(c, 851, sim::kGroupIdentification, 2, 2).info.dropped);
  EXPECT_EQ(Read(c, 851, sim::kGroupIdentification, 3, 2).data.size(), 1u);
  EXPECT_EQ(Read(c, 851, sim::kGroupIdentification, 4, 2).result(), oxa::kOk);
  EXPECT_EQ(Read(c, 851, 0x80005000, 0, 2).result(), -1);

  EXPECT_FALSE(Load(R"({"servers": [{"port": 851, "lib": "3.0.35", "parameters": "broken"}]})",
                    error, features));
  EXPECT_NE(error.find("parameters: cannot read the parameters"), std::string::npos) << error;
  EXPECT_FALSE(
      Load(R"({"servers": [{"port": 851, "lib": "3.0.35", "parameters": {}}]})", error, features));
  EXPECT_NE(error.find("servers[0]: parameters: [json.exception"), std::string::npos) << error;
  // Without the feature its keys are unknown.
  EXPECT_FALSE(Load(R"({"servers": [{"port": 851, "lib": "3.0.35", "parameters": {}}]})", error));

  std::string out;
  for (std::string_view bad : {"\xC3", "\xC3\x41", "\xE6\xB2\xB9", "\x80", "\xC4\x80"}) {
    EXPECT_FALSE(sim::Utf8ToLatin1(bad, out)) << bad;
  }
}
