// A recorder clock that a test moves one wait at a time: the thread that waits on it passes
// only when the test lets it, so a sampler thread runs exactly the ticks a test asks for.
#pragma once

#include <condition_variable>
#include <mutex>

#include "trend/Clock.h"

namespace testclock {

class GateClock final : public trend::IClock {
 public:
  explicit GateClock(double start = 0) : now_(start) {}
  double Now() override {
    const std::lock_guard lock(mutex_);
    return now_;
  }
  void SleepUntil(double t) override {
    std::unique_lock lock(mutex_);
    ++waits_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_ || passes_ > 0; });
    if (passes_ > 0) --passes_;
    if (t > now_) now_ = t;
  }
  // Lets `n` waits pass, then returns once the thread waits again.
  void Pass(int n) {
    std::unique_lock lock(mutex_);
    const int until = waits_ + n;
    passes_ += n;
    changed_.notify_all();
    changed_.wait(lock, [&] { return waits_ >= until && passes_ == 0; });
  }
  void WaitForFirstWait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waits_ > 0; });
  }
  void Open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  double now_;
  int waits_ = 0;
  int passes_ = 0;
  bool open_ = false;
};

}  // namespace testclock
