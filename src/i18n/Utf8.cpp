#include "i18n/Utf8.h"

namespace i18n {

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() + latin1.size() / 2);
  for (const char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t more = 0;
    if (c < 0x80) {
      more = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
    } else {
      return false;
    }
    if (text.size() - i - 1 < more) return false;
    for (size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

std::string ToUtf8(std::string_view text) {
  return IsUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
}

}  // namespace i18n
