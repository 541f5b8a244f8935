// What the trend recorder records of an axis: one sample of its runtime values, and the
// channels a plot or a file shows of it (analog values with their units, and the state bits as
// steps of 0 and 1).
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/RuntimeRecord.h"

namespace trend {

inline constexpr size_t kAnalogChannels = 12;
inline constexpr size_t kStateBitChannels = 8;
inline constexpr size_t kChannelCount = kAnalogChannels + kStateBitChannels;

// Channel indices, in table order.
enum Channel : uint8_t {
  kActualPos,
  kSetpointPos,
  kTargetPos,
  kLag,
  kActualVelo,
  kSetpointVelo,
  kLagController,
  kActualPressure,
  kActualPressure2,
  kActualPressure3,
  kOverlap,
  kOverride,
  kBitReady,
  kBitHomed,
  kBitNotMoving,
  kBitInRange,
  kBitInTarget,
  kBitStopped,
  kBitMovingUp,
  kBitMovingDown,
};

struct ChannelDef {
  // The name in file headers and settings: the record's field name, or the state bit's text.
  std::string_view name;
  std::string_view unit;  // empty for values without a unit and for the state bits
  uint32_t textId;        // the name shown in the window
  bool isBit;
  uint8_t bit;  // state bits: the bit of StateBits
};

std::span<const ChannelDef> Channels();
std::optional<size_t> FindChannel(std::string_view name);

// One reading of the runtime record, stamped with the monotonic time its answer arrived.
struct Sample {
  double t = 0;  // s
  std::array<double, kAnalogChannels> values{};
  uint32_t stateBits = 0;
};

// The sample of `rec` at `t`; the setpoint velocity is SetpointVeloRatio x ReferenceVelo.
Sample SampleOf(const model::RuntimeRecord& rec, double t);
// The value of `channel` in `s`: state bits read 0 or 1.
double ChannelValue(const Sample& s, size_t channel);

using ChannelSet = std::bitset<kChannelCount>;

// What a new user sees first: positions, lag and velocities.
ChannelSet DefaultChannels();
// The channel names of `set`, separated by commas; and back (unknown names are skipped, an empty
// or wholly unknown text gives none).
std::string FormatChannelSet(const ChannelSet& set);
std::optional<ChannelSet> ParseChannelSet(std::string_view text);

}  // namespace trend
