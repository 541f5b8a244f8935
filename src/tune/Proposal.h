// The parameters the tuning assistant proposes from what the runs measured, each with the one
// line that says why.
//
// The position loop of a valve-controlled cylinder is an integrator behind the oil column's
// resonance: it stays stable while its gain kP is below 2·ζ·ω_h, and the controller's cycle T
// adds a dead time that bounds it by 1/(3·T) as well. The proposal keeps a margin of
// kGainMargin to the lower of the two bounds. The ramps stay below what the axis reached at
// full output, and the lag monitor leaves room for the following error of a move at the
// reference velocity with the proposed gain and no feed-forward.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/ParamRecord.h"
#include "tune/Identify.h"

namespace tune {

inline constexpr double kGainMargin = 3.0;
// The dead time of one cycle: kP at most 1/(kCycleFactor·T).
inline constexpr double kCycleFactor = 3.0;
// The ramps as a fraction of what was reached; MaxLag as a multiple of v_ref / kP.
inline constexpr double kRampShare = 0.6;
inline constexpr double kLagMargin = 1.5;

struct Measurements {
  std::optional<Characteristic> characteristic;
  std::optional<Ringing> ringing;
  std::optional<Reached> reached;
};

struct ProposedValue {
  std::string name;  // the record's field name
  double current = 0;
  double proposed = 0;
  std::string reason;
};

// The proposal for the axis whose parameters are `current`; only what the measurements
// support (no ringing: no LagKp and no MaxLag).
std::vector<ProposedValue> Propose(const Measurements& m, const model::ParamRecord& current);

}  // namespace tune
