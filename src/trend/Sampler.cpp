#include "trend/Sampler.h"

#include <algorithm>
#include <cmath>

namespace trend {

double Sampler::ClampRate(double rateHz) {
  if (!std::isfinite(rateHz)) return rateHz > 0 ? kMaxRateHz : kDefaultRateHz;
  return std::clamp(rateHz, kMinRateHz, kMaxRateHz);
}

Sampler::Sampler(oxa::IOxa& oxa, const RecordTarget& target, double rateHz, IClock& clock,
                 SampleRing& ring)
    : clock_(clock), ring_(ring), rateHz_(ClampRate(rateHz)), period_(1.0 / rateHz_) {
  link_.oxa = &oxa;
  link_.addr = target.addr;
  link_.axis = target.axis;
  link_.lib = target.lib;
  link_.versions = target.versions;
  link_.report = nullptr;
  model::ResetRuntimeRecord(record_);
  record_.ReferenceVelo = std::isfinite(target.referenceVelo) ? target.referenceVelo : 0.0;
}

int32_t Sampler::SampleOnce() {
  // As if the communication were stopped: the changed-parameters notice stays for the document.
  const int32_t rc = model::ReadRuntimeRecord(link_, record_, /*commStopped=*/true);
  const double t = clock_.Now();
  reads_.fetch_add(1, std::memory_order_relaxed);
  if (rc != oxa::kOk) {
    failures_.fetch_add(1, std::memory_order_relaxed);
    lastError_.store(rc, std::memory_order_relaxed);
    return rc;
  }
  ring_.Push(SampleOf(record_, t));
  return rc;
}

int32_t Sampler::Tick() {
  if (!started_) {
    next_ = clock_.Now();
    started_ = true;
  }
  clock_.SleepUntil(next_);
  const int32_t rc = SampleOnce();
  next_ += period_;
  // A short stall (the scheduler, the network) is made up tick by tick; a longer one, as when
  // every read takes longer than a tick, skips the ticks that passed.
  const double behind = std::floor((clock_.Now() - next_) / period_);
  if (behind > kMaxCatchUpTicks) {
    missed_.fetch_add(static_cast<uint64_t>(behind), std::memory_order_relaxed);
    next_ += behind * period_;
  }
  return rc;
}

}  // namespace trend
