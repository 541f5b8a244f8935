#include "model/ParamBatch.h"

#include "oxa/Bytes.h"

namespace model {

using oxa::bytes::Get;
using oxa::bytes::Put;

std::array<uint8_t, kBatchRequestBytes> EncodeBatchRequest(const ParamBatchRequest& req) {
  std::array<uint8_t, kBatchRequestBytes> wire{};
  for (size_t i = 0; i < kBatchSlots; ++i) {
    Put(wire, 2 * i, req.doubleNos[i]);
    Put(wire, 2 * (kBatchSlots + i), req.intNos[i]);
  }
  return wire;
}

bool DecodeBatchRequest(std::span<const uint8_t> wire, ParamBatchRequest& req) {
  if (wire.size() != kBatchRequestBytes) return false;
  for (size_t i = 0; i < kBatchSlots; ++i) {
    Get(wire, 2 * i, req.doubleNos[i]);
    Get(wire, 2 * (kBatchSlots + i), req.intNos[i]);
  }
  return true;
}

std::array<uint8_t, kBatchAnswerBytes> EncodeBatchAnswer(const ParamBatchAnswer& answer) {
  std::array<uint8_t, kBatchAnswerBytes> wire{};
  for (size_t i = 0; i < kBatchSlots; ++i) {
    Put(wire, 8 * i, answer.doubles[i]);
    Put(wire, 8 * kBatchSlots + 4 * i, answer.ints[i]);
  }
  return wire;
}

bool DecodeBatchAnswer(std::span<const uint8_t> wire, ParamBatchAnswer& answer) {
  if (wire.size() < kBatchAnswerBytes) return false;
  for (size_t i = 0; i < kBatchSlots; ++i) {
    Get(wire, 8 * i, answer.doubles[i]);
    Get(wire, 8 * kBatchSlots + 4 * i, answer.ints[i]);
  }
  return true;
}

int32_t RequestParamBatch(const AxisLink& link, const ParamBatchRequest& req,
                          ParamBatchAnswer& answer) {
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  const auto request = EncodeBatchRequest(req);
  std::array<uint8_t, kBatchAnswerBytes> wire{};
  const int32_t rc = link.oxa->OxaSyncReadWriteReq(&link.addr, RecordGroup(link.axis), kBatchOffset,
                                                   kBatchAnswerBytes, wire.data(),
                                                   kBatchRequestBytes, request.data());
  if (rc != oxa::kOk) return rc;
  DecodeBatchAnswer(wire, answer);
  return oxa::kOk;
}

}  // namespace model
