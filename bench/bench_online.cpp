// The display tick of the online pages and the characteristic chart, offscreen.
//
// OnlineTick, OverviewTick20: one display tick of the shown page view (five RefreshPages calls,
// the changed controls painted) against the emulator in the same process: the Online page of an
// axis on its way to a target, and the Overview page with twenty listed axes. Baseline: the
// same document's RefreshAxisData calls of that tick alone, the requests. The counter
// "display_us" is the tick's time beyond its requests (medians of the same run); target: under
// 2000.
//
// Chart1080: the plan of the characteristic chart of a 100-point table and its painting into an
// image of the view's size on a screen 1080 pixels high. Baseline: the same count of lines,
// texts and marks painted straight from fixed positions. Target: under 5 ms.
//
// The counter "x_base" is each time against its baseline's median in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "DocRig.h"
#include "PingPong.h"
#include "oxa/OxaDirect.h"
#include "pages/AxtuneView.h"
#include "pages/Chart.h"

namespace {

using docrig::kNetId;
constexpr size_t kListAxes = 20;
constexpr int kPageOnline = 2;
constexpr int kPageOverview = 1;

// A V3.0.35 axis server of twenty axes in the same process, a document logged in with axis 1
// selected and moving slowly, and a shown page view over it.
struct Rig {
  std::unique_ptr<sim::Plant> plant;
  std::unique_ptr<oxa::OxaDirect> direct;
  docrig::NoUi ui;
  i18n::StringTable strings;
  std::unique_ptr<CAxtuneDoc> doc;
  std::unique_ptr<pages::CAxtuneView> view;
  axlink::AxisList lists;
  std::vector<axlink::AxisTarget> listAxes;

  bool Start(int page, std::string& error) {
    plant = docrig::LoadPlant(kListAxes, 6, error);
    if (!plant) return false;
    oxa::RouteTable table;
    table.local = {"", kNetId, "127.0.0.1", 0};
    direct = std::make_unique<oxa::OxaDirect>(table);
    direct->Register(kNetId, plant->Ctrl());
    doc = std::make_unique<CAxtuneDoc>(*direct, ui, strings);
    view = std::make_unique<pages::CAxtuneView>(*doc, strings);
    view->SetTargetResolver([this](const axlink::OverviewEntry& e) {
      return axlink::FindAxisTarget(lists, e.addr, e.number);
    });
    if (!docrig::LogInAndSelect(*direct, *doc, kListAxes, pages::kAllPages, lists, listAxes,
                                error)) {
      return false;
    }
    for (const axlink::OverviewEntry& e : lists.Overview()) {
      view->AddOverviewEntry(e.name, e.addr, e.number);
    }
    // On its way from 250 mm to 500 mm at 1 mm/s: the values change at every tick.
    doc->Move(1, 500.0, 1.0);
    view->show();
    view->setCurrentIndex(page);
    // The page entry and its first redraw are behind us before the timing starts.
    Tick();
    Tick();
    return ui.boxes == 0;
  }
  void Tick() {
    for (int i = 0; i < pages::kTicksPerRefresh; ++i) view->RefreshPages();
    QApplication::processEvents();
  }
  void Requests(int page) {
    if (page == kPageOverview) {
      for (const axlink::AxisTarget& list : listAxes) doc->RefreshAxisData(page, &list);
    } else {
      doc->RefreshAxisData(page, &listAxes[0]);
    }
    QApplication::processEvents();
  }
};

std::vector<double> onlineBaseNs, overviewBaseNs, chartBaseNs;

void RunRequests(benchmark::State& state, int page, std::vector<double>& baseNs) {
  Rig rig;
  std::string error;
  if (!rig.Start(page, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) rig.Requests(page);
  baseNs.push_back(pingpong::NsPerIteration(start, state));
}

void RunTicks(benchmark::State& state, int page, const std::vector<double>& baseNs) {
  Rig rig;
  std::string error;
  if (!rig.Start(page, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) rig.Tick();
  const double ns = pingpong::NsPerIteration(start, state);
  if (rig.ui.boxes != 0 || rig.doc->bCommStopped) state.SkipWithError("a read failed");
  if (const double base = pingpong::Median(baseNs); base > 0) {
    state.counters["x_base"] = ns / base;
    state.counters["display_us"] = (ns - base) / 1000.0;
  }
}

void BM_OnlineRequests(benchmark::State& state) {
  RunRequests(state, kPageOnline, onlineBaseNs);
}
void BM_OnlineTick(benchmark::State& state) {
  RunTicks(state, kPageOnline, onlineBaseNs);
}
void BM_OverviewRequests20(benchmark::State& state) {
  RunRequests(state, kPageOverview, overviewBaseNs);
}
void BM_OverviewTick20(benchmark::State& state) {
  RunTicks(state, kPageOverview, overviewBaseNs);
}
BENCHMARK(BM_OnlineRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_OnlineTick)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_OverviewRequests20)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_OverviewTick20)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---- The chart ----

constexpr int kScreen = 1080;
// The view's size in the main window on a screen 1920 by 1080.
constexpr int kViewWidth = 1390;
constexpr int kViewHeight = 930;

// A 100-point characteristic with an overlap step at the zero point.
model::LinRecord Characteristic() {
  model::LinRecord lin;
  for (size_t i = 0; i < model::kLinTabPoints; ++i) {
    const double out = -1.0 + 2.0 * static_cast<double>(i) / 99.0;
    lin.LinTabOutput[i] = out;
    lin.LinTabValue[i] = (out < 0 ? -1.0 : 1.0) * (5.0 + 95.0 * (out < 0 ? -out : out));
  }
  lin.LinSamples = static_cast<int16_t>(model::kLinTabPoints);
  return lin;
}

void BM_ChartBaseline(benchmark::State& state) {
  const pages::layout::ChartFrame frame =
      pages::layout::MakeChartFrame(pages::layout::DesignScale(kScreen), 0, 0, kViewWidth);
  const std::vector<pages::layout::ChartOp> ops =
      pages::layout::PlanCharacteristic(frame, Characteristic());
  QImage image(kViewWidth, kViewHeight, QImage::Format_RGB32);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    for (const pages::layout::ChartOp& op : ops) {
      switch (op.kind) {
        case pages::layout::ChartOp::Kind::Line:
          painter.drawLine(op.a.x, op.a.y, op.b.x, op.b.y);
          break;
        case pages::layout::ChartOp::Kind::Text:
          painter.drawText(op.a.x, op.a.y, QStringLiteral("100"));
          break;
        case pages::layout::ChartOp::Kind::Mark:
          painter.fillRect(op.a.x - 1, op.a.y - 1, 3, 3, Qt::blue);
          break;
      }
    }
  }
  chartBaseNs.push_back(pingpong::NsPerIteration(start, state));
}

void BM_Chart1080(benchmark::State& state) {
  const model::LinRecord lin = Characteristic();
  QImage image(kViewWidth, kViewHeight, QImage::Format_RGB32);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    const pages::layout::ChartFrame frame =
        pages::layout::MakeChartFrame(pages::layout::DesignScale(kScreen), 0, 0, kViewWidth);
    pages::PaintChart(painter, pages::layout::PlanCharacteristic(frame, lin), Qt::black);
  }
  const double ns = pingpong::NsPerIteration(start, state);
  if (const double base = pingpong::Median(chartBaseNs); base > 0) {
    state.counters["x_base"] = ns / base;
  }
  state.counters["ms"] = ns / 1e6;
}
BENCHMARK(BM_ChartBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Chart1080)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return pingpong::RunInterleaved(argc, argv) ? 0 : 1;
}
