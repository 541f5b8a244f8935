// AxisRef decoder: any block in any layout version.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "model/AxisRef.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static constexpr int16_t kLayouts[] = {0, 1, 2, 3, 4, 5, 6, 40, 7, -1};
  const int16_t layout = kLayouts[data[0] % std::size(kLayouts)];
  model::AxisRefRecord rec;
  if (model::DecodeAxisRefBlock(layout, std::span<const uint8_t>(data + 1, size - 1), rec)) {
    // The name must always be terminated inside its field.
    if (std::memchr(rec.AxisRefName.data(), 0, rec.AxisRefName.size()) == nullptr) __builtin_trap();
  }
  return 0;
}
