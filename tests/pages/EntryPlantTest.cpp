// The pages whose values the emulated plant keeps beside the parameter record (AuxData and the
// linearisation settings): shown as the page shows them, downloaded, and read back.
#include <gtest/gtest.h>

#include "EntryRig.h"
#include "model/ParamDictionary.h"
#include "pages/layout/Display.h"
#include "pages/layout/PageTables.h"

namespace {

using entry::DownloadOutcome;
namespace layout = pages::layout;

constexpr uint32_t kParamNo1 = 0x800F0001;

// Every edit and check box of `page`, filled as the page shows the document's records.
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

// Reads the page's values from the axis into the document anew.
void ReadBack(int page, CAxtuneDoc& doc) {
  model::ResetParamRecord(doc.params);
  model::ResetLinRecord(doc.lin);
  if (page == model::kPageLinDef) {
    doc.bRedrawRequested = true;
    doc.RefreshAxisData(page, nullptr);
  } else {
    doc.ReselectAxis(page);
  }
}

TEST(EntryPlantTest, TheDemoValuesPassAndNewValuesReachTheAxisAndComeBack) {
  struct Case {
    int page;
    size_t writes;
    uint16_t no;
    const char* typed;
    double stored;
  };
  const Case cases[] = {
      {model::kPageAuxilary, 20, 2005, "-3,25", -3.25},
      {model::kPageAuxilary, 20, 2020, "1000000", 1e6},
      {model::kPageLinDef, 18, 3104, "7,5", 7.5},
      {model::kPageLinDef, 18, 3156, "20", 20.0},
      {model::kPageLinDef, 18, 3150, "31", 31.0},
      {model::kPageLinDef, 18, 3106, "50", 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.page) + ": " + std::to_string(c.no));
    doctest::DocSession s;  // the demo plant's axis
    ASSERT_TRUE(s.Select());
    ReadBack(c.page, s.doc);
    entrytest::PageBoxes boxes = Shown(c.page, s.doc);
    const entrytest::PageBoxes shown = boxes;
    s.Reset();

    // The values as the axis holds them pass the page's rules unchanged.
    ASSERT_EQ(entry::DownloadPage(c.page, boxes, s.doc).outcome, DownloadOutcome::Done);
    for (const layout::Control& ctl : layout::PageControls(c.page)) {
      EXPECT_EQ(boxes.Text(ctl.bind.no), shown.Text(ctl.bind.no)) << ctl.bind.no;
    }
    EXPECT_EQ(entrytest::WiresWritten(s, kParamNo1), c.writes);
    EXPECT_TRUE(s.ui.boxes.empty());

    // A new value is written without error, raises Unsaved and is read back.
    sim::SimAxis& axis = s.Axis(851, 1);
    sim::RuntimeOf(axis)->values.Unsaved = false;
    s.Reset();
    boxes(c.no).text = c.typed;
    ASSERT_EQ(entry::DownloadPage(c.page, boxes, s.doc).outcome, DownloadOutcome::Done);
    EXPECT_EQ(entrytest::WiresWritten(s, kParamNo1), c.writes);
    EXPECT_TRUE(s.ui.boxes.empty());
    EXPECT_TRUE(sim::RuntimeOf(axis)->values.Unsaved);
    EXPECT_EQ(model::Get({&sim::ParamsOf(axis)->Record(), &sim::RuntimeOf(axis)->lin}, c.no),
              c.stored);
    ReadBack(c.page, s.doc);
    EXPECT_EQ(model::Get({&s.doc.params, &s.doc.lin}, c.no), c.stored);
    EXPECT_TRUE(s.ui.boxes.empty());
  }
}

}  // namespace
