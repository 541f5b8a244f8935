#include "app/TrendPlot.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// State bits are drawn as steps of height 1 in lanes this far apart.
constexpr double kLaneHeight = 1.5;
// A cursor is grabbed within this many pixels.
constexpr double kGrabPixels = 6.0;

// One colour per channel, in table order: positions blue to cyan, lag red, velocities green,
// controller and pressures warm, the rest grey; the state bits in darker tones.
constexpr QRgb kColours[trend::kChannelCount] = {
    0x1f5fbf, 0x7f9fdf, 0x00a0a0, 0xd62728, 0x2ca02c, 0x98df8a, 0xff7f0e,
    0x8c564b, 0xc49c94, 0xe377c2, 0x7f7f7f, 0xbcbd22, 0x393b79, 0x637939,
    0x8c6d31, 0x843c39, 0x7b4173, 0x3182bd, 0x31a354, 0xe6550d,
};

}  // namespace

TrendPlot::TrendPlot(QWidget* parent) : QCustomPlot(parent) {
  setNotAntialiasedElements(QCP::aePlottables);
  setPlottingHint(QCP::phFastPolylines, true);
  setNoAntialiasingOnDrag(true);
  yAxis->setVisible(false);
  xAxis->setRange(0, kDefaultSpan);
  xAxis->setLabel(QStringLiteral("t [s]"));
  setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  UseValueAxes(false);
  legend->setVisible(true);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  legend->setFont(small);
  legend->setBrush(QColor(255, 255, 255, 200));
  axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  for (size_t i = 0; i < cursors_.size(); ++i) {
    auto* line = new QCPItemStraightLine(this);
    line->setPen(
        QPen(i == 0 ? QColor(0x20, 0x20, 0x20) : QColor(0x80, 0x20, 0x80), 1, Qt::DashLine));
    line->point1->setCoords(0, 0);
    line->point2->setCoords(0, 1);
    line->setVisible(false);
    line->setSelectable(false);
    cursors_[i] = line;
  }
  connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this](const QCPRange&) { Navigated(false); });
}

void TrendPlot::SetChannels(const trend::ChannelSet& channels, const std::vector<QString>& names) {
  clearGraphs();
  for (QCPAxis*& axis : axes_) {
    if (axis) axisRect()->removeAxis(axis);
    axis = nullptr;
  }
  if (bitAxis_) axisRect()->removeAxis(bitAxis_);
  bitAxis_ = nullptr;
  graphs_.fill(nullptr);
  shown_ = channels;
  lastTime_ = 0;

  int analog = 0;
  auto ticker = QSharedPointer<QCPAxisTickerText>::create();
  int lanes = 0;
  for (size_t c = 0; c < trend::kChannelCount; ++c) {
    if (!channels.test(c)) continue;
    const QColor colour(kColours[c]);
    const QString& name = names[c];
    QCPAxis* valueAxis = nullptr;
    if (c < trend::kAnalogChannels) {
      valueAxis = axisRect()->addAxis(analog++ % 2 == 0 ? QCPAxis::atLeft : QCPAxis::atRight);
      valueAxis->setLabel(name);
      valueAxis->setLabelColor(colour);
      valueAxis->setTickLabelColor(colour);
      valueAxis->setBasePen(QPen(colour));
      valueAxis->setTickPen(QPen(colour));
      valueAxis->setSubTickPen(QPen(colour));
      valueAxis->setRange(-1, 1);
      connect(valueAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
              [this](const QCPRange&) { Navigated(true); });
      axes_[c] = valueAxis;
    } else {
      if (!bitAxis_) {
        bitAxis_ = axisRect()->addAxis(QCPAxis::atRight);
        bitAxis_->setTicker(ticker);
        bitAxis_->setSubTicks(false);
      }
      valueAxis = bitAxis_;
      laneOffset_[c] = lanes * kLaneHeight;
      ticker->addTick(laneOffset_[c] + 0.5, name);
      ++lanes;
    }
    QCPGraph* graph = addGraph(xAxis, valueAxis);
    graph->setPen(QPen(colour, 1));
    graph->setName(name);
    if (c >= trend::kAnalogChannels) graph->setLineStyle(QCPGraph::lsStepLeft);
    graphs_[c] = graph;
  }
  if (bitAxis_) bitAxis_->setRange(-0.25, lanes * kLaneHeight);
  UseValueAxes(false);
}

void TrendPlot::Append(std::span<const trend::Sample> samples, double t0) {
  if (samples.empty()) return;
  QVector<double> keys;
  keys.reserve(static_cast<qsizetype>(samples.size()));
  for (const trend::Sample& s : samples) keys.push_back(s.t - t0);
  QVector<double> values(keys.size());
  for (size_t c = 0; c < trend::kChannelCount; ++c) {
    if (!graphs_[c]) continue;
    const double offset = c < trend::kAnalogChannels ? 0.0 : laneOffset_[c];
    for (qsizetype i = 0; i < keys.size(); ++i) {
      values[i] = trend::ChannelValue(samples[static_cast<size_t>(i)], c) + offset;
    }
    graphs_[c]->addData(keys, values, true);
  }
  lastTime_ = keys.back();
}

void TrendPlot::DropBefore(double t) {
  for (QCPGraph* g : graphs_) {
    if (g) g->data()->removeBefore(t);
  }
}

void TrendPlot::Clear() {
  for (QCPGraph* g : graphs_) {
    if (g) g->data()->clear();
  }
  lastTime_ = 0;
}

void TrendPlot::FitAll() {
  if (!live_) {
    bool found = false;
    QCPRange all;
    for (QCPGraph* g : graphs_) {
      if (!g) continue;
      bool f = false;
      const QCPRange r = g->getKeyRange(f);
      if (f) all = found ? QCPRange(std::min(all.lower, r.lower), std::max(all.upper, r.upper)) : r;
      found = found || f;
    }
    if (found && all.size() > 0) xAxis->setRange(all);
  }
  for (size_t c = 0; c < trend::kAnalogChannels; ++c) {
    if (!graphs_[c]) continue;
    bool found = false;
    QCPRange r = graphs_[c]->getValueRange(found, QCP::sdBoth, xAxis->range());
    if (!found) continue;
    const double pad = r.size() > 0 ? r.size() * 0.05 : std::max(std::fabs(r.lower) * 0.05, 0.01);
    axes_[c]->setRange(r.lower - pad, r.upper + pad);
  }
}

void TrendPlot::Refresh() {
  const bool was = navigating_;
  navigating_ = false;  // what follows is not the user's doing
  if (live_) {
    const double span = xAxis->range().size();
    xAxis->setRange(std::max(0.0, lastTime_ - span), std::max(span, lastTime_));
  }
  if (autoscale_) FitAll();
  navigating_ = was;
  replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlot::SetCursorsShown(bool shown) {
  cursorsShown_ = shown;
  if (shown) {
    const QCPRange r = xAxis->range();
    for (size_t i = 0; i < cursors_.size(); ++i) {
      if (!r.contains(cursorT_[i]))
        cursorT_[i] = r.lower + r.size() * (1.0 + static_cast<double>(i)) / 3.0;
    }
  }
  for (size_t i = 0; i < cursors_.size(); ++i) {
    cursors_[i]->setVisible(shown);
    SetCursor(static_cast<int>(i), cursorT_[i]);
  }
}

void TrendPlot::SetCursor(int which, double t) {
  const auto i = static_cast<size_t>(which);
  cursorT_[i] = t;
  cursors_[i]->point1->setCoords(t, 0);
  cursors_[i]->point2->setCoords(t, 1);
  replot(QCustomPlot::rpQueuedReplot);
}

double TrendPlot::ValueAt(size_t channel, double t) const {
  if (channel >= trend::kChannelCount || !graphs_[channel]) return kNaN;
  const auto points = graphs_[channel]->data();
  const auto begin = points->constBegin(), end = points->constEnd();
  const auto it = std::lower_bound(begin, end, t,
                                   [](const QCPGraphData& d, double key) { return d.key < key; });
  if (it == end || (it == begin && it->key > t)) return kNaN;
  if (channel >= trend::kAnalogChannels) {
    const auto at = it->key == t ? it : it - 1;
    return at->value - laneOffset_[channel];
  }
  if (it->key == t) return it->value;
  const auto prev = it - 1;
  return prev->value + (it->value - prev->value) * (t - prev->key) / (it->key - prev->key);
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
  if (cursorsShown_ && event->button() == Qt::LeftButton) {
    const double x = event->position().x();
    for (size_t i = 0; i < cursors_.size(); ++i) {
      if (std::fabs(xAxis->coordToPixel(cursorT_[i]) - x) <= kGrabPixels) {
        grabbed_ = static_cast<int>(i);
        event->accept();
        return;
      }
    }
  }
  UseValueAxes((event->modifiers() & Qt::ControlModifier) != 0);
  navigating_ = true;
  QCustomPlot::mousePressEvent(event);
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
  if (grabbed_ >= 0) {
    SetCursor(grabbed_, xAxis->pixelToCoord(event->position().x()));
    if (onCursorMoved) onCursorMoved();
    event->accept();
    return;
  }
  QCustomPlot::mouseMoveEvent(event);
}

void TrendPlot::mouseReleaseEvent(QMouseEvent* event) {
  if (grabbed_ >= 0) {
    grabbed_ = -1;
    event->accept();
    return;
  }
  QCustomPlot::mouseReleaseEvent(event);
  navigating_ = false;
}

void TrendPlot::wheelEvent(QWheelEvent* event) {
  UseValueAxes((event->modifiers() & Qt::ControlModifier) != 0);
  navigating_ = true;
  QCustomPlot::wheelEvent(event);
  navigating_ = false;
}

void TrendPlot::UseValueAxes(bool values) {
  QCPAxisRect* rect = axisRect();
  const Qt::Orientations o = values ? Qt::Vertical : Qt::Horizontal;
  rect->setRangeDrag(o);
  rect->setRangeZoom(o);
  const QList<QCPAxis*> time{xAxis};
  const QList<QCPAxis*> none;
  rect->setRangeDragAxes(values ? none : time, values ? ValueAxes() : none);
  rect->setRangeZoomAxes(values ? none : time, values ? ValueAxes() : none);
}

QList<QCPAxis*> TrendPlot::ValueAxes() const {
  QList<QCPAxis*> list;
  for (QCPAxis* a : axes_) {
    if (a) list.append(a);
  }
  return list;
}

void TrendPlot::Navigated(bool valueAxes) {
  if (navigating_ && onUserNavigation) onUserNavigation(valueAxes);
}
