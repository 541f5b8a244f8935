// One value of the axis's records by the parameter number it travels under in numbered reads and
// writes: the fields of ParamRecord, the entries 2001 to 2020 of AuxData, and the settings and
// table points of LinRecord (3000 to 3158, 3201 to 3300, 3401 to 3500).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/LinRecord.h"
#include "model/ParamRecord.h"

namespace model {

// The field's name ("JogFast", "AuxData[3]", "LinSamples"); empty for a number no field carries,
// and for the numbers that carry a text or a whole array (1007, 2000).
std::string NumberedName(uint16_t no);

// The field's value as a double (booleans 0 or 1); none where NumberedName is empty.
std::optional<double> NumberedValue(const ParamRecord& param, const LinRecord& lin, uint16_t no);

// Stores `value` into the field as a numbered write sends it (converted to the field's type:
// integers truncated and narrowed, booleans true when not 0). False, and nothing changed, for a
// number no field carries or a value the field cannot hold.
bool StoreNumberedValue(ParamRecord& param, LinRecord& lin, uint16_t no, double value);

}  // namespace model
