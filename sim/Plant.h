// The emulated plant: one controller with its runtimes, axis servers and faults, built from a
// JSON configuration (schema in sim/README.md) or piece by piece.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/AxisServer.h"
#include "sim/Controller.h"
#include "sim/Runtime.h"

namespace sim {

// A feature that later parts of the emulator install on every axis server of a configuration
// (records, parameters, commands ...). `keys` and `axisKeys` are the keys it reads from a server
// object and from an axis object of the configuration; other unknown keys are errors.
struct ServerFeature {
  std::string name;
  std::vector<std::string> keys;
  std::vector<std::string> axisKeys;
  // Called once per server, after its axes exist; `config` is the server's JSON object.
  std::function<bool(AxisServer& server, const nlohmann::json& config, std::string& error)> install;
};

// The features of the emulator as shipped (sim/Features.cpp).
std::vector<ServerFeature> DefaultServerFeatures();

class Plant {
 public:
  explicit Plant(const oxa::NetId& netId) : controller_(netId) {}
  Plant(const Plant&) = delete;
  Plant& operator=(const Plant&) = delete;

  Controller& Ctrl() { return controller_; }

  // Each returns null (or false) with `error` set when the piece does not fit the plant.
  Cv2Runtime* AddCv2Runtime(uint16_t port, std::array<bool, 4> activeTasks, std::string& error);
  Cv3Runtime* AddCv3Runtime(uint16_t port, uint32_t cycleCount, std::string& error);
  AxisServer* AddServer(AxisServerConfig config, std::string& error);

  const std::vector<std::unique_ptr<AxisServer>>& Servers() const { return servers_; }
  AxisServer* Server(uint16_t port) const;

 private:
  Controller controller_;  // first: the handlers of the pieces below live in its services
  std::vector<std::unique_ptr<Cv2Runtime>> cv2_;
  std::vector<std::unique_ptr<Cv3Runtime>> cv3_;
  std::vector<std::unique_ptr<AxisServer>> servers_;
};

// Configuration files larger than this are refused.
inline constexpr size_t kMaxConfigBytes = 1 << 20;

// Builds a plant from configuration text; null with a message naming the offending entry when
// the text is not a valid configuration. Never throws.
std::unique_ptr<Plant> LoadPlant(std::string_view jsonText, const oxa::NetId& netId,
                                 std::span<const ServerFeature> features, std::string& error);
std::unique_ptr<Plant> LoadPlantFile(const std::string& path, const oxa::NetId& netId,
                                     std::span<const ServerFeature> features, std::string& error);

// Converts UTF-8 to the controller's single-byte text (Latin-1); false for malformed UTF-8 or a
// character beyond U+00FF.
bool Utf8ToLatin1(std::string_view utf8, std::string& out);

}  // namespace sim
