// Pause, seek and rate for the streams that play, done the way an engine does them:
//
// - pause stops the media clock (the output keeps the picture and drops nothing: no frame
//   falls due while the clock stands);
// - a seek holds the feeding (the push feeder between passes, a pull channel's source), flushes
//   every port, starts every feed over at the new time, seeks every port to the first frame
//   its feed now has (the output shows that frame at once, paused or not), and sets the clock;
// - a rate change sets the clock's rate; a change of direction is a seek to the same time in
//   the other direction, since the feeds hand out frames in play order.
//
// The main thread calls everything here; the feeder reads rate() and holds feeding().
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/media_clock.h"
#include "frame_feed.h"
#include "abi/interfaces.h"
#include "key_commands.h"
#include "timing_log.h"

namespace play {

class PlaybackControl {
 public:
  static constexpr int32_t kSlowestRate = 125;   // an eighth of normal speed
  static constexpr int32_t kFastestRate = 8000;  // eight times
  static constexpr int32_t kNormalRate = 1000;

  struct Target {
    KMC::PortInterface* port;
    FrameFeed* feed;
    FeedSource* source;  // a pull channel's source; null for a pushed one
  };

  PlaybackControl(host::RealTimeMediaClock* clock, int32_t rate, TimingLog* log)
      : clock_(clock), log_(log), rate_(rate) {}

  void setTargets(const std::vector<Target>& targets) { targets_ = targets; }
  // Seeks stay within [first, last] media milliseconds.
  void setSpan(int64_t first, int64_t last) {
    first_ = first;
    last_ = last;
  }
  // The push feeder holds it for each pass, so no frame is delivered while a seek is under way.
  std::mutex& feeding() { return feeding_; }

  // Pause, seeks and rate commands; any other command is not this object's and does nothing.
  void apply(const Command& command);
  void togglePause();
  void seekTo(int64_t time);
  // Same speed, the other direction, from where the clock is.
  void reverse() { changeRate(-rate()); }
  void changeRate(int32_t rate);

  bool paused() const { return paused_.load(); }
  int32_t rate() const { return rate_.load(); }
  bool backwards() const { return rate() < 0; }
  // Repositions so far; the feeds tag their frames with it.
  int32_t segment() const { return segment_.load(); }

 private:
  // The seek described above, to `time` at `rate`.
  void reposition(int64_t time, int32_t rate);

  host::RealTimeMediaClock* clock_;
  TimingLog* log_;
  std::vector<Target> targets_;
  int64_t first_ = 0, last_ = INT32_MAX;
  std::mutex feeding_;
  std::atomic<int32_t> rate_;
  std::atomic<bool> paused_{false};
  std::atomic<int32_t> segment_{0};
  int64_t pausedAt_ = 0;  // steady clock milliseconds when the pause began
};

}  // namespace play
