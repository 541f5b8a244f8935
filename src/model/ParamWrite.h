// Writing the parameter record to an axis server: the whole StParam block for libraries before
// V3.0.11, and the numbered writes of single values.
#pragma once

#include <cstdint>

#include "model/Link.h"
#include "model/ParamRecord.h"

namespace model {

// Builds the block of the StParam layout version (word 2 of link.versions) from zeros and sends
// it to 0x8000F000 + n, offset 2. Returns the write's code, or -1 without any request when the
// version has no layout. Reports nothing: the caller reports the result as a write at offset 2.
int32_t WriteParamRecord(const AxisLink& link, const ParamRecord& rec);

// Numbered writes to 0x800F0000 + n, offset `no`. A failure is reported through link.report
// (write, no stop, that group and offset) and returned.
//
// 8 bytes: the value as a double.
int32_t WriteParamNoReal(const AxisLink& link, double value, uint16_t no);
// 1 byte: the value's low byte.
int32_t WriteParamNoByte(const AxisLink& link, int32_t value, uint16_t no);
// The value converted exactly to a double, then as WriteParamNoReal.
int32_t WriteParamNoUInt(const AxisLink& link, uint32_t value, uint16_t no);

}  // namespace model
