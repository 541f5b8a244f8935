#include "tools/cli/Interrupt.h"

#include <atomic>

namespace cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Lock-free, so the handler may store to it.
std::atomic<int> gSignal{0};
std::atomic<int> gCount{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnSignal(int signal) {
  int none = 0;
  gSignal.compare_exchange_strong(none, signal);
  gCount.fetch_add(1);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  gSignal.store(0);
  gCount.store(0);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait in a system call returns early, and the loops look at the flag.
  action.sa_flags = 0;
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptGuard::~InterruptGuard() {
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  // What arrived belonged to this guard's command; none is pending for the next.
  gSignal.store(0);
  gCount.store(0);
}

int InterruptGuard::Signal() {
  return gSignal.load();
}

int InterruptGuard::Count() {
  return gCount.load();
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace cli
