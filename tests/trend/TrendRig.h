// The demo plant in this process on a clock the test moves, with an Oxa port of the recorder's
// own to it, and the document on another port when a test needs one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "link/Select.h"
#include "oxa/OxaDirect.h"
#include "sim/Motion.h"
#include "sim/Plant.h"
#include "trend/Clock.h"
#include "trend/Sampler.h"

namespace trendtest {

inline const oxa::NetId kLocal{{127, 0, 0, 1, 1, 1}};
// Axis 1 of the V3.0.35 server reads by batch, axis 5 of the V3.0.21 server as a block.
inline constexpr uint16_t kBatchPort = 851;
inline constexpr uint16_t kBlockPort = 852;

class NoBoxes final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override { boxes.push_back(text); }
  void RequestRedisplay() override {}
  std::vector<std::string> boxes;
};

struct PlantRig {
  trend::VirtualClock clock{1000.0};
  std::unique_ptr<sim::Plant> plant;
  oxa::OxaDirect own;  // the recorder's port
  oxa::OxaDirect docOxa;
  NoBoxes ui;
  i18n::StringTable strings;
  CAxtuneDoc doc{docOxa, ui, strings};

  PlantRig() {
    std::string error;
    const auto features = sim::DefaultServerFeatures();
    plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kLocal, features, error);
    if (!plant) {
      ADD_FAILURE() << error;
      std::abort();
    }
    for (const auto& server : plant->Servers()) {
      if (auto* motion = server->Ext().Find<sim::MotionServerState>()) {
        motion->clock = [this] { return clock.Now(); };
      }
    }
    for (oxa::OxaDirect* d : {&own, &docOxa}) {
      d->Register(kLocal, plant->Ctrl());
      d->OxaPortOpen();
    }
  }

  trend::RecordTarget Target(uint16_t port, uint16_t axis) const {
    const sim::AxisServer* server = plant->Server(port);
    trend::RecordTarget t;
    t.addr = {kLocal, port};
    t.axis = axis;
    t.lib = server->Lib();
    for (size_t w = 0; w < t.versions.size(); ++w)
      t.versions[w] = server->RecordVersion(w).value_or(-1);
    return t;
  }

  // Makes `axis` of `port` the document's current axis.
  void Select(uint16_t port, uint16_t axis) {
    const trend::RecordTarget t = Target(port, axis);
    axlink::AxisTarget target;
    target.addr = t.addr;
    target.number = axis;
    target.versions.Store(t.lib, t.versions);
    ASSERT_TRUE(doc.SelectAxis(target, model::kPageAll));
  }
};

}  // namespace trendtest
