// What both IOxa implementations share besides the local router: argument checks, the port
// numbers handed out by OxaPortOpen and the timeout rules.
#pragma once

#include <cstdint>

#include "oxa/Oxa.h"

namespace oxa::detail {

// The request timeout until OxaSyncSetTimeout sets another one.
inline constexpr int32_t kDefaultTimeoutMs = 5000;

// Checks what a caller passes to a request before anything is sent: an address, data pointers
// for non-zero lengths (0x706 otherwise), lengths that fit one frame (0x705 otherwise).
int32_t CheckRequest(const OxaAddr* addr, uint32_t readLength, const void* readData,
                     uint32_t writeLength, const void* writeData);

// The Oxa port number of a newly opened port: 32768..65535, cycling, never 0. It is both the
// handle that OxaPortOpen returns and the source port of the requests.
uint16_t NextPortNumber();

}  // namespace oxa::detail
