#include "trend/Arm.h"

#include <cmath>

namespace trend {

namespace {

constexpr double kFallbackBand = 0.1;  // mm

std::optional<MoveKind> KindOf(const axlink::SendEvent& e) {
  if (e.kind == axlink::SendKind::Move) {
    switch (e.move.mode) {
      case axlink::kMoveToPosition:
        return MoveKind::Start;
      case axlink::kMoveJogPositive:
        return MoveKind::JogPositive;
      case axlink::kMoveJogNegative:
        return MoveKind::JogNegative;
      default:
        return std::nullopt;  // the characteristic run is no step
    }
  }
  if (e.kind == axlink::SendKind::Command && e.indexOffset == axlink::kCmdHome) {
    return MoveKind::Home;
  }
  return std::nullopt;
}

}  // namespace

void CommandArm::BeforeSend(const CAxtuneDoc& doc, const axlink::SendEvent& event) {
  pending_.reset();
  const auto kind = KindOf(event);
  if (!kind) return;
  MoveMark m;
  m.t = clock_.Now();
  m.kind = *kind;
  m.addr = event.addr;
  m.axis = event.axis;
  m.target = *kind == MoveKind::Start ? event.move.position : 0.0;
  m.velocity = event.move.velocity;
  m.band = PositionBand(doc);
  m.lagKp = doc.params.LagKp;
  pending_ = m;
}

void CommandArm::AfterSend(const CAxtuneDoc&, const axlink::SendEvent& event, int32_t result) {
  if (!pending_ || !KindOf(event)) return;
  const MoveMark m = *pending_;
  pending_.reset();
  if (result == oxa::kOk && sink_) sink_(m);
}

double PositionBand(const CAxtuneDoc& doc) {
  for (const double band : {doc.params.TargetRange, doc.params.PosRange}) {
    if (std::isfinite(band) && band > 0) return band;
  }
  return kFallbackBand;
}

std::optional<RecordTarget> CurrentTarget(const CAxtuneDoc& doc) {
  if (!doc.bAxisSelected || doc.nAxis < 0 || doc.nAxis > 0xFFFF) return std::nullopt;
  RecordTarget t;
  t.addr = doc.axisAddr;
  t.axis = static_cast<uint16_t>(doc.nAxis);
  t.lib = doc.linkVersions.lib;
  t.versions = doc.linkVersions.table;
  t.referenceVelo = doc.runtime.ReferenceVelo;
  return t;
}

}  // namespace trend
