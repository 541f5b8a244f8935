#include "sim/ParamStore.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "model/LinFields.h"
#include "model/ParamBatch.h"
#include "model/ParamLayouts.h"
#include "model/ParamNumbers.h"
#include "sim/ParamFile.h"
#include "sim/Reply.h"

namespace sim {
namespace {

using model::LibVersion;
using model::ParamField;
using model::ParamType;

struct Since {
  uint16_t first;
  uint16_t last;
  LibVersion lib;
};

// Numbers that came with later libraries; every other number of the record (and every extra)
// is known as soon as the server answers numbers at all.
constexpr Since kSince[] = {
    {1805, 1806, {3, 0, 20}},  // PEH filter
    {1117, 1117, {3, 0, 22}},  // Pot. Rp/Rl
    {1305, 1306, {3, 0, 25}},  // output weighting
    {1706, 1716, {3, 0, 26}},  // auto brake distance, ctrl loop on error, PI controllers
    {1118, 1119, {3, 0, 28}},  // overrun threshold, position mask
    {1717, 1717, {3, 0, 28}},  // pre-feed
    {1120, 1120, {3, 0, 31}},  // zero swap
    {model::kParamNoEncoderInfo1, model::kParamNoEncoderInfo2, {3, 0, 32}},  // encoder info
    {3000, 3158, {3, 0, 32}},  // the settings of the linearisation record
};

// Numbers the store keeps outside the record; the byte ones travel as one byte.
constexpr uint16_t kLogLevelNo = model::kParamNoLogLevel;
constexpr uint16_t kLatchNo = model::kParamNoLatch;
constexpr uint16_t kRefFlagNo = model::kParamNoReferenceFlag;
constexpr uint16_t kEncoderInfo1No = model::kParamNoEncoderInfo1;
constexpr uint16_t kEncoderInfo2No = model::kParamNoEncoderInfo2;
constexpr std::array<uint16_t, 5> kExtras = {kLogLevelNo, kLatchNo, kRefFlagNo, kEncoderInfo1No,
                                             kEncoderInfo2No};

bool IsExtra(uint16_t no) {
  return std::find(kExtras.begin(), kExtras.end(), no) != kExtras.end();
}
bool ExtraIsByte(uint16_t no) {
  return no == kLatchNo || no == kRefFlagNo;
}

// Integers from a double a client sent: truncated toward zero, NaN as 0, clamped to the 64-bit
// range, then the low bits kept, so that 33153.0 is 0x8181 in a 16-bit field and 4294967295.0
// is -1 in a 32-bit one.
int64_t ToInt64(double v) {
  if (std::isnan(v)) return 0;
  if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
  if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(v);
}
uint16_t Low16(double v) {
  return static_cast<uint16_t>(static_cast<uint64_t>(ToInt64(v)));
}
int32_t Low32(double v) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ToInt64(v))));
}

// Where one value of a number lives: a scalar field of the parameter record, an entry of
// AuxData (2001 to 2020) or a setting of the linearisation record. Null `at` for anything else,
// the text 1007 and the whole AuxData 2000 among them.
struct Scalar {
  ParamType type = ParamType::Real;
  void* at = nullptr;

  template <class T>
  T& Ref() const {
    return *static_cast<T*>(at);
  }
};

constexpr size_t kAuxCount = std::tuple_size_v<decltype(model::ParamRecord::AuxData)>;

bool IsAuxEntry(uint16_t no) {
  return no >= model::kParamNoAuxFirst && no < model::kParamNoAuxFirst + kAuxCount;
}

// The axis's linearisation record, kept by another feature; null when none does.
model::LinRecord* LinOf(SimAxis& axis) {
  const ParamServerState* state = ParamStateOf(axis.Server());
  return state != nullptr && state->linRecord ? state->linRecord(axis) : nullptr;
}

Scalar Locate(model::ParamRecord& rec, model::LinRecord* lin, uint16_t no) {
  if (const ParamField* f = model::FindParamField(no)) {
    if (f->type == ParamType::Text || f->type == ParamType::RealArray) return {};
    return {f->type, f->at(rec)};
  }
  if (IsAuxEntry(no)) return {ParamType::Real, &rec.AuxData[no - model::kParamNoAuxFirst]};
  if (const model::LinField* l = model::FindLinField(no); l != nullptr && lin != nullptr) {
    return {l->type, l->at(*lin)};
  }
  return {};
}

double AsDouble(const Scalar& s) {
  switch (s.type) {
    case ParamType::Real:
      return s.Ref<double>();
    case ParamType::Int16:
      return s.Ref<int16_t>();
    case ParamType::UInt16:
      return s.Ref<uint16_t>();
    case ParamType::Int32:
      return s.Ref<int32_t>();
    case ParamType::Bool:
      return s.Ref<bool>() ? 1.0 : 0.0;
    case ParamType::Text:
    case ParamType::RealArray:
      break;
  }
  return 0;
}

// The integer a batch slot carries for a value: a real's low 32 bits of its integer part, every
// other type its value.
int32_t AsInt(const Scalar& s) {
  if (s.type == ParamType::Real) return Low32(s.Ref<double>());
  return static_cast<int32_t>(AsDouble(s));
}

void SetFromDouble(const Scalar& s, double v) {
  switch (s.type) {
    case ParamType::Real:
      s.Ref<double>() = v;
      break;
    case ParamType::Int16:
      s.Ref<int16_t>() = static_cast<int16_t>(Low16(v));
      break;
    case ParamType::UInt16:
      s.Ref<uint16_t>() = Low16(v);
      break;
    case ParamType::Int32:
      s.Ref<int32_t>() = Low32(v);
      break;
    case ParamType::Bool:
      s.Ref<bool>() = v != 0;
      break;
    case ParamType::Text:
    case ParamType::RealArray:
      break;
  }
}

// The longest single value: the FileName text.
constexpr uint32_t kLongestNumbered =
    std::max(model::kFileNameWireLength, model::kAuxDataWireLength);

// Wire length of a single value of number `no`, one the server knows.
uint32_t WireLength(uint16_t no) {
  if (IsExtra(no)) return ExtraIsByte(no) ? 1 : 8;
  ParamType type = ParamType::Real;
  if (const ParamField* f = model::FindParamField(no)) {
    type = f->type;
  } else if (const model::LinField* l = model::FindLinField(no)) {
    type = l->type;
  }
  switch (type) {
    case ParamType::Text:
      return model::kFileNameWireLength;
    case ParamType::RealArray:
      return model::kAuxDataWireLength;
    case ParamType::Bool:
      return 1;
    default:
      return 8;
  }
}

// A successful parameter write: the server now holds changes its saved file does not.
oxa::OxaReplyInfo Written(SimAxis& axis) {
  if (const ParamServerState* state = ParamStateOf(axis.Server())) {
    for (const auto& listener : state->writeListeners) listener(axis);
  }
  return Done();
}

oxa::OxaReplyInfo ServeNumbered(SimAxis& axis, const oxa::OxaRequest& req, std::span<uint8_t> out) {
  ParamStore* store = ParamsOf(axis);
  const AxisServer& server = axis.Server();
  const ParamMethods m = ParamMethodsOf(server.Lib());
  if (store == nullptr) return Fail(oxa::kErrInvalidIndexGroup);
  if (req.command == oxa::Command::ReadWrite) return Fail(oxa::kErrServiceNotSupported);
  const bool read = req.command == oxa::Command::Read;
  if (read ? !m.numberedRead : !m.numberedWrite) return Fail(oxa::kErrInvalidIndexGroup);
  if (req.indexOffset > 0xFFFF) return Fail(oxa::kErrInvalidIndexOffset);
  const auto no = static_cast<uint16_t>(req.indexOffset);
  if (!ServerKnowsParam(server, no)) return Fail(oxa::kErrInvalidIndexOffset);
  const uint32_t length = WireLength(no);
  model::ParamRecord& rec = store->Record();

  if (read) {
    if (req.readLength != length || out.size() < length) return Fail(oxa::kErrInvalidSize);
    if (IsExtra(no)) {
      double v = 0;
      store->Extra(no, v);
      if (length == 1) {
        out[0] = v != 0 ? 1 : 0;
      } else {
        oxa::bytes::Put(out, 0, v);
      }
      return Done(length);
    }
    if (no == model::kParamNoFileName) {
      std::memcpy(out.data(), rec.FileName.data(), length);
      out[length - 1] = 0;
      return Done(length);
    }
    if (no == model::kParamNoAuxData) {
      for (size_t i = 0; i < rec.AuxData.size(); ++i) oxa::bytes::Put(out, 8 * i, rec.AuxData[i]);
      return Done(length);
    }
    const Scalar v = Locate(rec, LinOf(axis), no);
    if (v.at == nullptr) return Fail(oxa::kErrInvalidIndexOffset);
    if (v.type == ParamType::Bool) {
      out[0] = v.Ref<bool>() ? 1 : 0;
    } else {
      oxa::bytes::Put(out, 0, AsDouble(v));
    }
    return Done(length);
  }

  const std::span<const uint8_t> data = req.writeData;
  if (no == model::kParamNoFileName) {
    // A name of up to 255 characters, terminated or not.
    if (data.empty() || data.size() > length) return Fail(oxa::kErrInvalidSize);
    const auto* text = reinterpret_cast<const char*>(data.data());
    model::SetFileName(rec, std::string_view(text, strnlen(text, data.size())));
    return Written(axis);
  }
  if (data.size() != length) return Fail(oxa::kErrInvalidSize);
  if (IsExtra(no)) {
    store->SetExtra(no, length == 1 ? data[0] : oxa::bytes::At<double>(data, 0));
    return Written(axis);
  }
  if (no == model::kParamNoAuxData) {
    for (size_t i = 0; i < rec.AuxData.size(); ++i) {
      rec.AuxData[i] = oxa::bytes::At<double>(data, 8 * i);
    }
    return Written(axis);
  }
  const Scalar v = Locate(rec, LinOf(axis), no);
  if (v.at == nullptr) return Fail(oxa::kErrInvalidIndexOffset);
  if (v.type == ParamType::Bool) {
    v.Ref<bool>() = data[0] != 0;
  } else {
    SetFromDouble(v, oxa::bytes::At<double>(data, 0));
  }
  return Written(axis);
}

oxa::OxaReplyInfo ServeBlock(SimAxis& axis, const oxa::OxaRequest& req, std::span<uint8_t> out) {
  ParamStore* store = ParamsOf(axis);
  if (store == nullptr) return Fail(oxa::kErrInvalidIndexGroup);
  const int layout = axis.Server().RecordVersion(2).value_or(-1);
  const uint32_t length = model::ParamBlockLength(layout);
  if (length == 0) return Fail(oxa::kErrInvalidIndexOffset);
  switch (req.command) {
    case oxa::Command::Read:
      if (req.readLength != length || out.size() < length) return Fail(oxa::kErrInvalidSize);
      model::EncodeParamBlock(layout, store->Record(), out.first(length));
      return Done(length);
    case oxa::Command::Write: {
      if (req.writeData.size() != length) return Fail(oxa::kErrInvalidSize);
      model::ParamRecord& rec = store->Record();
      model::DecodeParamBlock(layout, req.writeData, rec);
      if (layout == 13) {
        // Layout 13 carries the PEH filter at 0x370 and its switch at 0x378 for writing.
        oxa::bytes::Get(req.writeData, 0x370, rec.PehFilter);
        oxa::bytes::Get(req.writeData, 0x378, rec.PehEnabled);
      }
      return Written(axis);
    }
    case oxa::Command::ReadWrite:
      break;
  }
  return Fail(oxa::kErrServiceNotSupported);
}

// One slot of a batch, a double or an integer: number `no` (0 leaves the slot empty) from the
// records or the extras when the server knows it, otherwise from the first other source that
// does.
template <class T>
void AnswerSlot(SimAxis& axis, ParamStore& store, const ParamServerState* state, uint16_t no,
                T& value) {
  static_assert(std::is_same_v<T, double> || std::is_same_v<T, int32_t>);
  constexpr bool kReal = std::is_same_v<T, double>;
  if (no == 0) return;
  if (!ServerKnowsParam(axis.Server(), no)) {
    for (const BatchSource& s : state->batchSources) {
      bool found = false;
      if constexpr (kReal) {
        found = s.real && s.real(axis, no, value);
      } else {
        found = s.integer && s.integer(axis, no, value);
      }
      if (found) return;
    }
    return;
  }
  if (IsExtra(no)) {
    double v = 0;
    store.Extra(no, v);
    if constexpr (kReal) {
      value = v;
    } else {
      value = Low32(v);
    }
  } else if (const Scalar s = Locate(store.Record(), LinOf(axis), no); s.at != nullptr) {
    if constexpr (kReal) {
      value = AsDouble(s);
    } else {
      value = AsInt(s);
    }
  }
}

oxa::OxaReplyInfo ServeBatch(SimAxis& axis, const oxa::OxaRequest& req, std::span<uint8_t> out) {
  ParamStore* store = ParamsOf(axis);
  AxisServer& server = axis.Server();
  if (store == nullptr) return Fail(oxa::kErrInvalidIndexGroup);
  if (!ParamMethodsOf(server.Lib()).batch) return Fail(oxa::kErrInvalidIndexOffset);
  if (req.command != oxa::Command::ReadWrite) return Fail(oxa::kErrServiceNotSupported);
  model::ParamBatchRequest batch;
  if (req.readLength != model::kBatchAnswerBytes || out.size() < model::kBatchAnswerBytes ||
      !model::DecodeBatchRequest(req.writeData, batch)) {
    return Fail(oxa::kErrInvalidSize);
  }
  const ParamServerState* state = ParamStateOf(server);
  model::ParamBatchAnswer answer;
  for (size_t i = 0; i < model::kBatchSlots; ++i) {
    AnswerSlot(axis, *store, state, static_cast<uint16_t>(batch.doubleNos[i]), answer.doubles[i]);
    AnswerSlot(axis, *store, state, static_cast<uint16_t>(batch.intNos[i]), answer.ints[i]);
  }
  const auto wire = model::EncodeBatchAnswer(answer);
  std::memcpy(out.data(), wire.data(), wire.size());
  return Done(model::kBatchAnswerBytes);
}

}  // namespace

std::optional<model::LibVersion> ParamNoSince(uint16_t no) {
  const bool numbered = (no != 0 && model::FindParamField(no) != nullptr) || IsExtra(no) ||
                        IsAuxEntry(no) || model::FindLinField(no) != nullptr;
  if (!numbered) return std::nullopt;
  for (const Since& s : kSince) {
    if (no >= s.first && no <= s.last) return s.lib;
  }
  return LibVersion{};
}

ParamMethods ParamMethodsOf(const model::LibVersion& lib) {
  return {model::LibVersionAtLeast(lib, 3, 0, 22), model::LibVersionAtLeast(lib, 3, 0, 20),
          model::LibVersionAtLeast(lib, 3, 0, 11)};
}

bool ServerKnowsParam(const AxisServer& server, uint16_t no) {
  const auto since = ParamNoSince(no);
  if (!since || !server.LibAtLeast(since->major, since->minor, since->build)) return false;
  const auto* state = const_cast<AxisServer&>(server).Ext().Find<ParamServerState>();
  // The linearisation settings need a feature that keeps the record.
  if (model::FindLinField(no) != nullptr && (state == nullptr || !state->linRecord)) return false;
  return state == nullptr || state->unknown.count(no) == 0;
}

ParamStore::ParamStore() {
  model::ParamRecord& r = rec_;
  model::SetFileName(r, "axis.dat");
  r.CycleTime = 0.002;
  r.EncoderType = 1;
  r.ReferenceMode = 0;
  r.DriveType = 3;
  r.ProfileType = 5;
  r.AuxWord = 1;
  // Valve: a proportional valve on a differential cylinder, area ratio 0.6; a symmetric valve
  // moves it faster out than in, by the root of the inverse area ratio.
  r.OverlapCompensation = 0.05;
  r.OverlapCompensation2 = 0.05;
  r.BendPointVelo = 0.5;
  r.BendPointOutput = 0.5;
  r.ResponseTime = 0.02;
  r.AreaA = 1.0;
  r.AreaB = 0.6;
  r.VeloRatio = 1.3;
  r.DefaultPowerOk = true;
  r.OutputWeighting = 1.0;
  r.OutputIncInterpolation = 1.0;
  r.BrakeDelayOn = 0.1;
  r.BrakeDelayOff = 0.1;
  r.BrakeDelaySafety = 0.2;
  // Encoder: 1 µm per increment.
  r.EncoderWeighting = 0.001;
  r.EncoderIncInterpolation = 1.0;
  r.IndexSearchVelo = 0.1;
  r.SyncSearchVelo = 0.05;
  r.IndexSearchPositive = true;
  r.PositionMask = -1;
  // Global: stroke 0 to 500 mm.
  r.ReferenceVelo = 300.0;
  r.MaxApplSpeed = 250.0;
  r.Acceleration = 1000.0;
  r.Deceleration = 1000.0;
  r.MaxApplAcc = 2000.0;
  r.MaxApplDec = 2000.0;
  r.MaxApplJerk = 50000.0;
  r.JerkEnabled = 0x0001;
  r.JogFast = 100.0;
  r.JogSlow = 10.0;
  r.StartRamp = 0.1;
  r.StopRamp = 0.1;
  r.EmergencyRamp = 0.05;
  r.CreepSpeed = r.CreepSpeedAsym = 5.0;
  r.CreepDistance = r.CreepDistanceAsym = 2.0;
  r.BrakeDistance = r.BrakeDistanceAsym = 0.5;
  r.BrakeDeadTime = r.BrakeDeadTimeAsym = 0.01;
  // Ctrl.
  r.LagKp = 20.0;
  r.LagDx = 0.1;
  r.LagTi = 0.5;
  r.LagWuLimit = 10.0;
  r.LagOutLimit = 50.0;
  r.VeloKp = 1.0;
  r.VeloDx = 1.0;
  r.VeloTi = 0.2;
  r.VeloWuLimit = 10.0;
  r.VeloOutLimit = 100.0;
  r.PreFeed = 1.0;
  r.ClampingOutput = 0.3;
  r.ReposDistance = 0.05;
  // Monitor.
  r.SoftEndMin = 0.0;
  r.SoftEndMax = 500.0;
  r.SoftEndMinEnabled = true;
  r.SoftEndMaxEnabled = true;
  r.MaxLag = 5.0;
  r.MaxLagEnabled = true;
  r.MaxLagFilter = 0.1;
  r.DynLagFilter = 0.05;
  r.PosRange = 1.0;
  r.TargetRange = 0.1;
  r.TargetFilter = 0.05;
  r.PehFilter = 0.05;
  for (uint16_t no : kExtras) extra_[no] = 0;
  extra_[kLogLevelNo] = 1;
}

bool ParamStore::Extra(uint16_t no, double& value) const {
  auto it = extra_.find(no);
  if (it == extra_.end()) return false;
  value = it->second;
  return true;
}

bool ParamStore::SetExtra(uint16_t no, double value) {
  auto it = extra_.find(no);
  if (it == extra_.end()) return false;
  it->second = value;
  return true;
}

bool ParamStore::Set(const std::string& key, const nlohmann::json& value, std::string& error) {
  const ParamField* f = model::FindParamField(std::string_view(key));
  uint16_t no = 0;
  if (f == nullptr) {
    const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), no);
    if (ec != std::errc{} || end != key.data() + key.size() || no == 0) {
      error = "unknown parameter \"" + key + "\"";
      return false;
    }
    f = model::FindParamField(no);
  }
  if (f == nullptr) {
    if (!value.is_number() || !SetExtra(no, value.get<double>())) {
      error = "parameter " + key + " must be a known number with a numeric value";
      return false;
    }
    return true;
  }
  switch (f->type) {
    case ParamType::Text: {
      std::string text;
      if (!value.is_string() || !Utf8ToLatin1(value.get_ref<const std::string&>(), text) ||
          text.size() > 255) {
        error = key + " must be a Latin-1 text of at most 255 characters";
        return false;
      }
      model::SetFileName(rec_, text);
      return true;
    }
    case ParamType::RealArray: {
      if (!value.is_array() || value.size() > rec_.AuxData.size()) {
        error = key + " must be a list of at most 20 numbers";
        return false;
      }
      for (size_t i = 0; i < value.size(); ++i) {
        if (!value[i].is_number()) {
          error = key + " must be a list of numbers";
          return false;
        }
        rec_.AuxData[i] = value[i].get<double>();
      }
      return true;
    }
    case ParamType::Bool:
      if (!value.is_boolean()) {
        error = key + " must be true or false";
        return false;
      }
      f->Ref<bool>(rec_) = value.get<bool>();
      return true;
    case ParamType::Real:
      if (!value.is_number()) break;
      f->Ref<double>(rec_) = value.get<double>();
      return true;
    case ParamType::Int16:
    case ParamType::UInt16:
    case ParamType::Int32: {
      if (!value.is_number_integer()) break;
      const auto v = value.get<int64_t>();
      const int64_t lo = f->type == ParamType::Int16   ? std::numeric_limits<int16_t>::min()
                         : f->type == ParamType::Int32 ? std::numeric_limits<int32_t>::min()
                                                       : 0;
      const int64_t hi = f->type == ParamType::Int16   ? std::numeric_limits<int16_t>::max()
                         : f->type == ParamType::Int32 ? std::numeric_limits<int32_t>::max()
                                                       : std::numeric_limits<uint16_t>::max();
      if (v < lo || v > hi) break;
      SetFromDouble({f->type, f->at(rec_)}, static_cast<double>(v));
      return true;
    }
  }
  error = key + " has a value of the wrong type or range";
  return false;
}

ParamStore* ParamsOf(SimAxis& axis) {
  return axis.Ext().Find<ParamStore>();
}
ParamServerState* ParamStateOf(AxisServer& server) {
  return server.Ext().Find<ParamServerState>();
}

bool InstallParamStore(AxisServer& server) {
  if (ParamStateOf(server) != nullptr) return false;
  const bool ok =
      server.AddAxisGroup(kGroupRecords, kOffsetParamBlock, model::kParamBlockMaxLength,
                          ServeBlock) &&
      server.AddAxisGroup(kGroupRecords, kOffsetBatch, model::kBatchAnswerBytes, ServeBatch) &&
      server.AddAxisGroup(kGroupParamNo, std::nullopt, kLongestNumbered, ServeNumbered);
  if (!ok) return false;
  server.Ext().Emplace<ParamServerState>();
  for (const auto& axis : server.Axes()) {
    ParamStore& store = axis->Ext().Emplace<ParamStore>();
    model::SetFileName(store.Record(), DefaultFileName(server.Port(), axis->Number()));
  }
  return true;
}

ServerFeature ParamStoreFeature() {
  return {"parameters",
          {"unknownParams"},
          {"params"},
          [](AxisServer& server, const nlohmann::json& config, std::string& error) {
            if (!InstallParamStore(server)) {
              error = "the parameter groups are already served";
              return false;
            }
            ParamServerState& state = *ParamStateOf(server);
            if (config.contains("unknownParams")) {
              const nlohmann::json& u = config.at("unknownParams");
              if (!u.is_array()) {
                error = "\"unknownParams\" must be a list of parameter numbers";
                return false;
              }
              for (const auto& v : u) {
                if (!v.is_number_unsigned() || v.get<uint64_t>() > 0xFFFF) {
                  error = "\"unknownParams\" must be a list of parameter numbers";
                  return false;
                }
                state.unknown.insert(static_cast<uint16_t>(v.get<uint64_t>()));
              }
            }
            if (!config.contains("axes") || !config.at("axes").is_array()) return true;
            const nlohmann::json& axes = config.at("axes");
            for (size_t i = 0; i < axes.size() && i < server.Axes().size(); ++i) {
              const nlohmann::json& a = axes.at(i);
              if (!a.is_object() || !a.contains("params")) continue;
              const nlohmann::json& params = a.at("params");
              if (!params.is_object()) {
                error = "axes[" + std::to_string(i) + "].params must be an object";
                return false;
              }
              ParamStore& store = *ParamsOf(*server.Axes()[i]);
              for (const auto& [key, value] : params.items()) {
                if (!store.Set(key, value, error)) {
                  error = "axes[" + std::to_string(i) + "].params: " + error;
                  return false;
                }
              }
            }
            return true;
          }};
}

}  // namespace sim
