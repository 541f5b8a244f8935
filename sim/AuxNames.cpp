#include "sim/AuxNames.h"

#include "sim/Reply.h"
#include "sim/RuntimeRecords.h"

namespace sim {

namespace {

// Above this the axis names its auxiliary values itself.
constexpr int16_t kNamingFeatureLevel = 2;

oxa::OxaReplyInfo ServeAuxName(SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t> out) {
  const AxisRuntime* rt = RuntimeOf(axis);
  const AxisAuxNames* names = AuxNamesOf(axis);
  if (rt == nullptr || names == nullptr || rt->featureLevel <= kNamingFeatureLevel) {
    return Fail(oxa::kErrInvalidIndexGroup);
  }
  if (r.indexOffset < 1 || r.indexOffset > kAuxNameCount) return Fail(oxa::kErrInvalidIndexOffset);
  return ReadText(r, out, names->names[r.indexOffset - 1], kAuxNameField);
}

bool ApplyConfig(AxisAuxNames& aux, const nlohmann::json& j, std::string& error) {
  if (!j.is_array() || j.size() > kAuxNameCount) {
    error = "auxNames must be a list of at most 20 texts";
    return false;
  }
  for (size_t i = 0; i < j.size(); ++i) {
    const nlohmann::json& v = j.at(i);
    if (v.is_null()) continue;
    std::string text;
    if (!v.is_string() || !Utf8ToLatin1(v.get_ref<const std::string&>(), text) ||
        text.size() >= kAuxNameField || text.find('\0') != std::string::npos) {
      error = "auxNames[" + std::to_string(i) + "] must be a Latin-1 text of at most 20 characters";
      return false;
    }
    aux.names[i] = std::move(text);
  }
  return true;
}

}  // namespace

AxisAuxNames DefaultAuxNames() {
  return {
      {"Pressure A",  "Pressure B",     "Supply pressure", "Tank pressure",   "Valve current",
       "Valve spool", "Oil temp.",      "Force",           "Actual velocity", "Setpoint velocity",
       "Lag",         "Controller out", "Feed forward",    "Integrator",      "Pressure limit",
       "Force limit", "Encoder speed",  "Cycle time",      "Supply voltage",  "Pump flow"}};
}

bool InstallAuxNames(AxisServer& server) {
  for (const auto& axis : server.Axes()) axis->Ext().Emplace<AxisAuxNames>(DefaultAuxNames());
  return server.AddAxisGroup(kGroupAuxNames, std::nullopt, kAuxNameField, ServeAuxName);
}

AxisAuxNames* AuxNamesOf(SimAxis& axis) {
  return axis.Ext().Find<AxisAuxNames>();
}

ServerFeature AuxNamesFeature() {
  return {"auxiliary names",
          {},
          {"auxNames"},
          [](AxisServer& server, const nlohmann::json& config, std::string& error) {
            if (!InstallAuxNames(server)) {
              error = "the auxiliary names group is already served";
              return false;
            }
            if (!config.contains("axes") || !config.at("axes").is_array()) return true;
            const nlohmann::json& axes = config.at("axes");
            for (size_t i = 0; i < axes.size() && i < server.Axes().size(); ++i) {
              const nlohmann::json& a = axes.at(i);
              if (!a.is_object() || !a.contains("auxNames")) continue;
              AxisAuxNames* aux = AuxNamesOf(*server.Axes()[i]);
              if (aux == nullptr || !ApplyConfig(*aux, a.at("auxNames"), error)) {
                error = "axes[" + std::to_string(i) + "]." + error;
                return false;
              }
            }
            return true;
          }};
}

}  // namespace sim
