// One emulated controller: one NetId, a service per Oxa port, faults and a request log.
//
// Every request first goes to the log; a request for another NetId fails with 7, then a
// matching fault answers in place of the service, then a port that nothing serves fails with 6,
// and otherwise the port's service answers by index group. Requests are answered one at a time
// (calls into Handle are serialised), so handlers need no locking of their own; deferred work of a
// reply (a disk write) runs outside that and takes Locked() for what it changes afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>

#include "oxa/Endpoint.h"
#include "sim/Faults.h"
#include "sim/RequestLog.h"
#include "sim/Service.h"

namespace sim {

class Controller : public oxa::IOxaEndpoint {
 public:
  explicit Controller(const oxa::NetId& netId) : netId_(netId) {}

  const oxa::NetId& NetId() const { return netId_; }

  // The service of `port`, created empty on first use. A port counts as served once its service
  // has a handler.
  Service& Port(uint16_t port);
  const Service* FindPort(uint16_t port) const;

  FaultTable& Faults() { return faults_; }
  RequestLog& Log() { return log_; }
  const RequestLog& Log() const { return log_; }

  uint32_t AnswerRoom(const oxa::OxaRequest& request) override;
  oxa::OxaReplyInfo Handle(const oxa::OxaRequest& request, std::span<uint8_t> readData) override;

  // Runs `f` as requests run: never at the same time as one.
  template <class F>
  void Locked(F&& f) {
    std::lock_guard lock(handleMutex_);
    f();
  }

 private:
  oxa::NetId netId_;
  std::map<uint16_t, std::unique_ptr<Service>> ports_;
  FaultTable faults_;
  RequestLog log_;
  std::mutex handleMutex_;
};

}  // namespace sim
