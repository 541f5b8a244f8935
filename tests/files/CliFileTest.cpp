// axtune-cli dump, diff and save, run in-process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "FileBuilder.h"
#include "common/CliRun.h"
#include "tools/cli/Cli.h"

namespace {

using files_test::FileBuilder;
using files_test::TempFile;

using testcli::CliRun;
constexpr auto Cli = testcli::RunCli;

FileBuilder WithTable(int16_t samples) {
  FileBuilder f(215);
  f.Real(1900, 80.5).Int(1100, 3).Int(1106, 1).Int(3150, samples);
  for (uint32_t i = 0; i < 100; ++i) f.Real(3201 + i, i * 1.0).Real(3401 + i, -0.01 * i);
  return f;
}

TEST(CliDump, PrintsTheRecordsWithAtMostAHundredTablePoints) {
  const struct {
    int16_t samples;
    size_t points;
  } cases[] = {{150, 100}, {100, 100}, {21, 21}, {0, 0}, {-5, 0}};
  for (const auto& c : cases) {
    const TempFile file(WithTable(c.samples).bytes);
    const CliRun r = Cli({"dump", file.Path()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.json["nFileFormat"], 215);
    EXPECT_EQ(r.json["recordsRead"], 205);
    const auto& lin = r.json["LinRecord"];
    EXPECT_EQ(lin["LinSamples"], c.samples);
    ASSERT_EQ(lin["LinTabValue"].size(), c.points) << c.samples;
    ASSERT_EQ(lin["LinTabOutput"].size(), c.points);
    if (c.points != 0) {
      EXPECT_EQ(lin["LinTabValue"][c.points - 1], static_cast<double>(c.points) - 1.0);
    }
    EXPECT_EQ(r.json["ParamRecord"]["JogFast"], 80.5);
    EXPECT_EQ(r.json["ParamRecord"]["EncoderType"], 3);
    EXPECT_EQ(r.json["ParamRecord"]["IndexSearchPositive"], true);
    EXPECT_EQ(r.json["ParamRecord"]["AuxData"].size(), 20u);
    EXPECT_EQ(r.json["ParamRecord"]["FileName"], "");
  }
  const CliRun missing = Cli({"dump", "/nonexistent/axtune/file.dat"});
  EXPECT_EQ(missing.code, cli::kExitUsage);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

TEST(CliDiff, ListsTheDifferingParameters) {
  FileBuilder a = WithTable(2);
  FileBuilder b = WithTable(2);
  b.Real(2005, 1.5).Int(1106, 0).Real(3202, 9.0).Real(3250, 9.0);  // 3250 lies past LinSamples
  const TempFile fa(a.bytes), fb(b.bytes);
  const CliRun same = Cli({"diff", fa.Path(), fa.Path()});
  EXPECT_EQ(same.code, 0) << same.err;
  EXPECT_TRUE(same.json["differences"].empty());

  const CliRun r = Cli({"diff", fa.Path(), fb.Path()});
  EXPECT_EQ(r.code, 1) << r.err;
  const nlohmann::json expect = nlohmann::json::parse(R"([
      {"no": 1106, "name": "IndexSearchPositive", "a": true, "b": false},
      {"no": 2005, "name": "AuxData[4]", "a": 0.0, "b": 1.5},
      {"no": 3202, "name": "LinTabValue[1]", "a": 1.0, "b": 9.0}])");
  EXPECT_EQ(r.json["differences"], expect);
  EXPECT_EQ(Cli({"diff", fa.Path(), "/nonexistent/axtune/file.dat"}).code, cli::kExitUsage);
}

TEST(CliSave, TheEmulatorSavesAFileThatDumpShows) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("axtune_cli_save_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const std::string routes = (dir.string() + ".routes");
  std::ofstream(routes) << "";
  setenv("OXA_ROUTES", routes.c_str(), 1);
  const std::string config = dir.string() + ".json";
  std::ofstream(config) << R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 1}],
      "servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1,
        "axes": [{"name": "Clamp", "params": {"FileName": "clamp.dat", "JogSlow": 4.25}}],
        "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2],
        "saveDir": ")" + dir.string() +
                               R"("}]})";

  const CliRun r = Cli({"save", "--sim-config", config, "--port", "851", "--axis", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.json["result"], 0);
  EXPECT_EQ(r.json["FileName"], "clamp.dat");
  EXPECT_EQ(r.json["name"], "Clamp");
  EXPECT_EQ(r.json["indexOffset"], 0xFFFF0001u);
  // The emulator in this process wrote the file before the command returned.
  const CliRun dump = Cli({"dump", (dir / "clamp.dat").string()});
  ASSERT_EQ(dump.code, 0) << dump.err;
  EXPECT_EQ(dump.json["ParamRecord"]["JogSlow"], 4.25);
  EXPECT_EQ(dump.json["numbersSkipped"], 0);

  EXPECT_EQ(Cli({"save", "--sim-config", config, "--port", "851", "--axis", "2"}).code,
            cli::kExitNothingFound);
  fs::remove_all(dir);
  fs::remove(config);
  fs::remove(routes);
}

}  // namespace
