// Arbitrary bytes as an StParam block of every layout version, and as a batch answer of one
// page's request (the first byte picks the library and the page, so that one input decodes the
// answer once).
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/ParamLayouts.h"
#include "model/ParamRead.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> in(data, size);
  for (int version = -1; version <= 15; ++version) {
    model::ParamRecord rec{};
    if (model::DecodeParamBlock(version, in, rec)) {
      // What was read must write back into a block of the same layout.
      std::array<uint8_t, model::kParamBlockMaxLength> out{};
      const uint32_t length = model::ParamBlockLength(version);
      if (!model::EncodeParamBlock(version, rec, std::span<uint8_t>(out.data(), length))) {
        __builtin_trap();
      }
    }
    if (model::FileNameText(rec).size() > 255) __builtin_trap();
  }

  model::ParamBatchAnswer answer;
  if (!model::DecodeBatchAnswer(in, answer)) return 0;
  std::array<model::ParamBatchGroup, 6> groups{};
  const model::LibVersion lib =
      (in[0] & 1) != 0 ? model::LibVersion{3, 0, 35} : model::LibVersion{3, 0, 22};
  const size_t n = model::ParamBatchGroups(12, lib, groups);
  if (n > 0) {
    model::ParamRecord rec{};
    model::RuntimeRecord runtime;
    model::ApplyParamBatch(groups[(in[0] >> 1) % n].request, answer, rec, runtime);
  }
  // The same bytes as a request whose numbers are anything at all.
  model::ParamBatchRequest req;
  if (size >= model::kBatchAnswerBytes + model::kBatchRequestBytes &&
      model::DecodeBatchRequest(in.subspan(model::kBatchAnswerBytes, model::kBatchRequestBytes),
                                req)) {
    model::ParamRecord rec{};
    model::RuntimeRecord runtime;
    model::ApplyParamBatch(req, answer, rec, runtime);
  }
  return 0;
}
