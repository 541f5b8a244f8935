// Typed numbers of any bytes against every field rule of the parameter pages: nothing crashes,
// a cleaned text holds only what a number may hold and is clean on a second pass, a text is
// never longer than typed unless it became a formatted limit, a field that passes lies within
// its limits, and the text a refused field got back passes when it is checked again.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pages/entry/NumberText.h"
#include "pages/entry/PageRules.h"

namespace {

std::vector<entry::FieldRule> AllRules() {
  std::vector<entry::FieldRule> rules;
  for (int page = 0; page < 12; ++page) {
    if (const entry::PageRules* p = entry::FindPageRules(page)) {
      rules.insert(rules.end(), p->fields.begin(), p->fields.end());
    }
  }
  return rules;
}

bool Cleaned(const std::string& text, bool allowNegative) {
  bool point = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '-' && i == 0 && allowNegative) continue;
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<entry::FieldRule> rules = AllRules();
  if (size == 0 || rules.empty()) return 0;
  const entry::FieldCheck& check = rules[data[0] % rules.size()].check;
  const std::string typed(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string cleaned = typed;
  entry::CleanNumberText(cleaned, check.allowNegative);
  if (cleaned.size() > typed.size() || !Cleaned(cleaned, check.allowNegative)) __builtin_trap();
  std::string again = cleaned;
  if (!entry::CleanNumberText(again, check.allowNegative) || again != cleaned) __builtin_trap();

  std::string text = typed;
  const bool valid = entry::ValidateField(text, check);
  if (check.hex) {
    if (text != typed) __builtin_trap();
    uint32_t word = 0;
    if (valid &&
        (!entry::ScanHexWord(text, word) || word < check.minimum || word > check.maximum)) {
      __builtin_trap();
    }
    return 0;
  }
  if (std::strlen(text.c_str()) != text.size()) __builtin_trap();
  double value = 0;
  if (!entry::ScanReal(text, value)) __builtin_trap();
  if (valid && (text != cleaned || !(value >= check.minimum && value <= check.maximum))) {
    __builtin_trap();
  }
  if (!valid && text != cleaned && text.size() > 32) __builtin_trap();
  std::string second = text;
  if (!entry::ValidateField(second, check) || second != text) __builtin_trap();
  return 0;
}
