// The numbers of the frame schedule, and a frame's due time as the clock's rate sees it.
//
// Times are media milliseconds unless a name says otherwise; rates are thousandths of normal
// speed, negative when the clock runs backwards.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "abi/engine_objects.h"

namespace KMC {

// How far a frame's time may lie from the clock and still count as on time.
const int32_t kFrameToleranceMs = 10;
// The rate of a clock at normal speed (and the rate assumed when there is no clock).
const int64_t kNormalRate = 1000;
// Faster than normal the tolerance is |rate x tolerance / 500|: a pass then spans that much
// more media time, and a frame one pass late must not count as late.
const int64_t kToleranceRateDivisor = 500;
// A clock this far before the shown frame's start has been taken back: the frame comes down.
const int64_t kShownFrameRewindMs = 1000;
// The due time of a channel with nothing timed to present: it is looked at again this soon.
const int64_t kUntimedRecheckMs = 3;
// The longest due-time wait, in clock milliseconds; also a pass's idle without a running clock.
const int64_t kMaxDueWaitMs = 10;
// A due-time wait this short or shorter is not slept: the sleep would overshoot the frame.
const int64_t kShortestIdleMs = 2;
// The idle of a pass that cannot go on (renderer not initialised or not ready, a refused
// reconfiguration) before it tries again.
const uint32_t kRetryIdleMs = 3;
// An unchanged picture is composed again at least this often, so that a window uncovered or
// repainted shows it again within a tenth of a second.
const int64_t kRecomposeIntervalMs = 101;

// The clock's rate and the lateness tolerance that goes with it, for one selection pass.
struct FramePace {
  int64_t rate;
  int64_t tolerance;

  FramePace(int64_t clockRate, int64_t baseTolerance)
      : rate(clockRate),
        tolerance(std::llabs(clockRate) > kNormalRate
                      ? std::llabs(clockRate * baseTolerance / kToleranceRateDivisor)
                      : baseTolerance) {}

  // When a frame is due: at its start, or at its end when the clock runs backwards. 0 when an
  // untimed frame (start 0) is played forwards.
  int64_t dueTime(const VideoSample& frame) const {
    const int64_t start = frame.startTime;
    return rate < 0 ? start + static_cast<int64_t>(frame.duration) : start;
  }
  // Whether a frame due at `due` has been left behind by the clock. A clock answering rate 0
  // is taken as one where no time passes: nothing is late.
  bool isLate(int64_t due, int64_t now) const {
    if (rate > 0) return now > due + tolerance;
    if (rate < 0) return now < due - tolerance;
    return false;
  }
  // Whether a frame due at `due` is within the tolerance of the clock, either side.
  bool isOnTime(int64_t due, int64_t now) const {
    return due >= now - tolerance && due <= now + tolerance;
  }
};

}  // namespace KMC
