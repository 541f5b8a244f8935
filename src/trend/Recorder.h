// The sampler on a thread of its own, with its own Oxa port, filling a sample ring that the
// window reads.
//
// The port is made, opened, used and closed on the sampler's thread only. Start and Stop are
// called from one thread (the window's); the counters and the ring may be read from any.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "oxa/Oxa.h"
#include "trend/Clock.h"
#include "trend/SampleRing.h"
#include "trend/Sampler.h"

namespace trend {

// Makes a new Oxa client, unopened: over TCP it keeps connections of its own.
using OxaFactory = std::function<std::unique_ptr<oxa::IOxa>()>;

class Recorder {
 public:
  Recorder(OxaFactory factory, IClock& clock, size_t capacity = SampleRing::kDefaultCapacity);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Empties the ring and starts sampling `target` at `rateHz`; false while it runs.
  bool Start(const RecordTarget& target, double rateHz);
  // Stops the thread (after the read in progress) and keeps the samples.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  // A new, empty ring of `capacity`, allocated now; only while stopped (false otherwise).
  bool Resize(size_t capacity);

  SampleRing& Ring() { return *ring_; }
  const SampleRing& Ring() const { return *ring_; }
  IClock& Clock() { return clock_; }
  double RateHz() const { return rateHz_.load(); }
  uint64_t Reads() const { return reads_.load(); }
  uint64_t Failures() const { return failures_.load(); }
  int32_t LastError() const { return lastError_.load(); }
  // The sampler's port could not be opened: nothing is read.
  bool PortFailed() const { return portFailed_.load(); }

 private:
  void Run(RecordTarget target, double rateHz);

  OxaFactory factory_;
  IClock& clock_;
  std::unique_ptr<SampleRing> ring_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<double> rateHz_{Sampler::kDefaultRateHz};
  std::atomic<uint64_t> reads_{0};
  std::atomic<uint64_t> failures_{0};
  std::atomic<int32_t> lastError_{0};
  std::atomic<bool> portFailed_{false};
};

}  // namespace trend
