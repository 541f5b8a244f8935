// The text of the error report box, built from a failed controller request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "i18n/StringTable.h"

namespace axlink {

// Fixed literals of the box, the same in every language.
inline constexpr const char* kOxaErrorPrefix = "OXA-Fehler: ";
inline constexpr const char* kUndecodedOxaError = "Nicht dekodierter OXA Error Code";

// String IDs of the box.
inline constexpr uint32_t kIdsAttention = 29990;
inline constexpr uint32_t kIdsOxaErrorReported = 29991;
inline constexpr uint32_t kIdsOxaStopped = 29992;

// The string ID that describes `errorCode`, or nullopt for a code the table does not know.
std::optional<uint32_t> OxaErrorStringId(int32_t errorCode);

// The complete text of the box for a failed request, in the table's current language:
//   <29990>\n\n<29991>\n\nOXA Read( nIdxG=0x8000F001, nIdxO=0x00000010, nErr=1861(0x745) )\n
//   OXA-Fehler: <decoded>\n\n[<29992>]
// The stop sentence is appended only when `stopOnError` is set.
std::string BuildOxaErrorText(const i18n::StringTable& strings, bool stopOnError, bool write,
                              int32_t errorCode, uint32_t indexGroup, uint32_t indexOffset);

}  // namespace axlink
