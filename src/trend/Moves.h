// Moves within a recording: each begins at a start, jog or home command and ends when the axis
// has reported "In target" for a second (or at the next command, or when the recording stops),
// and then yields its step-response figures.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "oxa/Oxa.h"
#include "trend/Channels.h"
#include "trend/StepResponse.h"

namespace trend {

enum class MoveKind : uint8_t { Start, JogPositive, JogNegative, Home };

// A command that begins a move, as the arming saw it go out.
struct MoveMark {
  double t = 0;  // s, on the recorder's clock, just before the command was sent
  MoveKind kind = MoveKind::Start;
  oxa::OxaAddr addr;  // the axis the command went to
  int32_t axis = -1;
  double target = 0;    // mm, the destination of a start (the others take the axis's TargetPos)
  double velocity = 0;  // mm/s of a start or a jog
  double band = 0;      // mm, the in-position window of the axis
  double lagKp = 0;     // the position controller's gain at the command, to compare moves by
};

struct MoveResult {
  MoveMark mark;
  StepFigures figures;
  double end = 0;         // s, the last sample of the move
  bool inTarget = false;  // the axis reported "In target" before the move ended
  size_t samples = 0;
};

class MoveTracker {
 public:
  // After the first "In target", the move is recorded this much longer (s).
  static constexpr double kHoldTime = 1.0;
  // A move whose axis never leaves "In target" ends this long after its command (s).
  static constexpr double kGraceTime = 1.0;
  // No move is longer (s); at 1000 Hz that is 120,000 samples.
  static constexpr double kMaxMoveTime = 120.0;
  // Results kept to compare with.
  static constexpr size_t kKeptResults = 5;

  // A command; it takes effect with the first sample at or after its time. A move still open
  // then ends there.
  void Mark(const MoveMark& mark);
  // The next sample of the recording, in time order.
  void Add(const Sample& s);
  void Add(std::span<const Sample> samples);
  // The recording stopped: the open move ends with what it has, pending commands are dropped.
  void Finish();
  // Forgets everything, results included.
  void Reset();

  bool Open() const { return current_.has_value(); }
  // Moves ended since the last call, oldest first.
  std::vector<MoveResult> TakeEnded();
  // The last kKeptResults moves, newest first.
  const std::deque<MoveResult>& Results() const { return results_; }

 private:
  void Begin(const MoveMark& mark);
  void End();

  std::deque<MoveMark> pending_;
  std::optional<MoveMark> current_;
  std::optional<Sample> before_;  // the last sample before the command
  std::vector<Sample> window_;
  bool left_ = false;  // the axis has left "In target" since the command
  double inTargetAt_ = 0;
  bool inTarget_ = false;
  std::vector<MoveResult> ended_;
  std::deque<MoveResult> results_;
};

// The figures of a move from its samples: `before` is the last sample before the command, if
// any; the start position is its ActualPos, else that of the first sample.
MoveResult MeasureMove(const MoveMark& mark, const std::optional<Sample>& before,
                       std::span<const Sample> window, bool inTarget);

}  // namespace trend
