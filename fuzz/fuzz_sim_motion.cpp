// Commands and parameter values from an untrusted client against one emulated hydraulic axis:
// the input is a sequence of steps (operation, time to let pass, 20 bytes of data). Whatever
// the blocks and parameters hold (NaN, infinities, huge or negative values), the axis must stay
// inside its stroke and show finite values. A step lets at most 0.26 s pass and an input at most
// 5 s in all: a cycle of the axis costs about a microsecond here, and a thousand inputs a second
// leave none to spare for minutes of motion.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "oxa/Bytes.h"
#include "sim/Motion.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace {

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;
constexpr double kMaxInputSeconds = 3.0;

struct Rig {
  sim::Controller ctrl{kNetId};
  std::unique_ptr<sim::AxisServer> server;
  double now = 0.0;
  Rig() {
    sim::AxisServerConfig c;
    c.port = kPort;
    c.lib = {3, 0, 35};
    c.axisNames = {"Lift"};
    std::string error;
    server = sim::AxisServer::Create(ctrl, c, error);
    if (!server || !sim::InstallParamStore(*server) ||
        !sim::InstallRuntimeRecords(*server, error) ||
        !sim::InstallMotion(*server, error, [this] { return now; })) {
      __builtin_trap();
    }
  }
  int32_t Write(uint32_t offset, std::span<const uint8_t> data) {
    oxa::OxaRequest r;
    r.target = {kNetId, kPort};
    r.command = oxa::Command::Write;
    r.indexGroup = sim::kGroupCommands + 1;
    r.indexOffset = offset;
    r.writeData = data;
    return oxa::Finish(ctrl.Handle(r, {})).result;
  }
};

double& ParamSlot(model::ParamRecord& r, uint8_t which) {
  double* slots[] = {
      &r.ReferenceVelo,       &r.VeloRatio,     &r.Acceleration,    &r.Deceleration,
      &r.MaxApplJerk,         &r.LagKp,         &r.PreFeed,         &r.MaxLag,
      &r.MaxLagFilter,        &r.TargetRange,   &r.TargetFilter,    &r.SoftEndMin,
      &r.SoftEndMax,          &r.EmergencyRamp, &r.DefaultHomePos,  &r.IndexSearchVelo,
      &r.OverlapCompensation, &r.ResponseTime,  &r.JogFast,         &r.PosRange,
      &r.CycleTime,           &r.LagDx,         &r.LagTi,           &r.LagWuLimit,
      &r.LagOutLimit,         &r.BendPointVelo, &r.BendPointOutput, &r.EncoderWeighting,
      &r.OverlapCompensation2};
  return *slots[which % std::size(slots)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Rig rig;
  sim::SimAxis& axis = *rig.server->Axis(1);
  sim::MotionAxis& m = *sim::MotionOf(axis);
  model::ParamRecord& params = sim::ParamsOf(axis)->Record();
  std::span<const uint8_t> in(data, size);
  constexpr size_t kStep = 22;
  while (in.size() >= kStep) {
    const uint8_t op = in[0];
    const std::span<const uint8_t> block = in.subspan(2, 20);
    switch (op % 12) {
      case 0:
      case 1:
        rig.Write(sim::kCmdMove, block);
        break;
      case 2:
        rig.Write(sim::kCmdCharacteristic, block);
        break;
      case 3:
        rig.Write(sim::kCmdSetPosition, block.first(12));
        break;
      case 4:
        rig.Write(sim::kCmdStop, {});
        break;
      case 5:
        rig.Write(sim::kCmdReset, {});
        break;
      case 6:
        rig.Write(sim::kCmdHome, {});
        break;
      case 7:
        m.SetEnableBits(block[0]);
        break;
      case 8:
        m.SetFault(static_cast<sim::MotionFault>(block[0] % 4), (block[1] & 1) != 0);
        break;
      case 9:
        ParamSlot(params, block[0]) = oxa::bytes::At<double>(block, 4);
        break;
      case 10:
        params.JerkEnabled = oxa::bytes::At<uint16_t>(block, 0);
        params.SoftEndMinEnabled = (block[2] & 1) != 0;
        params.SoftEndMaxEnabled = (block[3] & 1) != 0;
        params.MaxLagEnabled = (block[4] & 1) != 0;
        sim::RuntimeOf(axis)->lin.LinEnableTable = (block[5] & 1) != 0;
        break;
      default:
        rig.Write(static_cast<uint32_t>(oxa::bytes::At<uint32_t>(block, 0)), block.subspan(4));
        break;
    }
    // Up to 0.26 s, in steps of 4 us near zero.
    rig.now = std::min(rig.now + static_cast<double>(in[1]) * static_cast<double>(in[1]) * 4e-6,
                       kMaxInputSeconds);
    m.AdvanceTo(rig.now);
    const sim::HydraulicCylinder& cyl = m.Cylinder();
    const model::RuntimeRecord& v = sim::RuntimeOf(axis)->values;
    if (!(cyl.State().position >= 0.0) || !(cyl.State().position <= cyl.Spec().strokeMm)) {
      __builtin_trap();
    }
    for (double x : {v.ActualPos, v.SetpointPos, v.TargetPos, v.ActualVelo, v.SetpointVeloRatio,
                     v.Lag, v.Distance, v.ActualPressure, v.LagController}) {
      if (!std::isfinite(x)) __builtin_trap();
    }
    in = in.subspan(kStep);
  }
  return 0;
}
