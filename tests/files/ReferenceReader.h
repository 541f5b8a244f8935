// The reading of a parameter file written down the plain way, record by record: the default pass
// of the format before every record, then the record's value. The reader proper stages its
// records instead and must give the very same result.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

#include "files/ParamFile.h"
#include "oxa/Bytes.h"

namespace files_test {

inline int ReferenceRead(std::span<const uint8_t> bytes, model::ParamRecord& param,
                         model::LinRecord& lin) {
  model::ResetLinRecord(lin);
  model::ResetParamRecord(param);
  int format = 0;
  for (size_t at = 0; bytes.size() - at >= files::kFileRecordSize; at += files::kFileRecordSize) {
    const uint8_t* rec = bytes.data() + at;
    uint16_t no = static_cast<uint16_t>(oxa::bytes::LoadLe<uint32_t>(rec) & 0x7FFF);
    if (at == 0) format = no;
    files::ApplyFormatDefaults(format, param);
    if (at == 0) continue;
    if (format <= 205 && no >= 6 && no <= 13) no = static_cast<uint16_t>(no + 2);
    size_t index = 0;
    const files::FileParam* p = files::FindFileParam(no, index);
    if (!p) continue;
    void* field = p->at(param, lin, index);
    const uint64_t v = oxa::bytes::LoadLe<uint64_t>(rec + 4);
    switch (p->type) {
      case files::FileValueType::Real:
        *static_cast<double*>(field) = std::bit_cast<double>(v);
        break;
      case files::FileValueType::Bool:
        *static_cast<bool*>(field) = (v & 0xFFFFFFFFu) != 0;
        break;
      case files::FileValueType::Int16:
        *static_cast<int16_t*>(field) = static_cast<int16_t>(v & 0xFFFF);
        break;
      case files::FileValueType::Word16:
        *static_cast<uint16_t*>(field) = static_cast<uint16_t>(v & 0xFFFF);
        break;
      case files::FileValueType::Int32:
        *static_cast<int32_t*>(field) = static_cast<int32_t>(v & 0xFFFFFFFFu);
        break;
    }
    if (no == 1200) param.OverlapCompensation2 = param.OverlapCompensation;
  }
  return format;
}

}  // namespace files_test
