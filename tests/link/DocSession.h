// The document against emulated axis servers in the same process (OxaDirect), with the error
// boxes recorded and the requests counted in the emulator's own request log.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "link/Commands.h"
#include "link/Select.h"
#include "oxa/OxaDirect.h"
#include "sim/MessageLog.h"
#include "sim/ParamStore.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace doctest {

inline const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

class RecordingUi : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override { boxes.push_back(text); }
  void RequestRedisplay() override { ++redisplays; }
  std::vector<std::string> boxes;
  int redisplays = 0;
};

// A command the emulated server received: its offset and data.
struct SentCommand {
  uint32_t offset;
  std::vector<uint8_t> data;
};

struct ServerSpec {
  uint16_t port = 851;
  model::LibVersion lib{3, 0, 35};
  std::array<std::optional<int16_t>, 13> table{40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
  std::vector<std::string> axes{"Clamp left", "Clamp right"};
};

struct DocSession {
  sim::Plant plant{kNetId};
  oxa::OxaDirect direct;
  RecordingUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc{direct, ui, strings};
  std::vector<SentCommand> commands;
  // The answer of the emulated command group; the load command raises the notice.
  int32_t commandResult = oxa::kOk;

  explicit DocSession(const ServerSpec& spec = {}) {
    direct.Register(kNetId, plant.Ctrl());
    direct.OxaPortOpen();
    AddServer(spec);
  }

  sim::AxisServer& AddServer(const ServerSpec& spec) {
    sim::AxisServerConfig c;
    c.port = spec.port;
    c.lib = spec.lib;
    c.axisNames = spec.axes;
    c.recordVersions = spec.table;
    std::string error;
    sim::AxisServer* s = plant.AddServer(c, error);
    EXPECT_NE(s, nullptr) << error;
    EXPECT_TRUE(sim::InstallParamStore(*s));
    EXPECT_TRUE(sim::InstallRuntimeRecords(*s, error)) << error;
    EXPECT_TRUE(sim::InstallMessageLog(*s));
    s->AddAxisGroup(axlink::kCommandGroup, std::nullopt, 0,
                    [this](sim::SimAxis& axis, const oxa::OxaRequest& r, std::span<uint8_t>) {
                      commands.push_back({r.indexOffset, {r.writeData.begin(), r.writeData.end()}});
                      if (commandResult == oxa::kOk && r.indexOffset == axlink::kCmdLoadParams) {
                        sim::RuntimeOf(axis)->paramsChanged = true;
                      }
                      oxa::OxaReplyInfo reply;
                      reply.result = commandResult;
                      return reply;
                    });
    return *s;
  }

  sim::SimAxis& Axis(uint16_t port, uint16_t n) { return *plant.Server(port)->Axis(n); }

  axlink::AxisTarget Target(const ServerSpec& spec, uint16_t n) const {
    axlink::AxisTarget t;
    t.addr = {kNetId, spec.port};
    t.number = n;
    model::RecordVersionTable table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = spec.table[i].value_or(-1);
    t.versions.Store(spec.lib, table);
    return t;
  }

  bool Select(const ServerSpec& spec = {}, uint16_t n = 1, int32_t page = model::kPageAll) {
    return doc.SelectAxis(Target(spec, n), page);
  }

  // Requests since the last Reset(), optionally only those of one group (and offset).
  size_t Count(std::optional<uint32_t> group = std::nullopt,
               std::optional<uint32_t> offset = std::nullopt) {
    return plant.Ctrl().Log().Count([&](const sim::LoggedRequest& r) {
      return (!group || r.indexGroup == *group) && (!offset || r.indexOffset == *offset);
    });
  }
  void Reset() {
    plant.Ctrl().Log().Clear();
    ui.boxes.clear();
    commands.clear();
  }
  int Fault(uint32_t group, std::optional<uint32_t> offset, int32_t error, uint16_t port = 851) {
    sim::Fault f;
    f.port = port;
    f.indexGroup = group;
    f.indexOffset = offset;
    f.kind = sim::Fault::Kind::Error;
    f.error = error;
    return plant.Ctrl().Faults().Add(f);
  }
};

}  // namespace doctest
