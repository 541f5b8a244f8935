// Runtime record decoders: a StRtData block in any layout and a batch answer, as a server
// could send them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/ParamBatch.h"
#include "model/RuntimeRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto layout = static_cast<int16_t>(data[0] % 12);
  const std::span<const uint8_t> rest(data + 1, size - 1);

  model::RuntimeRecord rec;
  model::DecodeRuntimeBlock(layout, rest, rec);

  // The same bytes as a batch answer to the request of an old and a new library.
  model::ParamBatchAnswer answer;
  if (model::DecodeBatchAnswer(rest, answer)) {
    for (const model::LibVersion lib : {model::LibVersion{3, 0, 33}, model::LibVersion{3, 0, 34}}) {
      model::RuntimeRecord r;
      r.ReferenceVelo = rest.empty() ? 0.0 : rest[0] / 100.0;
      model::ApplyRuntimeBatch(model::RuntimeBatchRequest(lib), answer, r);
    }
  }
  model::ParamBatchRequest req;
  model::DecodeBatchRequest(rest.first(rest.size() < 80 ? rest.size() : 80), req);
  return 0;
}
