// The values the axis subcommands send, checked as the window checks them before anything goes
// out: the text cleaned by the entry core's CleanNumberText, then held to the field rule of the
// parameter page (or the command panel's check) that the value belongs to. NaN and inf never
// pass: their letters make the text unclean.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

struct ValueRule {
  std::string name;  // the field's record name ("LagKp"), or the option ("--velocity")
  uint16_t no = 0;   // the parameter number, 0 for a command's value
  bool allowNegative = true;
  std::optional<double> minimum;
  std::optional<double> maximum;
  bool aboveMinimum = false;  // the minimum itself is refused too
  bool integer = false;       // a whole number
  bool odd = false;
  bool hex = false;   // a hexadecimal word, as the Encoder page takes it
  bool byte = false;  // sent as one byte: 0 to 255 even with --force
};

// The rule of parameter number `no` as a numbered write sends it: the field rule of the page
// that edits it, its limits in the unit sent (a percent box's limits as fractions); the menu
// settings 1005 (0 to 3), 1113 and 1116 (0 or 1); for any other number no limits. With `byte`
// the value is one byte in addition: a whole number 0 to 255.
ValueRule ParamRule(uint16_t no, bool byte);

// The destination of Start and SetPos (a sign allowed) and the velocity of Start (no sign, above
// 0), as the command panel cleans them.
ValueRule PositionRule(const std::string& option);
ValueRule VelocityRule(const std::string& option);
// The log level of the Online menu: 0 to 3.
ValueRule LogLevelRule(const std::string& option);

// The value of `text` under `rule`, or none with `why` naming the field, the text and the
// limits. `force` lifts the limits, the sign rule and the odd rule, never the cleaning, the
// byte range or the whole-number rule.
std::optional<double> CheckValue(const std::string& text, const ValueRule& rule, bool force,
                                 std::string& why);

}  // namespace cli
