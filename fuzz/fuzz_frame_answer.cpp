// The client side of OXA/TCP: an arbitrary answer to a request. The first five input bytes
// choose the invoke id and command the client waits for (or take them from the frame itself,
// so that the body checks are reached too); the rest is what the controller sent.
#include <cstddef>
#include <cstdint>
#include <span>

#include "oxa/Bytes.h"
#include "oxa/Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace oxa::wire;
  if (size < 5) return 0;
  const std::span<const uint8_t> input(data, size);
  std::span<const uint8_t> stream = input.subspan(5);
  uint32_t invokeId = oxa::bytes::At<uint32_t>(input, 0);
  auto command = static_cast<oxa::Command>(1 + data[4] % 3);
  if ((data[4] & 0x80) != 0 && stream.size() >= kHeaderSize) {
    invokeId = oxa::bytes::At<uint32_t>(stream, 8);
    command = static_cast<oxa::Command>(oxa::bytes::At<uint16_t>(stream, 12));
  }
  Header header;
  Answer answer;
  const Scan scan = ScanAnswer(stream, invokeId, command, header, answer);
  if (scan.status == Scan::NeedMore &&
      (scan.size <= stream.size() || scan.size > kHeaderSize + kMaxBody)) {
    __builtin_trap();
  }
  if (scan.status == Scan::Complete) {
    if (scan.size > stream.size() || header.invokeId != invokeId || header.command != command ||
        answer.data.size() + kAnswerFixed + kHeaderSize != scan.size) {
      __builtin_trap();
    }
    unsigned sum = 0;
    for (const uint8_t b : answer.data) sum += b;
    (void)sum;
  }
  return 0;
}
