#include "tools/cli/Values.h"

#include <cmath>

#include "journal/Format.h"
#include "model/ParamRecord.h"
#include "pages/entry/NumberText.h"
#include "pages/entry/PageRules.h"

namespace cli {

namespace {

std::string Number(double v) {
  return journal::FormatNumber(v);
}

std::string Limits(const ValueRule& rule) {
  std::string text;
  if (rule.minimum && rule.maximum) {
    text = Number(*rule.minimum) + " to " + Number(*rule.maximum);
  } else if (rule.minimum) {
    text = (rule.aboveMinimum ? "above " : "at least ") + Number(*rule.minimum);
  } else if (rule.maximum) {
    text = "at most " + Number(*rule.maximum);
  }
  if (rule.odd) text += text.empty() ? "odd" : ", odd";
  return text;
}

std::string FieldName(const ValueRule& rule) {
  return rule.no == 0 ? rule.name : rule.name + " (" + std::to_string(rule.no) + ")";
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The whole text one hexadecimal word, "0x" optional.
std::optional<double> HexValue(const std::string& text) {
  const size_t start = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? 2 : 0;
  if (text.size() == start) return std::nullopt;
  for (size_t i = start; i < text.size(); ++i) {
    if (!IsHexDigit(text[i])) return std::nullopt;
  }
  uint32_t word = 0;
  if (!entry::ScanHexWord(text, word)) return std::nullopt;
  return word;
}

}  // namespace

ValueRule ParamRule(uint16_t no, bool byte) {
  ValueRule rule;
  rule.no = no;
  const model::ParamField* field = model::FindParamField(no);
  rule.name = field != nullptr ? std::string(field->name) : "parameter";
  if (no == model::kParamNoLogLevel) {
    rule = LogLevelRule("LogLevel");
    rule.no = no;
  } else if (no == model::kParamNoLatch || no == model::kParamNoReferenceFlag) {
    rule.name = no == model::kParamNoLatch ? "Latch" : "ReferenceFlag";
    rule.allowNegative = false;
    rule.minimum = 0;
    rule.maximum = 1;
    rule.integer = true;
  } else if (const entry::FieldRule* r = entry::FindFieldRule(no)) {
    const entry::FieldCheck& c = r->check;
    rule.hex = c.hex;
    if (r->validated && !c.hex) {
      rule.allowNegative = c.allowNegative;
      const double scale = r->conversion == entry::Conversion::Percent ? 100.0 : 1.0;
      rule.minimum = c.minimum / scale;
      rule.maximum = c.maximum / scale;
      rule.integer = r->conversion == entry::Conversion::Integer;
      rule.odd = r->odd;
    }
  }
  if (byte) {
    rule.byte = true;
    rule.hex = false;
    rule.allowNegative = false;
    rule.integer = true;
    rule.minimum = std::max(rule.minimum.value_or(0.0), 0.0);
    rule.maximum = std::min(rule.maximum.value_or(255.0), 255.0);
  }
  return rule;
}

ValueRule PositionRule(const std::string& option) {
  ValueRule rule;
  rule.name = option;
  return rule;
}

ValueRule VelocityRule(const std::string& option) {
  ValueRule rule;
  rule.name = option;
  rule.allowNegative = false;
  rule.minimum = 0;
  rule.aboveMinimum = true;
  return rule;
}

ValueRule LogLevelRule(const std::string& option) {
  ValueRule rule;
  rule.name = option;
  rule.allowNegative = false;
  rule.minimum = 0;
  rule.maximum = 3;
  rule.integer = true;
  return rule;
}

std::optional<double> CheckValue(const std::string& text, const ValueRule& rule, bool force,
                                 std::string& why) {
  const std::string field = FieldName(rule);
  const std::string limits = Limits(rule);
  const std::string quoted = "\"" + text + "\"";
  double value = 0;
  if (rule.hex) {
    const auto word = HexValue(text);
    if (!word) {
      why = field + ": " + quoted + " is not a hexadecimal word (0 to 0xFFFFFFFF)";
      return std::nullopt;
    }
    return word;
  }
  std::string cleaned = text;
  const bool clean = entry::CleanNumberText(cleaned, rule.allowNegative || force);
  if (!clean || !entry::ScanReal(cleaned, value) || !std::isfinite(value)) {
    why = field + ": " + quoted + " is not a number the window takes (" +
          (rule.allowNegative || force ? "an optional minus, " : "no sign, ") +
          "digits and one decimal point)";
    if (!limits.empty()) why += "; limits " + limits;
    return std::nullopt;
  }
  if (rule.integer && value != std::trunc(value)) {
    why = field + ": " + quoted + " is not a whole number; limits " + limits;
    return std::nullopt;
  }
  const bool below =
      rule.minimum && (rule.aboveMinimum ? !(value > *rule.minimum) : !(value >= *rule.minimum));
  const bool above = rule.maximum && value > *rule.maximum;
  const bool even = rule.odd && std::fmod(value, 2.0) == 0.0;
  const bool aboveByte = rule.byte && (value > 255 || value < 0);
  if (aboveByte || (!force && (below || above || even))) {
    why = field + ": " + Number(value) + " is outside its limits " +
          (aboveByte && force ? std::string("0 to 255 (one byte)") : limits);
    if (!aboveByte && rule.no != 0) why += " (--force sends it anyway)";
    return std::nullopt;
  }
  return value;
}

}  // namespace cli
