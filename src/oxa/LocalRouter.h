// The local router: Oxa port 1 of the local NetId, index group 3, answered by the client
// library itself from its route table. Both IOxa implementations use it.
//
//   offset 2, read 4 bytes:        number of routes (int32)
//   offset 1, read count x 58:     route records in table order: bytes 0-15 zero, 16-51 the
//                                  name zero-terminated and zero-padded, 52-57 the NetId
//
// Everything else fails with 0x701; a read of the wrong length fails with 0x705.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "oxa/Endpoint.h"
#include "oxa/RouteRecord.h"
#include "oxa/RouteTable.h"

namespace oxa {

// True when a request to `target` at `indexGroup` is for the local router of `local`.
inline bool IsLocalRouterRequest(const NetId& local, const OxaAddr& target, uint32_t indexGroup) {
  return target.port == kRouterPort && indexGroup == kRouterIndexGroup && target.netId == local;
}

// Answers a router request; on success `readData` is filled completely.
int32_t AnswerLocalRouter(const RouteTable& table, Command command, uint32_t indexOffset,
                          std::span<uint8_t> readData);

}  // namespace oxa
