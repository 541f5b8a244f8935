// The writer of parameter files, format 215: the version record, then every number of the table
// in table order, each typed as the reader reads it.
#include <bit>

#include "files/ParamFile.h"
#include "oxa/Bytes.h"

namespace files {

std::vector<uint8_t> EncodeParameterFile(const model::ParamRecord& param,
                                         const model::LinRecord& lin) {
  size_t numbers = 0;
  for (const FileParam& p : FileParams()) numbers += p.count;
  std::vector<uint8_t> out((1 + numbers) * kFileRecordSize, 0);

  using oxa::bytes::StoreLe;
  StoreLe<uint32_t>(out.data(), static_cast<uint32_t>(kFileFormatCurrent));
  uint8_t* rec = out.data() + kFileRecordSize;
  for (const FileParam& p : FileParams()) {
    for (size_t i = 0; i < p.count; ++i, rec += kFileRecordSize) {
      StoreLe<uint32_t>(rec, static_cast<uint32_t>(p.no + i));
      const FileValue v = GetFileValue(p, i, param, lin);
      switch (p.type) {
        case FileValueType::Real:
          StoreLe<uint64_t>(rec + 4, std::bit_cast<uint64_t>(v.real));
          break;
        case FileValueType::Bool:
        case FileValueType::Int32:
          StoreLe<uint32_t>(rec + 4, static_cast<uint32_t>(v.integer));
          break;
        case FileValueType::Int16:
        case FileValueType::Word16:
          StoreLe<uint16_t>(rec + 4, static_cast<uint16_t>(v.integer));
          break;
      }
    }
  }
  return out;
}

}  // namespace files
