// The pace of one output's window copies: no two of them start less than an interval apart.
//
// The interval bounds how often an output copies into its window. It is counted from the start
// of the previous copy, not from its end: a redraw whose drawing took part of the interval
// waits only for the rest, so an output whose redraws take a few milliseconds still copies
// once per frame of a 60 fps stream. Output thread only; no lock.
#pragma once

#include <cstdint>

namespace KMC {

class WindowCopyPace {
 public:
  explicit WindowCopyPace(uint32_t intervalMs) : intervalMs_(intervalMs) {}

  // Called right before a copy: waits for what is left of the interval since the previous copy
  // began (nothing for the first copy, or when the interval has passed), then takes the
  // millisecond counter's reading as this copy's start.
  void waitForTurn();

 private:
  const uint32_t intervalMs_;
  bool copiedBefore_ = false;
  uint32_t lastStart_ = 0;  // millisecond counter reading; intervals are taken modulo 2^32
};

}  // namespace KMC
