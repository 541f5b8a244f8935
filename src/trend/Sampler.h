// Reads the runtime record of one axis at a fixed rate into a sample ring.
//
// The sampler works on an Oxa port of its own, so that it never waits behind the window's
// requests nor delays them, and with the library version and record version table of the
// axis's server as they were when the recording started. It never reports an error: a failed
// read is counted, the next tick tries again. It never acknowledges the server's notice of
// changed parameters either; that notice is the document's, which reads the parameters again.
#pragma once

#include <atomic>
#include <cstdint>

#include "model/Link.h"
#include "model/RuntimeRecord.h"
#include "trend/Clock.h"
#include "trend/SampleRing.h"

namespace trend {

// What a recording reads: the axis and its server's versions, copied from the document.
struct RecordTarget {
  oxa::OxaAddr addr;
  uint16_t axis = 0;
  model::LibVersion lib;
  model::RecordVersionTable versions{};
  // The reference velocity of the parameter record: block layouts do not carry it, and the
  // setpoint velocity is a fraction of it.
  double referenceVelo = 0;
};

class Sampler {
 public:
  static constexpr double kMinRateHz = 10;
  static constexpr double kMaxRateHz = 1000;
  static constexpr double kDefaultRateHz = 100;
  // Request timeout of the sampler's port.
  static constexpr int32_t kTimeoutMs = 500;
  // Ticks made up after a stall at most; beyond, the passed ticks are skipped.
  static constexpr double kMaxCatchUpTicks = 4;

  // `rateHz` within kMinRateHz..kMaxRateHz (anything else, NaN too, is brought into it).
  static double ClampRate(double rateHz);

  // `oxa` is the sampler's own open port; it, `clock` and `ring` outlive the sampler.
  Sampler(oxa::IOxa& oxa, const RecordTarget& target, double rateHz, IClock& clock,
          SampleRing& ring);

  // Reads once now: a sample stamped when the answer arrived, or a counted failure. Returns the
  // Oxa code.
  int32_t SampleOnce();
  // Waits for the next tick of the schedule, then samples. After a stall of up to
  // kMaxCatchUpTicks the next ticks follow at once until the schedule is met again; ticks
  // that a longer stall passed are skipped (and counted), never made up in a burst.
  int32_t Tick();

  double RateHz() const { return rateHz_; }
  uint64_t Reads() const { return reads_.load(std::memory_order_relaxed); }
  uint64_t Failures() const { return failures_.load(std::memory_order_relaxed); }
  uint64_t MissedTicks() const { return missed_.load(std::memory_order_relaxed); }
  int32_t LastError() const { return lastError_.load(std::memory_order_relaxed); }

 private:
  model::AxisLink link_;
  IClock& clock_;
  SampleRing& ring_;
  double rateHz_;
  double period_;
  double next_ = 0;
  bool started_ = false;
  model::RuntimeRecord record_;
  std::atomic<uint64_t> reads_{0};
  std::atomic<uint64_t> failures_{0};
  std::atomic<uint64_t> missed_{0};
  std::atomic<int32_t> lastError_{0};
};

}  // namespace trend
