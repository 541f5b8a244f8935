#include "oxa/OxaDirect.h"

#include <algorithm>

#include "oxa/ClientCommon.h"
#include "oxa/LocalRouter.h"

namespace oxa {

namespace {

bool ByNetId(const std::pair<NetId, IOxaEndpoint*>& e, const NetId& id) {
  return e.first < id;
}

}  // namespace

OxaDirect::OxaDirect(RouteTable table) : table_(std::move(table)) {}

void OxaDirect::Register(const NetId& netId, IOxaEndpoint& endpoint) {
  auto it = std::lower_bound(endpoints_.begin(), endpoints_.end(), netId, ByNetId);
  if (it != endpoints_.end() && it->first == netId) {
    it->second = &endpoint;
  } else {
    endpoints_.insert(it, {netId, &endpoint});
  }
}

void OxaDirect::Unregister(const NetId& netId) {
  auto it = std::lower_bound(endpoints_.begin(), endpoints_.end(), netId, ByNetId);
  if (it != endpoints_.end() && it->first == netId) endpoints_.erase(it);
}

IOxaEndpoint* OxaDirect::Find(const NetId& netId) const {
  auto it = std::lower_bound(endpoints_.begin(), endpoints_.end(), netId, ByNetId);
  return it != endpoints_.end() && it->first == netId ? it->second : nullptr;
}

long OxaDirect::OxaPortOpen() {
  if (port_ == 0) port_ = detail::NextPortNumber();
  return port_;
}

int32_t OxaDirect::OxaPortClose() {
  port_ = 0;
  return kOk;
}

int32_t OxaDirect::OxaGetLocalAddress(OxaAddr* addr) {
  if (port_ == 0) return kErrTargetMachineNotFound;
  if (addr == nullptr) return kErrInvalidData;
  addr->netId = table_.local.netId;
  addr->port = port_;
  return kOk;
}

int32_t OxaDirect::OxaSyncSetTimeout(int32_t milliseconds) {
  return milliseconds > 0 ? kOk : kErrInvalidData;
}

int32_t OxaDirect::Request(const OxaAddr* addr, Command command, uint32_t indexGroup,
                           uint32_t indexOffset, uint32_t readLength, void* readData,
                           uint32_t writeLength, const void* writeData) {
  if (port_ == 0) return kErrTargetMachineNotFound;
  if (const int32_t e = detail::CheckRequest(addr, readLength, readData, writeLength, writeData)) {
    return e;
  }
  std::span<uint8_t> read(static_cast<uint8_t*>(readData), readLength);
  if (IsLocalRouterRequest(table_.local.netId, *addr, indexGroup)) {
    return AnswerLocalRouter(table_, command, indexOffset, read);
  }
  IOxaEndpoint* endpoint = Find(addr->netId);
  if (endpoint == nullptr) return kErrTargetMachineNotFound;
  OxaRequest request;
  request.target = *addr;
  request.source = OxaAddr{table_.local.netId, port_};
  request.command = command;
  request.indexGroup = indexGroup;
  request.indexOffset = indexOffset;
  request.readLength = readLength;
  request.writeData = std::span<const uint8_t>(static_cast<const uint8_t*>(writeData), writeLength);
  const OxaReplyInfo reply = Finish(endpoint->Handle(request, read));
  if (reply.dropped) return kErrTimeout;
  if (reply.result != kOk) return reply.result;
  // The OXA/TCP server answers at most the read buffer; so does this connection.
  return std::min(reply.dataLength, readLength) == readLength ? kOk : kErrInvalidSize;
}

int32_t OxaDirect::OxaSyncReadReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                                  uint32_t length, void* data) {
  return Request(addr, Command::Read, indexGroup, indexOffset, length, data, 0, nullptr);
}

int32_t OxaDirect::OxaSyncWriteReq(const OxaAddr* addr, uint32_t indexGroup, uint32_t indexOffset,
                                   uint32_t length, const void* data) {
  return Request(addr, Command::Write, indexGroup, indexOffset, 0, nullptr, length, data);
}

int32_t OxaDirect::OxaSyncReadWriteReq(const OxaAddr* addr, uint32_t indexGroup,
                                       uint32_t indexOffset, uint32_t readLength, void* readData,
                                       uint32_t writeLength, const void* writeData) {
  return Request(addr, Command::ReadWrite, indexGroup, indexOffset, readLength, readData,
                 writeLength, writeData);
}

}  // namespace oxa
