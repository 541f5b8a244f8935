// The dictionary of parameter numbers: one row per number (or run of numbers, for an array)
// that numbered reads and writes, the batch reader, parameter files, the journal, the pages and
// the emulator know. A row says which record holds the value and where (a typed member pointer),
// the page that shows it, what a failed single read stores, the library that brings the number,
// how it travels on the wire and how a parameter file types it. Get and Set are the only places
// that look at a field's C++ type.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "model/LinRecord.h"
#include "model/Link.h"
#include "model/ParamRecord.h"

namespace model {

// Where the value lives: a field of ParamRecord, an entry of its AuxData, a field of LinRecord,
// or outside both records (the settings of the Online menu, the encoder values of the batch).
enum class ParamHome : uint8_t { Param, Aux, Lin, Outside };

// How a single numbered read or write carries the number: a double, one byte, a 256-byte text,
// a block of doubles; None for the numbers that travel only in parameter files.
enum class ParamWire : uint8_t { None, Double, Byte, Text256, Block };

// How a parameter file types the value; None for the numbers files do not carry.
enum class FileType : uint8_t { None, Real, Bool, Int16, Word16, Int32 };

// The field of a row. Arrays are addressed by the index within the row's run of numbers.
using ParamMember =
    std::variant<std::monostate, double ParamRecord::*, int16_t ParamRecord::*,
                 uint16_t ParamRecord::*, int32_t ParamRecord::*, bool ParamRecord::*,
                 std::array<char, 256> ParamRecord::*, std::array<double, 20> ParamRecord::*,
                 double LinRecord::*, int16_t LinRecord::*, bool LinRecord::*,
                 std::array<double, kLinTabPoints> LinRecord::*>;

struct ParamRow {
  uint16_t no = 0;
  uint16_t count = 1;  // numbers no to no + count - 1; more than 1 for an array
  std::string_view name;
  ParamHome home = ParamHome::Param;
  ParamMember member{};
  int page = kPageNone;
  ParamWire wire = ParamWire::Double;
  FileType file = FileType::None;
  double readFallback = 0;  // what a failed single read stores
  LibVersion since{};       // the first library that knows the number; 0.0.0 for every one

  bool Holds(uint16_t n) const { return n >= no && n - no < count; }
};

// Every row, ascending by number, no two runs overlapping.
std::span<const ParamRow> ParamRows();
// The row whose run holds `no`, or null.
const ParamRow* FindParam(uint16_t no);
// The row of a field's name ("JogFast", "AuxData" is the block 2000), or null.
const ParamRow* FindParam(std::string_view name);
// "AuxData[3]" for an entry of an array, else the row's name.
std::string ParamName(const ParamRow& row, uint16_t no);

// A value whose file type is an integer (Int16, Word16, Int32).
constexpr bool IsIntegral(FileType t) {
  return t == FileType::Int16 || t == FileType::Word16 || t == FileType::Int32;
}

// The records a value is read from or stored into; either may be absent.
template <class P, class L>
struct BasicRecords {
  P* param = nullptr;
  L* lin = nullptr;
};
using Records = BasicRecords<ParamRecord, LinRecord>;
using ConstRecords = BasicRecords<const ParamRecord, const LinRecord>;

// How Set narrows a double into an integer or boolean field.
enum class Narrowing : uint8_t {
  // Integers truncated and refused (false, nothing stored) outside the field's range; booleans
  // true when not 0. What the journal and the read-back store.
  Exact,
  // A controller's answer: truncated toward zero within the 32-bit range (NaN 0), 16-bit fields
  // keep the low 16 bits; a boolean is true only for 1.
  Clamp,
  // A client's value as a controller stores it: truncated within the 64-bit range (NaN 0), the
  // low bits of the field's width kept, so 33153.0 is 0x8181 and 4294967295.0 is -1 in 32 bits;
  // booleans true when not 0.
  Wrap,
};

// A double's integer part within the 64-bit range, NaN as 0: what Wrap keeps the low bits of.
int64_t TruncateTo64(double v);

// The value of number `no` of `row` as a double (booleans 0 or 1); none for a text, a block, a
// value outside the records, or an absent record.
std::optional<double> Get(ConstRecords r, const ParamRow& row, uint16_t no);
std::optional<double> Get(ConstRecords r, uint16_t no);
// Stores `value` into number `no` of `row`. False, and nothing changed, where Get has no value
// or Exact refuses it.
bool Set(Records r, const ParamRow& row, uint16_t no, double value, Narrowing narrowing);
bool Set(Records r, uint16_t no, double value, Narrowing narrowing);

}  // namespace model
