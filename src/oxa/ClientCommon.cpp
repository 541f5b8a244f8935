#include "oxa/ClientCommon.h"

#include <atomic>

#include "oxa/Frame.h"

namespace oxa::detail {

int32_t CheckRequest(const OxaAddr* addr, uint32_t readLength, const void* readData,
                     uint32_t writeLength, const void* writeData) {
  if (addr == nullptr) return kErrInvalidData;
  if ((readLength != 0 && readData == nullptr) || (writeLength != 0 && writeData == nullptr)) {
    return kErrInvalidData;
  }
  if (readLength > wire::kMaxReadLength || writeLength > wire::kMaxWriteLength) {
    return kErrInvalidSize;
  }
  return kOk;
}

uint16_t NextPortNumber() {
  static std::atomic<uint32_t> counter{0};
  const uint32_t n = counter.fetch_add(1, std::memory_order_relaxed);
  return static_cast<uint16_t>(32768u + n % 32768u);
}

}  // namespace oxa::detail
