#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Plant.h"

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
  // The CV2 runtime at 801 has tasks 1 and 3; the server of task 1 is a V2.1 one.
  sim::AxisServer* v21 = plant->Server(802);
  ASSERT_TRUE(v21);
  EXPECT_EQ(v21->Lib(), (model::LibVersion{2, 1, 6}));
  EXPECT_EQ(v21->Axes().size(), 2u);
  EXPECT_EQ(Read(c, 802, sim::kGroupIdentification, 5, 2).result(), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Read(c, 802, sim::kGroupRecordVersions, 4, 2).result(), oxa::kErrInvalidIndexOffset);
  sim::AxisServer* v335 = plant->Server(851);
  ASSERT_TRUE(v335);
  EXPECT_EQ(v335->Axes().size(), 4u);
  EXPECT_EQ(v335->RecordVersion(2), 14);
  sim::AxisServer* v321 = plant->Server(852);
  ASSERT_TRUE(v321);
  EXPECT_EQ(Read(c, 852, sim::kGroupIdentification, 5, 2).As<uint16_t>(), 5);
  EXPECT_EQ(Read(c, 852, sim::kGroupAxisName + 5, 2, 256).Text(), "Transfer lift");
  // The CV3 runtime and the axis server share port 851.
  EXPECT_EQ(Send(c, oxa::Command::ReadWrite, 851, sim::kGroupSymbolHandleByName, 0, 4,
                 Bytes("Corvane_SystemInfoVarList._TASKINFO[1].CycleCount"))
                .result(),
            oxa::kOk);

  auto minimal = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/minimal.json", kNetId, {}, error);
  ASSERT_TRUE(minimal) << error;
  EXPECT_EQ(minimal->Servers().size(), 1u);
}

TEST(PlantConfig, BadConfigurationsGiveAClearError) {
  const struct {
    const char* what;
    std::string text;
    const char* message;
  } cases[] = {
      {"not JSON", "{\"servers\": [", "not valid JSON"},
      {"not an object", "[]", "must be an object"},
      {"unknown key", R"({"server": []})", "unknown key \"server\""},
      {"list expected", R"({"servers": {}})", "servers: must be a list"},
      {"no generation", R"({"runtimes": [{"port": 801}]})", "runtimes[0]: missing \"generation\""},
      {"bad generation", R"({"runtimes": [{"generation": "CV4", "port": 801}]})", "CV2"},
      {"task 5", R"({"runtimes": [{"generation": "CV2", "port": 801, "activeTasks": [5]}]})",
       "task numbers"},
      {"port 0", R"({"runtimes": [{"generation": "CV3", "port": 0, "cycleCount": 1}]})",
       "\"port\" must be an integer from 1 to 65535"},
      {"port too big", R"({"servers": [{"port": 70000, "lib": "3.0.35"}]})", "servers[0]"},
      {"port text", R"({"servers": [{"port": "eight", "lib": "3.0.35"}]})", "\"port\""},
      {"negative cycles", R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": -1}]})",
       "cycleCount"},
      {"same runtime port",
       R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 1},
                        {"generation": "CV2", "port": 851, "activeTasks": []}]})",
       "runtime at port 851"},
      {"no lib", R"({"servers": [{"port": 851}]})", "\"lib\""},
      {"short lib", R"({"servers": [{"port": 851, "lib": "3.0"}]})", "\"lib\""},
      {"lib overflow", R"({"servers": [{"port": 851, "lib": "3.0.65536"}]})", "\"lib\""},
      {"table of 12",
       R"({"servers": [{"port": 851, "lib": "3.0.35", "recordVersions": [1,1,1,1,1,1,1,1,1,1,1,1]}]})",
       "13 words"},
      {"word too big",
       R"({"servers": [{"port": 851, "lib": "3.0.35",
                        "recordVersions": [1,1,1,1,1,1,1,1,1,1,1,1,40000]}]})",
       "word 12"},
      {"name beyond Latin-1",
       R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": ["Presse \u6cb9"]}]})", "axes[0]"},
      {"axis key", R"({"servers": [{"port": 851, "lib": "3.0.35", "axes": [{"nom": "x"}]}]})",
       "unknown key \"nom\""},
      {"same server port",
       R"({"servers": [{"port": 851, "lib": "3.0.35"}, {"port": 851, "lib": "3.0.35"}]})",
       "servers[1]"},
      {"too many axes", R"({"servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 250,
                                         "axes": ["a","b","c","d","e","f","g"]}]})",
       "axis numbers"},
      {"two fault kinds",
       R"({"faults": [{"port": 851, "indexGroup": 1, "error": 1793, "drop": true}]})",
       "exactly one"},
      {"fault error 0", R"({"faults": [{"port": 851, "indexGroup": 1, "error": 0}]})",
       "must not be 0"},
      {"fault bad group",
       R"({"faults": [{"port": 851, "indexGroup": "0x1FFFFFFFF", "drop": true}]})", "indexGroup"},
      {"deep nesting", std::string(100000, '[') + std::string(100000, ']'), "must be an object"},
      {"oversized", std::string(sim::kMaxConfigBytes + 1, ' '), "larger than 1 MiB"},
  };
  for (const auto& k : cases) {
    std::string error;
    EXPECT_EQ(Load(k.text, error), nullptr) << k.what;
    EXPECT_NE(error.find(k.message), std::string::npos) << k.what << ": " << error;
  }
  std::string error;
  EXPECT_EQ(sim::LoadPlantFile("/nonexistent/plant.json", kNetId, {}, error), nullptr);
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(PlantConfig, ReadsTextsFaultsAndFeatureKeys) {
  std::vector<std::string> installed;
  std::vector<sim::ServerFeature> features{{
      "parameters",
      {"parameters"},
      {"stroke"},
      [&](sim::AxisServer& s, const nlohmann::json& config, std::string& error) {
        if (config.contains("parameters") && config["parameters"] == "broken") {
          error = "cannot read the parameters";
          return false;
        }
        installed.push_back(std::to_string(s.Port()));
        return true;
      },
  }};
  std::string error;
  auto plant = Load(R"({
    "servers": [{"port": 851, "lib": "3.0.35", "ident": "Valdor OxaServer V3",
                 "parameters": {}, "axes": [{"name": "Stößel", "stroke": 400}, "Tür"]}],
    "faults": [{"port": 851, "indexGroup": "0xFFFFFFFF", "indexOffset": 1, "error": "0x708"},
               {"port": 851, "indexGroup": "0xFFFFFFFF", "indexOffset": 2, "drop": true},
               {"port": 851, "indexGroup": "0xFFFFFFFF", "indexOffset": 3, "wrongLength": 1},
               {"port": 851, "indexGroup": 2147504128, "error": -1}]
  })",
                    error, features);
  ASSERT_TRUE(plant) << error;
  EXPECT_EQ(installed, std::vector<std::string>{"851"});
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

  EXPECT_EQ(Load(R"({"servers": [{"port": 851, "lib": "3.0.35", "parameters": "broken"}]})", error,
                 features),
            nullptr);
  EXPECT_NE(error.find("parameters: cannot read the parameters"), std::string::npos) << error;
  // Without the feature its keys are unknown.
  EXPECT_EQ(Load(R"({"servers": [{"port": 851, "lib": "3.0.35", "parameters": {}}]})", error),
            nullptr);
}

TEST(PlantConfig, ConvertsUtf8ToSingleByteText) {
  std::string out;
  EXPECT_TRUE(sim::Utf8ToLatin1("Ventil \xC2\xB5m \xC3\xBF", out));
  EXPECT_EQ(out, "Ventil \xB5m \xFF");
  for (std::string_view bad : {"\xC3", "\xC3\x41", "\xE6\xB2\xB9", "\x80", "\xC4\x80"}) {
    EXPECT_FALSE(sim::Utf8ToLatin1(bad, out)) << bad;
  }
}
