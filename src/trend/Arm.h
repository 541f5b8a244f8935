// Arming on the document's commands: every start, jog and home the document sends to an axis
// becomes a move mark for the recorder, once the controller has accepted it.
//
// The arm runs where the document runs and reads only what the observer call hands it; it
// passes plain values on, so that whatever consumes the marks never touches the document.
#pragma once

#include <functional>
#include <optional>

#include "link/AxtuneDoc.h"
#include "link/DocObserver.h"
#include "trend/Clock.h"
#include "trend/Moves.h"
#include "trend/Sampler.h"

namespace trend {

class CommandArm final : public axlink::IDocObserver {
 public:
  using Sink = std::function<void(const MoveMark&)>;

  // `clock` is the recorder's; `sink` gets each accepted command's mark.
  CommandArm(IClock& clock, Sink sink) : clock_(clock), sink_(std::move(sink)) {}

  void BeforeSend(const CAxtuneDoc& doc, const axlink::SendEvent& event) override;
  void AfterSend(const CAxtuneDoc& doc, const axlink::SendEvent& event, int32_t result) override;

 private:
  IClock& clock_;
  Sink sink_;
  std::optional<MoveMark> pending_;
};

// The in-position window of the document's axis: the window of its "In target" bit
// (TargetRange), else its "In position range" (PosRange), else 0.1 mm.
double PositionBand(const CAxtuneDoc& doc);

// The current axis of `doc` as a recording reads it; none while no axis is selected.
std::optional<RecordTarget> CurrentTarget(const CAxtuneDoc& doc);

}  // namespace trend
