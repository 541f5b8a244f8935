// The trend recorder's dock on the demo plant in this process. The sampler thread is stepped tick
// by tick through a gate clock, which is also the plant's clock; the test takes the samples into
// the dock with Poll, as its timer would.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "AppRig.h"
#include "app/MenuIds.h"
#include "app/TrendDock.h"
#include "common/ForwardingOxa.h"
#include "common/GateClock.h"
#include "i18n/StringTable.h"
#include "link/Select.h"
#include "sim/Motion.h"
#include "trend/TrendCsv.h"

namespace {

const oxa::NetId kLocal{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;

// The document's port and the recorder's reach the one plant; a lock keeps them apart.
class LockedOxa final : public testoxa::ForwardingOxa {
 public:
  LockedOxa(sim::Plant& plant, std::mutex& mutex) : ForwardingOxa(direct_), mutex_(mutex) {
    direct_.Register(kLocal, plant.Ctrl());
  }

 private:
  std::unique_lock<std::mutex> Guard() override { return std::unique_lock(mutex_); }
  oxa::OxaDirect direct_;
  std::mutex& mutex_;
};

struct DockRig {
  testclock::GateClock gate{1000.0};
  std::unique_ptr<sim::Plant> plant;
  std::mutex mutex;
  std::unique_ptr<LockedOxa> docOxa;
  apptest::RecordingUi ui;
  i18n::StringTable strings;
  std::unique_ptr<CAxtuneDoc> doc;
  QTemporaryDir dir;
  QSettings settings{dir.filePath(QStringLiteral("axtune.ini")), QSettings::IniFormat};
  std::unique_ptr<TrendDock> dock;

  DockRig() {
    std::string error;
    plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kLocal,
                               sim::DefaultServerFeatures(), error);
    EXPECT_TRUE(plant) << error;
    for (const auto& server : plant->Servers()) {
      if (auto* m = server->Ext().Find<sim::MotionServerState>()) {
        m->clock = [this] { return gate.Now(); };
      }
    }
    docOxa = std::make_unique<LockedOxa>(*plant, mutex);
    docOxa->OxaPortOpen();
    doc = std::make_unique<CAxtuneDoc>(*docOxa, ui, strings);
    const sim::AxisServer* server = plant->Server(kPort);
    axlink::AxisTarget target;
    target.addr = {kLocal, kPort};
    target.number = 1;
    model::RecordVersionTable table{};
    for (size_t w = 0; w < table.size(); ++w) table[w] = server->RecordVersion(w).value_or(-1);
    target.versions.Store(server->Lib(), table);
    EXPECT_TRUE(doc->SelectAxis(target, model::kPageAll));
    dock = NewDock();
  }
  ~DockRig() {
    gate.Open();
    dock.reset();
  }

  std::unique_ptr<TrendDock> NewDock() {
    return std::make_unique<TrendDock>(
        *doc, strings, [this] { return std::make_unique<LockedOxa>(*plant, mutex); }, gate,
        settings, [](const std::function<void()>& work) { work(); });
  }

  // Lets the sampler take `n` samples and the dock take them in.
  void Run(int n) {
    gate.Pass(n);
    dock->Poll();
  }

  std::string Cell(QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text().toStdString() : "";
  }
};

// A recording of ActualPos = 10 t and "In target" from 5 s on, 0 to 10 s at 10 Hz.
QString WriteRecording(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("ramp.csv"));
  std::ofstream out(QFile::encodeName(path).toStdString());
  out << "t [s],ActualPos [mm],In target\n";
  for (int i = 0; i <= 100; ++i) out << i / 10.0 << ',' << i << ',' << (i >= 50 ? 1 : 0) << '\n';
  return path;
}

TEST(TrendDockTest, AMoveStartedFromTheWindowIsPlottedAndMeasured) {
  for (const bool armed : {false, true}) {
    SCOPED_TRACE(armed ? "started by the move" : "recording first");
    DockRig r;
    TrendDock& dock = *r.dock;
    dock.SetRate(100);
    dock.SetTestMove(58, 200);
    if (armed) {
      dock.SetArmed(true);
      ASSERT_FALSE(dock.Recording());
    } else {
      ASSERT_TRUE(dock.StartRecording());
      r.gate.WaitForFirstWait();
      r.Run(20);
    }
    ASSERT_EQ(dock.StartTestMove(), oxa::kOk);
    ASSERT_TRUE(dock.Recording());
    if (armed) r.gate.WaitForFirstWait();
    r.Run(120);  // the move of 50 mm, under half a second, is on its way
    EXPECT_TRUE(dock.Tracker().Open());
    EXPECT_GT(dock.Plot()->graph(0)->dataCount(), 100);
    r.Run(200);  // in target, and a second more
    ASSERT_EQ(dock.FigureTable()->columnCount(), 1);
    EXPECT_EQ(r.Cell(dock.FigureTable(), 0, 0), "8.000");   // start of "Clamp left"
    EXPECT_EQ(r.Cell(dock.FigureTable(), 1, 0), "58.000");  // target
    EXPECT_EQ(r.Cell(dock.FigureTable(), 2, 0), "100");     // LagKp of the demo's clamps
    EXPECT_EQ(r.Cell(dock.FigureTable(), 3, 0), "yes");
    EXPECT_TRUE(dock.StatusLine()->text().contains(QStringLiteral("0 failed reads")));
    EXPECT_TRUE(r.ui.boxes.empty());
  }
}

TEST(TrendDockTest, AFailedReadIsCountedInTheStatusLineAndNeverShownInABox) {
  DockRig r;
  ASSERT_TRUE(r.dock->StartRecording());
  r.gate.WaitForFirstWait();
  const int fault = r.plant->Ctrl().Faults().Add(
      {kPort, 0x8000F001, std::nullopt, sim::Fault::Kind::Error, oxa::kErrTimeout});
  r.Run(3);
  r.plant->Ctrl().Faults().Remove(fault);
  r.Run(2);
  const QString status = r.dock->StatusLine()->text();
  EXPECT_TRUE(status.startsWith(QStringLiteral("2 samples"))) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("3 failed reads"))) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("0x745"))) << status.toStdString();
  EXPECT_TRUE(r.ui.boxes.empty());
  EXPECT_FALSE(r.doc->bCommStopped);
}

TEST(TrendDockTest, CursorsReadEveryShownChannelAndTheirDifference) {
  DockRig r;
  ASSERT_TRUE(r.dock->OpenCsv(WriteRecording(r.dir)));
  r.dock->SetChannels(trend::ChannelSet().set(trend::kActualPos).set(trend::kBitInTarget));
  r.dock->PlaceCursors(2.25, 7.5);
  QTableWidget* t = r.dock->CursorTable();
  ASSERT_EQ(t->rowCount(), 3);
  const std::vector<std::vector<std::string>> expected{
      {"Time [s]", "2.250", "7.500", "5.250"},
      {"Actual pos. [mm]", "22.500", "75.000", "52.500"},
      {"In target", "0", "1", "1"},
  };
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      EXPECT_EQ(r.Cell(t, row, column),
                expected[static_cast<size_t>(row)][static_cast<size_t>(column)])
          << row << "," << column;
    }
  }
}

TEST(TrendDockTest, ExportsTheVisibleRangeOrTheWholeRecordingWithTheShownChannels) {
  DockRig r;
  ASSERT_TRUE(r.dock->OpenCsv(WriteRecording(r.dir)));
  r.dock->SetChannels(trend::ChannelSet().set(trend::kActualPos));
  r.dock->Plot()->xAxis->setRange(2, 4);
  struct Case {
    bool visible;
    size_t rows;
    double first, last;
  };
  for (const Case& c : {Case{true, 21, 2, 4}, Case{false, 101, 0, 10}}) {
    SCOPED_TRACE(c.visible);
    const QString path = r.dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(r.dock->ExportCsv(path, c.visible));
    std::ifstream in(QFile::encodeName(path).toStdString());
    std::stringstream text;
    text << in.rdbuf();
    std::vector<trend::CsvWarning> warnings;
    const auto table = trend::ReadCsv(text.str(), warnings);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->columns.size(), 1u);
    EXPECT_EQ(table->columns[0].name, "ActualPos");
    ASSERT_EQ(table->t.size(), c.rows);
    EXPECT_DOUBLE_EQ(table->t.front(), c.first);
    EXPECT_DOUBLE_EQ(table->t.back(), c.last);
  }
  const QString png = r.dir.filePath(QStringLiteral("plot.png"));
  ASSERT_TRUE(r.dock->ExportPng(png));
  QFile file(png);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.read(4), QByteArray("\x89PNG"));
  EXPECT_FALSE(r.dock->ExportCsv(r.dir.filePath(QStringLiteral("no/such/dir/out.csv")), false));
  EXPECT_TRUE(r.dock->StatusLine()->text().contains(QStringLiteral("could not be written")));
}

TEST(TrendDockTest, TheChosenChannelsAreRemembered) {
  DockRig r;
  const auto chosen = trend::ChannelSet().set(trend::kLag).set(trend::kActualPressure);
  r.dock->SetChannels(chosen);
  r.dock->SetChannels(trend::ChannelSet());  // the last one stays
  EXPECT_EQ(r.NewDock()->Plot()->Shown(), chosen);
}

TEST(TrendDockTest, TheViewMenuOpensTheRecorderInEveryLanguage) {
  apptest::Rig r;
  CMainFrame& f = *r.frame;
  ASSERT_TRUE(f.Trend()->isHidden());
  f.OnCommand(kCmdTrendRecorder);
  EXPECT_FALSE(f.Trend()->isHidden());
  EXPECT_TRUE(f.Action(kCmdTrendRecorder)->isChecked());
  const std::pair<int, const char*> languages[] = {
      {kCmdGerman, "Trendschreiber"}, {kCmdChinese, "趋势记录器"}, {kCmdEnglish, "Trend recorder"}};
  for (const auto& [command, title] : languages) {
    f.OnCommand(command);
    EXPECT_EQ(f.Trend()->windowTitle().toStdString(), title);
  }
  f.OnCommand(kCmdTrendRecorder);
  EXPECT_TRUE(f.Trend()->isHidden());
  // Every channel is named in every language.
  for (const trend::ChannelDef& c : trend::Channels()) {
    for (uint16_t language : i18n::kLanguages) {
      const auto text = i18n::StringTable::Find(c.textId, language);
      EXPECT_TRUE(text && !text->empty()) << c.name << " " << language;
    }
  }
}

}  // namespace
