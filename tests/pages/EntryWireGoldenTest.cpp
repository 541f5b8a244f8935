// The bytes on the wire of a login, an axis selection, a download of every page and a parameter
// file loaded and downloaded, against the emulator on a server before V3.0.11 (whole-record
// writes) and a current one (numbered batches). The transcript is compared byte for byte with
// data/wire_golden.txt; AXTUNE_WRITE_GOLDEN=1 writes the file anew instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "EntryRig.h"
#include "common/RecordingOxa.h"
#include "files/ParamFile.h"
#include "link/AxisList.h"
#include "link/Login.h"
#include "pages/layout/Display.h"
#include "pages/layout/PageTables.h"

namespace {

namespace layout = pages::layout;

const std::filesystem::path kGolden = std::filesystem::path(AXTUNE_TEST_DATA) / "wire_golden.txt";

entrytest::PageBoxes Shown(int page, const CAxtuneDoc& doc) {
  entrytest::PageBoxes boxes;
  const layout::DisplayRecords records{doc.params, doc.lin, doc.runtime};
  for (const layout::Control& c : layout::PageControls(page)) {
    if (c.kind == layout::Kind::Edit) {
      if (auto text = layout::ParamText(c, records, "")) boxes(c.bind.no).text = *text;
    } else if (auto checked = layout::ParamChecked(c, records)) {
      boxes(c.bind.no, static_cast<uint16_t>(c.bind.bit)).checked = *checked;
    }
  }
  return boxes;
}

void DownloadEveryPage(testoxa::RecordingOxa& wire, CAxtuneDoc& doc) {
  for (int page = model::kPageCommon; page <= model::kPageLinDef; ++page) {
    wire.Note("download page " + std::to_string(page));
    entrytest::PageBoxes boxes = Shown(page, doc);
    entry::DownloadPage(page, boxes, doc);
  }
}

std::string Session(const char* title, const doctest::ServerSpec& spec) {
  doctest::DocSession s(spec);
  testoxa::RecordingOxa wire(s.direct);
  CAxtuneDoc doc{wire, s.ui, s.strings};
  wire.Note(std::string("server ") + title);

  wire.Note("login");
  std::string error;
  EXPECT_TRUE(s.plant.AddCv3Runtime(spec.port, 1000, error)) << error;
  axlink::AxisList lists;
  axlink::FrameStatus status;
  axlink::LoginEnv env;
  env.oxa = &wire;
  env.portHandle = wire.OxaPortOpen();
  env.target = doctest::kNetId;
  env.lists = &lists;
  env.document = &doc;
  env.status = &status;
  EXPECT_TRUE(axlink::Login(env)) << title;

  wire.Note("select axis 1");
  EXPECT_TRUE(doc.SelectAxis(s.Target(spec, 1), model::kPageAll)) << title;

  DownloadEveryPage(wire, doc);

  // A file whose values differ from the axis's in every kind of field.
  model::ParamRecord p = doc.params;
  model::LinRecord l = doc.lin;
  p.JogFast = 123.25;
  p.EncoderType = 3;
  p.JerkEnabled = 0x8001;
  p.OverrunThreshold = 70000;
  p.PosAccEnabled = !p.PosAccEnabled;
  p.AuxData[4] = -7.5;
  l.LinSamples = 11;
  l.LinEnableTable = true;
  const std::vector<uint8_t> file = files::EncodeParameterFile(p, l);
  wire.Note("file load");
  files::ReadParameterData(file, doc.params, doc.lin);
  DownloadEveryPage(wire, doc);
  EXPECT_TRUE(s.ui.boxes.empty()) << title << ": " << s.ui.boxes.front();
  return wire.Transcript();
}

std::string Transcript() {
  doctest::ServerSpec old;
  old.lib = {3, 0, 10};
  old.table[2] = 10;  // the StParam block layout the whole-record writes use
  return Session("V3.0.10", old) + Session("V3.0.35", doctest::ServerSpec{});
}

TEST(EntryWireGoldenTest, LoginSelectionDownloadsAndFileLoadSendWhatTheyAlwaysSent) {
  const std::string fresh = Transcript();
  if (std::getenv("AXTUNE_WRITE_GOLDEN") != nullptr) {
    std::ofstream(kGolden, std::ios::binary) << fresh;
    GTEST_SKIP() << "wrote " << kGolden;
  }
  std::ifstream in(kGolden, std::ios::binary);
  ASSERT_TRUE(in) << kGolden;
  std::stringstream golden;
  golden << in.rdbuf();
  // The first line that differs, for the message; then the whole transcript byte for byte.
  std::istringstream a(golden.str()), b(fresh);
  std::string la, lb;
  for (size_t n = 1; std::getline(a, la) && std::getline(b, lb); ++n) {
    ASSERT_EQ(la, lb) << "line " << n;
  }
  EXPECT_EQ(golden.str(), fresh);
}

}  // namespace
