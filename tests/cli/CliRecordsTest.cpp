// axtune-cli read --records against emulated plants in this process: which records each
// selection prints, what a whole read of a new and an old server shows, texts, and failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/CliRun.h"
#include "files/ParamFile.h"
#include "tools/cli/Cli.h"

namespace {

using ReadRun = testcli::CliRun;

ReadRun Read(std::vector<std::string> args,
             const std::string& config = AXTUNE_SIM_CONFIGS "/demo.json") {
  args.insert(args.begin(), {"--sim-config", config, "read"});
  return testcli::RunCli(std::move(args));
}

std::set<std::string> Keys(const nlohmann::json& j) {
  std::set<std::string> keys;
  if (j.is_object()) {
    for (const auto& [k, v] : j.items()) keys.insert(k);
  }
  return keys;
}

std::string WriteConfig(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

class CliRecordsTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string routes = testing::TempDir() + "cli_records_routes.conf";
    std::ofstream(routes) << "";
    setenv("OXA_ROUTES", routes.c_str(), 1);
  }
};

const std::set<std::string> kHead{"lib", "RecordVersionTable", "result"};

TEST_F(CliRecordsTest, RecordsOptionSelectsWhatIsPrinted) {
  struct Case {
    std::vector<std::string> options;
    std::set<std::string> records;
  };
  const Case cases[] = {
      {{"--records", "runtime"}, {"RuntimeRecord"}},
      {{"--records", "axisref,auxnames"}, {"AxisRefRecord", "AuxNames"}},
      {{"--records", "lin", "--records", "param"}, {"LinRecord", "ParamRecord"}},
      {{"--records", "log"}, {"MessageLog"}},
      // AxisRef layout 6 announces the device interface records: the I/O page reads those two.
      {{"--records", "io"}, {"DevInRecord", "DevOutRecord"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--port", "851", "--axis", "2"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ReadRun r = Read(args);
    SCOPED_TRACE(c.options[1]);
    ASSERT_EQ(r.code, 0) << r.err;
    std::set<std::string> expected = kHead;
    expected.insert(c.records.begin(), c.records.end());
    EXPECT_EQ(Keys(r.json), expected);
  }
  // An unknown record name is a usage error: no JSON.
  const ReadRun bad = Read({"--port", "851", "--axis", "2", "--records", "runtime,params"});
  EXPECT_NE(bad.code, 0);
  EXPECT_TRUE(bad.json.is_discarded());
}

TEST_F(CliRecordsTest, WholeReadOfTheNewServerShowsABelievableAxis) {
  const ReadRun r = Read({"--port", "851", "--axis", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(Keys(r.json),
            (std::set<std::string>{"lib", "RecordVersionTable", "result", "ParamRecord",
                                   "RuntimeRecord", "AxisRefRecord", "AuxNames", "LinRecord",
                                   "MessageLog", "DevInRecord", "DevOutRecord"}));
  const auto& rt = r.json["RuntimeRecord"];
  EXPECT_EQ(rt.size(), 29u);
  EXPECT_EQ(rt["ActualPos"], 8.0);  // where the demo's clamp starts
  EXPECT_EQ(rt["ReferenceVelo"], 285.0);
  EXPECT_EQ(rt["StateBits"], 0x1F);
  const auto& ref = r.json["AxisRefRecord"];
  EXPECT_EQ(ref["AxisRefName"], "Clamp left");
  EXPECT_EQ(ref["FeatureLevel"], 3);
  EXPECT_EQ(ref["InitState"], 2);
  EXPECT_EQ(ref["RefFlags"].size(), 8u);
  EXPECT_EQ(r.json["AuxNames"].size(), 20u);
  EXPECT_EQ(r.json["AuxNames"][0], "Pressure A");
  EXPECT_EQ(r.json["AuxNames"][19], "Pump flow");
  const auto& lin = r.json["LinRecord"];
  EXPECT_EQ(lin.size(), 22u);
  EXPECT_EQ(lin["LinSamples"], 21);
  // The points in use only, as dump prints a file's table.
  ASSERT_EQ(lin["LinTabOutput"].size(), 21u);
  ASSERT_EQ(lin["LinTabValue"].size(), 21u);
  EXPECT_EQ(lin["LinTabOutput"][0], -1.0);
  EXPECT_EQ(lin["LinTabValue"][10], 0.0);  // the overlap step around zero output
  EXPECT_GT(lin["LinTabValue"][11].get<double>(), 0.1);
  EXPECT_EQ(lin["LinTabOutput"][20], 1.0);
  const auto& log = r.json["MessageLog"];
  ASSERT_EQ(log.size(), 20u);
  for (const auto& line : log) {
    // A complete pass, every line with its time stamp prefix "dd.mm.yyyy hh:mm:ss:mmm ".
    ASSERT_GT(line.get<std::string>().size(), 24u) << line;
    EXPECT_EQ(line.get<std::string>()[2], '.') << line;
  }
}

// A script compares a controller with its file by comparing what read and dump print.
TEST_F(CliRecordsTest, ReadAndDumpPrintTheLinearisationRecordAlike) {
  const ReadRun r = Read({"--port", "851", "--axis", "1", "--records", "lin"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto& read = r.json["LinRecord"];

  // The same record as a parameter file: every field the format carries, table points past
  // LinSamples set to something else.
  model::ParamRecord param;
  model::LinRecord lin;
  lin.LinTabValue.fill(77.0);
  lin.LinTabOutput.fill(-77.0);
  for (const files::FileParam& p : files::FileParams()) {
    if (!p.lin) continue;
    const auto& v = read[std::string(p.name)];
    for (size_t i = 0; i < p.count && (p.count == 1 || i < v.size()); ++i) {
      void* at = p.at(param, lin, i);
      const auto& value = p.count == 1 ? v : v[i];
      switch (p.type) {
        case files::FileValueType::Real:
          *static_cast<double*>(at) = value.get<double>();
          break;
        case files::FileValueType::Bool:
          *static_cast<bool*>(at) = value.get<bool>();
          break;
        default:
          *static_cast<int16_t*>(at) = value.get<int16_t>();
          break;
      }
    }
  }
  const std::string path = testing::TempDir() + "cli_records_lin.dat";
  const std::vector<uint8_t> bytes = files::EncodeParameterFile(param, lin);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const ReadRun d = testcli::RunCli({"dump", path});
  ASSERT_EQ(d.code, 0) << d.err;
  EXPECT_EQ(d.json["LinRecord"], read);
}

TEST_F(CliRecordsTest, WholeReadOfTheOldServerShowsItsTerminalImages) {
  const ReadRun r = Read({"--port", "802", "--axis", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(r.json["lib"]["build"], 6);
  EXPECT_EQ(r.json["AxisRefRecord"]["AxisRefName"], "Ejector");
  // Encoder type of the demo axes: the four standard terminal records, in reading order.
  const char* images[] = {"EncoderInRecord", "EncoderOutRecord", "DriveInRecord", "DriveOutRecord"};
  const size_t sizes[] = {45, 26, 24, 41};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(images[i]);
    ASSERT_TRUE(r.json.contains(images[i]));
    EXPECT_EQ(r.json[images[i]]["bytes"].get<std::string>().size(), 2 * sizes[i]);
  }
  EXPECT_FALSE(r.json.contains("DevInRecord"));
  // The ejector at 12 mm, 0.001 mm per increment: 12000 counts, 0x2EE0.
  const auto& enc = r.json["EncoderInRecord"];
  EXPECT_EQ(enc["ENC.uiCount"], 0x2EE0);
  EXPECT_EQ(enc["ENC.uiPZDH"], 0);
  EXPECT_EQ(enc["bytes"].get<std::string>().substr(0, 4), "e02e");
  EXPECT_EQ(enc["ENC.bDigCam MM..PP"].size(), 4u);
  EXPECT_EQ(r.json["DriveInRecord"]["DRIVE.bPowerOk"], true);
  // AxisRef layout 2 announces no linearisation record: it stays reset.
  EXPECT_EQ(r.json["LinRecord"]["LinSamples"], 0);
  EXPECT_EQ(r.json["LinRecord"]["LinTabValue"].size(), 0u);
  // Log layout 1 carries no time stamps; the pass still fills all twenty lines.
  ASSERT_EQ(r.json["MessageLog"].size(), 20u);
  // The newest line is the last of the ejector's own start-up.
  EXPECT_EQ(r.json["MessageLog"][0], "Actual position 12.000 mm");
  EXPECT_FALSE(r.json["MessageLog"][19].get<std::string>().empty());
}

TEST_F(CliRecordsTest, ControllerTextsComeOutAsUtf8AndAFailedCyclicReadEndsTheReads) {
  const std::string config = WriteConfig("cli_records_texts.json", R"({
    "runtimes": [{"generation": "CV3", "port": 852, "cycleCount": 7}],
    "servers": [{"port": 852, "lib": "3.0.21", "firstAxis": 5,
      "axes": [{"name": "Stößel", "auxNames": ["Öltemperatur", null, "Druck Ä"]}],
      "recordVersions": [6, 9, 14, 3, 4, 5, 1, 2, 5, 0, 0, 1, 1]}],
    "faults": [{"port": 852, "indexGroup": "0x8000F005", "indexOffset": 23, "error": "0x745"}]})");
  ReadRun r = Read({"--port", "852", "--axis", "5", "--records", "axisref,auxnames"}, config);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.json["AxisRefRecord"]["AxisRefName"], "Stößel");
  EXPECT_EQ(r.json["AuxNames"][0], "Öltemperatur");
  EXPECT_EQ(r.json["AuxNames"][1], "Pressure B");
  EXPECT_EQ(r.json["AuxNames"][2], "Druck Ä");

  // The device interface images: DevIn is read, DevOut times out; the error box goes to stderr,
  // the exit code is 2, and the linearisation record (read after it) is not read any more.
  r = Read({"--port", "852", "--axis", "5", "--records", "io,lin"}, config);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("nIdxG=0x8000F005, nIdxO=0x00000017"), std::string::npos) << r.err;
  EXPECT_EQ(r.json["result"], 0);
  EXPECT_EQ(r.json["DevInRecord"]["DEV_IN.DriveState"], 8);
  EXPECT_EQ(r.json["DevOutRecord"]["bytes"], std::string(240, '0'));  // never read
  EXPECT_EQ(r.json["LinRecord"]["LinSamples"], 0);
}

}  // namespace
