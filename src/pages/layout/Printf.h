// printf into a string of the size the text needs: "%.6lf" of 1e308 takes over 300 digits, so
// no fixed buffer cuts a value that a controller or a file sent.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace pages::layout {

template <class... Args>
std::string Printf(const char* format, Args... args) {
  std::array<char, 64> small{};
  // The formats are literals at every call; -Wformat-nonliteral cannot see through the template.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int n = std::snprintf(small.data(), small.size(), format, args...);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < small.size()) {
    return std::string(small.data(), static_cast<size_t>(n));
  }
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::snprintf(big.data(), big.size(), format, args...);
#pragma GCC diagnostic pop
  return std::string(big.data(), static_cast<size_t>(n));
}

}  // namespace pages::layout
