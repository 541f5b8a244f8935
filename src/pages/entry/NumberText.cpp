#include "pages/entry/NumberText.h"

#include <locale.h>
#include <array>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>

namespace entry {
namespace {

// The "C" locale, for parsing independently of the process's locale.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool CleanNumberText(std::string& text, bool allowNegative) {
  // `out` is the text up to the current position, so "the first position" is an empty `out`.
  std::string out;
  out.reserve(text.size());
  bool clean = true;
  bool point = false;
  for (char c : text) {
    if (out.empty()) {
      if (c == ' ' || c == '+') continue;
      if (c == '-' && allowNegative) {
        out += c;
        continue;
      }
    }
    if (c == ',') c = '.';
    if (c == '.') {
      if (point) {
        clean = false;
      } else {
        point = true;
        out += c;
      }
    } else if (IsDigit(c)) {
      out += c;
    } else {
      clean = false;
    }
  }
  text = std::move(out);
  return clean;
}

bool ValidateField(std::string& text, const FieldCheck& check) {
  if (check.hex) {
    uint32_t word = 0;
    if (!ScanHexWord(text, word)) return false;
    return check.minimum <= word && word <= check.maximum;
  }
  bool valid = CleanNumberText(text, check.allowNegative);
  double value = 0;
  if (!ScanReal(text, value)) {
    text = FormatReal(check.replacement);
    value = check.replacement;
    valid = false;
  }
  if (!(value >= check.minimum)) {
    text = FormatReal(check.minimum);
    valid = false;
  } else if (value > check.maximum) {
    text = FormatReal(check.maximum);
    valid = false;
  }
  return valid;
}

bool ScanReal(std::string_view text, double& value) {
  const std::string s(text);
  char* end = nullptr;
  const double v = strtod_l(s.c_str(), &end, CLocale());
  if (end == s.c_str()) return false;
  value = v;
  return true;
}

bool ScanInteger(std::string_view text, long& value) {
  const std::string s(text);
  char* end = nullptr;
  const long v = strtol_l(s.c_str(), &end, 10, CLocale());
  if (end == s.c_str()) return false;
  value = v;
  return true;
}

bool ScanHexWord(std::string_view text, uint32_t& value) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    // "0x" counts as a prefix only before a digit; else the "0" is the number.
    const char c = i + 2 < text.size() ? text[i + 2] : '\0';
    const bool hexDigit = IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (hexDigit) i += 2;
  }
  uint64_t v = 0;
  const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), v, 16);
  if (ptr == text.data() + i || ec != std::errc{} || v > 0xFFFFFFFFu) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

std::string FormatReal(double value) {
  std::array<char, 400> buffer{};
  const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::fixed, 6);
  if (ec != std::errc{}) return {};
  return std::string(buffer.data(), ptr);
}

}  // namespace entry
