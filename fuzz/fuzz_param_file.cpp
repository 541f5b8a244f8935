// Parameter files of arbitrary bytes and lengths: every whole record is read, the rest ignored,
// the result is what applying the records one by one gives, and what was read writes out and
// reads back unchanged.
#include <cstdint>

#include "../tests/files/ReferenceReader.h"
#include "files/ParamFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  model::ParamRecord param;
  model::LinRecord lin;
  const files::FileLoadResult r = files::ReadParameterData({data, size}, param, lin);
  if (!r.opened || r.recordsRead != size / files::kFileRecordSize ||
      r.trailingBytes != size % files::kFileRecordSize || r.nFileFormat > 0x7FFF) {
    __builtin_trap();
  }
  if (r.recordsRead > 0 && r.numbersSkipped >= r.recordsRead) __builtin_trap();

  model::ParamRecord refParam;
  model::LinRecord refLin;
  if (files_test::ReferenceRead({data, size}, refParam, refLin) != r.nFileFormat) __builtin_trap();
  if (!files::DiffParameterSets(param, lin, refParam, refLin).empty()) __builtin_trap();

  const std::vector<uint8_t> again = files::EncodeParameterFile(param, lin);
  model::ParamRecord param2;
  model::LinRecord lin2 = lin;
  files::ReadParameterData(again, param2, lin2);
  if (!files::DiffParameterSets(param, lin, param2, lin2).empty()) __builtin_trap();
  return 0;
}
