// The in-process connection: the seven Oxa operations answered by IOxaEndpoint objects of this
// process (emulated controllers), without sockets.
//
// Routing and results follow OxaTcpClient: the local router answers from the route table given
// here, a NetId without a registered endpoint fails with 7, a dropped request fails with 0x745
// at once, a success whose data length differs from the read length fails with 0x705. A request
// costs no heap allocation. Not thread-safe: one caller at a time, as with the TCP client.
//
// After a failed read the contents of the read buffer are unspecified (the endpoint may have
// written into it); callers use the data only on success.
#pragma once

#include <utility>
#include <vector>

#include "oxa/Endpoint.h"
#include "oxa/Oxa.h"
#include "oxa/RouteTable.h"

namespace oxa {

class OxaDirect final : public IOxa {
 public:
  // `table` supplies the local NetId and the routes that the local router lists; its TCP
  // endpoints are not used.
  explicit OxaDirect(RouteTable table = RouteTable{});

  // Requests to `netId` go to `endpoint`, which must outlive this object or be unregistered.
  // Registering a NetId again replaces its endpoint.
  void Register(const NetId& netId, IOxaEndpoint& endpoint);
  void Unregister(const NetId& netId);

  // Returns the port number (non-zero); a second call while open returns the same handle.
  long OxaPortOpen() override;
  int32_t OxaPortClose() override;
  // Fails with 7 while the port is not open (as every request does).
  int32_t OxaGetLocalAddress(OxaAddr* addr) override;
  // Accepts 1 ms and more (0x706 otherwise); requests here never wait, so it only is checked.
  int32_t OxaSyncSetTimeout(int32_t milliseconds) override;
  int32_t OxaSyncReadReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                         uint32_t length, void* data) override;
  int32_t OxaSyncWriteReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                          uint32_t length, const void* data) override;
  int32_t OxaSyncReadWriteReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                              uint32_t readLength, void* readData, uint32_t writeLength,
                              const void* writeData) override;

 private:
  int32_t Request(const OxaAddr* addr, Command command, uint32_t indexGroup, uint32_t indexOffset,
                  uint32_t readLength, void* readData, uint32_t writeLength, const void* writeData);
  IOxaEndpoint* Find(const NetId& netId) const;

  RouteTable table_;
  std::vector<std::pair<NetId, IOxaEndpoint*>> endpoints_;  // sorted by NetId
  uint16_t port_ = 0;                                       // 0 while closed
};

}  // namespace oxa
