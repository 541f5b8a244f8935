// Save and load on an emulated axis, in-process: the file it writes is a parameter file that the
// reader gives back as the axis's record.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "files/ParamFile.h"
#include "oxa/Bytes.h"
#include "oxa/Oxa.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/Commands.h"
#include "sim/ParamFile.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace {

namespace fs = std::filesystem;

const oxa::NetId kNet{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;

class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("axtune_simfiles_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

class SimFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string config = R"({"servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1,
        "axes": [{"name": "Clamp", "params": {"FileName": "press 1.dat", "JogFast": 80.5,
                  "EncoderType": 3, "IndexSearchPositive": true}}, "Lift"],
        "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2],
        "saveDir": ")" + dir.Path().string() +
                               R"("}]})";
    std::string error;
    const auto features = sim::DefaultServerFeatures();
    plant = sim::LoadPlant(config, kNet, features, error);
    ASSERT_TRUE(plant) << error;
    axis = plant->Server(kPort)->Axis(1);
    ASSERT_TRUE(axis);
  }

  int32_t Command(uint32_t group, uint32_t offset, oxa::Command cmd = oxa::Command::Write,
                  std::span<const uint8_t> data = {}) {
    oxa::OxaRequest r;
    r.target = {kNet, kPort};
    r.command = cmd;
    r.indexGroup = group;
    r.indexOffset = offset;
    r.readLength = cmd == oxa::Command::Read ? 4 : 0;
    r.writeData = data;
    std::array<uint8_t, 4> out{};
    return oxa::Finish(plant->Ctrl().Handle(r, {out.data(), r.readLength})).result;
  }

  model::ParamRecord& Params() { return sim::ParamsOf(*axis)->Record(); }
  model::LinRecord& Lin() { return sim::RuntimeOf(*axis)->lin; }

  TempDir dir;
  std::unique_ptr<sim::Plant> plant;
  sim::SimAxis* axis = nullptr;
};

TEST_F(SimFileTest, SaveWritesTheAxisAsAFileThatReadsBackTheSame) {
  Lin().LinSamples = 21;
  ASSERT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams), oxa::kOk);
  const fs::path file = dir.Path() / "press 1.dat";
  EXPECT_EQ(sim::CommandsOf(*plant->Server(kPort))->lastFile, file);
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left beside it

  model::ParamRecord param;
  model::LinRecord lin;
  const files::FileLoadResult r = files::LoadParameterFile(file.string(), param, lin);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.nFileFormat, 215);
  EXPECT_EQ(r.numbersSkipped, 0u);
  EXPECT_TRUE(files::DiffParameterSets(param, lin, Params(), Lin()).empty());
  EXPECT_EQ(param.JogFast, 80.5);
  EXPECT_EQ(param.EncoderType, 3);
  EXPECT_TRUE(param.IndexSearchPositive);
  EXPECT_EQ(lin.LinSamples, 21);

  // The second axis keeps its default FileName: its file is named by port and axis number.
  ASSERT_EQ(Command(sim::kGroupCommands + 2, sim::kCommandSaveParams), oxa::kOk);
  EXPECT_TRUE(fs::exists(dir.Path() / "port851-axis2.dat"));
}

TEST_F(SimFileTest, LoadRestoresTheSavedFileAndRaisesTheNotice) {
  ASSERT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams), oxa::kOk);
  const model::ParamRecord saved = Params();
  const model::LinRecord savedLin = Lin();
  Params().JogFast = 1.0;
  Params().AuxData[7] = 7.0;
  Lin().LinTabValue[5] = 55.0;
  sim::RuntimeOf(*axis)->paramsChanged = false;

  ASSERT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandLoadParams), oxa::kOk);
  EXPECT_EQ(Params(), saved);
  EXPECT_TRUE(files::DiffParameterSets(Params(), Lin(), saved, savedLin).empty());
  EXPECT_TRUE(sim::RuntimeOf(*axis)->paramsChanged);

  // Another FileName names a file that does not exist: the axis stays as it is.
  model::SetFileName(Params(), "other.dat");
  Params().JogFast = 2.0;
  sim::RuntimeOf(*axis)->paramsChanged = false;
  EXPECT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandLoadParams), oxa::kErrAccessDenied);
  EXPECT_EQ(Params().JogFast, 2.0);
  EXPECT_FALSE(sim::RuntimeOf(*axis)->paramsChanged);
}

TEST_F(SimFileTest, WrittenParametersAreUnsavedUntilSavedOrLoaded) {
  const auto unsaved = [&] { return sim::RuntimeOf(*axis)->values.Unsaved; };
  EXPECT_FALSE(unsaved());
  std::array<uint8_t, 8> jogFast{};
  oxa::bytes::Put(std::span<uint8_t>(jogFast), 0, 42.0);
  ASSERT_EQ(Command(sim::kGroupParamNo + 1, 1900, oxa::Command::Write, jogFast), oxa::kOk);
  EXPECT_TRUE(unsaved());
  ASSERT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams), oxa::kOk);
  EXPECT_FALSE(unsaved());

  // A refused write changes nothing, so it leaves the axis saved.
  EXPECT_EQ(Command(sim::kGroupParamNo + 1, 1900, oxa::Command::Write, std::span(jogFast).first(3)),
            oxa::kErrInvalidSize);
  EXPECT_FALSE(unsaved());

  ASSERT_EQ(Command(sim::kGroupParamNo + 1, 1900, oxa::Command::Write, jogFast), oxa::kOk);
  ASSERT_TRUE(unsaved());
  ASSERT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandLoadParams), oxa::kOk);
  EXPECT_FALSE(unsaved());
}

TEST_F(SimFileTest, ASlowDiskHoldsUpOnlyTheSaveItself) {
  // The disk takes as long as the test wants: the write waits until it is released.
  std::promise<void> writing;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  sim::CommandsOf(*plant->Server(kPort))->writeFile =
      [&](const fs::path& path, std::span<const uint8_t> bytes, std::string& error) {
        writing.set_value();
        released.wait();
        return sim::WriteFileAtomically(path, bytes, error);
      };
  std::string error;
  auto server = oxa::OxaTcpServer::Start(plant->Ctrl(), "127.0.0.1", 0, error);
  ASSERT_TRUE(server) << error;
  const auto client = [port = server->Port()] {
    auto c = std::make_unique<oxa::OxaTcpClient>([port] {
      oxa::RouteTable t;
      t.local = {"", kNet, "127.0.0.1", port};
      return t;
    });
    c->OxaPortOpen();
    c->OxaSyncSetTimeout(5000);
    return c;
  };
  const auto saver = client();
  const auto other = client();
  const oxa::OxaAddr at{kNet, kPort};

  const double before = Params().JogFast;
  int32_t saved = -1;
  std::thread save([&] {
    saved =
        saver->OxaSyncWriteReq(&at, sim::kGroupCommands + 1, sim::kCommandSaveParams, 0, nullptr);
  });
  ASSERT_EQ(writing.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  // Meanwhile another connection reads and writes; a request stuck behind the disk times out.
  std::array<uint8_t, 8> value{};
  EXPECT_EQ(other->OxaSyncReadReq(&at, sim::kGroupParamNo + 1, 1900, 8, value.data()), oxa::kOk);
  EXPECT_EQ(oxa::bytes::At<double>(value, 0), before);
  oxa::bytes::Put(std::span<uint8_t>(value), 0, before + 1.0);
  EXPECT_EQ(other->OxaSyncWriteReq(&at, sim::kGroupParamNo + 1, 1900, 8, value.data()), oxa::kOk);
  const fs::path file = dir.Path() / "press 1.dat";
  EXPECT_FALSE(fs::exists(file));
  release.set_value();
  save.join();

  // The file holds the parameters as they were when the save was asked for, and the write that
  // came after leaves the axis unsaved.
  EXPECT_EQ(saved, oxa::kOk);
  model::ParamRecord param;
  model::LinRecord lin;
  ASSERT_TRUE(files::LoadParameterFile(file.string(), param, lin).opened);
  EXPECT_EQ(param.JogFast, before);
  EXPECT_EQ(Params().JogFast, before + 1.0);
  EXPECT_TRUE(sim::RuntimeOf(*axis)->values.Unsaved);
}

TEST(SimSaveQueue, AnEarlierSnapshotNeverOverwritesALaterOne) {
  TempDir dir;
  const fs::path file = dir.Path() / "a.dat";
  std::vector<std::string> written;
  const sim::FileWriter write = [&](const fs::path& path, std::span<const uint8_t> bytes,
                                    std::string& error) {
    written.emplace_back(bytes.begin(), bytes.end());
    return sim::WriteFileAtomically(path, bytes, error);
  };
  const auto snapshot = [&](std::string_view text) {
    return sim::ParamSnapshot{file, std::vector<uint8_t>(text.begin(), text.end())};
  };
  sim::SaveQueue queue;
  const uint64_t first = queue.Enter(file);
  const uint64_t second = queue.Enter(file);
  // The second snapshot reaches the disk first; the first one then has nothing to add.
  EXPECT_TRUE(queue.Write(second, snapshot("new"), write));
  EXPECT_TRUE(queue.Write(first, snapshot("old"), write));
  EXPECT_EQ(written, std::vector<std::string>{"new"});
  // Once nothing is in flight, the next save writes again.
  EXPECT_TRUE(queue.Write(queue.Enter(file), snapshot("newer"), write));
  EXPECT_EQ(written.back(), "newer");
}

TEST_F(SimFileTest, CommandRequestsOfTheWrongKind) {
  const uint8_t data[4] = {};
  EXPECT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams, oxa::Command::Read),
            oxa::kErrServiceNotSupported);
  EXPECT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams, oxa::Command::Write, data),
            oxa::kErrInvalidSize);
  EXPECT_EQ(Command(sim::kGroupCommands + 1, 0xFFFF0009), oxa::kErrInvalidIndexOffset);
  EXPECT_EQ(Command(sim::kGroupCommands + 9, sim::kCommandSaveParams), oxa::kErrInvalidIndexGroup);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(SimFileTest, SaveIntoAnUnusableDirectoryFailsAndLeavesNothing) {
  const fs::path blocker = dir.Path() / "plain-file";
  std::ofstream(blocker) << "x";
  sim::SetSaveDir(*plant, blocker / "sub");
  EXPECT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams), oxa::kErrAccessDenied);
  sim::SetSaveDir(*plant, dir.Path() / "made" / "on" / "demand");
  EXPECT_EQ(Command(sim::kGroupCommands + 1, sim::kCommandSaveParams), oxa::kOk);
  EXPECT_TRUE(fs::exists(dir.Path() / "made" / "on" / "demand" / "press 1.dat"));
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 2u);
}

// Servers that share one save directory: each axis's file is named by port and axis number or
// by the configuration's "paramFile", so no save overwrites another server's file.
TEST(SimSaveFiles, ServersSharingADirectoryNeverOverwriteEachOthersFiles) {
  TempDir dir;
  const std::string d = dir.Path().string();
  const std::string config = R"({"servers": [
      {"port": 851, "lib": "3.0.35", "saveDir": ")" +
                             d + R"(",
       "axes": [{"name": "A", "params": {"JogFast": 11}}, {"name": "B", "paramFile": "ram.dat"}]},
      {"port": 852, "lib": "3.0.35", "saveDir": ")" +
                             d + R"(",
       "axes": [{"name": "C", "params": {"JogFast": 22}}]}]})";
  std::string error;
  const auto features = sim::DefaultServerFeatures();
  auto plant = sim::LoadPlant(config, kNet, features, error);
  ASSERT_TRUE(plant) << error;
  ASSERT_TRUE(sim::PrepareSaveDirs(*plant, error)) << error;
  const auto command = [&](uint16_t port, uint16_t axis, uint32_t offset) {
    oxa::OxaRequest r;
    r.target = {kNet, port};
    r.command = oxa::Command::Write;
    r.indexGroup = sim::kGroupCommands + axis;
    r.indexOffset = offset;
    return oxa::Finish(plant->Ctrl().Handle(r, {})).result;
  };
  using PortAxis = std::pair<uint16_t, uint16_t>;
  for (const auto& [port, axis] : {PortAxis{851, 1}, PortAxis{852, 1}, PortAxis{851, 2}}) {
    ASSERT_EQ(command(port, axis, sim::kCommandSaveParams), oxa::kOk) << port << "/" << axis;
  }
  const struct {
    const char* file;
    double jogFast;
  } files[] = {{"port851-axis1.dat", 11}, {"port852-axis1.dat", 22}, {"ram.dat", -1}};
  for (const auto& f : files) {
    model::ParamRecord param;
    model::LinRecord lin;
    ASSERT_TRUE(files::LoadParameterFile((dir.Path() / f.file).string(), param, lin).opened)
        << f.file;
    if (f.jogFast > 0) {
      EXPECT_EQ(param.JogFast, f.jogFast) << f.file;
    }
  }
  EXPECT_EQ(model::FileNameText(sim::ParamsOf(*plant->Server(851)->Axis(2))->Record()), "ram.dat");

  // A file saved by an older emulator under "axis<N>.dat" still loads while the new one is
  // missing; once the new one exists, that one is read.
  model::ParamRecord& c = sim::ParamsOf(*plant->Server(852)->Axis(1))->Record();
  fs::rename(dir.Path() / "port852-axis1.dat", dir.Path() / "axis1.dat");
  c.JogFast = 1;
  ASSERT_EQ(command(852, 1, sim::kCommandLoadParams), oxa::kOk);
  EXPECT_EQ(c.JogFast, 22);
  EXPECT_EQ(sim::CommandsOf(*plant->Server(852))->lastFile, dir.Path() / "axis1.dat");
  ASSERT_EQ(command(851, 1, sim::kCommandLoadParams), oxa::kOk);
  EXPECT_EQ(sim::CommandsOf(*plant->Server(851))->lastFile, dir.Path() / "port851-axis1.dat");

  // Two axes named to the same file, and a directory that cannot be made, are refused at start.
  model::SetFileName(c, "ram.dat");
  EXPECT_FALSE(sim::PrepareSaveDirs(*plant, error));
  EXPECT_NE(error.find("port 852 axis 1 and port 851 axis 2 would both save to"), std::string::npos)
      << error;
  model::SetFileName(c, "other.dat");
  std::ofstream(dir.Path() / "plain-file") << "x";
  sim::SetSaveDir(*plant, dir.Path() / "plain-file" / "sub");
  EXPECT_FALSE(sim::PrepareSaveDirs(*plant, error));
  EXPECT_NE(error.find("cannot create the save directory"), std::string::npos) << error;

  // "paramFile" takes plain names only.
  for (const char* bad : {R"("../x.dat")", R"(".hidden")", R"(7)", R"("a/b")"}) {
    const std::string text = R"({"servers": [{"port": 851, "lib": "3.0.35",
        "axes": [{"name": "A", "paramFile": )" +
                             std::string(bad) + "}]}]}";
    EXPECT_FALSE(sim::LoadPlant(text, kNet, features, error)) << bad;
    EXPECT_NE(error.find("axes[0].paramFile must be a file name"), std::string::npos) << error;
  }
}

TEST(SimSaveFileName, OnlyPlainNamesAreKept) {
  const struct {
    std::string_view name;
    bool kept;
  } cases[] = {
      {"press 1.dat", true}, {"Presse_\xFC.dat", true}, {"x.y.dat", true},
      {"", false},           {"../etc.dat", false},     {"a/b.dat", false},
      {"a\\b.dat", false},   {".hidden", false},        {"x..y", false},
      {"..", false},         {"tab\t.dat", false},      {"del\x7F", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sim::SaveFileName(c.name, 852, 4), c.kept ? std::string(c.name) : "port852-axis4.dat")
        << c.name;
  }
}

}  // namespace
