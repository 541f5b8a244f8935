// Redrawing the trend recorder's plot offscreen: 6 channels of 100,000 samples each, into a
// 1200 x 600 plot, beside a plain QPainter polyline through every one of the same points (the
// cost of drawing them by hand), in the same run. Target: under 16 ms a redraw; x_polyline is
// the redraw over the polyline.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "PingPong.h"
#include "app/TrendPlot.h"

namespace {

constexpr int kWidth = 1200, kHeight = 600;
constexpr size_t kPoints = 100'000;

// A recording at 1000 Hz with six busy analog channels.
std::vector<trend::Sample> Recording() {
  std::vector<trend::Sample> samples(kPoints);
  for (size_t i = 0; i < kPoints; ++i) {
    const double t = static_cast<double>(i) * 0.001;
    samples[i].t = t;
    for (size_t c = 0; c < 6; ++c) {
      samples[i].values[c] = 100 * std::sin(t * (0.7 + static_cast<double>(c))) +
                             0.3 * static_cast<double>(i % 7) + 10 * static_cast<double>(c);
    }
  }
  return samples;
}

std::vector<double> polylineNs;

void BM_PlainPolyline(benchmark::State& state) {
  const auto samples = Recording();
  std::vector<std::vector<QPointF>> lines(6);
  for (size_t c = 0; c < 6; ++c) {
    for (size_t i = 0; i < kPoints; ++i) {
      lines[c].emplace_back(static_cast<double>(i) * kWidth / kPoints,
                            kHeight / 2.0 - samples[i].values[c]);
    }
  }
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const auto& line : lines) painter.drawPolyline(line.data(), static_cast<int>(line.size()));
  }
  polylineNs.push_back(pingpong::NsPerIteration(start, state));
}
BENCHMARK(BM_PlainPolyline)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TrendPlotRedraw(benchmark::State& state) {
  TrendPlot plot;
  plot.resize(kWidth, kHeight);
  trend::ChannelSet six;
  for (size_t c = 0; c < 6; ++c) six.set(c);
  std::vector<QString> names;
  for (const auto& c : trend::Channels()) names.push_back(QString::fromUtf8(c.name.data()));
  plot.SetChannels(six, names);
  const auto samples = Recording();
  plot.Append(samples, 0);
  plot.SetLive(false);
  plot.FitAll();
  plot.show();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) plot.replot(QCustomPlot::rpImmediateRefresh);
  const double ns = pingpong::NsPerIteration(start, state);
  if (const double base = pingpong::Median(polylineNs); base > 0) {
    state.counters["x_polyline"] = ns / base;
  }
}
BENCHMARK(BM_TrendPlotRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return pingpong::RunInterleaved(argc, argv) ? 0 : 1;
}
