// Reading the parameter record of an axis from its axis server.
//
// The method follows the library version: from V3.0.22 by number in batches, V3.0.20 and
// V3.0.21 one number at a time, older libraries the whole StParam block in the layout of word 2
// of the record version table.
#pragma once

#include <cstdint>
#include <span>

#include "model/Link.h"
#include "model/ParamBatch.h"
#include "model/ParamRecord.h"
#include "model/RuntimeRecord.h"

namespace model {

enum class ParamReadMethod { Batch, Single, Block };
ParamReadMethod ChooseParamReadMethod(const LibVersion& lib);

// Numbered single reads at 0x800F0000 + n, offset `no`. On success the destination receives the
// value, on failure `def`. 0x702 and 0x703 (the server does not know the number) count as
// success with the default kept. Any other failure is reported through link.report (read, no
// stop) and returned.
//
// ReadParamNoReal: 8 bytes, a double.
int32_t ReadParamNoReal(const AxisLink& link, double& dst, double def, uint16_t no);
// ReadParamNoInt16: 8 bytes, a double truncated toward zero; a value outside the 32-bit range
// (or NaN) is clamped first, then the low 16 bits are kept, so 33153.0 gives 0x8181.
int32_t ReadParamNoInt16(const AxisLink& link, int16_t& dst, int16_t def, uint16_t no);
// ReadParamNoByte: 1 byte; any byte but 0 is true.
int32_t ReadParamNoByte(const AxisLink& link, bool& dst, bool def, uint16_t no);

// The batch requests of one page, as the reader sends them: for every page with a batch group
// (0, 3, 4, 5, 6, 7) its slots by the library's version conditions; no request for any other.
// For page 12 all six groups in reading order.
struct ParamBatchGroup {
  int page;
  ParamBatchRequest request;
};
size_t ParamBatchGroups(int page, const LibVersion& lib, std::span<ParamBatchGroup> out);

// Stores a batch answer into the records: doubles as they are, integer slots into booleans
// (only 1 is true), 16-bit fields (low 16 bits) and 32-bit fields (unchanged); 11009 and 11010
// into the runtime record's EncoderInfo1/2. Slots holding 0 and numbers the record does not
// know are skipped.
void ApplyParamBatch(const ParamBatchRequest& request, const ParamBatchAnswer& answer,
                     ParamRecord& rec, RuntimeRecord& runtime);

// Reads the parameters of `page` (0, 3 to 8, or 12 for all; any other page runs only the closing
// steps of the numbered methods) into `rec`. Returns 0, -1 when the block method is needed and
// the StParam layout version has none (nothing sent, `rec` unchanged), or the Oxa code of the
// failed request. ReferenceVelo is copied into `runtime` after a successful block read and after
// the Global page has been read by number.
int32_t ReadParamRecord(int page, const AxisLink& link, ParamRecord& rec, RuntimeRecord& runtime);

}  // namespace model
