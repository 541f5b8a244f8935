#include "sim/Faults.h"

#include <algorithm>

#include "sim/Reply.h"

namespace sim {

bool Fault::Matches(const oxa::OxaRequest& request) const {
  return request.target.port == port && request.indexGroup == indexGroup &&
         (!indexOffset || *indexOffset == request.indexOffset);
}

oxa::OxaReplyInfo Fault::Reply(const oxa::OxaRequest& request) const {
  switch (kind) {
    case Kind::Error:
      return Fail(error);
    case Kind::Drop:
      return {oxa::kOk, 0, true};
    case Kind::WrongLength:
      // The answer buffer holds exactly the read length, so the wrong length is a shorter one;
      // a request that asks for nothing gets a success with nothing, which is then no fault.
      if (request.readLength == 0) return Done(0);
      return Done(std::min(length, request.readLength - 1));
  }
  return Fail(oxa::kErrServiceNotSupported);
}

int FaultTable::Add(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.emplace_back(nextId_, fault);
  return nextId_++;
}

void FaultTable::Remove(int id) {
  std::lock_guard lock(mutex_);
  std::erase_if(faults_, [id](const auto& f) { return f.first == id; });
}

void FaultTable::Clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

size_t FaultTable::Size() const {
  std::lock_guard lock(mutex_);
  return faults_.size();
}

std::optional<Fault> FaultTable::Match(const oxa::OxaRequest& request) const {
  std::lock_guard lock(mutex_);
  for (const auto& [id, fault] : faults_) {
    if (fault.Matches(request)) return fault;
  }
  return std::nullopt;
}

}  // namespace sim
