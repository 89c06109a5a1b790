// The POSIX layer's millisecond counter replaced for a scope.
#pragma once

#include "platform/win32.h"

namespace testsupport {

// Puts counter in place of the real millisecond counter and restores the real one when the
// scope ends, also when a failed assertion leaves it early: later tests of the program must not
// run on a frozen clock.
class MillisecondCounterGuard {
 public:
  explicit MillisecondCounterGuard(platform_testing::MillisecondCounter counter) {
    platform_testing::setMillisecondCounter(counter);
  }
  ~MillisecondCounterGuard() { platform_testing::setMillisecondCounter(nullptr); }
  MillisecondCounterGuard(const MillisecondCounterGuard&) = delete;
  MillisecondCounterGuard& operator=(const MillisecondCounterGuard&) = delete;
};

}  // namespace testsupport
