// String IDs of the application shell and the conversions of texts into Qt strings.
#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

#include "i18n/StringTable.h"

inline constexpr uint32_t kTextAppTitle = 57344;
inline constexpr uint32_t kTextReady = 57345;
inline constexpr uint32_t kTextCapsLock = 59137;
inline constexpr uint32_t kTextNumLock = 59138;
inline constexpr uint32_t kTextScrollLock = 59139;

inline constexpr uint32_t kTextTargetTitle = 36100;
inline constexpr uint32_t kTextOk = 36101;
inline constexpr uint32_t kTextAbort = 36102;
inline constexpr uint32_t kTextAboutTitle = 36110;
inline constexpr uint32_t kTextSupportedLibs = 36111;
inline constexpr uint32_t kTextSupportedAxisRef = 36112;
inline constexpr uint32_t kTextSupportedStParam = 36113;
inline constexpr uint32_t kTextSupportedStRtData = 36114;

// Texts of the string table are UTF-8.
inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString Text(const i18n::StringTable& strings, uint32_t id) {
  return FromUtf8(strings.Text(id));
}
// Texts from a controller are single-byte (Latin-1).
inline QString FromController(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
