#include "i18n/StringTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The IDs the program shows today; the GUI adds its labels to the same table.
std::vector<uint32_t> IdsInUse() {
  std::vector<uint32_t> ids;
  for (uint32_t id = 20002; id <= 20071; ++id) ids.push_back(id);
  for (uint32_t id = 29990; id <= 29992; ++id) ids.push_back(id);
  return ids;
}

bool EmptyOnPurpose(uint32_t id) {
  return id >= 20068 && id <= 20070;
}

bool ValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07u;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

TEST(StringTable, EveryIdInUseHasATextInEveryLanguage) {
  for (uint32_t id : IdsInUse()) {
    for (uint16_t lang : i18n::kLanguages) {
      auto text = i18n::StringTable::Find(id, lang);
      ASSERT_TRUE(text.has_value()) << "ID " << id << " missing in language " << lang;
      if (EmptyOnPurpose(id)) {
        EXPECT_TRUE(text->empty()) << "ID " << id << " language " << lang;
      } else {
        EXPECT_FALSE(text->empty()) << "ID " << id << " empty in language " << lang;
      }
    }
  }
}

TEST(StringTable, EveryRowIsCompleteAndValidUtf8) {
  uint32_t previous = 0;
  for (const i18n::TextEntry& e : i18n::StringTable::Entries()) {
    EXPECT_GT(e.id, previous) << "rows are not ordered by ID";
    previous = e.id;
    // A text is either empty in all three languages or in none of them.
    const bool allEmpty = e.german.empty() && e.english.empty() && e.chinese.empty();
    if (!allEmpty) {
      EXPECT_FALSE(e.german.empty()) << "ID " << e.id << " has no German text";
      EXPECT_FALSE(e.english.empty()) << "ID " << e.id << " has no English text";
      EXPECT_FALSE(e.chinese.empty()) << "ID " << e.id << " has no Chinese text";
    }
    EXPECT_TRUE(ValidUtf8(e.german)) << "ID " << e.id;
    EXPECT_TRUE(ValidUtf8(e.english)) << "ID " << e.id;
    EXPECT_TRUE(ValidUtf8(e.chinese)) << "ID " << e.id;
  }
}

TEST(StringTable, SwitchesLanguageAtRunTime) {
  i18n::StringTable strings;
  EXPECT_EQ(strings.Language(), i18n::kEnglish);
  EXPECT_EQ(strings.Text(29990), "Attention");

  EXPECT_TRUE(strings.SetLanguage(i18n::kGerman));
  EXPECT_EQ(strings.Language(), i18n::kGerman);
  EXPECT_EQ(strings.Text(29990), "Achtung");

  EXPECT_TRUE(strings.SetLanguage(i18n::kChinese));
  EXPECT_EQ(strings.Text(29990), "注意");

  // French is not offered: the table keeps the language it has.
  EXPECT_FALSE(strings.SetLanguage(1036));
  EXPECT_EQ(strings.Language(), i18n::kChinese);

  i18n::StringTable german(i18n::kGerman);
  EXPECT_EQ(german.Text(20012), "Zeitüberschreitung");
  i18n::StringTable fallback(1036);
  EXPECT_EQ(fallback.Language(), i18n::kEnglish);
}

TEST(StringTable, UnknownIdsGiveNothing) {
  i18n::StringTable strings;
  EXPECT_EQ(strings.Text(0), "");
  EXPECT_EQ(strings.Text(20001), "");
  EXPECT_EQ(strings.Text(0xFFFFFFFFu), "");
  EXPECT_FALSE(i18n::StringTable::Find(20001, i18n::kEnglish).has_value());
  EXPECT_FALSE(i18n::StringTable::Find(20012, 1036).has_value());
  EXPECT_TRUE(i18n::StringTable::Find(20069, i18n::kEnglish).has_value());
}

TEST(StringTable, StartLanguageFollowsTheLocaleName) {
  const struct {
    const char* name;
    uint16_t language;
  } cases[] = {
      {"de_DE.UTF-8", i18n::kGerman},  {"de", i18n::kGerman},
      {"de_AT@euro", i18n::kGerman},   {"de-CH", i18n::kGerman},
      {"zh_CN.UTF-8", i18n::kChinese}, {"zh_TW", i18n::kChinese},
      {"en_US.UTF-8", i18n::kEnglish}, {"C", i18n::kEnglish},
      {"POSIX", i18n::kEnglish},       {"", i18n::kEnglish},
      {"dev", i18n::kEnglish},         {"zhx", i18n::kEnglish},
      {"d", i18n::kEnglish},           {"fr_FR", i18n::kEnglish},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(i18n::LanguageForLocale(c.name), c.language) << c.name;
  }
}

}  // namespace
