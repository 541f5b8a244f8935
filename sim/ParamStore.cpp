#include "sim/ParamStore.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "model/ParamBatch.h"
#include "model/ParamDictionary.h"
#include "model/ParamLayouts.h"
#include "sim/ParamFile.h"
#include "sim/Reply.h"

namespace sim {
namespace {

using model::FindParam;
using model::Narrowing;
using model::ParamHome;
using model::ParamRow;
using model::ParamWire;

// The axis's linearisation record, kept by another feature; null when none does.
model::LinRecord* LinOf(SimAxis& axis) {
  const ParamServerState* state = ParamStateOf(axis.Server());
  return state != nullptr && state->linRecord ? state->linRecord(axis) : nullptr;
}

// The longest single value: the FileName text.
constexpr uint32_t kLongestNumbered =
    std::max(model::kFileNameWireLength, model::kAuxDataWireLength);

// Wire length of a single value of a number the server knows.
uint32_t WireLength(const ParamRow& row) {
  switch (row.wire) {
    case ParamWire::Text256:
      return model::kFileNameWireLength;
    case ParamWire::Block:
      return model::kAuxDataWireLength;
    case ParamWire::Byte:
      return 1;
    case ParamWire::Double:
    case ParamWire::None:
      break;
  }
  return 8;
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
  const ParamRow& row = *FindParam(no);
  const uint32_t length = WireLength(row);
  model::ParamRecord& rec = store->Record();
  const model::Records records{&rec, LinOf(axis)};

  if (read) {
    if (req.readLength != length || out.size() < length) return Fail(oxa::kErrInvalidSize);
    if (row.home == ParamHome::Outside) {
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
    const std::optional<double> v = model::Get({records.param, records.lin}, row, no);
    if (!v) return Fail(oxa::kErrInvalidIndexOffset);
    if (row.wire == ParamWire::Byte) {
      out[0] = *v != 0 ? 1 : 0;
    } else {
      oxa::bytes::Put(out, 0, *v);
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
  if (row.home == ParamHome::Outside) {
    store->SetExtra(no, length == 1 ? data[0] : oxa::bytes::At<double>(data, 0));
    return Written(axis);
  }
  if (no == model::kParamNoAuxData) {
    for (size_t i = 0; i < rec.AuxData.size(); ++i) {
      rec.AuxData[i] = oxa::bytes::At<double>(data, 8 * i);
    }
    return Written(axis);
  }
  const double v =
      row.wire == ParamWire::Byte ? (data[0] != 0 ? 1.0 : 0.0) : oxa::bytes::At<double>(data, 0);
  if (!model::Set(records, row, no, v, Narrowing::Wrap)) {
    return Fail(oxa::kErrInvalidIndexOffset);
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
  double v = 0;
  if (FindParam(no)->home == ParamHome::Outside) {
    store.Extra(no, v);
  } else if (const auto held = model::Get({&store.Record(), LinOf(axis)}, no)) {
    v = *held;
  } else {
    return;
  }
  if constexpr (kReal) {
    value = v;
  } else {
    // The low 32 bits of the integer part: what an integer slot of a batch answer carries.
    value =
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(model::TruncateTo64(v))));
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
  const ParamRow* row = FindParam(no);
  if (row == nullptr || row->wire == ParamWire::None) return std::nullopt;
  return row->since;
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
  if (FindParam(no)->home == ParamHome::Lin && (state == nullptr || !state->linRecord)) {
    return false;
  }
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
  for (const ParamRow& row : model::ParamRows()) {
    if (row.home == ParamHome::Outside) extra_[row.no] = 0;
  }
  extra_[model::kParamNoLogLevel] = 1;
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
  // A field of the record by its name or its number; any other number must be an extra.
  const ParamRow* row = FindParam(std::string_view(key));
  if (row != nullptr && row->home != ParamHome::Param) row = nullptr;
  uint16_t no = 0;
  if (row == nullptr) {
    const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), no);
    if (ec != std::errc{} || end != key.data() + key.size() || no == 0) {
      error = "unknown parameter \"" + key + "\"";
      return false;
    }
    row = FindParam(no);
  } else {
    no = row->no;
  }
  if (row == nullptr || row->home != ParamHome::Param) {
    if (!value.is_number() || !SetExtra(no, value.get<double>())) {
      error = "parameter " + key + " must be a known number with a numeric value";
      return false;
    }
    return true;
  }
  if (row->wire == ParamWire::Text256) {
    std::string text;
    if (!value.is_string() || !Utf8ToLatin1(value.get_ref<const std::string&>(), text) ||
        text.size() > 255) {
      error = key + " must be a Latin-1 text of at most 255 characters";
      return false;
    }
    model::SetFileName(rec_, text);
    return true;
  }
  if (row->wire == ParamWire::Block) {
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
  if (row->file == model::FileType::Bool) {
    if (!value.is_boolean()) {
      error = key + " must be true or false";
      return false;
    }
    model::Set({&rec_, nullptr}, *row, no, value.get<bool>() ? 1.0 : 0.0, Narrowing::Exact);
    return true;
  }
  const bool fits =
      row->file == model::FileType::Real
          ? value.is_number() &&
                model::Set({&rec_, nullptr}, *row, no, value.get<double>(), Narrowing::Exact)
          : value.is_number_integer() &&
                model::Set({&rec_, nullptr}, *row, no, static_cast<double>(value.get<int64_t>()),
                           Narrowing::Exact);
  if (!fits) error = key + " has a value of the wrong type or range";
  return fits;
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
