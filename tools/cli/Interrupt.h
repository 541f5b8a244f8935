// SIGINT, SIGTERM and SIGHUP while a subcommand moves an axis: the handler only sets a flag, the
// subcommand's loops look at it, stop the axis and end with exit 130.
#pragma once

#include <csignal>

namespace cli {

// Installs the handler for the three signals while it lives and puts the previous ones back
// when it goes. Not nested: one guard at a time.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // The signal that arrived while a guard lives, 0 while none did (and without a guard).
  static int Signal();
  static bool Interrupted() { return Signal() != 0; }
  // How many of them arrived: a second one ends a wait for the axis to stand.
  static int Count();

 private:
  struct sigaction previous_[3];
};

// "SIGINT", "SIGTERM", "SIGHUP".
const char* SignalName(int signal);

}  // namespace cli
