#include "sim/RuntimeRecords.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "oxa/Bytes.h"
#include "sim/ParamStore.h"
#include "sim/Reply.h"

namespace sim {

namespace {

using model::IoRecordId;
using oxa::bytes::Put;

constexpr uint16_t kWordAxisRef = 0;
constexpr uint16_t kWordRuntime = 1;
constexpr uint16_t kWordLin = 4;

// State bits of an axis at rest: ready, homed, not moving, in position range, in target.
constexpr uint32_t kStateAtRest = 0x1F;
// Enable bits: control enable, feed enable positive and negative.
constexpr uint32_t kEnableAll = 0x07;
constexpr double kStroke = 500.0;  // mm

// The axis's state, created at rest on first use so that no handler meets an axis without one.
AxisRuntime& StateOf(SimAxis& axis) {
  AxisRuntime* rt = RuntimeOf(axis);
  return rt != nullptr ? *rt : axis.Ext().Emplace<AxisRuntime>(RestingAxis());
}

double ReferenceVeloOf(SimAxis& axis) {
  const ParamStore* params = ParamsOf(axis);
  return params == nullptr ? 0.0 : params->Record().ReferenceVelo;
}

// The runtime values as the record reports them, with the parameters' reference velocity.
model::RuntimeRecord ValuesOf(SimAxis& axis, const AxisRuntime& rt) {
  model::RuntimeRecord v = rt.values;
  v.ReferenceVelo = ReferenceVeloOf(axis);
  return v;
}

uint32_t EncoderCount(SimAxis& axis, double position) {
  const ParamStore* params = ParamsOf(axis);
  double weighting = params == nullptr ? 0.0 : params->Record().EncoderWeighting;
  if (!(std::fabs(weighting) > 1e-6)) weighting = 0.001;
  const double counts = std::round(position / weighting);
  // Counters run modulo 2^32 like the terminals'.
  if (!std::isfinite(counts)) return 0;
  const double wrapped = std::fmod(counts, 4294967296.0);
  return static_cast<uint32_t>(
      static_cast<int64_t>(wrapped < 0 ? wrapped + 4294967296.0 : wrapped));
}

int16_t DacWord(double output) {
  const double o = std::clamp(std::isfinite(output) ? output : 0.0, -1.0, 1.0);
  return static_cast<int16_t>(std::lround(o * 32767.0));
}

// Checks a record read and answers its layout's length; 0 with `reply` set on refusal.
uint32_t CheckRead(const oxa::OxaRequest& r, std::span<uint8_t> out, uint32_t length,
                   oxa::OxaReplyInfo& reply) {
  if (r.command != oxa::Command::Read) {
    reply = Fail(oxa::kErrServiceNotSupported);
    return 0;
  }
  if (length == 0) {
    reply = Fail(oxa::kErrInvalidIndexOffset);
    return 0;
  }
  if (r.readLength != length || out.size() < length) {
    reply = Fail(oxa::kErrInvalidSize);
    return 0;
  }
  std::fill(out.begin(), out.begin() + length, uint8_t{0});
  return length;
}

int16_t Word(const AxisServer& server, size_t word) {
  // A word the server does not report has no layout: -32768 is none of the known versions.
  return server.RecordVersion(word).value_or(INT16_MIN);
}

oxa::OxaReplyInfo ServeAxisRef(SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t> out) {
  const int16_t layout = Word(axis.Server(), kWordAxisRef);
  oxa::OxaReplyInfo reply;
  const uint32_t n = CheckRead(r, out, model::AxisRefBlockLength(layout), reply);
  if (n == 0) return reply;
  model::EncodeAxisRefBlock(layout, AxisRefOf(axis), out.first(n));
  return Done(n);
}

oxa::OxaReplyInfo ServeRuntimeBlock(SimAxis& axis, const oxa::OxaRequest& r,
                                    std::span<uint8_t> out) {
  const int16_t layout = Word(axis.Server(), kWordRuntime);
  oxa::OxaReplyInfo reply;
  const uint32_t n = CheckRead(r, out, model::RuntimeBlockLength(layout), reply);
  if (n == 0) return reply;
  model::EncodeRuntimeBlock(layout, ValuesOf(axis, StateOf(axis)), out.first(n));
  return Done(n);
}

oxa::OxaReplyInfo ServeLin(SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t> out) {
  const int16_t layout = Word(axis.Server(), kWordLin);
  oxa::OxaReplyInfo reply;
  const uint32_t n = CheckRead(r, out, model::LinBlockLength(layout), reply);
  if (n == 0) return reply;
  model::EncodeLinBlock(layout, StateOf(axis).lin, out.first(n));
  return Done(n);
}

oxa::OxaReplyInfo ServeImage(IoRecordId id, SimAxis& axis, const oxa::OxaRequest& r,
                             std::span<uint8_t> out) {
  const int16_t layout = Word(axis.Server(), model::IoInfo(id).versionWord);
  oxa::OxaReplyInfo reply;
  const uint32_t n = CheckRead(r, out, model::IoBlockLength(id, layout), reply);
  if (n == 0) return reply;
  const model::IoRecords images = IoImagesOf(axis);
  model::EncodeIoBlock(id, layout, model::IoBytes(images, id), out.first(n));
  return Done(n);
}

oxa::OxaReplyInfo AcknowledgeParamsChanged(SimAxis& axis, const oxa::OxaRequest& r,
                                           std::span<uint8_t>) {
  if (r.command != oxa::Command::Write) return Fail(oxa::kErrServiceNotSupported);
  if (r.writeData.size() != 1) return Fail(oxa::kErrInvalidSize);
  if (r.writeData[0] != 0) return Fail(oxa::kErrInvalidData);
  StateOf(axis).paramsChanged = false;
  return Done();
}

bool BatchReal(SimAxis& axis, uint16_t no, double& value) {
  if (no > INT16_MAX) return false;
  const model::RuntimeRecord& v = StateOf(axis).values;
  // The setpoint velocity travels in mm/s, scaled by the parameters' reference velocity.
  if (no == 10011) {
    value = v.SetpointVeloRatio * ReferenceVeloOf(axis);
    return true;
  }
  return model::RuntimeBatchValue(v, static_cast<int16_t>(no), value);
}

bool BatchInt(SimAxis& axis, uint16_t no, int32_t& value) {
  if (no > INT16_MAX) return false;
  const AxisRuntime& rt = StateOf(axis);
  if (no == static_cast<uint16_t>(model::kParamsChangedNo)) {
    value = rt.paramsChanged ? 1 : 0;
    return true;
  }
  return model::RuntimeBatchValue(rt.values, static_cast<int16_t>(no), value);
}

bool ApplyConfig(AxisRuntime& rt, const nlohmann::json& j, std::string& error) {
  if (!j.is_object()) {
    error = "runtime must be an object";
    return false;
  }
  for (const auto& [key, v] : j.items()) {
    model::RuntimeRecord& r = rt.values;
    if ((key == "position" || key == "pressure") && v.is_number() &&
        std::isfinite(v.get<double>())) {
      const double d = v.get<double>();
      if (key == "position") {
        r.ActualPos = r.SetpointPos = r.TargetPos = r.TargetPosAux = d;
      } else {
        r.ActualPressure = r.ActualPressure2 = r.ActualPressure3 = d;
      }
    } else if ((key == "stateCode" || key == "step") && v.is_number_integer() &&
               v.get<int64_t>() >= INT16_MIN && v.get<int64_t>() <= INT16_MAX) {
      (key == "stateCode" ? r.AxisState : r.CurrentStep) = static_cast<int16_t>(v.get<int64_t>());
    } else if (key == "errorCode" && v.is_number_integer() && v.get<int64_t>() >= INT32_MIN &&
               v.get<int64_t>() <= INT32_MAX) {
      r.ErrorCode = static_cast<int32_t>(v.get<int64_t>());
    } else {
      error = "runtime: \"" + key + "\" is not a known key with a value in range";
      return false;
    }
  }
  return true;
}

}  // namespace

AxisRuntime RestingAxis() {
  AxisRuntime rt;
  model::RuntimeRecord& v = rt.values;
  v.ActualPos = v.SetpointPos = v.TargetPos = v.TargetPosAux = kStroke / 2;
  v.ActualPressure = v.ActualPressure2 = v.ActualPressure3 = 42.0;
  v.Override = 1.0;
  v.Clamping = 0.0;
  v.StateBits = kStateAtRest;
  v.EnableBits = kEnableAll;
  v.AxisState = 0;
  v.CurrentStep = 0;

  model::LinRecord& lin = rt.lin;
  lin.LinEnableOverlap = true;
  // The table below is an example, not this axis's valve: the controller does not use it until
  // it is enabled (after a characteristic run has recorded the real one).
  lin.LinEnableTable = false;
  lin.LinEoTNegative = -5.0;
  lin.LinEoTPositive = kStroke + 5.0;
  // The limits are magnitudes in volts, the minimum cycle in ms: within the LinDef page's rules.
  lin.LinNegativeLimit = 10.0;
  lin.LinPositiveLimit = 10.0;
  lin.LinDecelFactor = 0.8;
  lin.LinCurveType = 1;
  constexpr int kPoints = 21;
  constexpr double kOverlap = 0.05;
  for (int i = 0; i < kPoints; ++i) {
    const double out = -1.0 + 0.1 * i;
    const double mag = std::fabs(out) < 1e-9 ? 0.0 : kOverlap + (1.0 - kOverlap) * std::fabs(out);
    lin.LinTabOutput[static_cast<size_t>(i)] = out;
    lin.LinTabValue[static_cast<size_t>(i)] = out < 0 ? -mag : mag;
  }
  lin.LinSamples = kPoints;
  lin.LinLowEnd = 0.0;
  lin.LinHighEnd = kStroke;
  lin.LinRamp = 0.5;
  lin.LinSettling = 0.2;
  lin.LinRecovery = 0.1;
  lin.LinMinCycle = 2.0;
  return rt;
}

model::AxisRefRecord AxisRefOf(SimAxis& axis) {
  const AxisRuntime* rt = &StateOf(axis);
  const AxisServer& server = axis.Server();
  model::AxisRefRecord ref;
  const std::string& name = axis.Name();
  std::copy_n(name.begin(), std::min(name.size(), ref.AxisRefName.size() - 1),
              ref.AxisRefName.begin());
  ref.AxisStateCode = rt->values.AxisState;
  ref.InitState = rt->initState;
  ref.InitError = rt->initError;
  ref.FeatureLevel = rt->featureLevel;
  const auto has = [&](IoRecordId id) {
    return model::IoBlockLength(id, Word(server, model::IoInfo(id).versionWord)) != 0;
  };
  ref.RefFlags[0] = true;
  ref.RefFlags[3] = has(IoRecordId::DevIn) && has(IoRecordId::DevOut);
  // The device images are connected to the axis's terminals: the I/O page shows their rows.
  ref.RefFlags[4] = ref.RefFlags[3];
  ref.RefFlags[5] = true;
  ref.RefFlags[6] = model::LinBlockLength(Word(server, kWordLin)) != 0;
  return ref;
}

model::IoRecords IoImagesOf(SimAxis& axis) {
  const AxisRuntime* rt = &StateOf(axis);
  const model::RuntimeRecord& v = rt->values;
  const uint32_t count = EncoderCount(axis, v.ActualPos);
  const auto count16 = static_cast<uint16_t>(count & 0xFFFF);
  const int16_t dac = DacWord(rt->valveOutput);
  const auto dacA = static_cast<uint16_t>(dac > 0 ? dac : 0);
  const auto dacB = static_cast<uint16_t>(dac < 0 ? -dac : 0);
  const bool movePos = v.ActualVelo > 0.0;
  const bool moveNeg = v.ActualVelo < 0.0;
  const uint8_t ready = 1;

  model::IoRecords io;
  auto& enc = io.encoderIn.bytes;
  Put(std::span<uint8_t>(enc), 0x00, count16);
  Put(std::span<uint8_t>(enc), 0x02, rt->latchCount);
  Put(std::span<uint8_t>(enc), 0x09, count16);
  Put(std::span<uint8_t>(enc), 0x0B, static_cast<uint16_t>(count >> 16));
  enc[0x0E] = ready;

  auto& drvIn = io.driveIn.bytes;
  drvIn[0x00] = rt->powerOn ? 1 : 0;
  drvIn[0x01] = rt->enabled ? 1 : 0;
  drvIn[0x02] = ready;

  auto& drvOut = io.driveOut.bytes;
  Put(std::span<uint8_t>(drvOut), 0x00, dac);
  Put(std::span<uint8_t>(drvOut), 0x06, count16);
  drvOut[0x08] = rt->powerOn ? 1 : 0;
  drvOut[0x09] = rt->enabled ? 1 : 0;
  drvOut[0x0A] = rt->enabled && dac >= 0 ? 1 : 0;
  drvOut[0x0B] = rt->enabled && dac <= 0 ? 1 : 0;
  Put(std::span<uint8_t>(drvOut), 0x0C, dacA);
  Put(std::span<uint8_t>(drvOut), 0x0E, dacB);
  drvOut[0x10] = movePos ? 1 : 0;
  drvOut[0x11] = moveNeg ? 1 : 0;

  auto& ddIn = io.driveDevIn.bytes;
  Put(std::span<uint8_t>(ddIn), 0x0C, count16);
  ddIn[0x10] = rt->powerOn ? 1 : 0;
  ddIn[0x11] = rt->enabled ? 1 : 0;
  auto& ddOut = io.driveDevOut.bytes;
  ddOut[0x00] = rt->enabled ? 1 : 0;
  Put(std::span<uint8_t>(ddOut), 0x08, dac);
  ddOut[0x12] = rt->powerOn ? 1 : 0;

  auto& devIn = io.devIn.bytes;
  Put(std::span<uint8_t>(devIn), 0x00, count);
  Put(std::span<uint8_t>(devIn), 0x18, count16);
  Put(std::span<uint8_t>(devIn), 0x1A, rt->latchCount);
  Put(std::span<uint8_t>(devIn), 0x24, static_cast<int32_t>(count));
  Put(std::span<uint8_t>(devIn), 0x30, uint16_t{8});  // drive state: operation enabled
  devIn[0x4C] = ready;
  devIn[0x60] = rt->powerOn ? 1 : 0;
  devIn[0x61] = rt->enabled ? 1 : 0;

  auto& devOut = io.devOut.bytes;
  const double reference = ReferenceVeloOf(axis);
  const double nomVelo = std::clamp(v.SetpointVeloRatio * reference, -1e6, 1e6);
  Put(std::span<uint8_t>(devOut), 0x00, static_cast<int32_t>(std::isfinite(nomVelo) ? nomVelo : 0));
  Put(std::span<uint8_t>(devOut), 0x10, dac);
  Put(std::span<uint8_t>(devOut), 0x12, count16);
  Put(std::span<uint8_t>(devOut), 0x14, dacA);
  Put(std::span<uint8_t>(devOut), 0x16, dacB);
  devOut[0x3C] = movePos ? 1 : 0;
  devOut[0x3D] = moveNeg ? 1 : 0;
  devOut[0x40] = rt->powerOn ? 1 : 0;
  devOut[0x41] = rt->enabled ? 1 : 0;
  return io;
}

AxisRuntime* RuntimeOf(SimAxis& axis) {
  return axis.Ext().Find<AxisRuntime>();
}

bool InstallRuntimeRecords(AxisServer& server, std::string& error) {
  ParamServerState* params = ParamStateOf(server);
  if (params == nullptr) {
    error = "the runtime records need the parameter store for their batch";
    return false;
  }
  for (const auto& axis : server.Axes()) axis->Ext().Emplace<AxisRuntime>(RestingAxis());

  // Each record answers the length of the layout its word of the (fixed) version table names.
  bool ok =
      server.AddAxisGroup(kGroupRecords, kOffsetAxisRef,
                          model::AxisRefBlockLength(Word(server, kWordAxisRef)), ServeAxisRef) &&
      server.AddAxisGroup(kGroupRecords, kOffsetRuntimeBlock,
                          model::RuntimeBlockLength(Word(server, kWordRuntime)),
                          ServeRuntimeBlock) &&
      server.AddAxisGroup(kGroupRecords, kOffsetLinRecord,
                          model::LinBlockLength(Word(server, kWordLin)), ServeLin) &&
      server.AddAxisGroup(kGroupParamNo, kOffsetParamsChangedAck, 0, AcknowledgeParamsChanged);
  for (size_t i = 0; ok && i < model::kIoRecordCount; ++i) {
    const auto id = static_cast<IoRecordId>(i);
    const uint32_t length = model::IoBlockLength(id, Word(server, model::IoInfo(id).versionWord));
    ok = server.AddAxisGroup(kGroupRecords, model::IoInfo(id).indexOffset, length,
                             [id](SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t> out) {
                               return ServeImage(id, axis, r, out);
                             });
  }
  if (!ok) {
    error = "a group of the runtime records is already served";
    return false;
  }
  params->batchSources.push_back(BatchSource{BatchReal, BatchInt});
  // The numbered settings 3000 to 3158 act on the record that offset 4 serves.
  params->linRecord = [](SimAxis& axis) { return &StateOf(axis).lin; };
  // A written parameter is unsaved until the axis saves its parameter file (or loads it).
  params->writeListeners.push_back([](SimAxis& axis) {
    AxisRuntime& rt = StateOf(axis);
    rt.values.Unsaved = true;
    ++rt.paramChanges;
  });
  return true;
}

ServerFeature RuntimeRecordsFeature() {
  return {"runtime records",
          {},
          {"runtime"},
          [](AxisServer& server, const nlohmann::json& config, std::string& error) {
            if (!InstallRuntimeRecords(server, error)) return false;
            if (!config.contains("axes") || !config.at("axes").is_array()) return true;
            const nlohmann::json& axes = config.at("axes");
            for (size_t i = 0; i < axes.size() && i < server.Axes().size(); ++i) {
              const nlohmann::json& a = axes.at(i);
              if (!a.is_object() || !a.contains("runtime")) continue;
              if (!ApplyConfig(StateOf(*server.Axes()[i]), a.at("runtime"), error)) {
                error = "axes[" + std::to_string(i) + "]." + error;
                return false;
              }
            }
            return true;
          }};
}

}  // namespace sim
