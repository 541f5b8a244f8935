#include "AppRig.h"

#include <gtest/gtest.h>

namespace apptest {
namespace {

// The CV3 server comes last in the scan, so login reports its version.
constexpr const char* kLocalPlant = R"({
  "runtimes": [
    { "generation": "CV2", "port": 801, "activeTasks": [1] },
    { "generation": "CV3", "port": 851, "cycleCount": 1000 }
  ],
  "servers": [
    { "port": 802, "lib": "2.1.6", "firstAxis": null, "axes": ["Press ram", "Ejector"],
      "recordVersions": [2, 4, 7, 1, null, 4, 1, 1, 4, null, null, null, null] },
    { "port": 851, "lib": "3.0.35", "firstAxis": 1, "axes": ["Clamp left", "Press ram"],
      "recordVersions": [40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2] }
  ]
})";

constexpr const char* kRemotePlant = R"({
  "runtimes": [ { "generation": "CV3", "port": 851, "cycleCount": 1000 } ],
  "servers": [
    { "port": 851, "lib": "3.0.30", "firstAxis": 1, "axes": ["Lift"],
      "recordVersions": [6, 9, 14, 3, 4, 5, 1, 2, 5, 0, 0, 1, 1] }
  ]
})";

std::unique_ptr<sim::Plant> MakePlant(const char* config, const oxa::NetId& netId) {
  std::string error;
  auto plant = sim::LoadPlant(config, netId, sim::DefaultServerFeatures(), error);
  EXPECT_TRUE(plant) << error;
  return plant;
}

}  // namespace

Rig::Rig(bool failOpen, uint16_t language) : strings(language) {
  local = MakePlant(kLocalPlant, kLocal);
  remote = MakePlant(kRemotePlant, kRemote);
  oxa::RouteTable table;
  table.local.netId = kLocal;
  table.routes.push_back(oxa::RouteEntry{"Remote_press", kRemote, "127.0.0.1", 1});
  table.routes.push_back(
      oxa::RouteEntry{"Nobody", oxa::NetId{{10, 9, 8, 7, 1, 1}}, "127.0.0.1", 1});
  direct = std::make_unique<oxa::OxaDirect>(table);
  direct->Register(kLocal, local->Ctrl());
  direct->Register(kRemote, remote->Ctrl());
  oxa = std::make_unique<CountingOxa>(*direct);
  oxa->failOpen = failOpen;
  settings = std::make_unique<QSettings>(settingsDir.filePath(QStringLiteral("axtune.ini")),
                                         QSettings::IniFormat);
  frame = std::make_unique<CMainFrame>(*oxa, strings, Hooks());
  // Tests drive the timer themselves.
  frame->Timer().stop();
}

FrameHooks Rig::Hooks() {
  FrameHooks hooks;
  hooks.ui = &ui;
  hooks.openParameterFile = [this] {
    ++fileDialogs;
    if (whileFileDialog) whileFileDialog();
    return nextFile;
  };
  hooks.chooseTarget = [this](const std::vector<axlink::TargetEntry>& entries) {
    targetNames.clear();
    for (const auto& e : entries) targetNames.push_back(e.name);
    return targetChoice;
  };
  hooks.journalDir = journalDir.path().toStdString();
  hooks.chooseJournalExport = [this] { return journalExport; };
  hooks.settings = settings.get();
  hooks.recorderOxa = [this] { return std::make_unique<SilentRecorderOxa>(recorderRequests); };
  return hooks;
}

Rig::~Rig() {
  frame.reset();
}

}  // namespace apptest
