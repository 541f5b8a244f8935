// The trend recorder's plot: one graph per shown channel, each analog channel on a value axis
// of its own in its colour, the state bits as steps in lanes of one axis, a legend, two cursors,
// and the time axis in seconds from the start of the recording.
//
// The mouse drags and zooms the time axis; with Ctrl held it drags and zooms the value axes.
// A cursor line is dragged when grabbed within a few pixels.
#pragma once

#include "app/QCustomPlotInclude.h"

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "trend/Channels.h"

class TrendPlot : public QCustomPlot {
 public:
  // The visible time span of a new recording (s).
  static constexpr double kDefaultSpan = 10.0;

  explicit TrendPlot(QWidget* parent = nullptr);

  // Shows `channels`, named by `names` (in table order, with their units); the data is dropped.
  void SetChannels(const trend::ChannelSet& channels, const std::vector<QString>& names);
  const trend::ChannelSet& Shown() const { return shown_; }

  // Appends samples in time order; `t0` is the start of the recording.
  void Append(std::span<const trend::Sample> samples, double t0);
  // Drops the data before `t` (s from the start), as the recorder's ring forgets it.
  void DropBefore(double t);
  void Clear();
  // The time of the newest sample (s from the start), 0 when there is none.
  double LastTime() const { return lastTime_; }

  // Live view: the time axis follows the newest sample, keeping its span.
  void SetLive(bool live) { live_ = live; }
  bool Live() const { return live_; }
  // Value axes fitted to the visible data at every refresh.
  void SetAutoscale(bool on) { autoscale_ = on; }
  bool Autoscale() const { return autoscale_; }
  // Fits the value axes to the visible data (and, out of live view, time to all data).
  void FitAll();
  // Moves the view to the newest data (live view) and fits the value axes (autoscale), then
  // redraws.
  void Refresh();

  // The two cursors (s from the start); shown or hidden.
  void SetCursorsShown(bool shown);
  bool CursorsShown() const { return cursorsShown_; }
  void SetCursor(int which, double t);
  double Cursor(int which) const { return cursorT_[static_cast<size_t>(which)]; }

  // The value of `channel` at `t` (s from the start): interpolated between samples for analog
  // channels, the last sample's for state bits; NaN outside the data or for a channel not shown.
  double ValueAt(size_t channel, double t) const;

  void SetTimeLabel(const QString& label) { xAxis->setLabel(label); }

  // Called when the user drags or zooms the time axis (false) or the value axes (true), and
  // when the user moves a cursor.
  std::function<void(bool valueAxes)> onUserNavigation;
  std::function<void()> onCursorMoved;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void UseValueAxes(bool values);
  QList<QCPAxis*> ValueAxes() const;
  void Navigated(bool valueAxes);

  trend::ChannelSet shown_;
  std::array<QCPGraph*, trend::kChannelCount> graphs_{};
  std::array<QCPAxis*, trend::kAnalogChannels> axes_{};
  QCPAxis* bitAxis_ = nullptr;
  std::array<double, trend::kChannelCount> laneOffset_{};
  std::array<QCPItemStraightLine*, 2> cursors_{};
  std::array<double, 2> cursorT_{};
  bool cursorsShown_ = false;
  int grabbed_ = -1;
  bool navigating_ = false;  // a mouse action of the user is changing the ranges
  bool live_ = true;
  bool autoscale_ = true;
  double lastTime_ = 0;
};
