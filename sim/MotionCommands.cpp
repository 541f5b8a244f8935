// The command group of the axis server (0x80004200 + n) for the motion commands, and the
// installation of the motion model on a server.
#include <chrono>
#include <cmath>

#include "oxa/Bytes.h"
#include "sim/MessageLog.h"
#include "sim/Motion.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace sim {

namespace {

int32_t SetPositionCommand(SimAxis& axis, std::span<const uint8_t> data) {
  int32_t kind = 0;
  double position = 0.0;
  if (!oxa::bytes::Get(data, 0, kind) || !oxa::bytes::Get(data, 4, position) || kind != 1 ||
      !std::isfinite(position) || std::fabs(position) > 1e9) {
    return oxa::kErrInvalidData;
  }
  return MotionOf(axis)->SetPosition(position);
}

int32_t MoveCommand(SimAxis& axis, std::span<const uint8_t> data, bool characteristic) {
  MoveBlock block;
  if (!DecodeMoveBlock(data, block)) return oxa::kErrInvalidSize;
  MotionAxis& m = *MotionOf(axis);
  if (!characteristic) return m.Move(block.mode, block.position, block.velocity);
  // Mode 0 with nothing else: the characteristic run.
  return block.mode == 0 ? m.StartCharacteristic() : kErrStartType;
}

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool ApplyConfig(MotionAxis& m, const nlohmann::json& j, std::string& error) {
  if (!j.is_object()) {
    error = "motion must be an object";
    return false;
  }
  for (const auto& [key, v] : j.items()) {
    if (key == "enableBits" && v.is_number_integer() && v.get<int64_t>() >= 0 &&
        v.get<int64_t>() <= 7) {
      m.SetEnableBits(static_cast<uint32_t>(v.get<int64_t>()));
    } else if (key == "faults" && v.is_array()) {
      for (const auto& f : v) {
        const std::string name = f.is_string() ? f.get<std::string>() : std::string();
        if (name == "valveStuck") {
          m.SetFault(MotionFault::ValveStuck, true);
        } else if (name == "encoder") {
          m.SetFault(MotionFault::EncoderFault, true);
        } else if (name == "driveNotReady") {
          m.SetFault(MotionFault::DriveNotReady, true);
        } else if (name == "lagError") {
          m.SetFault(MotionFault::LagError, true);
        } else {
          error = "motion.faults: unknown fault " + f.dump();
          return false;
        }
      }
    } else {
      error = "motion: \"" + key + "\" is not a known key with a value in range";
      return false;
    }
  }
  return true;
}

// The axis's own cylinder; without a configured position the axis reads the piston's.
bool ApplyHydraulics(SimAxis& axis, const nlohmann::json& a, std::string& error) {
  HydraulicSpec spec;
  if (!ReadHydraulics(a.at("hydraulics"), spec, error)) return false;
  MotionAxis& m = *MotionOf(axis);
  m.SetHydraulics(spec);
  model::RuntimeRecord& v = RuntimeOf(axis)->values;
  const auto rt = a.find("runtime");
  const bool configured = rt != a.end() && rt->is_object();
  if (!configured || !rt->contains("position")) {
    v.ActualPos = v.SetpointPos = v.TargetPos = v.TargetPosAux = spec.startMm;
  }
  if (!configured || !rt->contains("pressure")) {
    v.ActualPressure = m.Cylinder().PressureA();
    v.ActualPressure2 = m.Cylinder().PressureB();
    v.ActualPressure3 = spec.supplyBar;
  }
  // The start-up of this cylinder follows the server's in the axis's log.
  if (AxisLog* log = LogOf(axis)) {
    const auto real = [&](const char* format, double value) {
      log->AddStartUp({0, LogClass::Activity, 0, format, 2, 0, value, ""});
    };
    real("Supply pressure %.1f bar", spec.supplyBar);
    real("Cycle time %.1f ms", m.CycleTime() * 1e3);
    real("Stroke %.1f mm", spec.strokeMm);
    real("Actual position %.3f mm", v.ActualPos);
    if (v.ErrorCode != 0) {
      log->AddStartUp(
          {0, LogClass::Error, v.ErrorCode, "Axis error 0x%04X", 1, v.ErrorCode, 0.0, ""});
    }
  }
  return true;
}

}  // namespace

MotionAxis* MotionOf(SimAxis& axis) {
  return axis.Ext().Find<MotionAxis>();
}

bool InstallMotion(AxisServer& server, std::string& error, std::function<double()> clock) {
  for (const auto& axis : server.Axes()) {
    if (ParamsOf(*axis) == nullptr || RuntimeOf(*axis) == nullptr) {
      error = "the motion of the axes needs the parameter store and the runtime records";
      return false;
    }
  }
  // Every axis of the server has its motion before the commands are served.
  const auto plain = [](int32_t (MotionAxis::*command)()) -> CommandHandler {
    return
        [command](SimAxis& axis, std::span<const uint8_t>) { return (*MotionOf(axis).*command)(); };
  };
  const auto move = [](bool characteristic) -> CommandHandler {
    return [characteristic](SimAxis& axis, std::span<const uint8_t> data) {
      return MoveCommand(axis, data, characteristic);
    };
  };
  MotionServerState& state = server.Ext().Emplace<MotionServerState>();
  state.clock = clock ? std::move(clock) : SteadySeconds;
  for (const auto& axis : server.Axes()) {
    MotionAxis& m = axis->Ext().Emplace<MotionAxis>(*axis);
    m.AdvanceTo(state.clock());
  }
  const bool ok =
      AddAxisCommand(server, kCmdReset, 0, plain(&MotionAxis::Reset)) &&
      AddAxisCommand(server, kCmdStop, 0, plain(&MotionAxis::Stop)) &&
      AddAxisCommand(server, kCmdHome, 0, plain(&MotionAxis::Home)) &&
      AddAxisCommand(server, kCmdSetPosition, kSetPositionBlockLength, SetPositionCommand) &&
      AddAxisCommand(server, kCmdMove, kMoveBlockLength, move(false)) &&
      AddAxisCommand(server, kCmdCharacteristic, kMoveBlockLength, move(true));
  if (!ok) {
    error = "a motion command of the axis server is already served";
    return false;
  }
  server.AddBeforeAxisRequest([&state](SimAxis& axis) {
    if (MotionAxis* m = MotionOf(axis)) m->AdvanceTo(state.clock());
  });
  return true;
}

ServerFeature MotionFeature() {
  return {"motion",
          {},
          {"motion", "hydraulics"},
          [](AxisServer& server, const nlohmann::json& config, std::string& error) {
            if (!InstallMotion(server, error)) return false;
            if (!config.contains("axes") || !config.at("axes").is_array()) return true;
            const nlohmann::json& axes = config.at("axes");
            for (size_t i = 0; i < axes.size() && i < server.Axes().size(); ++i) {
              const nlohmann::json& a = axes.at(i);
              if (!a.is_object()) continue;
              SimAxis& axis = *server.Axes()[i];
              const bool ok =
                  (!a.contains("hydraulics") || ApplyHydraulics(axis, a, error)) &&
                  (!a.contains("motion") || ApplyConfig(*MotionOf(axis), a.at("motion"), error));
              if (!ok) {
                error =
                    "axes[" + std::to_string(i) + "]." + error + " (axis \"" + axis.Name() + "\")";
                return false;
              }
            }
            return true;
          }};
}

}  // namespace sim
