// What a record reader needs to reach one axis, and the shared version types.
#pragma once

#include <array>
#include <cstdint>

#include "oxa/Oxa.h"

namespace model {

// Library version of an axis server: major, minor, build.
struct LibVersion {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t build = 0;

  friend bool operator==(const LibVersion&, const LibVersion&) = default;
};

// The triple compared lexicographically as unsigned 16-bit numbers.
constexpr bool LibVersionAtLeast(const LibVersion& v, uint16_t major, uint16_t minor,
                                 uint16_t build) {
  if (v.major != major) return v.major > major;
  if (v.minor != minor) return v.minor > minor;
  return v.build >= build;
}

// Layout versions of the controller records: word 0 AxisRef, 1 StRtData, 2 StParam, 3 message
// log, 4 LinRecord, 5 to 8 and 11 to 12 the I/O process images.
using RecordVersionTable = std::array<int16_t, 13>;

// The document's error report, as the record readers see it.
class IErrorReport {
 public:
  virtual ~IErrorReport() = default;
  virtual void ReportOxaError(bool stopOnError, bool write, int32_t errorCode, uint32_t indexGroup,
                              uint32_t indexOffset) = 0;
};

// One axis of one axis server, with that server's library version and record version table.
struct AxisLink {
  oxa::IOxa* oxa = nullptr;
  oxa::OxaAddr addr;
  uint16_t axis = 0;
  LibVersion lib;
  RecordVersionTable versions{};
  IErrorReport* report = nullptr;  // may be null: then nothing is reported
};

}  // namespace model
