#include "app/TuningRun.h"

#include <QTimer>
#include <cmath>
#include <memory>

#include "app/MainFrame.h"
#include "app/TrendDock.h"
#include "model/ParamRecord.h"

namespace {

constexpr int kPollMs = 50;
constexpr uint16_t kParamLagKp = 1700;

struct RunState {
  CMainFrame* frame = nullptr;
  TuningRun run;
  std::function<void()> done;
  double home = 0;
  bool started = false;  // the first move went out
  size_t step = 0;       // two per gain: out and back
  int movesBefore = 0;
};

// Sends the command of the current step; false when it was refused.
bool SendStep(RunState& s) {
  CAxtuneDoc& doc = s.frame->Doc();
  TrendDock& dock = *s.frame->Trend();
  const bool out = s.step % 2 == 0;
  if (out) {
    const double kp = s.run.gains[s.step / 2];
    // As a download from the Ctrl page: into the document's record, then to the axis.
    doc.params.LagKp = kp;
    if (doc.WriteParamNoReal(kp, kParamLagKp) != 0) return false;
  }
  dock.SetTestMove(out ? s.run.to : s.home, s.run.velocity);
  s.movesBefore = static_cast<int>(dock.Tracker().Results().size());
  return dock.StartTestMove() == 0;
}

// Shows the whole run, with the cursors on the last move out: from its command to the moment
// it settled.
void ShowRun(TrendDock& dock) {
  dock.SetPaused(true);
  dock.Plot()->FitAll();
  const auto& results = dock.Tracker().Results();
  if (results.size() < 2) return;
  const trend::MoveResult& out = results[1];
  const double command = out.mark.t - dock.Origin();
  const double settled = std::isfinite(out.figures.settlingTime) ? out.figures.settlingTime : 0.0;
  dock.PlaceCursors(command, command + settled);
}

}  // namespace

void StartTuningRun(CMainFrame& frame, const TuningRun& run, std::function<void()> done) {
  auto s = std::make_shared<RunState>();
  s->frame = &frame;
  s->run = run;
  s->done = std::move(done);
  if (run.gains.empty() || !frame.Trend()->Recording()) {
    s->done();
    return;
  }
  // The timer owns the state through its slot; it goes when the run is over.
  auto* timer = new QTimer(&frame);
  timer->setInterval(kPollMs);
  QObject::connect(timer, &QTimer::timeout, &frame, [s, timer] {
    TrendDock& dock = *s->frame->Trend();
    bool next = false;
    if (!s->started) {
      // The way back leads to where the axis first stands in target.
      std::vector<trend::Sample> last;
      const trend::SampleRing& ring = dock.Rec().Ring();
      ring.CopySince(ring.Total() == 0 ? 0 : ring.Total() - 1, last);
      if (last.empty() || trend::ChannelValue(last.back(), trend::kBitInTarget) == 0) return;
      s->home = last.back().values[trend::kActualPos];
      s->started = true;
      next = SendStep(*s);
    } else if (dock.MovesEnded() != s->movesBefore) {
      next = ++s->step < 2 * s->run.gains.size() && SendStep(*s);
    } else {
      return;
    }
    if (!next) {
      timer->stop();
      timer->deleteLater();
      if (s->step == 2 * s->run.gains.size()) ShowRun(dock);
      s->done();
    }
  });
  timer->start();
}
