// The display tick of the page view offscreen: its cadence, the overview refresh in turns, the
// online pages' values, and the characteristic chart in pixels. No controller answers; the
// document's records are set by hand.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <string>

#include "link/AxtuneDoc.h"
#include "oxa/OxaDirect.h"
#include "pages/AxtuneView.h"
#include "pages/Chart.h"
#include "pages/layout/Printf.h"
#include "sim/Faults.h"
#include "sim/ParamStore.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace {

using pages::CAxtuneView;
using pages::layout::ValueId;

class SilentUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string&) override {}
  void RequestRedisplay() override {}
};

struct Rig {
  Rig() : doc(oxa, ui, strings), view(doc, strings, nullptr, pages::ViewOptions{768, {}}) {
    doc.linkVersions.lib = {3, 0, 35};
    doc.linkVersions.table = {6, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
    view.SetTargetResolver([this](const axlink::OverviewEntry& e) {
      return std::optional<axlink::AxisTarget>(
          axlink::AxisTarget{e.addr, e.number, doc.linkVersions});
    });
  }
  void Calls(int n) {
    for (int i = 0; i < n; ++i) view.RefreshPages();
  }
  void Tick(bool redisplay) {
    if (redisplay) view.bRedisplay = true;
    Calls(pages::kTicksPerRefresh);
  }
  std::string Text(int page, ValueId id) const {
    QWidget* w = view.ValueControl(page, id);
    if (const auto* e = qobject_cast<const QLineEdit*>(w)) return e->text().toStdString();
    if (const auto* l = qobject_cast<const QLabel*>(w)) return l->text().toStdString();
    return "?";
  }

  oxa::OxaDirect oxa;  // no controller: every request fails, and none is sent without an axis
  SilentUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc;
  CAxtuneView view;
};

// The rig with an emulated axis server at port 851 of `net`, `count` axes numbered from
// `first`, each at its own position (10 mm times its number).
struct PlantRig : Rig {
  PlantRig(const oxa::NetId& net, uint16_t first, uint16_t count) : plant(net) {
    sim::AxisServerConfig c;
    c.port = 851;
    c.lib = doc.linkVersions.lib;
    c.firstAxis = first;
    c.axisNames.assign(count, "Axis");
    for (size_t w = 0; w < c.recordVersions.size(); ++w) {
      c.recordVersions[w] = doc.linkVersions.table[w];
    }
    std::string error;
    sim::AxisServer* server = plant.AddServer(c, error);
    EXPECT_TRUE(server && sim::InstallParamStore(*server)) << error;
    EXPECT_TRUE(server && sim::InstallRuntimeRecords(*server, error)) << error;
    for (uint16_t n = first; server && n < first + count; ++n) {
      sim::RuntimeOf(*server->Axis(n))->values.ActualPos = 10.0 * n;
    }
    oxa.Register(net, plant.Ctrl());
    oxa.OxaPortOpen();
  }
  sim::Plant plant;
};

// The overview row's ActualPos column.
std::string Position(QTreeWidget* list, int row) {
  return list->topLevelItem(row)->text(2).toStdString();
}

TEST(DisplayTick, EveryFifthCallNeverNested) {
  Rig r;
  r.doc.axisName = "Ejector";
  r.Calls(3);
  // A call while a tick runs (from a message box it shows) starts the count again.
  r.view.bRefreshBusy = true;
  r.Calls(1);
  r.view.bRefreshBusy = false;
  r.Calls(4);
  EXPECT_EQ(r.Text(pages::layout::kFramePage, ValueId::AxisName), "");
  r.Calls(1);
  EXPECT_EQ(r.Text(pages::layout::kFramePage, ValueId::AxisName), "Ejector");
}

TEST(DisplayTick, TheOverviewRefreshesTwentyRowsATickInTurn) {
  const oxa::OxaAddr server{{{5, 16, 33, 2, 1, 1}}, 851};
  PlantRig r(server.netId, 5, 25);
  // 25 axes numbered from 5: the marker finds axis 7 on row 3 by its own number.
  for (uint16_t n = 5; n < 30; ++n) r.view.AddOverviewEntry("Axis", server, n);
  r.doc.bAxisSelected = true;
  r.doc.nAxis = 7;
  r.doc.axisAddr = server;
  QTreeWidget* list = r.view.OverviewList();
  // One character per row: 'x' for a row the tick wrote, '.' for one it left.
  const auto written = [list] {
    std::string rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows += list->topLevelItem(i)->text(1).isEmpty() ? '.' : 'x';
      list->topLevelItem(i)->setText(1, QString());
    }
    return rows;
  };
  // A login while the Overview is shown leaves row 0: the refresh starts at row 1.
  r.view.setCurrentIndex(1);
  r.view.nOverviewRow = 0;
  r.Tick(false);
  EXPECT_EQ(list->topLevelItem(2)->text(1).toStdString(), "<");
  EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), " ");
  EXPECT_EQ(written(), std::string(20, 'x') + ".....");
  r.Tick(false);
  EXPECT_EQ(written(), std::string(15, 'x') + "....." + "xxxxx");
  EXPECT_EQ(r.view.nOverviewRow, 16);
}

// Five listed axes, the third of which refuses its reads while no axis is selected: every
// other row shows its own axis's values, the third keeps what it showed, and the next pass
// reads it again.
TEST(DisplayTick, AnOverviewRowWhoseReadFailedKeepsItsValues) {
  const oxa::OxaAddr server{{{5, 16, 33, 2, 1, 2}}, 851};
  PlantRig r(server.netId, 1, 5);
  for (uint16_t n = 1; n <= 5; ++n) r.view.AddOverviewEntry("Axis", server, n);
  QTreeWidget* list = r.view.OverviewList();
  r.view.setCurrentIndex(1);
  sim::Fault refused;
  refused.port = 851;
  refused.indexGroup = 0x8000F003;
  const int fault = r.plant.Ctrl().Faults().Add(refused);
  for (int pass = 0; pass < 2; ++pass) {
    r.Tick(false);
    for (int row = 0; row < 5; ++row) {
      EXPECT_EQ(Position(list, row),
                row == 2 ? "" : pages::layout::Printf("%12.6lf", 10.0 * (row + 1)))
          << "pass " << pass << ", row " << row;
    }
  }
  r.plant.Ctrl().Faults().Remove(fault);
  r.Tick(false);
  EXPECT_EQ(Position(list, 2), pages::layout::Printf("%12.6lf", 30.0));
}

TEST(DisplayTick, OnlinePagesEveryTickTheMessageBoxOnARedraw) {
  Rig r;
  r.doc.runtime.ErrorCode = -1;
  r.doc.runtime.StateBits = 1u << 9;
  r.view.setCurrentIndex(2);
  r.Tick(false);
  EXPECT_EQ(r.Text(2, ValueId::ErrorCode), "-1(0xFFFFFFFF)");
  EXPECT_TRUE(
      static_cast<QCheckBox*>(r.view.ValueControl(2, ValueId::StateBits, 1u << 9))->isChecked());
  r.view.setCurrentIndex(0);
  r.Tick(false);
  auto* box = static_cast<QLabel*>(r.view.ValueControl(0, ValueId::MessageLines));
  box->setText(QStringLiteral("kept"));
  r.Tick(false);
  EXPECT_EQ(r.Text(0, ValueId::MessageLines), "kept");
  r.Tick(true);
  EXPECT_EQ(r.Text(0, ValueId::MessageLines), std::string(18, '\n'));  // lines 1 to 19
}

// A step or state name longer than its field shows its beginning and the whole name in the
// field's tooltip; one that fits has no tooltip.
TEST(DisplayTick, NamesTooLongForTheirFieldShowTheirBeginning) {
  Rig r;
  r.view.setCurrentIndex(2);
  const struct {
    int16_t step, state;
    const char* stepName;
    const char* stateName;
  } cases[] = {
      {9000, 3, "iCvHydStateEmergencyBreak", "McState_Synchronizedmotion"},
      {0, 6, "", ""},  // "iCvHydStateIdle" and "McState_Homing" fit: the tooltips go
  };
  for (const auto& c : cases) {
    r.doc.runtime.CurrentStep = c.step;
    r.doc.axisRef.AxisStateCode = c.state;
    r.Tick(false);
    for (const auto& [id, tip] :
         {std::pair{ValueId::CurrentStep, c.stepName}, {ValueId::CurrentState, c.stateName}}) {
      const auto* field = static_cast<QLineEdit*>(r.view.ValueControl(2, id));
      EXPECT_EQ(field->toolTip().toStdString(), tip) << c.step;
      EXPECT_EQ(field->cursorPosition(), 0) << field->text().toStdString();
    }
  }
}

// The chart of a table rising from (-1, -1) to (1, 1) over a view 1001 pixels wide on a screen
// 768 high: centre (500, 324), scales 450 and 234.
TEST(Chart, AxesGridAndMarksInTheirColours) {
  Rig r;
  r.view.resize(1001, 700);
  r.view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&r.view));
  model::LinRecord& lin = r.doc.lin;
  for (size_t i = 0; i < 5; ++i) {
    lin.LinTabOutput[i] = lin.LinTabValue[i] = -1.0 + 0.5 * static_cast<double>(i);
  }
  lin.LinSamples = 5;
  r.view.setCurrentIndex(pages::kPageLinTab);
  r.Tick(false);
  ASSERT_TRUE(r.view.Chart()->HasTable());
  ASSERT_EQ(r.view.Chart()->width(), 1001);
  const QImage image = r.view.Chart()->grab().toImage();
  const struct {
    int x;
    int y;
    QRgb rgb;
  } pixels[] = {
      {500, 200, pages::kChartAxisRgb},   // vertical axis
      {300, 324, pages::kChartAxisRgb},   // horizontal axis
      {700, 301, pages::kChartGridRgb},   // grid line of 10 %
      {680, 400, pages::kChartGridRgb},   // grid line of 40 % output
      {951, 91, pages::kChartCurveRgb},   // mark of (1, 1)
      {724, 208, pages::kChartCurveRgb},  // mark of (0.5, 0.5)
      {525, 311, pages::kChartCurveRgb},  // the curve between (0, 0) and (0.5, 0.5)
  };
  for (const auto& p : pixels) {
    EXPECT_EQ(image.pixel(p.x, p.y) | 0xFF000000u, p.rgb) << p.x << "," << p.y;
  }
  // Another page hides the chart and forgets its table.
  r.view.setCurrentIndex(3);
  EXPECT_FALSE(r.view.Chart()->HasTable());
  EXPECT_TRUE(r.view.Chart()->isHidden());
}

}  // namespace
