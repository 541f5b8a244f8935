// Little-endian reads and writes at an offset of a byte buffer, every one bounds-checked.
//
// A read outside the buffer returns false and leaves the value as it was; a write outside it
// returns false and writes nothing. Doubles travel as their IEEE-754 bit pattern.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

namespace oxa::bytes {

template <class T>
concept Wire = std::integral<T> || std::same_as<T, double> || std::same_as<T, float>;

template <std::unsigned_integral T>
constexpr T LoadLe(const uint8_t* p) {
  T v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v = static_cast<T>(v | static_cast<T>(T{p[i]} << (8 * i)));
  return v;
}

template <std::unsigned_integral T>
constexpr void StoreLe(uint8_t* p, T v) {
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

template <class T>
struct UnsignedOf;
template <std::integral T>
struct UnsignedOf<T> {
  using type = std::make_unsigned_t<T>;
};
template <>
struct UnsignedOf<bool> {
  using type = uint8_t;
};
template <>
struct UnsignedOf<double> {
  using type = uint64_t;
};
template <>
struct UnsignedOf<float> {
  using type = uint32_t;
};

// Reads a T at `offset`; false (and `out` untouched) when it does not fit.
template <Wire T>
constexpr bool Get(std::span<const uint8_t> buf, size_t offset, T& out) {
  if (offset > buf.size() || buf.size() - offset < sizeof(T)) return false;
  using U = typename UnsignedOf<T>::type;
  const U u = LoadLe<U>(buf.data() + offset);
  if constexpr (std::same_as<T, bool>) {
    out = u != 0;
  } else {
    out = std::bit_cast<T>(u);
  }
  return true;
}

// Writes a T at `offset`; false (and nothing written) when it does not fit.
template <Wire T>
constexpr bool Put(std::span<uint8_t> buf, size_t offset, T value) {
  if (offset > buf.size() || buf.size() - offset < sizeof(T)) return false;
  using U = typename UnsignedOf<T>::type;
  U u;
  if constexpr (std::same_as<T, bool>) {
    u = value ? 1 : 0;
  } else {
    u = std::bit_cast<U>(value);
  }
  StoreLe<U>(buf.data() + offset, u);
  return true;
}

// Reads a T at `offset` of a buffer the caller has already checked to be long enough.
template <Wire T>
constexpr T At(std::span<const uint8_t> buf, size_t offset) {
  T v{};
  Get(buf, offset, v);
  return v;
}

}  // namespace oxa::bytes
