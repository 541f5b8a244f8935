// The tuning dialog on the demo plant in this process. Its runs go on the dialog's own thread
// through a gate clock, which is also the plant's: open, the runs go as fast as they can; shut,
// the thread stands at the sample the test let it reach.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "AppRig.h"
#include "app/MenuIds.h"
#include "app/QCustomPlotInclude.h"
#include "app/TrendDock.h"
#include "app/TuneDialog.h"
#include "common/GateClock.h"
#include "model/ParamRecord.h"
#include "sim/Motion.h"

namespace {

const oxa::NetId kLocal{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;
constexpr uint16_t kFeedTable = 3;  // soft limits 10 and 790 mm, reference velocity 550 mm/s
constexpr uint32_t kBitNotMoving = 1u << 2;
// Longest a run may take to end once the gate is open; it ends long before.
constexpr int kRunEndsMs = 120000;

struct TuneRig {
  testclock::GateClock gate{1000.0};
  std::unique_ptr<sim::Plant> plant;
  oxa::OxaDirect docOxa;
  apptest::RecordingUi ui;
  i18n::StringTable strings;
  std::unique_ptr<CAxtuneDoc> doc;
  std::unique_ptr<TuneDialog> dialog;

  TuneRig() {
    std::string error;
    plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kLocal,
                               sim::DefaultServerFeatures(), error);
    if (!plant) {
      ADD_FAILURE() << error;
      std::abort();
    }
    for (const auto& server : plant->Servers()) {
      if (auto* m = server->Ext().Find<sim::MotionServerState>()) {
        m->clock = [this] { return gate.Now(); };
      }
    }
    docOxa.Register(kLocal, plant->Ctrl());
    docOxa.OxaPortOpen();
    doc = std::make_unique<CAxtuneDoc>(docOxa, ui, strings);
    const sim::AxisServer* server = plant->Server(kPort);
    axlink::AxisTarget target;
    target.addr = {kLocal, kPort};
    target.number = kFeedTable;
    model::RecordVersionTable table{};
    for (size_t w = 0; w < table.size(); ++w) table[w] = server->RecordVersion(w).value_or(-1);
    target.versions.Store(server->Lib(), table);
    EXPECT_TRUE(doc->SelectAxis(target, model::kPageAll));
    dialog = std::make_unique<TuneDialog>(
        *doc, strings,
        [this] {
          auto own = std::make_unique<oxa::OxaDirect>();
          own->Register(kLocal, plant->Ctrl());
          return own;
        },
        gate);
  }
  // The window of the core's own runs on the feed table.
  void SetLimits() {
    dialog->WindowMin()->setValue(100);
    dialog->WindowMax()->setValue(700);
    dialog->MaxVelocity()->setValue(400);
  }
  ~TuneRig() {
    gate.Open();
    dialog.reset();
  }

  bool WaitForEnd() {
    return QTest::qWaitFor([this] { return dialog->Ended(); }, kRunEndsMs);
  }
  bool Apply() {
    dialog->ApplyChecked();
    return QTest::qWaitFor([this] { return !dialog->Running(); }, kRunEndsMs);
  }
  model::ParamRecord ReadBack() {
    EXPECT_TRUE(doc->ReselectAxis(model::kPageAll));
    return doc->paramsRead;
  }
  double Field(const model::ParamRecord& p, const std::string& name) {
    return model::FindParamField(std::string_view(name))->Ref<double>(p);
  }
};

TEST(TuneDialogTest, TheMenuEntryAndTheRecorderButtonNeedASelectedAxis) {
  apptest::Rig r;
  int opened = 0;
  FrameHooks hooks = r.Hooks();
  hooks.tuneDialog = [&](TuneDialog&) { ++opened; };
  r.frame.reset();  // it would close the port the new one opened
  r.frame = std::make_unique<CMainFrame>(*r.oxa, r.strings, hooks);
  CMainFrame& f = *r.frame;
  f.Timer().stop();
  QAction* tune = f.Action(kCmdTuneAxis);
  ASSERT_NE(tune, nullptr);
  EXPECT_EQ(tune->text().toStdString(), "T&une axis...");
  EXPECT_FALSE(tune->isEnabled());
  bool inDock = false;
  for (auto* b : f.Trend()->findChildren<QToolButton*>()) inDock |= b->defaultAction() == tune;
  EXPECT_TRUE(inDock);

  f.OnCommand(kCmdLogin);
  f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10003));
  f.OnTimer();
  ASSERT_TRUE(tune->isEnabled());
  tune->trigger();
  EXPECT_EQ(opened, 1);
  // A new language keeps the entry and its state; a logout disables it.
  f.OnCommand(kCmdGerman);
  EXPECT_EQ(f.Action(kCmdTuneAxis)->text().toStdString(), "Achse o&ptimieren...");
  EXPECT_TRUE(f.Action(kCmdTuneAxis)->isEnabled());
  f.OnCommand(kCmdLogout);
  EXPECT_FALSE(f.Action(kCmdTuneAxis)->isEnabled());
  f.Action(kCmdTuneAxis)->trigger();
  EXPECT_EQ(opened, 1);
}

TEST(TuneDialogTest, ARunFillsTheProposalAndApplyWritesOnlyTheCheckedRows) {
  TuneRig r;
  TuneDialog& d = *r.dialog;
  // Prefilled from the soft limits and half the reference velocity.
  EXPECT_EQ(d.WindowMin()->value(), 10);
  EXPECT_EQ(d.WindowMax()->value(), 790);
  EXPECT_EQ(d.MaxVelocity()->value(), 275);
  EXPECT_EQ(d.LagBound()->value(), 156);
  r.SetLimits();
  const model::ParamRecord before = r.ReadBack();
  r.gate.Open();
  ASSERT_TRUE(d.StartRun());
  ASSERT_TRUE(r.WaitForEnd());
  ASSERT_EQ(d.Result().end, tune::EndReason::Done) << d.Result().message;
  EXPECT_EQ(d.Pages()->currentIndex(), TuneDialog::kProposalPage);
  EXPECT_EQ(d.EndLine()->text().toStdString(), "Runs finished.");
  EXPECT_EQ(d.Plot()->graph(0)->dataCount(), static_cast<int>(d.Result().points.size()));
  QTableWidget* t = d.ProposalTable();
  const auto& proposal = d.Result().proposal;
  ASSERT_EQ(t->rowCount(), static_cast<int>(proposal.size()));
  ASSERT_GE(proposal.size(), 4u);
  for (int row = 0; row < t->rowCount(); ++row) {
    const tune::ProposedValue& v = proposal[static_cast<size_t>(row)];
    EXPECT_EQ(t->item(row, 0)->text().toStdString(), v.name);
    EXPECT_EQ(t->item(row, 3)->text().toStdString(), v.reason);
    EXPECT_EQ(t->item(row, 0)->checkState(), Qt::Checked);
  }
  EXPECT_EQ(r.ReadBack(), before);

  // Every other row stays unchecked: only the checked ones reach the axis.
  for (int row = 1; row < t->rowCount(); row += 2) t->item(row, 0)->setCheckState(Qt::Unchecked);
  ASSERT_TRUE(r.Apply());
  const size_t written = (proposal.size() + 1) / 2;
  EXPECT_EQ(d.AppliedLine()->text().toStdString(),
            std::to_string(written) + " values written and read back.");
  const model::ParamRecord after = r.ReadBack();
  for (size_t i = 0; i < proposal.size(); ++i) {
    const tune::ProposedValue& v = proposal[i];
    // A checked value goes out as its page's box takes it over: to six decimals.
    if (i % 2 == 0) {
      EXPECT_NEAR(r.Field(after, v.name), v.proposed, 5e-7) << v.name;
    } else {
      EXPECT_EQ(r.Field(after, v.name), r.Field(before, v.name)) << v.name;
    }
  }
}

TEST(TuneDialogTest, ApplyRefusesWhatThePageRulesRefuseAndComparesTheTestMoveBeforeAndAfter) {
  TuneRig r;
  TuneDialog& d = *r.dialog;
  r.SetLimits();
  EXPECT_TRUE(d.VerifyStep()->isChecked());
  r.gate.Open();
  ASSERT_TRUE(d.StartRun());
  ASSERT_TRUE(r.WaitForEnd());
  ASSERT_EQ(d.Result().end, tune::EndReason::Done) << d.Result().message;
  const model::ParamRecord before = r.ReadBack();
  QTableWidget* t = d.ProposalTable();
  QTableWidget* c = d.ComparisonTable();
  ASSERT_TRUE(c->isVisibleTo(&d));
  const int settling = 3;
  EXPECT_EQ(c->item(settling, 0)->text().toStdString(), "Settling time [s]");
  EXPECT_FALSE(c->item(settling, 1)->text().isEmpty());
  EXPECT_TRUE(c->item(settling, 2)->text().isEmpty());

  // A typed value the page refuses, or no number at all: named, and nothing is written.
  const std::string name = t->item(0, 0)->text().toStdString();
  const QString proposed = t->item(0, 2)->text();
  for (const char* typed : {"1e9", "-1e9", "many"}) {
    SCOPED_TRACE(typed);
    t->item(0, 2)->setText(QString::fromLatin1(typed));
    ASSERT_TRUE(r.Apply());
    const std::string line = d.AppliedLine()->text().toStdString();
    EXPECT_EQ(line.rfind("Not applied, nothing written: " + name, 0), 0u) << line;
    EXPECT_NE(line.find("refused by its page"), std::string::npos) << line;
    EXPECT_EQ(r.ReadBack(), before);
    EXPECT_TRUE(c->item(settling, 2)->text().isEmpty());
  }

  t->item(0, 2)->setText(proposed);
  ASSERT_TRUE(r.Apply());
  EXPECT_EQ(d.AppliedLine()->text().toStdString(),
            std::to_string(t->rowCount()) + " values written and read back.");
  for (int row = 0; row < c->rowCount(); ++row) {
    EXPECT_FALSE(c->item(row, 2)->text().isEmpty()) << row;
  }
  // Both curves are the step of the test move: from its start to its target, from time 0 on.
  const tune::Verification& v = d.Result().verification;
  for (int g = 0; g < 2; ++g) {
    SCOPED_TRACE(g);
    const QCPGraphDataContainer& data = *d.StepPlot()->graph(g)->data();
    ASSERT_GT(data.size(), 100);
    EXPECT_EQ(data.constBegin()->key, 0);
    EXPECT_NEAR(data.constBegin()->value, v.from, 1);
    EXPECT_NEAR((data.constEnd() - 1)->value, v.to, 1);
  }
}

TEST(TuneDialogTest, EscOrLosingTheForegroundStopsTheAxisAndWritesBackTheRunsParameters) {
  struct Case {
    const char* how;
    std::function<void(TuneDialog&)> stop;
    const char* endLine;
  };
  const Case cases[] = {
      {"Esc", [](TuneDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, "Stopped by the user."},
      {"deactivated",
       [](TuneDialog& d) {
         QEvent deactivate(QEvent::WindowDeactivate);
         QCoreApplication::sendEvent(&d, &deactivate);
       },
       "Stopped: Axtune lost the foreground."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    TuneRig r;
    TuneDialog& d = *r.dialog;
    r.SetLimits();
    const model::ParamRecord before = r.ReadBack();
    d.show();
    // The dynamics step, with its low gain and steep ramps written, 1.5 s into the runs.
    d.VelocityStep()->setChecked(false);
    ASSERT_TRUE(d.StartRun());
    r.gate.WaitForFirstWait();
    r.gate.Pass(1500);
    c.stop(d);
    EXPECT_TRUE(d.isVisible());  // Esc stops the run, not the dialog
    r.gate.Open();
    ASSERT_TRUE(r.WaitForEnd());
    EXPECT_EQ(d.Result().end, tune::EndReason::StopRequested);
    EXPECT_TRUE(d.Result().restored);
    EXPECT_EQ(d.EndLine()->text().toStdString(), c.endLine);
    EXPECT_EQ(r.ReadBack(), before);
    r.doc->RefreshAxisData(model::kPageOnline, nullptr);
    ASSERT_FALSE(r.doc->bCommStopped);
    EXPECT_NE(r.doc->runtime.StateBits & kBitNotMoving, 0u);
    EXPECT_TRUE(r.ui.boxes.empty());
  }
}

}  // namespace
