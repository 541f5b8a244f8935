// The records of an axis as JSON for axtune-cli: every field under its record name, controller
// texts converted from Latin-1 to UTF-8.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <string>

#include "log/MessageLog.h"
#include "model/AxisRef.h"
#include "model/LinRecord.h"
#include "model/ParamRecord.h"
#include "model/ProcessImage.h"
#include "model/RuntimeRecord.h"

namespace cli {

// The fields of the parameter record on `page` (12: every field) by name, FileName as UTF-8,
// AuxData as an array.
nlohmann::ordered_json ParamJson(const model::ParamRecord& r, int page = model::kPageAll);
nlohmann::ordered_json RuntimeJson(const model::RuntimeRecord& r);
nlohmann::ordered_json AxisRefJson(const model::AxisRefRecord& r);
nlohmann::ordered_json AuxNamesJson(const std::array<std::string, 20>& names);
// Every field; of LinTabValue and LinTabOutput the points in use, LinSamples clamped to 0 to
// 100. `read` and `dump` both print it, so a controller's record and its file compare directly;
// the points past LinSamples are leftovers that neither the axis nor the pages use.
nlohmann::ordered_json LinJson(const model::LinRecord& r);
// {"bytes": hex of the canonical image, then the image's shown fields by label}.
nlohmann::ordered_json IoJson(const model::IoRecords& io, model::IoRecordId id);
// The twenty lines, the newest first.
nlohmann::ordered_json MessageLogJson(const msglog::MessageLog& log);

}  // namespace cli
