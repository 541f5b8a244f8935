// LinRecord decoder: any block in any layout version.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/LinRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto layout = static_cast<int16_t>(data[0] % 7);
  model::LinRecord rec;
  model::DecodeLinBlock(layout, std::span<const uint8_t>(data + 1, size - 1), rec);
  return 0;
}
