// The server side of OXA/TCP: request frames scanned from an arbitrary byte stream, the way a
// connection's buffer is scanned, frame after frame until one is bad or incomplete.
#include <cstddef>
#include <cstdint>
#include <span>

#include "oxa/Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace oxa::wire;
  std::span<const uint8_t> stream(data, size);
  for (;;) {
    Header header;
    oxa::OxaRequest request;
    const Scan scan = ScanRequest(stream, header, request);
    if (scan.status == Scan::NeedMore) {
      if (scan.size <= stream.size() || scan.size > kHeaderSize + kMaxBody) __builtin_trap();
      break;
    }
    if (scan.status == Scan::Bad) break;
    if (scan.size > stream.size() || request.readLength > kMaxReadLength ||
        request.writeData.size() + kRequestFixed + kHeaderSize != scan.size) {
      __builtin_trap();
    }
    // The write data must lie inside the frame.
    unsigned sum = 0;
    for (const uint8_t b : request.writeData) sum += b;
    (void)sum;
    stream = stream.subspan(scan.size);
  }
  return 0;
}
