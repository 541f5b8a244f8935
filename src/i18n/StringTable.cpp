#include "i18n/StringTable.h"

#include <algorithm>
#include <array>

namespace i18n {
namespace {

constexpr size_t kTextCount = 0
#define AXT_TEXT(id, de, en, zh) +1
#include "i18n/Strings.inc"
#undef AXT_TEXT
    ;

// The size is spelled out: deducing it from hundreds of initialisers runs into
// clang's fold-expression nesting limit.
constexpr std::array kTable = [] {
  std::array<TextEntry, kTextCount> rows{{
#define AXT_TEXT(id, de, en, zh) TextEntry{id, de, en, zh},
#include "i18n/Strings.inc"
#undef AXT_TEXT
  }};
  std::sort(rows.begin(), rows.end(),
            [](const TextEntry& a, const TextEntry& b) { return a.id < b.id; });
  return rows;
}();

constexpr bool UniqueIds() {
  for (size_t i = 1; i < kTable.size(); ++i) {
    if (kTable[i - 1].id == kTable[i].id) return false;
  }
  return true;
}
static_assert(UniqueIds(), "Strings.inc holds an ID twice");

const TextEntry* Lookup(uint32_t id) {
  auto it = std::lower_bound(kTable.begin(), kTable.end(), id,
                             [](const TextEntry& e, uint32_t key) { return e.id < key; });
  if (it == kTable.end() || it->id != id) return nullptr;
  return &*it;
}

bool Known(uint16_t language) {
  return std::find(std::begin(kLanguages), std::end(kLanguages), language) != std::end(kLanguages);
}

}  // namespace

uint16_t LanguageForLocale(std::string_view localeName) {
  auto starts = [&](std::string_view prefix) {
    if (localeName.size() < prefix.size()) return false;
    if (localeName.substr(0, prefix.size()) != prefix) return false;
    // "de", "de_DE", "de-AT", "de.UTF-8", but not "dev".
    return localeName.size() == prefix.size() || localeName[prefix.size()] == '_' ||
           localeName[prefix.size()] == '-' || localeName[prefix.size()] == '.' ||
           localeName[prefix.size()] == '@';
  };
  if (starts("de")) return kGerman;
  if (starts("zh")) return kChinese;
  return kEnglish;
}

StringTable::StringTable(uint16_t language) {
  SetLanguage(language);
}

bool StringTable::SetLanguage(uint16_t language) {
  if (!Known(language)) return false;
  language_ = language;
  return true;
}

std::string_view StringTable::Text(uint32_t id) const {
  return Find(id, language_).value_or("");
}

std::optional<std::string_view> StringTable::Find(uint32_t id, uint16_t language) {
  const TextEntry* e = Lookup(id);
  if (e == nullptr) return std::nullopt;
  switch (language) {
    case kGerman:
      return e->german;
    case kEnglish:
      return e->english;
    case kChinese:
      return e->chinese;
    default:
      return std::nullopt;
  }
}

std::span<const TextEntry> StringTable::Entries() {
  return kTable;
}

}  // namespace i18n
