#include <charconv>

#include "oxa/Oxa.h"

namespace oxa {

std::string NetId::ToString() const {
  std::string s;
  for (size_t i = 0; i < b.size(); ++i) {
    if (i) s += '.';
    s += std::to_string(b[i]);
  }
  return s;
}

std::optional<NetId> NetId::Parse(std::string_view text) {
  NetId id;
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (size_t i = 0; i < id.b.size(); ++i) {
    if (i) {
      if (p == end || *p != '.') return std::nullopt;
      ++p;
    }
    unsigned v = 0;
    auto [next, ec] = std::from_chars(p, end, v);
    if (ec != std::errc{} || next == p || next - p > 3 || v > 255) return std::nullopt;
    id.b[i] = static_cast<uint8_t>(v);
    p = next;
  }
  if (p != end) return std::nullopt;
  return id;
}

}  // namespace oxa
