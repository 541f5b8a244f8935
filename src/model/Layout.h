// Controller record layouts as data.
//
// Every controller record (StParam, StRtData, AxisRef, ...) exists in several byte layouts. A
// layout table lists the canonical record's fields as rows and, per layout version, what the
// block holds for each field: a byte offset, or a rule for a field the layout does not carry
// (set to 0, leave untouched, set to 1). One generic decoder and encoder walk these tables, so a
// wrong offset is a one-line fix in a table, never a change of code.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

#include "oxa/Bytes.h"

namespace model {

enum class WireType : uint8_t { F64, I16, U16, I32, U32, U8, Bool8 };

constexpr size_t WireSize(WireType t) {
  switch (t) {
    case WireType::F64:
      return 8;
    case WireType::I16:
    case WireType::U16:
      return 2;
    case WireType::I32:
    case WireType::U32:
      return 4;
    case WireType::U8:
    case WireType::Bool8:
      return 1;
  }
  return 0;
}

template <class T>
struct WireOf;
template <>
struct WireOf<double> : std::integral_constant<WireType, WireType::F64> {};
template <>
struct WireOf<int16_t> : std::integral_constant<WireType, WireType::I16> {};
template <>
struct WireOf<uint16_t> : std::integral_constant<WireType, WireType::U16> {};
template <>
struct WireOf<int32_t> : std::integral_constant<WireType, WireType::I32> {};
template <>
struct WireOf<uint32_t> : std::integral_constant<WireType, WireType::U32> {};
template <>
struct WireOf<uint8_t> : std::integral_constant<WireType, WireType::U8> {};
template <>
struct WireOf<bool> : std::integral_constant<WireType, WireType::Bool8> {};

template <class T>
struct ElementOf {
  using type = T;
  static constexpr uint16_t count = 1;
};
template <class T, size_t N>
struct ElementOf<std::array<T, N>> {
  using type = T;
  static constexpr uint16_t count = static_cast<uint16_t>(N);
};

// One field of a canonical record: its name, wire type, element count and where it lives.
template <class Rec>
struct FieldRef {
  std::string_view name;
  WireType type;
  uint16_t count;  // elements of an array field, 1 for a scalar
  void* (*at)(Rec&);
};

template <class Rec, class M>
constexpr FieldRef<Rec> MakeFieldRef(std::string_view name, void* (*at)(Rec&)) {
  using E = ElementOf<M>;
  return {name, WireOf<typename E::type>::value, E::count, at};
}

// FIELD(Rec, Name): the FieldRef of record member Rec::Name, named after it.
#define AXTUNE_FIELD(Rec, Name)                    \
  ::model::MakeFieldRef<Rec, decltype(Rec::Name)>( \
      #Name, [](Rec& r) -> void* { return static_cast<void*>(&r.Name); })

// What a layout holds for a field.
struct Slot {
  enum Kind : uint8_t { Offset, Zero, Keep, One };
  Kind kind = Keep;
  uint32_t offset = 0;
};
constexpr Slot At(uint32_t offset) {
  return {Slot::Offset, offset};
}
inline constexpr Slot Z{Slot::Zero, 0};   // the read sets the field to 0
inline constexpr Slot K{Slot::Keep, 0};   // the read leaves the field as it is
inline constexpr Slot ONE{Slot::One, 0};  // the read sets the field to 1 (1.0 for a double)

template <class Rec, size_t NL>
struct LayoutRow {
  FieldRef<Rec> field;
  std::array<Slot, NL> slots;
};

// The layouts of one record kind: their version numbers and block lengths, and the rows.
template <class Rec, size_t NL>
struct LayoutTable {
  std::array<int, NL> versions;
  std::array<uint32_t, NL> lengths;
  std::span<const LayoutRow<Rec, NL>> rows;

  // Column of a layout version, or -1 when the version has no layout.
  constexpr int Column(int version) const {
    for (size_t i = 0; i < NL; ++i) {
      if (versions[i] == version) return static_cast<int>(i);
    }
    return -1;
  }
};

namespace detail {

template <class T>
void Store(void* dst, const T& v) {
  *static_cast<T*>(dst) = v;
}

// Reads element `i` of a field of type `t` at `offset`; false when outside the block.
inline bool ReadElement(WireType t, std::span<const uint8_t> block, size_t offset, void* dst,
                        size_t i) {
  using oxa::bytes::Get;
  switch (t) {
    case WireType::F64:
      return Get(block, offset, static_cast<double*>(dst)[i]);
    case WireType::I16:
      return Get(block, offset, static_cast<int16_t*>(dst)[i]);
    case WireType::U16:
      return Get(block, offset, static_cast<uint16_t*>(dst)[i]);
    case WireType::I32:
      return Get(block, offset, static_cast<int32_t*>(dst)[i]);
    case WireType::U32:
      return Get(block, offset, static_cast<uint32_t*>(dst)[i]);
    case WireType::U8:
      return Get(block, offset, static_cast<uint8_t*>(dst)[i]);
    case WireType::Bool8:
      return Get(block, offset, static_cast<bool*>(dst)[i]);
  }
  return false;
}

inline bool WriteElement(WireType t, std::span<uint8_t> block, size_t offset, const void* src,
                         size_t i) {
  using oxa::bytes::Put;
  switch (t) {
    case WireType::F64:
      return Put(block, offset, static_cast<const double*>(src)[i]);
    case WireType::I16:
      return Put(block, offset, static_cast<const int16_t*>(src)[i]);
    case WireType::U16:
      return Put(block, offset, static_cast<const uint16_t*>(src)[i]);
    case WireType::I32:
      return Put(block, offset, static_cast<const int32_t*>(src)[i]);
    case WireType::U32:
      return Put(block, offset, static_cast<const uint32_t*>(src)[i]);
    case WireType::U8:
      return Put(block, offset, static_cast<const uint8_t*>(src)[i]);
    case WireType::Bool8:
      return Put(block, offset, static_cast<const bool*>(src)[i]);
  }
  return false;
}

inline void SetConstant(WireType t, void* dst, size_t i, int value) {
  switch (t) {
    case WireType::F64:
      static_cast<double*>(dst)[i] = value;
      break;
    case WireType::I16:
      static_cast<int16_t*>(dst)[i] = static_cast<int16_t>(value);
      break;
    case WireType::U16:
      static_cast<uint16_t*>(dst)[i] = static_cast<uint16_t>(value);
      break;
    case WireType::I32:
      static_cast<int32_t*>(dst)[i] = value;
      break;
    case WireType::U32:
      static_cast<uint32_t*>(dst)[i] = static_cast<uint32_t>(value);
      break;
    case WireType::U8:
      static_cast<uint8_t*>(dst)[i] = static_cast<uint8_t>(value);
      break;
    case WireType::Bool8:
      static_cast<bool*>(dst)[i] = value != 0;
      break;
  }
}

}  // namespace detail

// Decodes `block` in layout column `column` into `rec`. Every field is read bounds-checked;
// a field that would reach past the block is left as it was and the result is false (a table
// that fits its block lengths, which the tests check, never does that). Fields that share one
// offset each receive the one wire value.
template <class Rec, size_t NL>
bool DecodeBlock(const LayoutTable<Rec, NL>& table, int column, std::span<const uint8_t> block,
                 Rec& rec) {
  if (column < 0 || static_cast<size_t>(column) >= NL) return false;
  bool ok = true;
  for (const auto& row : table.rows) {
    const Slot slot = row.slots[static_cast<size_t>(column)];
    void* dst = row.field.at(rec);
    const size_t size = WireSize(row.field.type);
    for (size_t i = 0; i < row.field.count; ++i) {
      switch (slot.kind) {
        case Slot::Offset:
          ok = detail::ReadElement(row.field.type, block, slot.offset + i * size, dst, i) && ok;
          break;
        case Slot::Zero:
          detail::SetConstant(row.field.type, dst, i, 0);
          break;
        case Slot::One:
          detail::SetConstant(row.field.type, dst, i, 1);
          break;
        case Slot::Keep:
          break;
      }
    }
  }
  return ok;
}

// Encodes `rec` into `block` (which the caller has zeroed) in layout column `column`. Where
// several fields share one offset, the first of them in table order is what the block carries.
template <class Rec, size_t NL>
bool EncodeBlock(const LayoutTable<Rec, NL>& table, int column, const Rec& rec,
                 std::span<uint8_t> block) {
  if (column < 0 || static_cast<size_t>(column) >= NL) return false;
  bool ok = true;
  // Walk backwards so that the first field of a shared offset is written last and stays.
  for (auto it = table.rows.rbegin(); it != table.rows.rend(); ++it) {
    const Slot slot = it->slots[static_cast<size_t>(column)];
    if (slot.kind != Slot::Offset) continue;
    const void* src = it->field.at(const_cast<Rec&>(rec));
    const size_t size = WireSize(it->field.type);
    for (size_t i = 0; i < it->field.count; ++i) {
      ok = detail::WriteElement(it->field.type, block, slot.offset + i * size, src, i) && ok;
    }
  }
  return ok;
}

// Copies from `from` into `to` every field that EncodeBlock puts into the block of column
// `column`: the fields with an offset, and of fields that share one offset only the first in
// table order. The other fields of `to` stay as they are.
template <class Rec, size_t NL>
void CopyEncodedFields(const LayoutTable<Rec, NL>& table, int column, const Rec& from, Rec& to) {
  if (column < 0 || static_cast<size_t>(column) >= NL) return;
  const auto c = static_cast<size_t>(column);
  for (auto it = table.rows.begin(); it != table.rows.end(); ++it) {
    const Slot slot = it->slots[c];
    if (slot.kind != Slot::Offset) continue;
    const bool shared = std::any_of(table.rows.begin(), it, [&](const auto& earlier) {
      return earlier.slots[c].kind == Slot::Offset && earlier.slots[c].offset == slot.offset;
    });
    if (shared) continue;
    std::memcpy(it->field.at(to), it->field.at(const_cast<Rec&>(from)),
                WireSize(it->field.type) * it->field.count);
  }
}

// True when every offset of every layout lies inside its block; the tests call it per table.
template <class Rec, size_t NL>
constexpr bool FitsBlocks(const LayoutTable<Rec, NL>& table) {
  for (const auto& row : table.rows) {
    for (size_t c = 0; c < NL; ++c) {
      const Slot s = row.slots[c];
      if (s.kind != Slot::Offset) continue;
      if (s.offset + WireSize(row.field.type) * row.field.count > table.lengths[c]) return false;
    }
  }
  return true;
}

}  // namespace model
