// Which axis the document reads: its server's address, its number, and the library version and
// record version table of that server.
//
// Login hands the document only the versions of the last server it found; an axis of any other
// server must be read in its own server's layouts, so every selection carries them along.
#pragma once

#include <cstdint>
#include <optional>

#include "link/AxisList.h"
#include "link/LinkState.h"
#include "oxa/Oxa.h"

namespace axlink {

struct AxisTarget {
  oxa::OxaAddr addr;
  uint16_t number = 0;
  LinkVersions versions;
};

// The axis `number` of the server at `addr`, with that server's versions (V2.0.x words filled
// in); none when the lists hold no such server.
std::optional<AxisTarget> FindAxisTarget(const AxisList& lists, const oxa::OxaAddr& addr,
                                         uint16_t number);

// The axis behind a tree item; none for a server item or an unknown item.
std::optional<AxisTarget> AxisTargetOfItem(const AxisList& lists, int item);

}  // namespace axlink
