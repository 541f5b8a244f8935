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
#include <QTest>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>

#include "AppRig.h"
#include "app/MenuIds.h"
#include "app/TrendDock.h"
#include "common/ForwardingOxa.h"
#include "common/GateClock.h"
#include "files/ParamFile.h"
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
    EXPECT_TRUE(doc->SelectAxis(Axis(1), model::kPageAll));
    dock = NewDock();
  }

  // Axis `number` of the server at kPort.
  axlink::AxisTarget Axis(uint16_t number) const {
    const sim::AxisServer* server = plant->Server(kPort);
    axlink::AxisTarget target;
    target.addr = {kLocal, kPort};
    target.number = number;
    model::RecordVersionTable table{};
    for (size_t w = 0; w < table.size(); ++w) table[w] = server->RecordVersion(w).value_or(-1);
    target.versions.Store(server->Lib(), table);
    return target;
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

TEST(TrendDockTest, ARecordingEndsWhenAnotherAxisIsSelectedAndKeepsWhatItShows) {
  DockRig r;
  TrendDock& dock = *r.dock;
  dock.SetRate(100);
  dock.SetTestMove(58, 200);
  ASSERT_TRUE(dock.StartRecording());
  r.gate.WaitForFirstWait();
  r.Run(20);
  ASSERT_EQ(dock.StartTestMove(), oxa::kOk);
  for (int i = 0; i < 100 && dock.FigureTable()->columnCount() == 0; ++i) r.Run(10);
  ASSERT_EQ(dock.FigureTable()->columnCount(), 1);
  const int samples = dock.Plot()->graph(0)->dataCount();

  r.gate.Open();  // the sampler goes on without waiting for the test
  ASSERT_TRUE(r.doc->SelectAxis(r.Axis(2), model::kPageAll));
  dock.Poll();  // as the dock's timer does
  EXPECT_FALSE(dock.Recording());
  EXPECT_GE(dock.Plot()->graph(0)->dataCount(), samples);
  EXPECT_EQ(dock.FigureTable()->columnCount(), 1);
  EXPECT_TRUE(dock.StatusLine()->text().contains(QStringLiteral("no longer selected")));

  ASSERT_TRUE(dock.StartRecording());
  EXPECT_EQ(dock.Recorded().axis, 2);
  EXPECT_EQ(dock.FigureTable()->columnCount(), 0);
}

// Logout, a target change and the file mode begin with a logout: the recording ends at once,
// and nothing more is asked of a controller.
TEST(TrendDockTest, TheWindowEndsTheRecordingWhenItsAxisGoes) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("axis.dat"));
  const std::vector<uint8_t> bytes =
      files::EncodeParameterFile(model::ParamRecord{}, model::LinRecord{});
  std::ofstream(QFile::encodeName(file).toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::pair<const char*, std::function<void(apptest::Rig&)>> changes[] = {
      {"logout", [](apptest::Rig& r) { r.frame->OnCommand(kCmdLogout); }},
      {"target",
       [](apptest::Rig& r) {
         r.targetChoice = 1;  // "Remote_press"
         r.frame->OnCommand(kCmdTarget);
       }},
      {"file mode",
       [&file](apptest::Rig& r) {
         r.nextFile = file;
         r.frame->OnCommand(kCmdOfflineFileMode);
       }},
  };
  for (const auto& [name, change] : changes) {
    apptest::Rig r;
    CMainFrame& f = *r.frame;
    f.OnCommand(kCmdLogin);
    f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10003));
    ASSERT_TRUE(f.Trend()->StartRecording()) << name;
    change(r);
    EXPECT_FALSE(f.Trend()->Recording()) << name;
    const int asked = r.recorderRequests;
    for (int i = 0; i < 2 * pages::kTicksPerRefresh; ++i) f.OnTimer();
    f.Trend()->Poll();
    EXPECT_EQ(r.recorderRequests, asked) << name;
  }
}

TEST(TrendDockTest, ItsOwnWindowStandsBesideTheMainWindowWhereThereIsRoom) {
  const QRect screen(0, 0, 1920, 1040);
  const QSize size(TrendDock::kFirstWidth, TrendDock::kFirstHeight);
  const struct {
    QRect main;
    QRect placed;
  } cases[] = {
      {{0, 0, 600, 700}, {600, 0, 1280, 760}},         // right of it
      {{1300, 100, 600, 700}, {20, 100, 1280, 760}},   // left of it
      {{200, 500, 1500, 540}, {640, 280, 1280, 760}},  // no room: at the screen's right edge
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrendDock::PlaceBeside(c.main, screen, size), c.placed) << c.main.x();
  }
  EXPECT_EQ(TrendDock::PlaceBeside({0, 0, 800, 600}, {0, 0, 800, 600}, size),
            QRect(0, 0, 800, 600));
}

// The recorder opens in a window of its own, so that the pages keep their size; it opens where
// the user left it, docked or not, also in the next session.
TEST(TrendDockTest, TheRecorderOpensWhereTheUserLeftIt) {
  apptest::Rig r;
  CMainFrame& f = *r.frame;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  const QSize pages = f.PageView()->size();
  f.OnCommand(kCmdTrendRecorder);
  TrendDock& dock = *f.Trend();
  EXPECT_TRUE(dock.isFloating());
  EXPECT_TRUE(dock.isVisible());
  EXPECT_EQ(f.PageView()->size(), pages);

  const QRect moved(40, 30, 900, 500);
  dock.setGeometry(moved);
  f.OnCommand(kCmdTrendRecorder);
  EXPECT_TRUE(dock.isHidden());
  f.OnCommand(kCmdTrendRecorder);
  EXPECT_EQ(dock.geometry(), moved);
  {
    CMainFrame next(*r.oxa, r.strings, r.Hooks());
    next.show();
    next.OnCommand(kCmdTrendRecorder);
    EXPECT_TRUE(next.Trend()->isFloating());
    EXPECT_EQ(next.Trend()->geometry(), moved);
  }

  dock.setFloating(false);
  EXPECT_EQ(f.dockWidgetArea(&dock), Qt::BottomDockWidgetArea);
  CMainFrame next(*r.oxa, r.strings, r.Hooks());
  next.show();
  next.OnCommand(kCmdTrendRecorder);
  EXPECT_FALSE(next.Trend()->isFloating());
  EXPECT_TRUE(next.Trend()->isVisible());
}

}  // namespace
