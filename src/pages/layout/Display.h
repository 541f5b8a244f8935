// What the parameter pages show: the text of a value control and the state of a check box,
// from the records of the current axis, in the control's format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/LinRecord.h"
#include "model/ParamRecord.h"
#include "model/RuntimeRecord.h"
#include "pages/layout/Control.h"

namespace pages::layout {

// A real in one of the formats of one real (Real*, Percent*, Millis3); the percent formats
// multiply by 100, Millis3 by 1000. Any value, however large, is printed whole.
std::string FormatReal(Fmt fmt, double value);
// An integer in Hex8 (the 32-bit pattern), Long1, Long, Int, ErrorCode or Hex4.
std::string FormatInteger(Fmt fmt, int64_t value);

struct DisplayRecords {
  const model::ParamRecord& params;
  const model::LinRecord& lin;
  const model::RuntimeRecord& runtime;  // the encoder info values of the Encoder page
};

// The text of a control bound to a parameter, a LinRecord setting, a type name or an encoder
// info value; `undefined` for a type value without a name. Nullopt for every other control.
std::optional<std::string> ParamText(const Control& c, const DisplayRecords& records,
                                     std::string_view undefined);

// The state of a check box bound to a boolean parameter or LinRecord setting, or to one bit of
// JerkEnabled; nullopt for every other control.
std::optional<bool> ParamChecked(const Control& c, const DisplayRecords& records);

}  // namespace pages::layout
