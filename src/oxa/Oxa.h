// The seven Oxa operations, the one seam between Axtune and a controller.
//
// Everything above this layer (login, record readers, commands, the refresh cycle) calls an
// `IOxa`; below it sit the OXA/TCP client (`OxaTcpClient`) and the in-process connection to an
// emulated controller (`OxaDirect`). Both give the same results for the same controller.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace oxa {

// Result codes. 0 is success; the transport and the controllers answer these.
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kErrTargetPortNotFound = 0x6;
inline constexpr int32_t kErrTargetMachineNotFound = 0x7;
inline constexpr int32_t kErrServiceNotSupported = 0x701;
inline constexpr int32_t kErrInvalidIndexGroup = 0x702;
inline constexpr int32_t kErrInvalidIndexOffset = 0x703;
inline constexpr int32_t kErrAccessDenied = 0x704;
inline constexpr int32_t kErrInvalidSize = 0x705;
inline constexpr int32_t kErrInvalidData = 0x706;
inline constexpr int32_t kErrNotReady = 0x707;
inline constexpr int32_t kErrBusy = 0x708;
inline constexpr int32_t kErrTimeout = 0x745;
inline constexpr int32_t kErrNoResponse = 0x274D;
// The record readers and writers answer -1 for a layout version they do not know.
inline constexpr int32_t kErrLayoutUnsupported = -1;

struct NetId {
  std::array<uint8_t, 6> b{};

  friend bool operator==(const NetId&, const NetId&) = default;
  friend auto operator<=>(const NetId&, const NetId&) = default;

  // "a.b.c.d.e.f", six decimals.
  std::string ToString() const;
  // Parses "a.b.c.d.e.f" with every part 0..255; nothing else is accepted.
  static std::optional<NetId> Parse(std::string_view text);
};

// Address of every request: the controller's NetId and the Oxa port of the service on it.
struct OxaAddr {
  NetId netId;
  uint16_t port = 0;

  friend bool operator==(const OxaAddr&, const OxaAddr&) = default;
};

// Port 1 of the local NetId, index group 3, is the local router.
inline constexpr uint16_t kRouterPort = 1;
inline constexpr uint32_t kRouterIndexGroup = 3;

class IOxa {
 public:
  virtual ~IOxa() = default;

  // Returns the port handle, non-zero on success.
  virtual long OxaPortOpen() = 0;
  virtual int32_t OxaPortClose() = 0;
  virtual int32_t OxaGetLocalAddress(OxaAddr* addr) = 0;
  // Bounds every following request as a whole: connect, send and the complete answer.
  virtual int32_t OxaSyncSetTimeout(int32_t milliseconds) = 0;
  virtual int32_t OxaSyncReadReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                                 uint32_t length, void* data) = 0;
  virtual int32_t OxaSyncWriteReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                                  uint32_t length, const void* data) = 0;
  virtual int32_t OxaSyncReadWriteReq(const OxaAddr* addr, uint32_t indexGroup,
                                      uint32_t indexOffset, uint32_t readLength, void* readData,
                                      uint32_t writeLength, const void* writeData) = 0;
};

}  // namespace oxa
