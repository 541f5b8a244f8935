// An emulated axis server with one hydraulic axis whose clock the test moves.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SimTestUtil.h"
#include "model/RuntimeRecord.h"
#include "sim/MessageLog.h"
#include "sim/Motion.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace simtest {

class MotionRig {
 public:
  static constexpr uint16_t kPort = 851;
  static constexpr uint32_t kCommands = sim::kGroupCommands + 1;
  static constexpr int16_t kRuntimeLayout = 9;

  MotionRig() {
    sim::AxisServerConfig c;
    c.port = kPort;
    c.lib = {3, 0, 35};
    c.axisNames = {"Lift"};
    const int16_t table[] = {40, kRuntimeLayout, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
    for (size_t i = 0; i < sim::kRecordVersionWords; ++i) c.recordVersions[i] = table[i];
    std::string error;
    server = sim::AxisServer::Create(ctrl, c, error);
    EXPECT_TRUE(server) << error;
    EXPECT_TRUE(sim::InstallParamStore(*server));
    EXPECT_TRUE(sim::InstallRuntimeRecords(*server, error)) << error;
    EXPECT_TRUE(sim::InstallMessageLog(*server, [] { return uint64_t{133000000000000000}; }));
    EXPECT_TRUE(sim::InstallMotion(*server, error, [this] { return now; })) << error;
  }

  sim::SimAxis& Axis() { return *server->Axis(1); }
  sim::MotionAxis& Motion() { return *sim::MotionOf(Axis()); }
  model::ParamRecord& Params() { return sim::ParamsOf(Axis())->Record(); }
  const model::RuntimeRecord& Values() { return sim::RuntimeOf(Axis())->values; }
  sim::AxisLog& Log() { return *sim::LogOf(Axis()); }

  int32_t Command(uint32_t offset, std::span<const uint8_t> data = {}) {
    return Write(ctrl, kPort, kCommands, offset, data).result();
  }
  int32_t Move(int32_t mode, double position, double velocity) {
    uint8_t block[sim::kMoveBlockLength];
    oxa::bytes::Put(std::span<uint8_t>(block), 0, mode);
    oxa::bytes::Put(std::span<uint8_t>(block), 4, position);
    oxa::bytes::Put(std::span<uint8_t>(block), 12, velocity);
    return Command(sim::kCmdMove, block);
  }
  int32_t SetPosition(int32_t kind, double position) {
    uint8_t block[sim::kSetPositionBlockLength];
    oxa::bytes::Put(std::span<uint8_t>(block), 0, kind);
    oxa::bytes::Put(std::span<uint8_t>(block), 4, position);
    return Command(sim::kCmdSetPosition, block);
  }

  // The runtime values as a client reads them now (the read itself lets the axis catch up).
  model::RuntimeRecord Sample() {
    Answer a = Read(ctrl, kPort, sim::kGroupRecords + 1, model::kRuntimeBlockOffset,
                    model::RuntimeBlockLength(kRuntimeLayout));
    model::RuntimeRecord r;
    EXPECT_EQ(a.result(), oxa::kOk);
    EXPECT_TRUE(model::DecodeRuntimeBlock(kRuntimeLayout, a.data, r));
    r.AxisState = Values().AxisState;  // travels with the axis reference, not in the block
    return r;
  }

  // Moves the clock in steps of `step` until `done` holds for the sampled values; the time
  // taken, or a negative value when `limit` passed first.
  double RunUntil(const std::function<bool(const model::RuntimeRecord&)>& done, double limit,
                  double step = 0.005) {
    for (double t = 0; t <= limit; t += step) {
      now += step;
      const model::RuntimeRecord r = Sample();
      seen.push_back(r);
      if (done(r)) return t + step;
    }
    return -1.0;
  }
  void Run(double seconds) {
    now += seconds;
    Sample();
  }

  bool Logged(const std::string& text) {
    sim::LogMessage m;
    for (size_t i = 1; Log().At(i, m); ++i) {
      if (m.format.find(text) != std::string::npos) return true;
    }
    return false;
  }

  sim::Controller ctrl{kNetId};
  std::unique_ptr<sim::AxisServer> server;
  double now = 1000.0;
  std::vector<model::RuntimeRecord> seen;  // every sample of RunUntil
};

inline bool InTarget(const model::RuntimeRecord& r) {
  return (r.StateBits & sim::kStateInTarget) != 0;
}

}  // namespace simtest
