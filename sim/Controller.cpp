#include "sim/Controller.h"

#include <algorithm>

#include "sim/Reply.h"

namespace sim {

Service& Controller::Port(uint16_t port) {
  auto& s = ports_[port];
  if (!s) s = std::make_unique<Service>();
  return *s;
}

const Service* Controller::FindPort(uint16_t port) const {
  auto it = ports_.find(port);
  return it == ports_.end() || it->second->Empty() ? nullptr : it->second.get();
}

uint32_t Controller::AnswerRoom(const oxa::OxaRequest& request) {
  std::lock_guard lock(handleMutex_);
  if (request.target.netId != netId_) return 0;
  // A fault answers at most what it would answer now; should it be removed before the request
  // is handled, the service finds too little room and answers 0x705.
  if (auto fault = faults_.Match(request)) return fault->Reply(request).dataLength;
  const Service* service = FindPort(request.target.port);
  return service ? service->AnswerRoom(request) : 0;
}

oxa::OxaReplyInfo Controller::Handle(const oxa::OxaRequest& request, std::span<uint8_t> readData) {
  std::lock_guard lock(handleMutex_);
  log_.Record(request);
  if (request.target.netId != netId_) return Fail(oxa::kErrTargetMachineNotFound);
  if (auto fault = faults_.Match(request)) return fault->Reply(request);
  const Service* service = FindPort(request.target.port);
  if (!service) return Fail(oxa::kErrTargetPortNotFound);
  // A handler gets room for the read length, but never for more than its group ever answers,
  // whoever calls: one that answers more than it declared fails on every transport. Its answer
  // is held to the rule that only a successful read carries data, exactly the read length of it.
  readData = readData.first(std::min<size_t>(readData.size(), service->AnswerRoom(request)));
  oxa::OxaReplyInfo reply = service->Handle(request, readData);
  if (reply.dropped) return {oxa::kOk, 0, true};
  if (reply.result != oxa::kOk || request.command == oxa::Command::Write) {
    reply.dataLength = 0;
  } else if (reply.dataLength != request.readLength || reply.dataLength > readData.size()) {
    // A handler that answered a success of a different length is a bug of the emulator; the
    // client must not get a truncated value that looks valid.
    return Fail(oxa::kErrInvalidSize);
  }
  return reply;
}

}  // namespace sim
