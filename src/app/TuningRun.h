// A tuning run without a user, for demonstrations and screenshots: for each gain in turn, the
// position controller's LagKp is written as the Ctrl page would, the axis is started to a
// position with the recorder's test move and, once that move has ended, back to where it
// stood. The trend recorder records and measures every move.
#pragma once

#include <functional>
#include <vector>

class CMainFrame;

struct TuningRun {
  std::vector<double> gains;  // LagKp of each pair of moves
  double to = 0;              // mm
  double velocity = 0;        // mm/s
};

// Starts `run` on the event loop of `frame` (the recorder must be recording the current axis);
// `done` runs after the last move has ended, or at once when a command is refused.
void StartTuningRun(CMainFrame& frame, const TuningRun& run, std::function<void()> done);
