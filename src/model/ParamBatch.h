// The batch request by parameter number, shared by the parameter and the runtime reads.
//
// The request holds twenty int16 numbers whose values are doubles (slots 0 to 19) and twenty
// whose values are integers (slots 20 to 39), 0 for an unused slot. The answer holds twenty
// doubles and twenty int32 in the order of the slots. Both travel little-endian to index group
// 0x8000F000 + n, offset 24, with one read-write request.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/Link.h"

namespace model {

inline constexpr size_t kBatchSlots = 20;
inline constexpr uint32_t kBatchOffset = 24;
inline constexpr uint32_t kBatchRequestBytes = 80;
inline constexpr uint32_t kBatchAnswerBytes = 240;

struct ParamBatchRequest {
  std::array<int16_t, kBatchSlots> doubleNos{};
  std::array<int16_t, kBatchSlots> intNos{};
};

struct ParamBatchAnswer {
  std::array<double, kBatchSlots> doubles{};
  std::array<int32_t, kBatchSlots> ints{};
};

std::array<uint8_t, kBatchRequestBytes> EncodeBatchRequest(const ParamBatchRequest& req);
// False when `wire` is not exactly one request long.
bool DecodeBatchRequest(std::span<const uint8_t> wire, ParamBatchRequest& req);

std::array<uint8_t, kBatchAnswerBytes> EncodeBatchAnswer(const ParamBatchAnswer& answer);
// False when `wire` is shorter than one answer; extra bytes are ignored.
bool DecodeBatchAnswer(std::span<const uint8_t> wire, ParamBatchAnswer& answer);

// Sends `req` to link's axis; 0 and `answer` filled, or the Oxa error code and `answer`
// untouched.
int32_t RequestParamBatch(const AxisLink& link, const ParamBatchRequest& req,
                          ParamBatchAnswer& answer);

// Index groups of an axis n.
constexpr uint32_t RecordGroup(uint16_t axis) {
  return 0x8000F000u + axis;
}
constexpr uint32_t ParamGroup(uint16_t axis) {
  return 0x800F0000u + axis;
}

}  // namespace model
