// The user-interface texts of Axtune in German, English and Chinese, by numeric ID.
//
// The texts live in Strings.inc, one entry per ID with its three language columns, compiled into
// the library. The table is checked at compile time: IDs are unique. There is no global
// instance; the application owns one table and hands it to whoever shows texts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace i18n {

// Language identifiers as the platform names them.
inline constexpr uint16_t kGerman = 1031;
inline constexpr uint16_t kEnglish = 1033;
inline constexpr uint16_t kChinese = 2052;

inline constexpr uint16_t kLanguages[] = {kGerman, kEnglish, kChinese};

// Chooses the start-up language from a locale name such as "de_DE.UTF-8" or "zh_CN": German
// for "de", Chinese for "zh", English for everything else (also for an empty or unset name).
uint16_t LanguageForLocale(std::string_view localeName);

// One row of the table: an ID and its text in every language (UTF-8).
struct TextEntry {
  uint32_t id = 0;
  std::string_view german;
  std::string_view english;
  std::string_view chinese;
};

class StringTable {
 public:
  explicit StringTable(uint16_t language = kEnglish);

  // Switches the language of every following Text() call. Returns false and keeps the current
  // language for an identifier that is not one of kLanguages.
  bool SetLanguage(uint16_t language);
  uint16_t Language() const { return language_; }

  // The text of `id` in the current language; empty for an ID the table does not hold.
  std::string_view Text(uint32_t id) const;
  // The text of `id` in `language`; nullopt for an unknown ID or language. Texts that are empty
  // by design (20068 to 20070) give an empty string, not nullopt.
  static std::optional<std::string_view> Find(uint32_t id, uint16_t language);

  // All rows, ordered by ID.
  static std::span<const TextEntry> Entries();

 private:
  uint16_t language_ = kEnglish;
};

}  // namespace i18n
