#include "trend/Clock.h"

#include <chrono>
#include <thread>

namespace trend {

double SteadyClock::Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::SleepUntil(double t) {
  using namespace std::chrono;
  const auto until =
      steady_clock::time_point(duration_cast<steady_clock::duration>(duration<double>(t)));
  std::this_thread::sleep_until(until);
}

void VirtualClock::SleepUntil(double t) {
  double now = now_.load();
  while (t > now && !now_.compare_exchange_weak(now, t)) {
  }
}

}  // namespace trend
