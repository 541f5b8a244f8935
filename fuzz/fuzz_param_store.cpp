// Arbitrary requests to the emulator's parameter groups, and arbitrary configuration values.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "oxa/Bytes.h"
#include "sim/AxisServer.h"
#include "sim/ParamStore.h"
#include "sim/RuntimeRecords.h"

namespace {

struct Rig {
  sim::Controller ctrl{oxa::NetId{{127, 0, 0, 1, 1, 1}}};
  std::vector<std::unique_ptr<sim::AxisServer>> servers;

  Rig() {
    const std::array<std::pair<model::LibVersion, int16_t>, 4> kinds = {
        {{{2, 1, 6}, 4}, {{3, 0, 21}, 13}, {{3, 0, 35}, 14}, {{3, 0, 11}, 0}}};
    uint16_t port = 850;
    for (const auto& [lib, layout] : kinds) {
      sim::AxisServerConfig c;
      c.port = port++;
      c.lib = lib;
      c.axisNames = {"A", "B"};
      c.recordVersions[2] = layout;
      c.recordVersions[4] = 5;  // the linearisation record, whose settings go by number too
      std::string error;
      auto s = sim::AxisServer::Create(ctrl, c, error);
      if (!s || !sim::InstallParamStore(*s) || !sim::InstallRuntimeRecords(*s, error)) {
        __builtin_trap();
      }
      servers.push_back(std::move(s));
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  // Header: server, command, group selector, offset (4), read length (2); the rest is written.
  if (size < 9) return 0;
  const std::span<const uint8_t> in(data, size);
  auto& server = *rig.servers[data[0] % rig.servers.size()];
  oxa::OxaRequest req;
  req.target = {rig.ctrl.NetId(), server.Port()};
  req.command = static_cast<oxa::Command>(1 + data[1] % 3);
  const uint32_t groups[] = {0x8000F000u, 0x800F0000u};
  req.indexGroup = groups[data[2] % 2] + (data[2] >> 1) % 4;
  req.indexOffset = oxa::bytes::At<uint32_t>(in, 3);
  req.readLength = req.command == oxa::Command::Write ? 0 : oxa::bytes::At<uint16_t>(in, 7) % 1100u;
  req.writeData = in.subspan(9);
  if (req.command == oxa::Command::Read) req.writeData = {};
  std::vector<uint8_t> out(req.readLength);
  const oxa::OxaReplyInfo reply = oxa::Finish(rig.ctrl.Handle(req, out));
  if (reply.dataLength > req.readLength) __builtin_trap();
  if (reply.result == oxa::kOk && req.command != oxa::Command::Write &&
      reply.dataLength != req.readLength) {
    __builtin_trap();
  }
  // The tail as a configuration value of a parameter.
  const auto value = nlohmann::json::parse(in.begin() + 9, in.end(), nullptr, false);
  if (!value.is_discarded()) {
    sim::ParamStore store;
    std::string error;
    const auto& fields = model::ParamFields();
    store.Set(std::string(fields[data[2] % fields.size()].name), value, error);
    store.Set(std::to_string(oxa::bytes::At<uint16_t>(in, 3)), value, error);
    if (model::FileNameText(store.Record()).size() > 255) __builtin_trap();
  }
  return 0;
}
