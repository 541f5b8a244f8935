#include "sim/AuxNames.h"
#include "sim/Commands.h"
#include "sim/MessageLog.h"
#include "sim/Motion.h"
#include "sim/ParamStore.h"
#include "sim/Plant.h"
#include "sim/RuntimeRecords.h"

namespace sim {

std::vector<ServerFeature> DefaultServerFeatures() {
  std::vector<ServerFeature> features;
  // Each feature of the axis server that the configuration switches on adds itself here.
  features.push_back(MessageLogFeature());
  features.push_back(ParamStoreFeature());
  // After the parameter store: the runtime values travel in its batch.
  features.push_back(RuntimeRecordsFeature());
  // After the runtime records: the names follow the feature level of the axis reference.
  features.push_back(AuxNamesFeature());
  // After the runtime records: the motion drives them.
  features.push_back(MotionFeature());
  // After both: saving and loading take the parameters and the linearisation record.
  features.push_back(CommandsFeature());
  return features;
}

}  // namespace sim
