#include "i18n/StringTable.h"
#include "pages/layout/PageTables.h"
#include "pages/layout/TypeNames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace {

// Well-formed UTF-8 as far as a hand-edited table can break it: no stray continuation bytes, no
// invalid lead bytes, no cut-off sequences.
bool ValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
    if ((c >= 0x80 && c < 0xC2) || c > 0xF4 || (extra > 0 && i + extra >= s.size())) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// Walks every ID the program shows today; the GUI adds its labels to the same table.
TEST(StringTable, EveryIdInUseHasATextInEveryLanguage) {
  auto check = [](uint32_t id) {
    const bool emptyOnPurpose = id >= 20068 && id <= 20070;  // codes 0x4F00 to 0x4F02
    for (uint16_t lang : i18n::kLanguages) {
      auto text = i18n::StringTable::Find(id, lang);
      ASSERT_TRUE(text.has_value()) << "ID " << id << " missing in language " << lang;
      EXPECT_EQ(text->empty(), emptyOnPurpose) << "ID " << id << " language " << lang;
    }
  };
  for (uint32_t id = 20002; id <= 20071; ++id) check(id);
  for (uint32_t id = 29990; id <= 29992; ++id) check(id);
  // The page view: tabs, labels and captions, the texts that replace them, and "undefined".
  for (uint32_t id : pages::layout::kTabTextIds) check(id);
  for (const pages::layout::PlacedControl& p : pages::layout::AllControls()) {
    if (p.control->text != 0) check(p.control->text);
  }
  for (uint32_t id : {10016u, 10029u, pages::layout::kTextUndefined}) check(id);
}

TEST(StringTable, EveryRowIsCompleteAndValidUtf8) {
  uint32_t previous = 0;
  for (const i18n::TextEntry& e : i18n::StringTable::Entries()) {
    EXPECT_GT(e.id, previous) << "rows are not ordered by ID";
    previous = e.id;
    // Empty in all three languages or in none of them.
    const int empty = int{e.german.empty()} + int{e.english.empty()} + int{e.chinese.empty()};
    EXPECT_TRUE(empty == 0 || empty == 3) << "ID " << e.id << " lacks a language";
    EXPECT_TRUE(ValidUtf8(e.german) && ValidUtf8(e.english) && ValidUtf8(e.chinese)) << e.id;
  }
  EXPECT_FALSE(ValidUtf8("\xE8\xB6"));  // the check itself sees a cut-off character
  EXPECT_FALSE(ValidUtf8("a\x80"));
}

TEST(StringTable, SwitchesLanguageAtRunTime) {
  i18n::StringTable strings;
  EXPECT_EQ(strings.Language(), i18n::kEnglish);
  EXPECT_EQ(strings.Text(29990), "Attention");
  EXPECT_TRUE(strings.SetLanguage(i18n::kGerman));
  EXPECT_EQ(strings.Text(29990), "Achtung");
  EXPECT_TRUE(strings.SetLanguage(i18n::kChinese));
  EXPECT_EQ(strings.Text(29990), "注意");

  // French is not offered: the table keeps the language it has.
  EXPECT_FALSE(strings.SetLanguage(1036));
  EXPECT_EQ(strings.Language(), i18n::kChinese);
  EXPECT_EQ(i18n::StringTable(1036).Language(), i18n::kEnglish);

  // Unknown IDs give an empty text, never another ID's.
  EXPECT_EQ(strings.Text(20001), "");
  EXPECT_EQ(strings.Text(0xFFFFFFFFu), "");
  EXPECT_FALSE(i18n::StringTable::Find(20012, 1036).has_value());
}

TEST(StringTable, StartLanguageFollowsTheLocaleName) {
  const struct {
    const char* name;
    uint16_t language;
  } cases[] = {
      {"de_DE.UTF-8", i18n::kGerman},  {"de", i18n::kGerman},     {"de_AT@euro", i18n::kGerman},
      {"zh_CN.UTF-8", i18n::kChinese}, {"zh_TW", i18n::kChinese}, {"en_US.UTF-8", i18n::kEnglish},
      {"C", i18n::kEnglish},           {"", i18n::kEnglish},      {"dev", i18n::kEnglish},
      {"zhx", i18n::kEnglish},         {"d", i18n::kEnglish},
  };
  for (const auto& c : cases) EXPECT_EQ(i18n::LanguageForLocale(c.name), c.language) << c.name;
}

}  // namespace
