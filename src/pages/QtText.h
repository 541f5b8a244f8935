// Texts of the core as Qt strings: ours are UTF-8, the controller's (axis names, messages and the
// parameter file name) single-byte Latin-1.
#pragma once

#include <QString>
#include <string_view>

namespace pages {

inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString FromController(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pages
