// The link state that login hands to the document: library version and record version table
// of the last server found.
#pragma once

#include <cstdint>

#include "link/AxisList.h"
#include "model/Link.h"

namespace axlink {

// Libraries V2.0.x report no record version table; fills the words still negative with the
// layouts those builds use. Other versions and words already set stay as they are.
void FillInLegacyVersions(const model::LibVersion& lib, model::RecordVersionTable& table);

struct LinkVersions {
  model::LibVersion lib;
  model::RecordVersionTable table = kUnreadVersionTable;

  void Reset() { *this = LinkVersions{}; }
  // Stores what login hands over and fills in the V2.0.x words.
  void Store(const model::LibVersion& newLib, const model::RecordVersionTable& newTable) {
    lib = newLib;
    table = newTable;
    FillInLegacyVersions(lib, table);
  }
  bool AtLeast(uint16_t major, uint16_t minor, uint16_t build) const {
    return model::LibVersionAtLeast(lib, major, minor, build);
  }
};

// What login needs from the document.
class ILoginDocument {
 public:
  virtual ~ILoginDocument() = default;
  // Resets all records and the link state; sets bCommStopped and forgets the current axis.
  virtual void ResetLink() = 0;
  // Library version and record version table of the last server found.
  virtual void StoreLinkVersions(const model::LibVersion& lib,
                                 const model::RecordVersionTable& table) = 0;
};

}  // namespace axlink
