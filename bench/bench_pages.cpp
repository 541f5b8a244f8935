// The page view, offscreen.
//
// BuildView: constructing the view with every control of every page, their fonts, texts and
// first visibility pass. Baseline: as many plain labels placed in a plain widget. Target: under
// 100 ms.
//
// UpdateVisibility: one pass over every control after a switch between the Global and the I/O
// page of a shown view. Baseline: showing or hiding as many plain labels as the pass flips.
// Target: under 2 ms.
//
// The counter "x_plain" is each time against its baseline's median in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <chrono>
#include <memory>
#include <vector>

#include "PingPong.h"
#include "link/AxtuneDoc.h"
#include "oxa/OxaDirect.h"
#include "pages/AxtuneView.h"

namespace {

class SilentUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string&) override {}
  void RequestRedisplay() override {}
};

struct Doc {
  oxa::OxaDirect direct;
  SilentUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc{direct, ui, strings};

  Doc() {
    doc.linkVersions.lib = {3, 0, 35};
    doc.linkVersions.table = {6, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
    doc.axisRef.RefFlags[3] = doc.axisRef.RefFlags[4] = true;
  }
};

// Reports `ns` against the median of the baseline runs as the counter "x_plain".
void SetRatio(benchmark::State& state, double ns, const std::vector<double>& baseNs) {
  if (const double base = pingpong::Median(baseNs); base > 0) state.counters["x_plain"] = ns / base;
}

std::vector<double> buildBaseNs;
std::vector<double> visibilityBaseNs;
size_t flipped = 0;

void BM_BuildPlainWidgets(benchmark::State& state) {
  const size_t n = pages::layout::AllControls().size();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    QWidget parent;
    for (size_t i = 0; i < n; ++i) {
      auto* label = new QLabel(QStringLiteral("Label"), &parent);
      label->setGeometry(static_cast<int>(i % 40) * 20, static_cast<int>(i / 40) * 20, 18, 18);
    }
  }
  buildBaseNs.push_back(pingpong::NsPerIteration(start, state));
}
BENCHMARK(BM_BuildPlainWidgets)->Unit(benchmark::kMillisecond);

void BM_BuildView(benchmark::State& state) {
  Doc d;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    pages::CAxtuneView view(d.doc, d.strings);
    if (!view.Created()) state.SkipWithError("the view was not created");
  }
  SetRatio(state, pingpong::NsPerIteration(start, state), buildBaseNs);
  state.counters["controls"] = static_cast<double>(pages::layout::AllControls().size());
}
BENCHMARK(BM_BuildView)->Unit(benchmark::kMillisecond);

// Counts the controls whose visibility differs between the Global and the I/O page.
size_t Flips(const pages::CAxtuneView& view) {
  pages::layout::ViewInputs a = view.Inputs();
  pages::layout::ViewInputs b = a;
  a.page = 3;
  b.page = 9;
  size_t n = 0;
  for (const pages::PageControl& c : view.Controls()) {
    n += pages::layout::IsVisible(c.page, *c.def, a) != pages::layout::IsVisible(c.page, *c.def, b);
  }
  return n;
}

void BM_FlipPlainWidgets(benchmark::State& state) {
  QWidget parent;
  std::vector<QLabel*> labels;
  for (size_t i = 0; i < flipped; ++i) labels.push_back(new QLabel(QStringLiteral("L"), &parent));
  parent.show();
  bool visible = false;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (QLabel* label : labels) label->setVisible(visible);
    visible = !visible;
  }
  visibilityBaseNs.push_back(pingpong::NsPerIteration(start, state));
}
BENCHMARK(BM_FlipPlainWidgets)->Unit(benchmark::kMicrosecond);

void BM_UpdateVisibility(benchmark::State& state) {
  Doc d;
  pages::CAxtuneView view(d.doc, d.strings);
  view.show();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    view.nCurrentPage = view.nCurrentPage == 3 ? 9 : 3;
    view.UpdateVisibility();
  }
  SetRatio(state, pingpong::NsPerIteration(start, state), visibilityBaseNs);
  state.counters["flipped"] = static_cast<double>(flipped);
}
BENCHMARK(BM_UpdateVisibility)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  {
    Doc d;
    pages::CAxtuneView view(d.doc, d.strings);
    flipped = Flips(view);
  }
  return pingpong::RunInterleaved(argc, argv) ? 0 : 1;
}
