// Which controls show for the current page and axis configuration, and which texts depend on
// them: the named rules of Control.h evaluated against what the view knows.
#pragma once

#include <cstdint>
#include <optional>

#include "model/Link.h"
#include "pages/layout/Control.h"

namespace pages::layout {

// Encoder groups: A absolute analog, B absolute digital, I incremental (every other value but
// 42 and 43).
bool EncoderGroupA(int encoderType);
bool EncoderGroupB(int encoderType);
bool EncoderGroupI(int encoderType);

// What the rules look at.
struct ViewInputs {
  int page = 0;
  model::LibVersion lib;
  int16_t axisRefLayout = -1;     // word 0 of the record version table
  int16_t stParamLayout = -1;     // word 2
  int16_t messageLogLayout = -1;  // word 3
  int16_t encoderType = -1;
  int16_t referenceMode = -1;
  int16_t driveType = -1;
  int16_t profileType = -1;
  bool asymmetric = false;  // as stored in the parameter record
  bool fileMode = false;
  bool hasDevIo = false;  // axis reference record
  bool refFlag4 = false;  // axis reference record, RefFlags[4]
};

bool RuleHolds(Show rule, const ViewInputs& in);

// A control shows on its own page (frame controls on every page) while its rule holds.
bool IsVisible(int controlPage, const Control& c, const ViewInputs& in);

// The string ID a control shows: 0 for an empty text, nullopt where the control keeps the text
// it has (the I/O labels that depend on a type outside their lists).
std::optional<uint32_t> TextIdFor(const Control& c, const ViewInputs& in);

}  // namespace pages::layout
