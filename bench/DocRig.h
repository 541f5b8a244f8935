// A document logged in to an emulated axis server, for the benchmarks that time what the document
// does over a transport: one CV3 runtime with a V3.0.35 axis server of named axes "Axis 1" ...
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/AxtuneDoc.h"
#include "link/Login.h"
#include "link/Select.h"
#include "oxa/OxaTcpClient.h"
#include "oxa/OxaTcpServer.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace docrig {

constexpr oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};
constexpr uint16_t kPort = 851;

class NoUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string&) override { ++boxes; }
  void RequestRedisplay() override {}
  int boxes = 0;
};

// The plant of `axes` axes; `paramVersion` is the ParamRecord layout the server announces.
inline std::unique_ptr<sim::Plant> LoadPlant(size_t axes, int paramVersion, std::string& error) {
  std::string names;
  for (size_t i = 1; i <= axes; ++i) {
    names += (i > 1 ? ", \"Axis " : "\"Axis ") + std::to_string(i) + "\"";
  }
  const std::string config =
      R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 1}],
          "servers": [{"port": 851, "lib": "3.0.35", "firstAxis": 1, "axes": [)" +
      names + R"(], "recordVersions": [)" + std::to_string(paramVersion) +
      R"(, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2]}]})";
  auto plant = sim::LoadPlant(config, kNetId, sim::DefaultServerFeatures(), error);
  if (!plant) return nullptr;
  for (const auto& s : plant->Servers()) {
    if (sim::RuntimeOf(*s->Axes().front()) == nullptr && !sim::InstallRuntimeRecords(*s, error)) {
      return nullptr;
    }
  }
  return plant;
}

// Logs `doc` in through `oxa`, lists the server's axes 1 to `axes` in `listAxes` and selects
// axis 1 for `page`.
inline bool LogInAndSelect(oxa::IOxa& oxa, CAxtuneDoc& doc, size_t axes, int32_t page,
                           axlink::AxisList& lists, std::vector<axlink::AxisTarget>& listAxes,
                           std::string& error) {
  axlink::FrameStatus status;
  axlink::LoginEnv env{&oxa, oxa.OxaPortOpen(), kNetId, "Axtune -> Local", &lists, &doc, &status};
  if (!axlink::Login(env)) {
    error = "login found no axis server";
    return false;
  }
  for (uint16_t n = 1; n <= axes; ++n) {
    listAxes.push_back(*axlink::FindAxisTarget(lists, {kNetId, kPort}, n));
  }
  if (!doc.SelectAxis(listAxes[0], page)) {
    error = "selection failed";
    return false;
  }
  return true;
}

// The plant served over OXA/TCP on loopback and the document logged in through the TCP client.
struct TcpDocRig {
  std::unique_ptr<sim::Plant> plant;
  std::unique_ptr<oxa::OxaTcpServer> server;
  std::unique_ptr<oxa::OxaTcpClient> client;
  NoUi ui;
  i18n::StringTable strings;
  std::unique_ptr<CAxtuneDoc> doc;
  axlink::AxisList lists;
  std::vector<axlink::AxisTarget> listAxes;

  bool Start(size_t axes, std::string& error) {
    plant = LoadPlant(axes, 40, error);
    if (!plant) return false;
    server = oxa::OxaTcpServer::Start(plant->Ctrl(), "127.0.0.1", 0, error);
    if (!server) return false;
    oxa::RouteTable table;
    table.local = {"", kNetId, "127.0.0.1", server->Port()};
    client = std::make_unique<oxa::OxaTcpClient>([table] { return table; });
    doc = std::make_unique<CAxtuneDoc>(*client, ui, strings);
    return LogInAndSelect(*client, *doc, axes, model::kPageAll, lists, listAxes, error);
  }
};

}  // namespace docrig
