#include "model/ParamWrite.h"

#include <array>

#include "model/ParamBatch.h"
#include "model/ParamLayouts.h"
#include "oxa/Bytes.h"

namespace model {
namespace {

int32_t WriteNo(const AxisLink& link, uint16_t no, std::span<const uint8_t> data) {
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  const int32_t rc = link.oxa->OxaSyncWriteReq(&link.addr, ParamGroup(link.axis), no,
                                               static_cast<uint32_t>(data.size()), data.data());
  if (rc != oxa::kOk && link.report != nullptr) {
    link.report->ReportOxaError(false, true, rc, ParamGroup(link.axis), no);
  }
  return rc;
}

}  // namespace

int32_t WriteParamRecord(const AxisLink& link, const ParamRecord& rec) {
  const int version = link.versions[2];
  const uint32_t length = ParamBlockLength(version);
  if (length == 0) return oxa::kErrLayoutUnsupported;
  if (link.oxa == nullptr) return oxa::kErrNoResponse;
  std::array<uint8_t, kParamBlockMaxLength> block{};
  EncodeParamBlock(version, rec, std::span<uint8_t>(block.data(), length));
  return link.oxa->OxaSyncWriteReq(&link.addr, RecordGroup(link.axis), kParamBlockOffset, length,
                                   block.data());
}

int32_t WriteParamNoReal(const AxisLink& link, double value, uint16_t no) {
  std::array<uint8_t, 8> data{};
  oxa::bytes::Put(std::span<uint8_t>(data), 0, value);
  return WriteNo(link, no, data);
}

int32_t WriteParamNoByte(const AxisLink& link, int32_t value, uint16_t no) {
  const std::array<uint8_t, 1> data{static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu)};
  return WriteNo(link, no, data);
}

int32_t WriteParamNoUInt(const AxisLink& link, uint32_t value, uint16_t no) {
  return WriteParamNoReal(link, static_cast<double>(value), no);
}

}  // namespace model
