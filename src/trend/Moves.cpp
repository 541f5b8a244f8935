#include "trend/Moves.h"

#include <cmath>

namespace trend {

namespace {

bool InTarget(const Sample& s) {
  return ChannelValue(s, kBitInTarget) != 0.0;
}

}  // namespace

void MoveTracker::Mark(const MoveMark& mark) {
  pending_.push_back(mark);
}

void MoveTracker::Add(std::span<const Sample> samples) {
  for (const Sample& s : samples) Add(s);
}

void MoveTracker::Add(const Sample& s) {
  while (!pending_.empty() && pending_.front().t <= s.t) {
    if (current_) End();
    Begin(pending_.front());
    pending_.pop_front();
  }
  if (!current_) {
    before_ = s;
    return;
  }
  // A sample taken before the command but delivered after it still tells where the axis stood.
  if (s.t < current_->t) {
    before_ = s;
    return;
  }
  window_.push_back(s);
  const double since = s.t - current_->t;
  if (!InTarget(s)) {
    left_ = true;
  } else if (left_ && !inTarget_) {
    inTarget_ = true;
    inTargetAt_ = s.t;
  }
  if ((inTarget_ && s.t - inTargetAt_ >= kHoldTime) || (!left_ && since >= kGraceTime) ||
      since >= kMaxMoveTime) {
    if (!left_) inTarget_ = true;
    End();
  }
}

void MoveTracker::Finish() {
  pending_.clear();
  if (current_) End();
}

void MoveTracker::Reset() {
  *this = MoveTracker{};
}

std::vector<MoveResult> MoveTracker::TakeEnded() {
  std::vector<MoveResult> out;
  out.swap(ended_);
  return out;
}

void MoveTracker::Begin(const MoveMark& mark) {
  current_ = mark;
  window_.clear();
  left_ = false;
  inTarget_ = false;
  inTargetAt_ = 0;
}

void MoveTracker::End() {
  if (!window_.empty()) {
    MoveResult r = MeasureMove(*current_, before_, window_, inTarget_);
    ended_.push_back(r);
    results_.push_front(r);
    if (results_.size() > kKeptResults) results_.pop_back();
    before_ = window_.back();
  }
  current_.reset();
  window_.clear();
}

MoveResult MeasureMove(const MoveMark& mark, const std::optional<Sample>& before,
                       std::span<const Sample> window, bool inTarget) {
  MoveResult r;
  r.mark = mark;
  r.inTarget = inTarget;
  r.samples = window.size();
  if (window.empty()) return r;
  r.end = window.back().t;
  std::vector<double> t, pos, lag, velo;
  t.reserve(window.size());
  pos.reserve(window.size());
  lag.reserve(window.size());
  velo.reserve(window.size());
  for (const Sample& s : window) {
    t.push_back(s.t - mark.t);
    pos.push_back(s.values[kActualPos]);
    lag.push_back(s.values[kLag]);
    velo.push_back(s.values[kActualVelo]);
  }
  const double start = before ? before->values[kActualPos] : window.front().values[kActualPos];
  const double target =
      mark.kind == MoveKind::Start ? mark.target : window.back().values[kTargetPos];
  r.figures = MeasureStep({t, pos, lag, velo}, start, target, mark.band);
  return r;
}

}  // namespace trend
