// Cleaning and checking of typed numbers, as the pages' boxes get them back.
#include <gtest/gtest.h>

#include <string>

#include "pages/entry/NumberText.h"

namespace {

using entry::FieldCheck;
using namespace std::string_literals;

TEST(EntryNumberTextTest, FieldsAreCleanedCheckedAndWrittenBack) {
  const FieldCheck plain{false, false, 0.001, 1000000, 100};
  const FieldCheck negative{true, false, -10, 10, 0};
  const FieldCheck hex{false, true, 0, 4294967296, 0};
  struct Case {
    std::string typed;
    FieldCheck check;
    std::string shown;
    bool valid;
  };
  const Case cases[] = {
      {"  +12,5", plain, "12.5", true},
      {" + +7", plain, "7", true},
      {"1.2.3", plain, "1.23", false},
      {"3,5,", plain, "3.5", false},
      {"-5", plain, "5", false},
      {"a 5", plain, "5", false},
      {"1 000", plain, "1000", false},
      {"12\0x"s, plain, "12", false},
      {"1e3", plain, "13", false},
      {"abc", plain, "100.000000", false},
      {"", plain, "100.000000", false},
      {".", plain, "100.000000", false},
      {"0.0001", plain, "0.001000", false},
      {"2000000", plain, "1000000.000000", false},
      {std::string(400, '9'), plain, "1000000.000000", false},
      {" -2,5", negative, "-2.5", true},
      {"-,5", negative, "-.5", true},
      {"a-5", negative, "-5", false},
      {"5-", negative, "5", false},
      {"--1", negative, "-1", false},
      {"-12,5", negative, "-10.000000", false},
      // Hexadecimal words are never rewritten.
      {"FFFF", hex, "FFFF", true},
      {" 0xffffffff", hex, " 0xffffffff", true},
      {"xyz", hex, "xyz", false},
      {"-1", hex, "-1", false},
      {"1FFFFFFFF", hex, "1FFFFFFFF", false},
  };
  for (const Case& c : cases) {
    std::string text = c.typed;
    EXPECT_EQ(entry::ValidateField(text, c.check), c.valid) << c.typed;
    EXPECT_EQ(text, c.shown) << c.typed;
  }
}

}  // namespace
