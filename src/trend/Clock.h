// The recorder's time: monotonic seconds, and a wait until a moment of it.
//
// The sampler, the arming and the figures all take their times from one clock, so that a
// command's moment and the samples around it compare directly.
#pragma once

#include <atomic>

namespace trend {

class IClock {
 public:
  virtual ~IClock() = default;
  virtual double Now() = 0;
  // Returns at `t` or later; at once when `t` has passed.
  virtual void SleepUntil(double t) = 0;
};

// The steady clock of the system, in seconds since its epoch.
class SteadyClock final : public IClock {
 public:
  double Now() override;
  void SleepUntil(double t) override;
};

// Time that passes only when someone waits: a wait moves the clock to its end at once. An
// emulated plant in this process runs on it as fast as it computes.
class VirtualClock final : public IClock {
 public:
  explicit VirtualClock(double start = 0.0) : now_(start) {}
  double Now() override { return now_.load(); }
  void SleepUntil(double t) override;
  void Advance(double seconds) { SleepUntil(Now() + seconds); }

 private:
  std::atomic<double> now_;
};

}  // namespace trend
