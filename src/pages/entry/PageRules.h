// What a Download takes from each parameter page and what it writes: the rule of every edit
// box and check box, keyed by parameter number, and the page's write list with the library
// versions that carry each number.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "model/Link.h"
#include "pages/entry/NumberText.h"

namespace entry {

// How a box's text becomes the field's value.
enum class Conversion : uint8_t {
  Plain,    // "%lf"
  Percent,  // "%lf", times 0.01: typed in percent, held as a fraction
  Integer,  // "%ld", narrowed to the field's width
  Hex,      // "%lX"
};

struct FieldRule {
  uint16_t no;  // the field's parameter number, also the key of its box
  FieldCheck check;
  Conversion conversion = Conversion::Plain;
  bool validated = true;
  // Neither checked nor taken over while the encoder type is 30 or 34 (still written).
  bool skipForEncoder30And34 = false;
  // The value must in addition be odd.
  bool odd = false;
};

// A check box: a boolean field, or one bit of a bit word (`bit` 0: the whole field).
struct CheckRule {
  uint16_t no;
  uint16_t bit = 0;
};

struct VersionCondition {
  enum Kind : uint8_t { Always, From, Before };
  Kind kind = Always;
  model::LibVersion lib;

  bool Holds(const model::LibVersion& v) const {
    const bool atLeast = model::LibVersionAtLeast(v, lib.major, lib.minor, lib.build);
    return kind == Always || (kind == From ? atLeast : !atLeast);
  }
};

// One numbered write. Reals go as doubles, booleans as one byte, integer fields as their value
// taken as an unsigned 32-bit number, unless `signedValue` (enumerations, the zero swap).
struct WriteItem {
  uint16_t no;
  VersionCondition when;
  bool signedValue = false;
};

// What follows the writes.
enum class ReadBack : uint8_t {
  None,
  Redisplay,         // a redisplay request only
  ReadAndRedisplay,  // the page's parameters read again, then a redisplay request
  ReadAndRepaint,    // read again, the page's values shown at once and the view repainted
};

struct PageRules {
  int page;
  std::span<const FieldRule> fields;  // in checking order
  std::span<const CheckRule> checks;
  std::span<const uint16_t> lists;  // selection lists: their selected entry's item data
  std::span<const WriteItem> writes;
  // Before numbered writes exist: the whole record is written (else nothing is).
  bool recordWriteWithoutNumbers;
  ReadBack readBack;
};

// Numbered writes exist from this library on.
inline constexpr model::LibVersion kNumberedWritesFrom{3, 0, 11};

// The rules of a page with something to download (Common, Global, Valve, Encoder, Ctrl,
// Monitor, Auxilary, LinDef); null for any other page.
const PageRules* FindPageRules(int page);

// The edit box rule of parameter number `no` on the page that edits it, and that page in
// `page`; null when no page has a box for it.
const FieldRule* FindFieldRule(uint16_t no, const PageRules** page = nullptr);

// Whether the page's download writes `no` as a numbered write on library `lib`.
bool WritesNumbered(const PageRules& rules, uint16_t no, const model::LibVersion& lib);

// The Common page's type lists: the Download button beside each list and the field it sets.
struct TypeButton {
  int buttonId;
  uint16_t no;
};
// 520 encoder type, 521 reference mode, 522 drive type, 523 profile type.
std::span<const TypeButton> TypeButtons();
std::optional<uint16_t> TypeButtonField(int buttonId);

}  // namespace entry
