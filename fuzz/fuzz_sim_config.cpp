// The emulator's plant configuration: any text either builds a plant or gives an error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/Plant.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto features = sim::DefaultServerFeatures();
  auto plant = sim::LoadPlant(text, oxa::NetId{{127, 0, 0, 1, 1, 1}}, features, error);
  if (!plant && error.empty()) __builtin_trap();
  return 0;
}
