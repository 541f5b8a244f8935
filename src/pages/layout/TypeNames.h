// Names of the type fields of the parameter record and the four type lists of the Common page.
// A value without a name is shown as "undefined" (string 1051) by the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pages/layout/Control.h"

namespace pages::layout {

inline constexpr uint32_t kTextUndefined = 1051;

// "EncoderType00" to "EncoderType44" (no 36) and "EncoderType1000".
std::optional<std::string> EncoderTypeName(int value);
// "DriveType00" to "DriveType39" (no 20, 22, 32) and "DriveType1000".
std::optional<std::string> DriveTypeName(int value);
// 0 to 7 and 100.
std::optional<std::string> ProfileTypeName(int value);
// "HomingOnBlock" to "HomingOnExec", 0 to 4.
std::optional<std::string> ReferenceModeName(int value);

// The name of the type field with parameter number `no` (1100 encoder, 1300 drive, 1000
// profile, 1101 reference mode); nullopt for a value without a name or another number.
std::optional<std::string> TypeName(uint16_t no, int value);

struct ComboItem {
  std::string name;
  int16_t value;  // the item data
};
// The items of a type list, sorted by name as the combo box shows them: every named encoder
// and drive value, the five homing modes, and the profiles 0, 3, 4, 5, 6 and 7.
std::vector<ComboItem> ComboItems(ComboList list);

}  // namespace pages::layout
