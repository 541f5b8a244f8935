// Process-image decoders: any block of any record in any layout version.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/ProcessImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto id = static_cast<model::IoRecordId>(data[0] % model::kIoRecordCount);
  const auto layout = static_cast<int16_t>(data[1] % 8);
  model::IoRecords io;
  model::DecodeIoBlock(id, layout, std::span<const uint8_t>(data + 2, size - 2),
                       model::IoBytes(io, id));
  return 0;
}
