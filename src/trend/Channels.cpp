#include "trend/Channels.h"

#include <algorithm>

namespace trend {

namespace {

using R = model::RuntimeRecord;

// The analog channels read these fields (the setpoint velocity is computed).
constexpr double R::*kFields[kAnalogChannels] = {
    &R::ActualPos,       &R::SetpointPos,
    &R::TargetPos,       &R::Lag,
    &R::ActualVelo,      nullptr,
    &R::LagController,   &R::ActualPressure,
    &R::ActualPressure2, &R::ActualPressure3,
    &R::Overlap,         &R::Override,
};

constexpr ChannelDef kChannels[kChannelCount] = {
    {"ActualPos", "mm", 37100, false, 0},
    {"SetpointPos", "mm", 37101, false, 0},
    {"TargetPos", "mm", 37102, false, 0},
    {"Lag", "mm", 37103, false, 0},
    {"ActualVelo", "mm/s", 37104, false, 0},
    {"SetpointVelo", "mm/s", 37105, false, 0},
    {"LagController", "", 37106, false, 0},
    {"ActualPressure", "bar", 37107, false, 0},
    {"ActualPressure2", "bar", 37108, false, 0},
    {"ActualPressure3", "bar", 37109, false, 0},
    {"Overlap", "", 37110, false, 0},
    {"Override", "", 37111, false, 0},
    {"Ready", "", 37112, true, 0},
    {"Homed", "", 37113, true, 1},
    {"Not moving", "", 37114, true, 2},
    {"In position range", "", 37115, true, 3},
    {"In target", "", 37116, true, 4},
    {"stoped", "", 37117, true, 7},
    {"Moving up", "", 37118, true, 9},
    {"Moving down", "", 37119, true, 10},
};

}  // namespace

std::span<const ChannelDef> Channels() {
  return kChannels;
}

std::optional<size_t> FindChannel(std::string_view name) {
  for (size_t i = 0; i < kChannelCount; ++i) {
    if (kChannels[i].name == name) return i;
  }
  return std::nullopt;
}

Sample SampleOf(const model::RuntimeRecord& rec, double t) {
  Sample s;
  s.t = t;
  for (size_t i = 0; i < kAnalogChannels; ++i) {
    s.values[i] = kFields[i] != nullptr ? rec.*kFields[i] : 0.0;
  }
  s.values[kSetpointVelo] = rec.SetpointVeloRatio * rec.ReferenceVelo;
  s.stateBits = rec.StateBits;
  return s;
}

double ChannelValue(const Sample& s, size_t channel) {
  if (channel < kAnalogChannels) return s.values[channel];
  if (channel >= kChannelCount) return 0.0;
  return (s.stateBits >> kChannels[channel].bit) & 1u ? 1.0 : 0.0;
}

ChannelSet DefaultChannels() {
  ChannelSet set;
  for (size_t c : {kActualPos, kSetpointPos, kTargetPos, kLag, kActualVelo, kSetpointVelo}) {
    set.set(c);
  }
  return set;
}

std::string FormatChannelSet(const ChannelSet& set) {
  std::string text;
  for (size_t i = 0; i < kChannelCount; ++i) {
    if (!set.test(i)) continue;
    if (!text.empty()) text += ',';
    text += kChannels[i].name;
  }
  return text;
}

std::optional<ChannelSet> ParseChannelSet(std::string_view text) {
  ChannelSet set;
  while (!text.empty()) {
    const size_t comma = std::min(text.find(','), text.size());
    if (const auto c = FindChannel(text.substr(0, comma))) set.set(*c);
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  if (set.none()) return std::nullopt;
  return set;
}

}  // namespace trend
