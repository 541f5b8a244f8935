#include "tools/cli/RecordJson.h"

#include <algorithm>

#include "files/ParamFile.h"
#include "model/ParamRecord.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

using json = nlohmann::ordered_json;

std::string Hex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

// Element of a shown field as its wire type reads it; Field() answers 0 beyond the image, so a
// table entry past its end shows 0 rather than foreign memory.
template <class Image>
json ElementOf(const Image& image, model::WireType type, size_t offset) {
  switch (type) {
    case model::WireType::F64:
      return image.template Field<double>(offset);
    case model::WireType::I16:
      return image.template Field<int16_t>(offset);
    case model::WireType::U16:
      return image.template Field<uint16_t>(offset);
    case model::WireType::I32:
      return image.template Field<int32_t>(offset);
    case model::WireType::U32:
      return image.template Field<uint32_t>(offset);
    case model::WireType::U8:
      return image.template Field<uint8_t>(offset);
    case model::WireType::Bool8:
      return image.template Field<uint8_t>(offset) != 0;
  }
  return nullptr;
}

template <class Image>
json ImageJson(const Image& image, std::span<const model::ImageField> fields) {
  json out = json::object();
  out["bytes"] = Hex(image.bytes);
  for (const model::ImageField& f : fields) {
    const size_t step = model::WireSize(f.type);
    if (f.count == 1) {
      out[std::string(f.label)] = ElementOf(image, f.type, f.offset);
      continue;
    }
    json values = json::array();
    for (size_t i = 0; i < f.count; ++i)
      values.push_back(ElementOf(image, f.type, f.offset + i * step));
    out[std::string(f.label)] = std::move(values);
  }
  return out;
}

// The text up to its first zero byte, never past the field.
template <size_t N>
std::string Terminated(const std::array<char, N>& text) {
  return std::string(text.data(),
                     static_cast<size_t>(std::find(text.begin(), text.end(), '\0') - text.begin()));
}

}  // namespace

json RuntimeJson(const model::RuntimeRecord& r) {
  return {{"ActualPos", r.ActualPos},
          {"SetpointPos", r.SetpointPos},
          {"TargetPosAux", r.TargetPosAux},
          {"TargetPos", r.TargetPos},
          {"LatchPos", r.LatchPos},
          {"LatchPosOffset", r.LatchPosOffset},
          {"EncoderInfo1", r.EncoderInfo1},
          {"EncoderInfo2", r.EncoderInfo2},
          {"ActualPressure", r.ActualPressure},
          {"ActualPressure2", r.ActualPressure2},
          {"ActualPressure3", r.ActualPressure3},
          {"SpareValue", r.SpareValue},
          {"ActualVelo", r.ActualVelo},
          {"SetpointVeloRatio", r.SetpointVeloRatio},
          {"ReferenceVelo", r.ReferenceVelo},
          {"Override", r.Override},
          {"Clamping", r.Clamping},
          {"Overlap", r.Overlap},
          {"LagController", r.LagController},
          {"Lag", r.Lag},
          {"Distance", r.Distance},
          {"EnableBits", r.EnableBits},
          {"StateBits", r.StateBits},
          {"ErrorCode", r.ErrorCode},
          {"AxisState", r.AxisState},
          {"CurrentStep", r.CurrentStep},
          {"Unsaved", r.Unsaved},
          {"PosCams", r.PosCams},
          {"Buffered", r.Buffered}};
}

json AxisRefJson(const model::AxisRefRecord& r) {
  return {{"AxisRefName", Latin1ToUtf8(Terminated(r.AxisRefName))},
          {"AxisStateCode", r.AxisStateCode},
          {"InitState", r.InitState},
          {"InitError", r.InitError},
          {"FeatureLevel", r.FeatureLevel},
          {"RefFlags", r.RefFlags}};
}

json AuxNamesJson(const std::array<std::string, 20>& names) {
  json out = json::array();
  for (const std::string& n : names) out.push_back(Latin1ToUtf8(n));
  return out;
}

json LinJson(const model::LinRecord& r) {
  const size_t points = files::LinTablePoints(r.LinSamples);
  const auto table = [points](const std::array<double, model::kLinTabPoints>& values) {
    return std::vector<double>(values.begin(), values.begin() + static_cast<ptrdiff_t>(points));
  };
  return {{"LinEnableEoT", r.LinEnableEoT},
          {"LinEnableOverlap", r.LinEnableOverlap},
          {"LinEnableZAdjust", r.LinEnableZAdjust},
          {"LinEnableRatio", r.LinEnableRatio},
          {"LinEoTNegative", r.LinEoTNegative},
          {"LinEoTPositive", r.LinEoTPositive},
          {"LinReserved14", r.LinReserved14},
          {"LinNegativeLimit", r.LinNegativeLimit},
          {"LinPositiveLimit", r.LinPositiveLimit},
          {"LinReserved2C", r.LinReserved2C},
          {"LinDecelFactor", r.LinDecelFactor},
          {"LinEnableTable", r.LinEnableTable},
          {"LinCurveType", r.LinCurveType},
          {"LinTabValue", table(r.LinTabValue)},
          {"LinTabOutput", table(r.LinTabOutput)},
          {"LinSamples", r.LinSamples},
          {"LinLowEnd", r.LinLowEnd},
          {"LinHighEnd", r.LinHighEnd},
          {"LinRamp", r.LinRamp},
          {"LinSettling", r.LinSettling},
          {"LinRecovery", r.LinRecovery},
          {"LinMinCycle", r.LinMinCycle}};
}

json IoJson(const model::IoRecords& io, model::IoRecordId id) {
  const auto fields = model::IoInfo(id).fields;
  switch (id) {
    case model::IoRecordId::EncoderIn:
      return ImageJson(io.encoderIn, fields);
    case model::IoRecordId::EncoderOut:
      return ImageJson(io.encoderOut, fields);
    case model::IoRecordId::DriveIn:
      return ImageJson(io.driveIn, fields);
    case model::IoRecordId::DriveOut:
      return ImageJson(io.driveOut, fields);
    case model::IoRecordId::DriveDevIn:
      return ImageJson(io.driveDevIn, fields);
    case model::IoRecordId::DriveDevOut:
      return ImageJson(io.driveDevOut, fields);
    case model::IoRecordId::DevIn:
      return ImageJson(io.devIn, fields);
    case model::IoRecordId::DevOut:
      return ImageJson(io.devOut, fields);
  }
  return nullptr;
}

json MessageLogJson(const msglog::MessageLog& log) {
  json out = json::array();
  for (int32_t i = 1; i <= msglog::kLogLines; ++i) out.push_back(Latin1ToUtf8(log.Line(i)));
  return out;
}

namespace {

nlohmann::ordered_json FieldJson(const model::ParamField& f, const model::ParamRecord& r) {
  switch (f.type) {
    case model::ParamType::Real:
      return f.Ref<double>(r);
    case model::ParamType::Int16:
      return f.Ref<int16_t>(r);
    case model::ParamType::UInt16:
      return f.Ref<uint16_t>(r);
    case model::ParamType::Int32:
      return f.Ref<int32_t>(r);
    case model::ParamType::Bool:
      return f.Ref<bool>(r);
    case model::ParamType::Text:
      return Latin1ToUtf8(model::FileNameText(r));
    case model::ParamType::RealArray:
      return f.Ref<std::array<double, 20>>(r);
  }
  return nullptr;
}

}  // namespace

nlohmann::ordered_json ParamJson(const model::ParamRecord& rec, int page) {
  nlohmann::ordered_json params = nlohmann::ordered_json::object();
  for (const model::ParamField& f : model::ParamFields()) {
    if (page == model::kPageAll || f.page == page) params[std::string(f.name)] = FieldJson(f, rec);
  }
  return params;
}

}  // namespace cli
