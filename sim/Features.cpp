#include "sim/Plant.h"

namespace sim {

std::vector<ServerFeature> DefaultServerFeatures() {
  std::vector<ServerFeature> features;
  // Each feature of the axis server that the configuration switches on adds itself here.
  return features;
}

}  // namespace sim
