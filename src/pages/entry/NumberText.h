// Typed numbers: the cleaning of an edit box's text, the check of one field against its limits,
// and the parsing and formatting the pages use for them.
//
// Everything here reads and writes numbers with "." as the decimal point, whatever locale the
// process runs in (the application sets the user's locale at start-up).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace entry {

// Cleans a typed number in place, left to right: at the first position blanks and "+" signs are
// dropped and a "-" is kept when `allowNegative`; "," becomes "."; the first "." is kept and
// any further one dropped; digits are kept; every other character (a "-" further on included)
// is dropped. Returns true when nothing but leading blanks and plus signs had to go. An empty
// text stays empty and counts as clean.
bool CleanNumberText(std::string& text, bool allowNegative);

// What one edit box accepts.
struct FieldCheck {
  bool allowNegative = false;
  bool hex = false;  // a hexadecimal word: no cleaning, no replacement
  double minimum = 0;
  double maximum = 0;
  double replacement = 0;
};

// Checks the text of a shown edit box and returns whether the field is acceptable.
//
// A hexadecimal text is parsed as a 32-bit word and must lie within the limits; it is never
// rewritten. Any other text is cleaned (unclean is invalid), then parsed: a text that does not
// parse becomes the replacement value, one below the minimum the minimum and one above the
// maximum the maximum (each invalid, each written with six decimals). `text` always holds the
// result, also for a valid field, so that "1,5" comes back as "1.5".
bool ValidateField(std::string& text, const FieldCheck& check);

// sscanf-style parsing in the "C" locale: leading white space skipped, trailing characters
// ignored; false when no number starts the text.
// "%lf": a real (exponent, "inf" and "nan" included; an overflow gives ±HUGE_VAL).
bool ScanReal(std::string_view text, double& value);
// "%ld": a decimal integer; an overflow saturates.
bool ScanInteger(std::string_view text, long& value);
// "%lX" for a 32-bit word: hexadecimal digits with an optional "0x"; false for a minus sign and
// for a value that does not fit 32 bits.
bool ScanHexWord(std::string_view text, uint32_t& value);

// "%lf": six decimals.
std::string FormatReal(double value);

}  // namespace entry
