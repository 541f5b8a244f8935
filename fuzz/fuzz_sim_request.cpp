// Requests from an untrusted client into the demo plant: the input is a sequence of requests
// (port, command, group, offset, read length, write data); every answer must keep to the reply
// rules whatever the request. Saves stay in memory: no disk in the loop. The request log is
// emptied after each input, so that an input frees what it allocates and the leak check stays
// quiet.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "oxa/Bytes.h"
#include "sim/Commands.h"
#include "sim/Plant.h"

namespace {

constexpr char kPlant[] = R"({
  "runtimes": [{"generation": "CV2", "port": 801, "activeTasks": [1, 3]},
               {"generation": "CV3", "port": 851, "cycleCount": 5}],
  "servers": [{"port": 802, "lib": "2.1.6", "axes": ["Press ram", "Ejector"], "saveDir": "/nonexistent",
               "recordVersions": [2, 4, 7, 1, null, 4, 1, 1, 4, null, null, null, null]},
              {"port": 851, "lib": "3.0.35", "firstAxis": 1, "axes": ["Clamp left"], "saveDir": "/nonexistent",
               "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]
})";

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sim::Plant> plant = [] {
    std::string error;
    auto p = sim::LoadPlant(kPlant, kNetId, sim::DefaultServerFeatures(), error);
    if (!p) __builtin_trap();
    for (const auto& server : p->Servers()) {
      sim::CommandsOf(*server)->writeFile = [](const auto&, std::span<const uint8_t>,
                                               std::string&) { return true; };
    }
    return p;
  }();
  std::span<const uint8_t> in(data, size);
  std::vector<uint8_t> readBuf;
  // Each request: port index 1, command 1, group 4, offset 4, read length 2, write length 2.
  constexpr size_t kHeader = 14;
  static constexpr uint16_t kPorts[] = {801, 802, 851, 852, 1};
  static constexpr uint32_t kGroups[] = {0xF003,     0xF005,     0xF006,     0xFFFFFFFF,
                                         0x8000F100, 0x80004000, 0x8000F000, 0x800F0000,
                                         0x80004200, 0x8000F200, 0x8000F300};
  while (in.size() >= kHeader) {
    oxa::OxaRequest r;
    r.target = {kNetId, kPorts[in[0] % std::size(kPorts)]};
    r.command = static_cast<oxa::Command>(1 + in[1] % 3);
    uint32_t group = oxa::bytes::At<uint32_t>(in, 2);
    // Mostly groups the plant serves, plus a small axis number; sometimes a raw group.
    if ((group & 0x80000000u) == 0) group = kGroups[group % std::size(kGroups)] + (group >> 24);
    r.indexGroup = group;
    r.indexOffset = oxa::bytes::At<uint32_t>(in, 6);
    r.readLength = r.command == oxa::Command::Write ? 0 : oxa::bytes::At<uint16_t>(in, 10);
    const size_t writeLength =
        r.command == oxa::Command::Read ? 0 : oxa::bytes::At<uint16_t>(in, 12) % 2048u;
    in = in.subspan(kHeader);
    const size_t w = writeLength < in.size() ? writeLength : in.size();
    r.writeData = in.first(w);
    in = in.subspan(w);
    // As much room as the TCP server gives: a success still carries the whole read length.
    readBuf.assign(plant->Ctrl().AnswerRoom(r), 0);
    const oxa::OxaReplyInfo reply = oxa::Finish(plant->Ctrl().Handle(r, readBuf));
    if (reply.dataLength > readBuf.size()) __builtin_trap();
    if (reply.result != oxa::kOk && reply.dataLength != 0) __builtin_trap();
    if (reply.result == oxa::kOk && !reply.dropped && r.command != oxa::Command::Write &&
        reply.dataLength != r.readLength) {
      __builtin_trap();
    }
  }
  plant->Ctrl().Log().Clear();
  return 0;
}
